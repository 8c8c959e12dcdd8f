// Raw frame fix-up and horizontal mirror.
#include "imaging/raw_frame.h"

#include <algorithm>
#include <cstring>

#include "imaging/apply_kernel.h"
#include "imaging/spread_rows.h"
#include "imaging/worker_pool.h"

namespace ostrel::imaging {
namespace {

constexpr int kRowsPerBand = 64;

void clearPadding(DibImage &raw, std::size_t packed, int first, int end) {
    const std::size_t padding = static_cast<std::size_t>(raw.stride()) - packed;
    if (padding == 0) {
        return;
    }
    for (int y = first; y < end; ++y) {
        std::memset(raw.row(y) + packed, 0, padding);
    }
}

}  // namespace

void FixUpRawFrame(DibImage &raw) {
    if (raw.isEmpty()) {
        return;
    }
    const std::size_t packed =
        static_cast<std::size_t>(raw.width()) * static_cast<std::size_t>(raw.bytesPerPixel());
    if (static_cast<std::size_t>(raw.stride()) == packed) {
        return;
    }
    const ConversionKernel spread = raw.bytesPerPixel() == 2 ? SpreadRows16 : SpreadRows8;
    ApplyKernel(raw, spread, raw, nullptr, 0, 0, nullptr, 0);
    clearPadding(raw, packed, 0, raw.height());
}

void MirrorRawFrame(DibImage &raw) {
    if (raw.isEmpty()) {
        return;
    }
    const int width = raw.width();
    const int bytes = raw.bytesPerPixel();
    const std::size_t packed = static_cast<std::size_t>(width) * static_cast<std::size_t>(bytes);
    parallelRows(raw.height(), kRowsPerBand, [&](int first, int end) {
        for (int y = first; y < end; ++y) {
            std::uint8_t *row = raw.row(y);
            if (bytes == 2) {
                for (int i = 0, j = width - 1; i < j; ++i, --j) {
                    std::swap(row[2 * i], row[2 * j]);
                    std::swap(row[2 * i + 1], row[2 * j + 1]);
                }
            } else {
                std::reverse(row, row + packed);
            }
        }
        clearPadding(raw, packed, first, end);
    });
}

}  // namespace ostrel::imaging
