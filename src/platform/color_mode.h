// The output pixel formats of the frame pipeline and what each implies for the raw image.
// A plain record below both the settings store, which keeps it, and the frame pipeline, which
// reads it; it keeps the pipeline's namespace, where it is used most.
#pragma once

#include <cstdint>

namespace ostrel::imaging {

enum class ColorMode : std::uint32_t {
    Mono8 = 0,   // 8-bit grey; the raw mosaic (or its grey conversion) is the output
    Mono16 = 1,  // 16-bit words holding 10-bit values; the raw image is the output
    Bgr24 = 2,
    Bgr32 = 3,  // fourth byte stays 0
    Bgr48 = 4,  // 16-bit words, each 0..1023
    Bgr64 = 5,  // fourth word stays 0
};

// Bits per pixel of the output image (8, 16, 24, 32, 48, 64); 0 for a code outside 0..5.
constexpr int outputBitCount(ColorMode mode) {
    switch (mode) {
        case ColorMode::Mono8:
            return 8;
        case ColorMode::Mono16:
            return 16;
        case ColorMode::Bgr24:
            return 24;
        case ColorMode::Bgr32:
            return 32;
        case ColorMode::Bgr48:
            return 48;
        case ColorMode::Bgr64:
            return 64;
    }
    return 0;
}

// True when the raw frame is held in 16-bit words (image 16) rather than bytes (image 8).
constexpr bool hasWideRawSamples(ColorMode mode) {
    return mode == ColorMode::Mono16 || mode == ColorMode::Bgr48 || mode == ColorMode::Bgr64;
}

constexpr bool isColour(ColorMode mode) {
    return mode == ColorMode::Bgr24 || mode == ColorMode::Bgr32 || mode == ColorMode::Bgr48 ||
           mode == ColorMode::Bgr64;
}

}  // namespace ostrel::imaging
