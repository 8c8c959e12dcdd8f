// White balance measurement: colour gains that make the mean red and blue of the raw mosaic
// match its mean green.
#pragma once

#include <cstdint>

#include "imaging/conversion_kernel.h"

namespace ostrel::imaging {

struct WhiteBalanceGains {
    std::int32_t blue = 100;
    std::int32_t green = 100;
    std::int32_t red = 100;
};

// Parameter block: the phase of the mosaic and where the gains go.
struct WhiteBalanceParams {
    std::int32_t bayerMode = 0;
    WhiteBalanceGains *gains = nullptr;
};

// Whole raw image (source). Writes blue = trunc(100 G / B), green = 100, red = trunc(100 G / R)
// from the means of the green, blue and red samples and returns 1; returns 0 and writes nothing
// when a colour has no samples or a zero mean (a black frame): the caller keeps its gains.
// 8: byte samples; 16: 16-bit words as they stand.
std::int32_t MeasureWhiteBalance8(const KernelArgs &args);
std::int32_t MeasureWhiteBalance16(const KernelArgs &args);

}  // namespace ostrel::imaging
