// Internal to the colour reconstruction kernels: the geometry of one reconstruction, the scale
// factors, neighbour substitution, and the row routines that compute runs of pixels whose
// columns need no substitution.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "imaging/conversion_kernel.h"
#include "imaging/demosaic.h"

namespace ostrel::imaging::demosaic_detail {

// The largest value of an output channel and of a sample: 255 for bytes, 1023 for 10-bit words.
template <typename Sample>
inline constexpr std::uint32_t kCap = sizeof(Sample) == 1 ? 255u : 1023u;

// A sample as the arithmetic sees it: 10-bit words above 1023 are saturated readings.
template <typename Sample>
inline std::uint32_t sampleValue(Sample s) {
    if constexpr (sizeof(Sample) == 1) {
        return s;
    } else {
        return s > 1023u ? 1023u : s;
    }
}

// A 16-weighted sum times a factor is scaled down by kFactorShift bits (gain 100 is factor 128,
// which gives the sum / 16). Factors below kFactorLimit (gains below 1600) scale in one multiply
// of 32 bits; from it on rows use the split form of scaleChannel.
inline constexpr int kFactorShift = 11;
inline constexpr std::uint32_t kFactorLimit = 1u << kFactorShift;

// floor(32 x gain / 25), then limited to what can change a result: a negative factor gives 0 in
// every pixel, and from cap x 2048 on every non-zero sum already saturates, so larger factors act
// like that one. The limited factor keeps the 16-weighted sum times the factor below 2^32 for
// bytes; for 10-bit words the split form below is used when it would not.
template <typename Sample>
inline std::uint32_t channelFactor(std::int32_t gain) {
    const std::int64_t scaled = std::int64_t{32} * gain;
    const std::int64_t floored = scaled >= 0 ? scaled / 25 : -((-scaled + 24) / 25);
    return static_cast<std::uint32_t>(
        std::clamp<std::int64_t>(floored, 0, std::int64_t{kCap<Sample>} * kFactorLimit));
}

// min((sum x factor) >> 11, cap) without overflow for any limited factor: the factor is split
// into its multiples of 2048 and the rest, each product fitting in 32 bits.
template <typename Sample>
inline std::uint32_t scaleChannel(std::uint32_t sum, std::uint32_t factor) {
    const std::uint32_t whole = factor >> kFactorShift;
    const std::uint32_t part = factor & (kFactorLimit - 1);
    return std::min(sum * whole + ((sum * part) >> kFactorShift), kCap<Sample>);
}

// One reconstruction: the mosaic rectangle treated as an image of its own, where it lands, and
// the factors.
struct Geometry {
    const std::uint8_t *src;  // sample (0, 0) of the rectangle
    std::ptrdiff_t srcStride;
    std::uint8_t *dst;  // pixel (0, 0) of the destination
    std::ptrdiff_t dstStride;
    int dstBytes;  // 3 or 4 (bytes), 6 or 8 (words)
    int width;
    int height;
    int rowPhase0;  // row phase of row 0
    int colPhase0;  // column phase of column 0
    std::uint32_t redFactor;
    std::uint32_t blueFactor;
    // Four-sample pixels may be written whole, with 0 in the fourth sample: the destination's
    // fourth samples are all 0 already.
    bool wholePixels = false;
    // The output is larger than the caches: the row routines may write it with streaming stores
    // (finishStreaming must then follow before the rows are handed on).
    bool streaming = false;
};

// Whether both colour factors are below kFactorLimit, so rows may scale in one multiply.
inline bool factorsBelowLimit(const Geometry &g) {
    return g.redFactor < kFactorLimit && g.blueFactor < kFactorLimit;
}

// Outputs of more bytes than this are written with streaming stores where possible.
inline constexpr std::int64_t kStreamingOutputBytes = std::int64_t{16} << 20;

// Geometry from a kernel's arguments and colour gains (the defaults when null); false when they
// do not describe a reconstruction this kernel can do (wrong sample size or pixel size, no
// pixels).
template <typename Sample>
bool makeGeometry(const KernelArgs &args, const ColourGains *gains, Geometry &g);

// Where a neighbour index outside 0..size-1 is read from: 4 towards the inside, and for images
// under 4 pixels further by 2 until inside (same parity, so the same colour); 0 when size is 1.
inline int substituteIndex(int index, int size) {
    if (index >= 0 && index < size) {
        return index;
    }
    if (size == 1) {
        return 0;
    }
    index = index < 0 ? index + 4 : index - 4;
    while (index < 0) {
        index += 2;
    }
    while (index >= size) {
        index -= 2;
    }
    return index;
}

template <typename Sample>
inline void storePixel(std::uint8_t *out, std::uint32_t blue, std::uint32_t green,
                       std::uint32_t red) {
    auto *p = reinterpret_cast<Sample *>(out);
    p[0] = static_cast<Sample>(blue);
    p[1] = static_cast<Sample>(green);
    p[2] = static_cast<Sample>(red);
}

// The four mosaic rows around output row y (rows y-2 .. y+1, substituted where outside).
template <typename Sample>
struct RowWindow {
    const Sample *rows[4];
};

template <typename Sample>
RowWindow<Sample> rowWindow(const Geometry &g, int y) {
    RowWindow<Sample> w;
    for (int i = 0; i < 4; ++i) {
        const int row = substituteIndex(y - 2 + i, g.height);
        w.rows[i] = reinterpret_cast<const Sample *>(g.src + row * g.srcStride);
    }
    return w;
}

// Computes output columns xBegin .. xEnd-1 of output row y, reading columns xBegin-2 .. xEnd of
// the window's rows (they must exist). The plain routine, written so the compiler can vectorise
// it; exact for every limited factor.
template <typename Sample>
void rowPortable(const Geometry &g, const RowWindow<Sample> &w, int y, int xBegin, int xEnd);

// The same with AVX2 instructions where the processor has them (the caller checks kCpuAvx2), for
// factors
// below kAvx2FactorLimit; falls back to rowPortable for what it leaves.
template <typename Sample>
inline constexpr std::uint32_t kAvx2FactorLimit = sizeof(Sample) == 1 ? 32768u : 8192u;

void rowAvx2Bytes(const Geometry &g, const RowWindow<std::uint8_t> &w, int y, int xBegin, int xEnd);
void rowAvx2Words(const Geometry &g, const RowWindow<std::uint16_t> &w, int y, int xBegin,
                  int xEnd);

// Orders the streaming stores of the calling thread before its later stores (a band's end).
void finishStreaming();

}  // namespace ostrel::imaging::demosaic_detail
