// Brightness adjustment: every sample multiplied by a factor (1 - |b| / 255 for darker settings,
// 1 + 10 b / 255 for brighter ones), truncated and limited to the sample range.
#pragma once

#include <cstdint>

#include "imaging/conversion_kernel.h"

namespace ostrel::imaging {

// The factor of a brightness setting b (1 for 0).
double brightnessFactor(std::int32_t setting);

// Fills table[0..top] with trunc(k * v) limited to 0..top.
void buildBrightnessTable(std::int32_t setting, int top, std::uint16_t *table);

// Kernels, parameter block SingleValueParams; in place. Return 1.
std::int32_t Brightness8(const KernelArgs &args);
std::int32_t Brightness16(const KernelArgs &args);
std::int32_t Brightness24(const KernelArgs &args);
std::int32_t Brightness48(const KernelArgs &args);

namespace reference {
// The factor applied to each sample in turn, without a table.
std::int32_t Brightness8(const KernelArgs &args);
std::int32_t Brightness16(const KernelArgs &args);
std::int32_t Brightness24(const KernelArgs &args);
std::int32_t Brightness48(const KernelArgs &args);
}  // namespace reference

}  // namespace ostrel::imaging
