// Gamma adjustment: a table of the top value plus one entries built from the gamma setting
// (100 = unchanged, above darkens, below lightens) and applied to every sample.
#pragma once

#include <cstdint>

#include "imaging/conversion_kernel.h"

namespace ostrel::imaging {

// The exponent of a gamma setting: g <= 100 gives g / 100, g > 100 gives (g - 100) / 10 + 1,
// limited to 0.001 .. 99.999.
double gammaExponent(std::int32_t setting);

// Fills table[0..top] (top 255 or 1023) for the setting.
void buildGammaTable(std::int32_t setting, int top, std::uint16_t *table);

// Kernels, parameter block SingleValueParams; in place (or source to destination). 8: grey
// bytes; 16: 10-bit grey words; 24: blue, green, red bytes of 3- or 4-byte pixels; 48: blue,
// green, red words of 6- or 8-byte pixels. Return 1.
std::int32_t Gamma8(const KernelArgs &args);
std::int32_t Gamma16(const KernelArgs &args);
std::int32_t Gamma24(const KernelArgs &args);
std::int32_t Gamma48(const KernelArgs &args);

namespace reference {
// The table searched entry by entry as the formula reads, applied pixel by pixel.
void buildGammaTable(std::int32_t setting, int top, std::uint16_t *table);
std::int32_t Gamma8(const KernelArgs &args);
std::int32_t Gamma16(const KernelArgs &args);
std::int32_t Gamma24(const KernelArgs &args);
std::int32_t Gamma48(const KernelArgs &args);
}  // namespace reference

}  // namespace ostrel::imaging
