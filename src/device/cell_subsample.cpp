// Whole-cell reduction of the half-size readout: one re-ordered row at a time, then a strided
// copy of its 2-byte cell rows.
#include "device/cell_subsample.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "device/two_sided_readout.h"

namespace ostrel::device {

std::int32_t keptCells(std::int32_t wanted, std::int32_t available, std::int32_t step) {
    if (wanted <= 0 || available <= 0 || step <= 0) {
        return 0;
    }
    // Even reduced indices come from cell starts 0, 2 x step, ...; odd ones one further.
    const std::int32_t cellStride = 2 * step;
    const std::int32_t even = (available - 1) / cellStride + 1;
    const std::int32_t odd = available >= 2 ? (available - 2) / cellStride + 1 : 0;
    return std::min(wanted, even + odd);
}

void keepEveryCell(const std::uint8_t *source, std::uint8_t *destination, std::int32_t count,
                   std::int32_t step) {
    const std::size_t cellStride = static_cast<std::size_t>(2) * step;
    std::int32_t x = 0;
    const std::uint8_t *cell = source;
    for (; x + 1 < count; x += 2, cell += cellStride) {
        std::memcpy(destination + x, cell, 2);
    }
    if (x < count) {
        destination[x] = cell[0];
    }
}

void reduceReadout(const SplitFrame &readout, const ReadoutShape &shape, std::int32_t step,
                   std::uint8_t *destination, std::int32_t width, std::int32_t height) {
    if (step <= 0 || shape.pairs < 0) {
        return;
    }
    const std::int32_t rowSamples = shape.twoSided ? 2 * shape.pairs : shape.width;
    const auto rowBytes = static_cast<std::size_t>(std::max(rowSamples, 0));
    const std::int32_t rows = keptCells(height, shape.height, step);
    const std::int32_t columns = keptCells(width, rowSamples, step);
    if (rows == 0 || columns == 0) {
        return;
    }
    std::vector<std::uint8_t> joined;
    std::vector<std::uint8_t> ordered(shape.twoSided ? rowBytes : 0);
    for (std::int32_t y = 0; y < rows; ++y) {
        const auto start = static_cast<std::size_t>(cellSource(y, step)) * rowBytes;
        const std::uint8_t *row = readout.span(start, rowBytes, joined);
        if (shape.twoSided) {
            reorderTwoSidedRow(row, ordered.data(), shape.pairs);
            row = ordered.data();
        }
        keepEveryCell(row, destination + static_cast<std::size_t>(y) * width, columns, step);
    }
}

}  // namespace ostrel::device
