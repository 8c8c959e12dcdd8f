// Gray gains of the "Bayer convert" gray mode: a gain and an offset for each of the four mosaic
// positions of an 8-bit image, and the measurement that evens out the positions' mean levels.
#pragma once

#include <cstdint>

#include "imaging/conversion_kernel.h"

namespace ostrel::imaging {

// Gains by position name (gain 128 = 1.0).
struct GrayGains {
    std::int32_t r = 128;
    std::int32_t g1 = 128;
    std::int32_t g2 = 128;
    std::int32_t b = 128;
};

// Parameter block of ApplyGrayGains.
struct GrayGainParams {
    std::int32_t bayerMode = 0;
    GrayGains gains;
    std::int32_t offsetR = 0;
    std::int32_t offsetG1 = 0;
    std::int32_t offsetG2 = 0;
    std::int32_t offsetB = 0;
};

// Parameter block of MeasureGrayGains: the phase and where the gains go.
struct GrayGainMeasureParams {
    std::int32_t bayerMode = 0;
    GrayGains *gains = nullptr;
};

// 8-bit image (source). Means of the samples 1..254 of each position; writes G1 = 128 and, for
// R, G2 and B, trunc(mean G1 / mean of the position x 128), and returns 1. Returns 0 and writes
// nothing when a position has no such samples (a black or saturated frame).
std::int32_t MeasureGrayGains(const KernelArgs &args);

// 8-bit image, source to destination (in place in the pipeline): each sample v at position p
// becomes offset(p) + ((gain(p) x v) >> 7), limited to 0..255. Returns 1.
std::int32_t ApplyGrayGains(const KernelArgs &args);

namespace reference {
std::int32_t ApplyGrayGains(const KernelArgs &args);
}  // namespace reference

}  // namespace ostrel::imaging
