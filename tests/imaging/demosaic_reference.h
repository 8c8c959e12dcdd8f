// The colour reconstruction written straight from its definition, pixel by pixel and in 64-bit
// arithmetic, as the measure for the kernels' exact results. Written apart from the library's
// code on purpose: it shares nothing with it.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace ostrel::imaging::reference {

enum class Region { Interior, Border, All };

struct Mosaic {
    int width = 0;
    int height = 0;
    std::vector<std::uint16_t> samples;  // row by row; bytes for the 8-bit kernels
    std::uint16_t at(int x, int y) const {
        return samples[static_cast<std::size_t>(y) * width + x];
    }
};

// Where a neighbour outside the image is read: index + 4 below 0, index - 4 at or beyond the
// size; in images under 4 pixels further steps of 2 until inside; 0 in a dimension of size 1.
inline int substituted(int index, int size) {
    if (index >= 0 && index < size) {
        return index;
    }
    if (size == 1) {
        return 0;
    }
    int i = index < 0 ? index + 4 : index - 4;
    while (i < 0) {
        i += 2;
    }
    while (i >= size) {
        i -= 2;
    }
    return i;
}

inline std::int64_t floorFactor(std::int32_t gain) {
    const std::int64_t scaled = std::int64_t{32} * gain;
    return scaled >= 0 ? scaled / 25 : -((-scaled + 24) / 25);
}

inline bool inRegion(Region region, int x, int y, int width, int height) {
    const bool interior = x >= 2 && x <= width - 3 && y >= 2 && y <= height - 3;
    return region == Region::All || (region == Region::Interior) == interior;
}

// Reconstructs into `out` (rows of `stride` bytes, `pixelBytes` per pixel, words for wide
// samples) the pixels of the region; every other byte of `out` is left alone.
inline void referenceDemosaic(const Mosaic &m, bool wide, int bayerMode, std::int32_t redGain,
                              std::int32_t blueGain, Region region, std::uint8_t *out, int stride,
                              int pixelBytes) {
    const int mode = bayerMode >= 0 && bayerMode <= 3 ? bayerMode : 0;
    const int r0 = mode & 1;
    const int c0 = (mode >> 1) & 1;
    const std::int64_t cap = wide ? 1023 : 255;
    auto sample = [&](int x, int y) -> std::int64_t {
        const std::int64_t v = m.at(substituted(x, m.width), substituted(y, m.height));
        return wide && v > 1023 ? 1023 : v;
    };
    auto limit = [&](std::int64_t v) { return v < 0 ? 0 : (v > cap ? cap : v); };
    const std::int64_t kR = floorFactor(redGain);
    const std::int64_t kB = floorFactor(blueGain);
    for (int y = 0; y < m.height; ++y) {
        for (int x = 0; x < m.width; ++x) {
            if (!inRegion(region, x, y, m.width, m.height)) {
                continue;
            }
            std::int64_t greens = 0;
            std::int64_t red = 0;
            std::int64_t blue = 0;
            for (int yy = y - 1; yy <= y; ++yy) {
                for (int xx = x - 1; xx <= x; ++xx) {
                    const int rowPhase = r0 ^ (yy & 1);
                    const int colPhase = c0 ^ (xx & 1);
                    if (rowPhase == colPhase) {
                        greens += sample(xx, yy);
                        continue;
                    }
                    const int sx = xx == x - 1 ? 1 : -1;
                    const int sy = yy == y - 1 ? 1 : -1;
                    const std::int64_t s = 9 * sample(xx, yy) + 3 * sample(xx + 2 * sx, yy) +
                                           3 * sample(xx, yy + 2 * sy) +
                                           sample(xx + 2 * sx, yy + 2 * sy);
                    if (rowPhase == 1) {
                        red = limit((s * kR) >> 11);
                    } else {
                        blue = limit((s * kB) >> 11);
                    }
                }
            }
            const std::int64_t green = limit(greens >> 1);
            std::uint8_t *p = out + static_cast<std::size_t>(y) * stride +
                              static_cast<std::size_t>(x) * pixelBytes;
            if (wide) {
                const std::uint16_t words[3] = {static_cast<std::uint16_t>(blue),
                                                static_cast<std::uint16_t>(green),
                                                static_cast<std::uint16_t>(red)};
                std::memcpy(p, words, sizeof words);
            } else {
                p[0] = static_cast<std::uint8_t>(blue);
                p[1] = static_cast<std::uint8_t>(green);
                p[2] = static_cast<std::uint8_t>(red);
            }
        }
    }
}

}  // namespace ostrel::imaging::reference
