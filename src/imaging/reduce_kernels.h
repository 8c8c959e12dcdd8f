// The reductions of 10-bit images to 8 bits per channel, for the preview, the recorder and the
// still image files. A 10-bit value is reduced by taking bits 2..9 of its word.
#pragma once

#include "imaging/conversion_kernel.h"

namespace ostrel::imaging {

// Image 16 to an 8-bit image, rows in memory order / reversed (row i reads rectangle row
// height - 1 - i).
std::int32_t Reduce16To8(const KernelArgs &args);
std::int32_t Reduce16To8Flipped(const KernelArgs &args);

// Image 48 or 64 (stepped by its bytes per pixel) to a 24-bit image: blue, green and red words
// each reduced; rows in memory order / reversed.
std::int32_t Reduce48To24(const KernelArgs &args);
std::int32_t Reduce48To24Flipped(const KernelArgs &args);

}  // namespace ostrel::imaging
