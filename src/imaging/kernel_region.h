// The rows and columns a kernel works on, worked out once from its argument list: the source
// rectangle and where it lands in the destination, with row pointers for both images.
#pragma once

#include <cstdint>

#include "imaging/conversion_kernel.h"

namespace ostrel::imaging {

struct KernelRegion {
    int width = 0;                      // pixels per row of the rectangle
    int height = 0;                     // rows of the rectangle
    const std::uint8_t *src = nullptr;  // first pixel of the rectangle's first row
    std::uint8_t *dst = nullptr;        // where that pixel lands in the destination
    std::int32_t srcStride = 0;
    std::int32_t dstStride = 0;
    int srcBytesPerPixel = 0;
    int dstBytesPerPixel = 0;

    bool empty() const { return width <= 0 || height <= 0; }
    const std::uint8_t *srcRow(int row) const {
        return src + static_cast<std::intptr_t>(row) * srcStride;
    }
    std::uint8_t *dstRow(int row) const {
        return dst + static_cast<std::intptr_t>(row) * dstStride;
    }
};

// The region of an argument list; empty when the rectangle is empty or a pointer is missing.
inline KernelRegion kernelRegion(const KernelArgs &args) {
    KernelRegion region;
    const KernelRect &r = args.srcRect;
    if (args.src == nullptr || r.right <= r.left || r.bottom <= r.top) {
        return region;
    }
    region.width = r.right - r.left;
    region.height = r.bottom - r.top;
    region.srcStride = args.srcStride;
    region.dstStride = args.dstStride;
    region.srcBytesPerPixel = args.srcBytesPerPixel;
    region.dstBytesPerPixel = args.dstBytesPerPixel;
    region.src = args.src + static_cast<std::intptr_t>(r.top) * args.srcStride +
                 static_cast<std::intptr_t>(r.left) * args.srcBytesPerPixel;
    if (args.dst != nullptr) {
        region.dst = args.dst + static_cast<std::intptr_t>(args.dstY) * args.dstStride +
                     static_cast<std::intptr_t>(args.dstX) * args.dstBytesPerPixel;
    }
    return region;
}

// A 16-bit little-endian sample (the pixel memory of both builds is little-endian).
inline std::uint16_t loadWord(const std::uint8_t *p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline void storeWord(std::uint8_t *p, std::uint16_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

// The ten significant bits of a 16-bit sample as the adjustments use it: larger words (the
// 16-bit modes can carry any word) count as the top value, so every table stays in bounds.
inline constexpr int kTop10 = 1023;
inline int clampTo10(int word) {
    return word > kTop10 ? kTop10 : word;
}

}  // namespace ostrel::imaging
