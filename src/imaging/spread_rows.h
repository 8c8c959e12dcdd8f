// SpreadRows8 / SpreadRows16: spread the tightly packed rows that the device delivers (width x
// sample size apart) to the image's padded stride, in place.
#pragma once

#include "imaging/conversion_kernel.h"

namespace ostrel::imaging {

// The raw image is both source and destination; the rectangle gives width and height, the
// destination stride the padded row length. Works from the last row and the last sample
// backwards, so no sample is overwritten before it has moved, and leaves the padding bytes of
// every row 0. Returns 1 (0 for empty arguments or a stride shorter than a packed row).
std::int32_t SpreadRows8(const KernelArgs &args);
std::int32_t SpreadRows16(const KernelArgs &args);

}  // namespace ostrel::imaging
