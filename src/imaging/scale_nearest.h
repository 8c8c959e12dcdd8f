// ScaleNearest8 / ScaleNearest24: nearest-neighbour scaling of the display image into the
// preview's scratch image, flipping the rows on the way (ApplyKernelScaled).
#pragma once

#include "imaging/conversion_kernel.h"

namespace ostrel::imaging {

// Destination row i, column j takes source row (source height - 1 - min(trunc(fy x i), source
// height - 1)) and column min(trunc(fx x j), source width - 1), where fx = source width /
// destination width and fy = source height / destination height in single precision. Copies
// 1 byte (ScaleNearest8) or 3 bytes (ScaleNearest24) per pixel, stepping each image by its own
// bytes per pixel. Returns 1 (0 for empty arguments).
std::int32_t ScaleNearest8(const ScaledKernelArgs &args);
std::int32_t ScaleNearest24(const ScaledKernelArgs &args);

}  // namespace ostrel::imaging
