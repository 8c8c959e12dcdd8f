// Applying a conversion kernel to a destination and a source image: ApplyKernel clips the
// rectangle to both images and numbers rows bottom-up as the bitmap does; ApplyKernelScaled hands
// two whole images to a scaling kernel.
#pragma once

#include <cstdint>

#include "imaging/conversion_kernel.h"
#include "imaging/dib_image.h"

namespace ostrel::imaging {

// Applies `kernel` to the source rectangle (or the whole source when rect is null) placed at
// (x, y) of the destination, and returns the kernel's result; 0 without calling the kernel when
// the kernel is null, an image is empty or nothing is left after clipping. The destination
// rectangle is the source rectangle moved to (x, y); it is cut to the destination image, the
// source rectangle is cut by the same amounts, then both are cut where the source rectangle
// leaves the source image. The kernel then gets destination y = destination height - clipped
// destination bottom and source rows (source height - clipped bottom) .. (source height -
// clipped top); columns are passed unchanged. Whole equal-sized images therefore pass
// (0, 0, width, height) and (0, 0). Source and destination may be the same image. Called on the
// thread that owns the images.
std::int32_t ApplyKernel(DibImage &destination, ConversionKernel kernel, const DibImage &source,
                         const KernelRect *rect, std::int32_t x, std::int32_t y, const void *params,
                         std::int32_t extra);

// Calls a scaling kernel with both whole images (no clipping); 0 when the kernel is null or an
// image is empty, else the kernel's result.
std::int32_t ApplyKernelScaled(DibImage &destination, ScaledConversionKernel kernel,
                               const DibImage &source);

}  // namespace ostrel::imaging
