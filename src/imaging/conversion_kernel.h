// The common argument list of every pixel kernel. Kernels are plain functions applied to a
// destination and a source image through ApplyKernel (clipping, bottom-up row numbering) or
// ApplyKernelScaled (the display scaling). A kernel that works in place gets the same pixels as
// source and destination.
#pragma once

#include <cstdint>

namespace ostrel::imaging {

// Rectangle in memory rows and columns; right and bottom are exclusive.
struct KernelRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

struct KernelArgs {
    std::uint8_t *dst = nullptr;        // destination pixels (row 0 first)
    const std::uint8_t *src = nullptr;  // source pixels; equals dst for in-place kernels
    KernelRect srcRect;                 // source rectangle, rows counted in memory order
    std::int32_t dstX = 0;              // where the rectangle lands in the destination
    std::int32_t dstY = 0;
    std::uint16_t dstBytesPerPixel = 0;  // 1, 2, 3, 4, 6 or 8
    std::uint16_t srcBytesPerPixel = 0;
    std::int32_t dstStride = 0;  // bytes per row, padding included
    std::int32_t srcStride = 0;
    const void *params = nullptr;  // the kernel's parameter block, or null
    std::int32_t extra = 0;        // second word; the pipeline always passes 0
};

// Returns 1 when done, or a measurement (the mean level kernels).
using ConversionKernel = std::int32_t (*)(const KernelArgs &args);

// The argument list of the scaling kernels (ApplyKernelScaled): whole images, no clipping.
struct ScaledKernelArgs {
    std::uint8_t *dst = nullptr;
    const std::uint8_t *src = nullptr;
    KernelRect dstRect;  // the whole destination
    KernelRect srcRect;  // the whole source
    std::int32_t dstWidth = 0;
    std::int32_t dstHeight = 0;
    std::int32_t srcWidth = 0;
    std::int32_t srcHeight = 0;
    std::uint16_t dstBytesPerPixel = 0;
    std::uint16_t srcBytesPerPixel = 0;
    std::int32_t dstStride = 0;
    std::int32_t srcStride = 0;
    std::int32_t user0 = 0;
    std::int32_t user1 = 0;
};

using ScaledConversionKernel = std::int32_t (*)(const ScaledKernelArgs &args);

}  // namespace ostrel::imaging
