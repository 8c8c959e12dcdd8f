// Contrast adjustment: a table that spreads c .. top - c over the whole range (positive contrast)
// or compresses the range towards the middle (negative contrast).
#pragma once

#include <cstdint>

#include "imaging/conversion_kernel.h"

namespace ostrel::imaging {

// Fills table[0..top] (top 255 or 1023) for the contrast c as the table uses it: the 8-bit
// kernels pass the setting, Contrast16 four times the setting, Contrast48 the setting itself.
void buildContrastTable(std::int64_t c, int top, std::uint16_t *table);

// Kernels, parameter block SingleValueParams; in place. Return 1.
std::int32_t Contrast8(const KernelArgs &args);
std::int32_t Contrast16(const KernelArgs &args);
std::int32_t Contrast24(const KernelArgs &args);
std::int32_t Contrast48(const KernelArgs &args);

namespace reference {
std::int32_t Contrast8(const KernelArgs &args);
std::int32_t Contrast16(const KernelArgs &args);
std::int32_t Contrast24(const KernelArgs &args);
std::int32_t Contrast48(const KernelArgs &args);
}  // namespace reference

}  // namespace ostrel::imaging
