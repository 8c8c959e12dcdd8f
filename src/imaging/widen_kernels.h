// The widenings of 10-bit images to the 16-bit range of 16-, 48- and 64-bit still image files.
// Each result is the low 16 bits of the shifted word.
#pragma once

#include "imaging/conversion_kernel.h"

namespace ostrel::imaging {

// Image 16 to 16-bit: each word shifted left by 4 (1023 becomes 16368).
std::int32_t Widen16Mono(const KernelArgs &args);

// Image 48 to 48-bit: each of the three words shifted left by 6 (1023 becomes 65472).
std::int32_t Widen48(const KernelArgs &args);

// Image 64 to 64-bit: the same, and the fourth word 65535.
std::int32_t Widen48Alpha(const KernelArgs &args);

// Image 48 to 48-bit: words shifted left by 6, the first and third exchanged.
std::int32_t Widen48SwapRedBlue(const KernelArgs &args);

// Image 64 to 64-bit: the same, and the fourth word 65535.
std::int32_t Widen48SwapRedBlueAlpha(const KernelArgs &args);

}  // namespace ostrel::imaging
