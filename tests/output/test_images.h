// Test images of every output format, filled from a function of (x, y, channel) with rows in
// memory order (memory row 0 is the top of the picture).
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>

#include "imaging/dib_image.h"

namespace ostrel::output::test {

using SampleFn = std::function<std::uint16_t(int x, int y, int channel)>;

// Channels stored per pixel: 1 for 8 and 16 bits, 3 for 24 and 48, 4 for 32 and 64.
inline int storedChannels(std::uint16_t bitCount) {
    return bitCount == 8 || bitCount == 16 ? 1 : bitCount == 24 || bitCount == 48 ? 3 : 4;
}

inline bool wordSamples(std::uint16_t bitCount) {
    return bitCount == 16 || bitCount == 48 || bitCount == 64;
}

inline std::uint16_t sampleAt(const imaging::DibImage &image, int x, int y, int channel) {
    const int size = wordSamples(image.bitCount()) ? 2 : 1;
    const std::uint8_t *p = image.row(y) + x * image.bytesPerPixel() + channel * size;
    return size == 2 ? static_cast<std::uint16_t>(p[0] | p[1] << 8) : p[0];
}

inline void fillImage(imaging::DibImage &image, const SampleFn &value) {
    const int channels = storedChannels(image.bitCount());
    const bool words = wordSamples(image.bitCount());
    for (int y = 0; y < image.height(); ++y) {
        std::uint8_t *row = image.row(y);
        for (int x = 0; x < image.width(); ++x) {
            for (int c = 0; c < channels; ++c) {
                const std::uint16_t v = value(x, y, c);
                std::uint8_t *p = row + x * image.bytesPerPixel() + c * (words ? 2 : 1);
                p[0] = static_cast<std::uint8_t>(v);
                if (words) {
                    p[1] = static_cast<std::uint8_t>(v >> 8);
                }
            }
        }
    }
}

// A picture with a different value in every row, column and channel: 0..255 for byte samples,
// 0..1023 for 10-bit words.
inline std::uint16_t patternValue(std::uint16_t bitCount, int x, int y, int channel) {
    const int top = wordSamples(bitCount) ? 1024 : 256;
    return static_cast<std::uint16_t>((x * 37 + y * 101 + channel * 59 + 11) % top);
}

inline bool makePattern(imaging::DibImage &image, int width, int height, std::uint16_t bitCount) {
    if (!image.create(width, height, bitCount)) {
        return false;
    }
    fillImage(image, [bitCount](int x, int y, int c) { return patternValue(bitCount, x, y, c); });
    return true;
}

}  // namespace ostrel::output::test
