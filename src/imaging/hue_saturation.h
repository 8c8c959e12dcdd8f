// Hue and saturation: each colour pixel is turned around the colour wheel by the hue setting
// (units of 1/256 of a turn, modulo a full turn) and its chroma scaled by (256 + saturation) / 256,
// keeping its lightness (maximum plus minimum channel).
//
// 10-bit colour images use the same transform at 10-bit scale: the lightness runs to 2046, the
// chroma tables have 1024 entries, and the position inside a colour sector keeps the 8-bit
// steps (1/255 of a sector), so a hue turn acts alike on both depths and no channel leaves
// 0..1023. Words above 1023 count as 1023.
#pragma once

#include <cstdint>

#include "imaging/conversion_kernel.h"

namespace ostrel::imaging {

// The hue setting as whole colour sectors and 1/255 steps within one.
struct HueShift {
    int sectors = 0;  // 0..5
    int steps = 0;    // 0..254
};
HueShift hueShift(std::int32_t hue);

// Saturation settings outside this range (possible only from saved settings) are limited to it
// before the step: below -255 the chroma table would turn negative.
inline constexpr std::int32_t kMinSaturation = -255;
inline constexpr std::int32_t kMaxSaturation = 255;

// Kernels, parameter block HueSaturationParams; in place. 24: blue, green, red bytes of 3- or
// 4-byte pixels; 48: blue, green, red words of 6- or 8-byte pixels. A fourth byte or word is
// left alone. Return 1.
std::int32_t HueSaturation24(const KernelArgs &args);
std::int32_t HueSaturation48(const KernelArgs &args);

namespace reference {
std::int32_t HueSaturation24(const KernelArgs &args);
std::int32_t HueSaturation48(const KernelArgs &args);
}  // namespace reference

}  // namespace ostrel::imaging
