// The colour positions of the 2 x 2 mosaic. The Bayer mode gives the phase of memory row 0,
// column 0: bit 0 the row phase, bit 1 the column phase; a mode outside 0..3 acts as 0.
#pragma once

#include <cstdint>

namespace ostrel::imaging {

// Position index by phase: (row phase << 1) | column phase.
//   0 = (0, 0): green (gray gain name G1)
//   1 = (0, 1): blue  (gray gain name R)
//   2 = (1, 0): red   (gray gain name B)
//   3 = (1, 1): green (gray gain name G2)
inline constexpr int kPhaseGreen1 = 0;
inline constexpr int kPhaseBlue = 1;
inline constexpr int kPhaseRed = 2;
inline constexpr int kPhaseGreen2 = 3;

inline int validBayerMode(std::int32_t mode) {
    return mode >= 0 && mode <= 3 ? mode : 0;
}

// The position of the sample at memory row y, column x.
inline int mosaicPosition(std::int32_t bayerMode, int x, int y) {
    const int mode = validBayerMode(bayerMode);
    const int rowPhase = (mode & 1) ^ (y & 1);
    const int columnPhase = ((mode >> 1) & 1) ^ (x & 1);
    return (rowPhase << 1) | columnPhase;
}

// A floating-point measurement truncated toward zero into a 32-bit word, saturating instead of
// overflowing (a nearly black position class can make a ratio enormous).
inline std::int32_t truncToWord(double value) {
    if (!(value > -2147483648.0)) {
        return value != value ? 0 : INT32_MIN;
    }
    if (value >= 2147483647.0) {
        return INT32_MAX;
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace ostrel::imaging
