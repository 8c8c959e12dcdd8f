// Internal to the hue and saturation kernels: the transform eight pixels at a time in AVX2, used
// when the processor has it. It computes exactly what the plain per-pixel transform computes,
// without branches, so random colours cost no more than smooth ones.
#pragma once

#include <cstdint>

namespace ostrel::imaging::hue_detail {

// What the transform needs besides the pixels.
struct HueSetup {
    int top = 255;                             // 255 or 1023
    std::int32_t chromaScale = 0;              // (saturation + 256) x 256
    int sectors = 0;                           // whole sectors of the hue shift
    int steps = 0;                             // 1/255 steps of the hue shift
    const std::int32_t *reciprocal = nullptr;  // 16711680 / c for c = 0..top (entry 0 is 0)
};

// Turns n pixels (only when kCpuAvx2 may be used) (n a multiple of 8) given as three planes of
// channel values 0..top, in place.
void turnPlanesAvx2(std::int32_t *blue, std::int32_t *green, std::int32_t *red, int n,
                    const HueSetup &setup);

// Turns 8-bit pixels of 3 or 4 bytes (other sizes: nothing) from src into dst, eight at a time,
// as far as its 32-byte loads stay inside the n pixels; returns how many pixels it did (the rest
// is the caller's). A fourth byte of dst is left alone. In place allowed.
int turnBytesAvx2(const std::uint8_t *src, int srcBytes, std::uint8_t *dst, int dstBytes, int n,
                  const HueSetup &setup);

}  // namespace ostrel::imaging::hue_detail
