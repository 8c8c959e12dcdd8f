// Quarter- and eighth-size pictures made on the host from the camera's half-size readout. The
// camera's subsampled readout keeps every other 2 x 2 cell of the sensor in each direction;
// keeping every `step`-th whole cell of that readout (2 for a quarter, 4 for an eighth) gives the
// scene at the smaller size with the colour mosaic in the same phase.
#pragma once

#include <cstdint>

#include "device/split_frame.h"

namespace ostrel::device {

// The readout row (or column) that row (column) `index` of the reduced picture comes from.
constexpr std::int32_t cellSource(std::int32_t index, std::int32_t step) {
    return (index / 2) * 2 * step + index % 2;
}

// How many of the first `wanted` reduced rows (or columns) come from the first `available`
// readout rows (columns): the rows and columns beyond are not made.
std::int32_t keptCells(std::int32_t wanted, std::int32_t available, std::int32_t step);

// One row: the first `count` samples of a reduced row from a readout row in picture order.
void keepEveryCell(const std::uint8_t *source, std::uint8_t *destination, std::int32_t count,
                   std::int32_t step);

// The readout as the camera sends it.
struct ReadoutShape {
    std::int32_t width = 0;   // samples per picture row (one-sided rows are this long)
    std::int32_t height = 0;  // rows
    std::int32_t pairs = 0;   // pixel pairs per row of a two-sided readout (rows of 2 x pairs)
    bool twoSided = false;
};

// Makes the reduced picture (width x height samples, rows width bytes apart) from a readout held
// in two pieces, re-ordering two-sided rows on the way. Only the readout rows kept are visited.
// A sample whose source lies beyond the readout is left as it is.
void reduceReadout(const SplitFrame &readout, const ReadoutShape &shape, std::int32_t step,
                   std::uint8_t *destination, std::int32_t width, std::int32_t height);

}  // namespace ostrel::device
