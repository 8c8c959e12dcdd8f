// Sharpness: unsharp masking from the work image (a copy of the output image taken just before)
// into the output image. Each sample inside the two-pixel border gets s/10 of its difference to
// the mean of the 4 x 4 samples of rows y-2..y+1 and columns x-2..x+1 added; the border keeps
// the values the output image had.
#pragma once

#include <cstdint>

#include "imaging/conversion_kernel.h"

namespace ostrel::imaging {

// Kernels, parameter block SingleValueParams; source the work image, destination the output
// image of the same size and layout. 8: grey bytes; 16: 10-bit grey words (larger words count as
// 1023); 24: blue, green, red bytes of 3- or 4-byte pixels; 48: blue, green, red words of 6- or
// 8-byte pixels. Images under 5 pixels in either direction have no inside and stay as they are.
// Return 1.
std::int32_t Sharpen8(const KernelArgs &args);
std::int32_t Sharpen16(const KernelArgs &args);
std::int32_t Sharpen24(const KernelArgs &args);
std::int32_t Sharpen48(const KernelArgs &args);

namespace reference {
// The two passes as the formula reads: the 4 x 4 means written into the output image, then the
// difference table applied to each sample of the work image against its mean.
std::int32_t Sharpen8(const KernelArgs &args);
std::int32_t Sharpen16(const KernelArgs &args);
std::int32_t Sharpen24(const KernelArgs &args);
std::int32_t Sharpen48(const KernelArgs &args);
}  // namespace reference

}  // namespace ostrel::imaging
