// Luma24To8: the grey conversion of a colour image (gray mode "Grayscale").
#pragma once

#include "imaging/conversion_kernel.h"

namespace ostrel::imaging {

// Each pixel of the 24- or 32-bit source (stepped by its bytes per pixel) becomes one byte
// (59 x green + 30 x red + 11 x blue) / 100, integer division. Returns 1 (0 for empty arguments).
std::int32_t Luma24To8(const KernelArgs &args);

}  // namespace ostrel::imaging
