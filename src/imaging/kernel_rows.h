// Internal to the pixel kernels: the rows a kernel walks (the source rectangle in memory order or
// reversed, the destination from (x, y) on) and the little-endian word access they share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/conversion_kernel.h"

namespace ostrel::imaging::kernel_detail {

struct RowMap {
    const std::uint8_t *src;  // column `left` of the rectangle's first memory row
    std::ptrdiff_t srcStride;
    std::uint8_t *dst;  // pixel (x, y) of the destination
    std::ptrdiff_t dstStride;
    int width;   // pixels per row
    int height;  // rows
    int srcBytes;
    int dstBytes;
    bool reversed;  // row i reads rectangle row height - 1 - i

    const std::uint8_t *srcRow(int i) const {
        return src + (reversed ? height - 1 - i : i) * srcStride;
    }
    std::uint8_t *dstRow(int i) const { return dst + i * dstStride; }
};

// The walk of a kernel's arguments; false (nothing to do) when a pointer is null, the rectangle is
// empty or lies partly before the first row or column.
inline bool makeRowMap(const KernelArgs &args, bool reversed, RowMap &map) {
    const KernelRect &r = args.srcRect;
    if (args.dst == nullptr || args.src == nullptr || r.left < 0 || r.top < 0 ||
        r.right <= r.left || r.bottom <= r.top || args.dstX < 0 || args.dstY < 0) {
        return false;
    }
    map.src = args.src + static_cast<std::ptrdiff_t>(r.top) * args.srcStride +
              static_cast<std::ptrdiff_t>(r.left) * args.srcBytesPerPixel;
    map.srcStride = args.srcStride;
    map.dst = args.dst + static_cast<std::ptrdiff_t>(args.dstY) * args.dstStride +
              static_cast<std::ptrdiff_t>(args.dstX) * args.dstBytesPerPixel;
    map.dstStride = args.dstStride;
    map.width = r.right - r.left;
    map.height = r.bottom - r.top;
    map.srcBytes = args.srcBytesPerPixel;
    map.dstBytes = args.dstBytesPerPixel;
    map.reversed = reversed;
    return true;
}

inline std::uint16_t loadWord(const std::uint8_t *p) {
    std::uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void storeWord(std::uint8_t *p, std::uint16_t v) {
    std::memcpy(p, &v, sizeof v);
}

// Bits 2..9 of a word: how every 10-bit value is reduced to 8 bits.
inline std::uint8_t reduceWord(std::uint16_t v) {
    return static_cast<std::uint8_t>(v >> 2);
}

// Rows per band when a whole frame is split over the worker pool.
inline constexpr int kRowsPerBand = 32;

}  // namespace ostrel::imaging::kernel_detail
