// The colour reconstruction kernels: argument checks, the split of a frame into row bands, and the
// plain row routine (rows by mosaic phase, no per-pixel branches, vectorised by the compiler) that
// serves processors without AVX2.
#include "imaging/demosaic.h"

#include <cstring>
#include <type_traits>

#include "imaging/cpu_features.h"
#include "imaging/demosaic_rows.h"
#include "imaging/worker_pool.h"

namespace ostrel::imaging {
namespace demosaic_detail {

template <typename Sample>
bool makeGeometry(const KernelArgs &args, const ColourGains *gainsBlock, Geometry &g) {
    constexpr int kSampleBytes = sizeof(Sample);
    const int outBytes = args.dstBytesPerPixel;
    if (args.dst == nullptr || args.src == nullptr || args.srcBytesPerPixel != kSampleBytes ||
        (outBytes != 3 * kSampleBytes && outBytes != 4 * kSampleBytes)) {
        return false;
    }
    const KernelRect &r = args.srcRect;
    if (r.left < 0 || r.top < 0 || r.right <= r.left || r.bottom <= r.top || args.dstX < 0 ||
        args.dstY < 0) {
        return false;
    }
    ColourGains gains;
    if (gainsBlock != nullptr) {
        gains = *gainsBlock;
    }
    const int mode = gains.bayerMode >= 0 && gains.bayerMode <= 3 ? gains.bayerMode : 0;
    g.src = args.src + static_cast<std::ptrdiff_t>(r.top) * args.srcStride +
            static_cast<std::ptrdiff_t>(r.left) * kSampleBytes;
    g.srcStride = args.srcStride;
    g.dst = args.dst + static_cast<std::ptrdiff_t>(args.dstY) * args.dstStride +
            static_cast<std::ptrdiff_t>(args.dstX) * outBytes;
    g.dstStride = args.dstStride;
    g.dstBytes = outBytes;
    g.width = r.right - r.left;
    g.height = r.bottom - r.top;
    // Phases follow memory rows and columns, also for a rectangle that does not start at (0, 0).
    g.rowPhase0 = (mode & 1) ^ (r.top & 1);
    g.colPhase0 = ((mode >> 1) & 1) ^ (r.left & 1);
    g.redFactor = channelFactor<Sample>(gains.redGain);
    g.blueFactor = channelFactor<Sample>(gains.blueGain);
    return true;
}

namespace {

// The mosaic rows around output row y by the role they play. Red lies at phase (1, 0), blue at
// (0, 1), greens at (0, 0) and (1, 1): the near row of a colour is the cell row (y-1 or y) that
// holds it, its far row the one two further out.
template <typename Sample>
struct RowRoles {
    const Sample *redNear;
    const Sample *redFar;
    const Sample *blueNear;
    const Sample *blueFar;
    const Sample *rowB;  // y-1
    const Sample *rowC;  // y
};

template <typename Sample>
RowRoles<Sample> rowRoles(const RowWindow<Sample> &w, int rowPhase) {
    const Sample *a = w.rows[0];
    const Sample *b = w.rows[1];
    const Sample *c = w.rows[2];
    const Sample *d = w.rows[3];
    return rowPhase == 1 ? RowRoles<Sample>{c, a, b, d, b, c} : RowRoles<Sample>{b, d, c, a, b, c};
}

// min((sum x factor) >> 11, cap) for factors below 2048: the high half of sum x 32 x factor, a
// 16 x 16 bit multiply that the compiler vectorises as such (sum is below 16384).
template <typename Sample>
inline std::uint16_t scaleSmall(std::uint16_t sum, std::uint16_t factor32) {
    const auto v = static_cast<std::uint16_t>((static_cast<std::uint32_t>(sum) * factor32) >> 16);
    return v < kCap<Sample> ? v : static_cast<std::uint16_t>(kCap<Sample>);
}

// Output columns are computed a chunk at a time into three planes by one uniform loop (the
// alternating column phase is a select, not a branch), then interleaved into pixels.
constexpr int kPlainChunk = 256;

struct Alternation {
    std::uint16_t masks[2][kPlainChunk];
    constexpr Alternation() : masks() {
        for (int i = 0; i < kPlainChunk; ++i) {
            masks[0][i] = (i & 1) != 0 ? 0xFFFF : 0;
            masks[1][i] = (i & 1) != 0 ? 0 : 0xFFFF;
        }
    }
};
constexpr Alternation kAlternationTable;
constexpr const std::uint16_t (&kAlternation)[2][kPlainChunk] = kAlternationTable.masks;

template <typename Sample, bool SmallFactors>
void planes(const RowRoles<Sample> &r, int x0, int n, int oddPhase, std::uint16_t greenLeftWhenEven,
            std::uint32_t redFactor, std::uint32_t blueFactor, Sample *blue, Sample *green,
            Sample *red) {
    // Column phases alternate along the row: a table of masks starting with x0's phase.
    const std::uint16_t *alternation = kAlternation[(x0 ^ oddPhase) & 1];
    for (int i = 0; i < n; ++i) {
        const int x = x0 + i;
        // Column phase 1: red sits in column x - 1 (far one at x + 1), blue in x itself (far one
        // at x - 2); column phase 0 the other way round.
        // All ones in column phase 1; selections are bit operations, so the loop has no branch.
        const std::uint16_t odd = alternation[i];
        auto pick = [](std::uint16_t ifEven, std::uint16_t ifOdd, std::uint16_t mask) {
            return static_cast<std::uint16_t>(ifEven ^ ((ifEven ^ ifOdd) & mask));
        };
        // Samples are limited (10-bit words above 1023) after the selection, where fewer remain.
        auto v = [](Sample s) { return static_cast<std::uint16_t>(s); };
        auto lim = [](std::uint16_t s) {
            return static_cast<std::uint16_t>(sampleValue<Sample>(static_cast<Sample>(s)));
        };
        const std::uint16_t rn0 = v(r.redNear[x]), rnM1 = v(r.redNear[x - 1]);
        const std::uint16_t rnM2 = v(r.redNear[x - 2]), rnP1 = v(r.redNear[x + 1]);
        const std::uint16_t rf0 = v(r.redFar[x]), rfM1 = v(r.redFar[x - 1]);
        const std::uint16_t rfM2 = v(r.redFar[x - 2]), rfP1 = v(r.redFar[x + 1]);
        const std::uint16_t bn0 = v(r.blueNear[x]), bnM1 = v(r.blueNear[x - 1]);
        const std::uint16_t bnM2 = v(r.blueNear[x - 2]), bnP1 = v(r.blueNear[x + 1]);
        const std::uint16_t bf0 = v(r.blueFar[x]), bfM1 = v(r.blueFar[x - 1]);
        const std::uint16_t bfM2 = v(r.blueFar[x - 2]), bfP1 = v(r.blueFar[x + 1]);
        const std::uint16_t c0 = v(r.rowC[x]), cM1 = v(r.rowC[x - 1]);
        const std::uint16_t b0 = v(r.rowB[x]), bM1 = v(r.rowB[x - 1]);
        const std::uint16_t rnN = lim(pick(rn0, rnM1, odd));
        const std::uint16_t rnF = lim(pick(rnM2, rnP1, odd));
        const std::uint16_t rfN = lim(pick(rf0, rfM1, odd));
        const std::uint16_t rfF = lim(pick(rfM2, rfP1, odd));
        const std::uint16_t bnN = lim(pick(bnM1, bn0, odd));
        const std::uint16_t bnF = lim(pick(bnP1, bnM2, odd));
        const std::uint16_t bfN = lim(pick(bfM1, bf0, odd));
        const std::uint16_t bfF = lim(pick(bfP1, bfM2, odd));
        const auto redSum = static_cast<std::uint16_t>(9 * rnN + 3 * (rnF + rfN) + rfF);
        const auto blueSum = static_cast<std::uint16_t>(9 * bnN + 3 * (bnF + bfN) + bfF);
        // Row y's green is in column x - 1 when x's phase differs from the row's, row y-1's then
        // in column x.
        const auto greenLeft = static_cast<std::uint16_t>(odd ^ greenLeftWhenEven);
        const std::uint16_t gC = lim(pick(c0, cM1, greenLeft));
        const std::uint16_t gB = lim(pick(bM1, b0, greenLeft));
        green[i] = static_cast<Sample>((gB + gC) >> 1);
        if constexpr (SmallFactors) {
            red[i] = static_cast<Sample>(
                scaleSmall<Sample>(redSum, static_cast<std::uint16_t>(redFactor * 32)));
            blue[i] = static_cast<Sample>(
                scaleSmall<Sample>(blueSum, static_cast<std::uint16_t>(blueFactor * 32)));
        } else {
            red[i] = static_cast<Sample>(scaleChannel<Sample>(redSum, redFactor));
            blue[i] = static_cast<Sample>(scaleChannel<Sample>(blueSum, blueFactor));
        }
    }
}

// Writes three channels per pixel. Each pixel but the last is stored as one word of four
// samples whose fourth one is overwritten by the next pixel (stores go in ascending order), which
// is much cheaper than three separate stores; the last pixel is stored sample by sample so that
// nothing beyond the run is written.
template <typename Sample>
void interleaveThree(const Sample *blue, const Sample *green, const Sample *red, int n,
                     std::uint8_t *out) {
    using Word = std::conditional_t<sizeof(Sample) == 1, std::uint32_t, std::uint64_t>;
    constexpr int kBits = 8 * sizeof(Sample);
    for (int i = 0; i + 1 < n; ++i) {
        const Word word = static_cast<Word>(blue[i]) | (static_cast<Word>(green[i]) << kBits) |
                          (static_cast<Word>(red[i]) << (2 * kBits));
        std::memcpy(out + 3 * sizeof(Sample) * i, &word, sizeof word);
    }
    auto *last = reinterpret_cast<Sample *>(out + 3 * sizeof(Sample) * (n - 1));
    last[0] = blue[n - 1];
    last[1] = green[n - 1];
    last[2] = red[n - 1];
}

// Four-sample pixels: the fourth sample is left alone.
template <typename Sample>
void interleaveFour(const Sample *blue, const Sample *green, const Sample *red, int n,
                    std::uint8_t *out) {
    auto *p = reinterpret_cast<Sample *>(out);
    for (int i = 0; i < n; ++i) {
        p[4 * i] = blue[i];
        p[4 * i + 1] = green[i];
        p[4 * i + 2] = red[i];
    }
}

template <typename Sample, bool SmallFactors>
void rowPlain(const Geometry &g, const RowWindow<Sample> &w, int y, int xBegin, int xEnd) {
    const int rowPhase = g.rowPhase0 ^ (y & 1);
    const RowRoles<Sample> roles = rowRoles(w, rowPhase);
    // Column x has phase 1 when (x ^ oddPhase) is odd.
    const int oddPhase = g.colPhase0;
    // Row y's green is in column x - 1 where x's phase differs from the row's: all ones when
    // that is so for columns of phase 0.
    const auto greenLeftWhenEven = static_cast<std::uint16_t>(rowPhase == 1 ? 0xFFFF : 0);
    std::uint8_t *outRow = g.dst + y * g.dstStride;
    const bool fourChannels = g.dstBytes == 4 * static_cast<int>(sizeof(Sample));
    Sample blue[kPlainChunk];
    Sample green[kPlainChunk];
    Sample red[kPlainChunk];
    for (int x0 = xBegin; x0 < xEnd; x0 += kPlainChunk) {
        const int n = xEnd - x0 < kPlainChunk ? xEnd - x0 : kPlainChunk;
        planes<Sample, SmallFactors>(roles, x0, n, oddPhase, greenLeftWhenEven, g.redFactor,
                                     g.blueFactor, blue, green, red);
        std::uint8_t *out = outRow + x0 * g.dstBytes;
        if (fourChannels) {
            interleaveFour<Sample>(blue, green, red, n, out);
        } else {
            interleaveThree<Sample>(blue, green, red, n, out);
        }
    }
}

}  // namespace

template <typename Sample>
void rowPortable(const Geometry &g, const RowWindow<Sample> &w, int y, int xBegin, int xEnd) {
    if (xBegin >= xEnd) {
        return;
    }
    if (factorsBelowLimit(g)) {
        rowPlain<Sample, true>(g, w, y, xBegin, xEnd);
    } else {
        rowPlain<Sample, false>(g, w, y, xBegin, xEnd);
    }
}

template bool makeGeometry<std::uint8_t>(const KernelArgs &, const ColourGains *, Geometry &);
template bool makeGeometry<std::uint16_t>(const KernelArgs &, const ColourGains *, Geometry &);
template void rowPortable<std::uint8_t>(const Geometry &, const RowWindow<std::uint8_t> &, int, int,
                                        int);
template void rowPortable<std::uint16_t>(const Geometry &, const RowWindow<std::uint16_t> &, int,
                                         int, int);

}  // namespace demosaic_detail

namespace {

using namespace demosaic_detail;

// Output rows per band: enough work per band to outweigh handing it to another thread.
constexpr int kMinRowsPerBand = 16;

template <typename Sample>
void computeRow(const Geometry &g, const RowWindow<Sample> &w, int y, int xBegin, int xEnd) {
    const bool fast = hasCpuFeatures(kCpuAvx2) && g.redFactor < kAvx2FactorLimit<Sample> &&
                      g.blueFactor < kAvx2FactorLimit<Sample>;
    if constexpr (sizeof(Sample) == 1) {
        if (fast) {
            rowAvx2Bytes(g, w, y, xBegin, xEnd);
            return;
        }
    } else {
        if (fast) {
            rowAvx2Words(g, w, y, xBegin, xEnd);
            return;
        }
    }
    rowPortable<Sample>(g, w, y, xBegin, xEnd);
}

// Output pixel (x, y) from the window's rows and the given (substituted) columns x-2 .. x+1: the
// per-pixel form of the row routines, for the few pixels of the border columns.
template <typename Sample>
void edgePixel(const Geometry &g, const RowWindow<Sample> &w, const int (&columns)[4], int x,
               int y) {
    const int rowPhase = g.rowPhase0 ^ (y & 1);
    const int colPhase = g.colPhase0 ^ (x & 1);
    auto at = [&](int row, int k) { return sampleValue<Sample>(w.rows[row][columns[k]]); };
    // Rows 0..3 are y-2 .. y+1; columns 0..3 are x-2 .. x+1. Red is in row y (near) and y-2 (far)
    // when row y has phase 1, else in y-1 and y+1; blue in the other two.
    const int redNear = rowPhase == 1 ? 2 : 1;
    const int redFar = rowPhase == 1 ? 0 : 3;
    const int blueNear = rowPhase == 1 ? 1 : 2;
    const int blueFar = rowPhase == 1 ? 3 : 0;
    // Red is in column x (far one x-2) when x has phase 0, else in x-1 (far one x+1); blue the
    // other way round.
    const int redNearX = colPhase == 0 ? 2 : 1;
    const int redFarX = colPhase == 0 ? 0 : 3;
    const int blueNearX = colPhase == 1 ? 2 : 1;
    const int blueFarX = colPhase == 1 ? 0 : 3;
    const std::uint32_t redSum = 9 * at(redNear, redNearX) + 3 * at(redNear, redFarX) +
                                 3 * at(redFar, redNearX) + at(redFar, redFarX);
    const std::uint32_t blueSum = 9 * at(blueNear, blueNearX) + 3 * at(blueNear, blueFarX) +
                                  3 * at(blueFar, blueNearX) + at(blueFar, blueFarX);
    // Row y's green is in column x when x's phase equals the row's, row y-1's then in x-1.
    const std::uint32_t greenSum = colPhase == rowPhase ? at(2, 2) + at(1, 1) : at(2, 1) + at(1, 2);
    storePixel<Sample>(g.dst + y * g.dstStride + x * g.dstBytes,
                       scaleChannel<Sample>(blueSum, g.blueFactor), greenSum >> 1,
                       scaleChannel<Sample>(redSum, g.redFactor));
}

const ColourGains *gainsOf(const KernelArgs &args) {
    return static_cast<const ColourGains *>(args.params);
}

// Whether the output of `rows` rows is larger than the caches, so that streaming stores pay.
bool wantsStreaming(const Geometry &g, int rows) {
    return std::int64_t{rows} * (g.dstStride < 0 ? -g.dstStride : g.dstStride) >
           kStreamingOutputBytes;
}

// The border columns 0, 1, width-2, width-1 that exist (and are not already one of the first two)
// with their substituted neighbour columns x-2 .. x+1, worked out once per reconstruction.
struct EdgeColumns {
    struct Column {
        int x;
        int neighbours[4];
    };
    Column columns[4];
    int count = 0;
};

EdgeColumns edgeColumns(const Geometry &g) {
    EdgeColumns edges;
    const int columns[4] = {0, 1, g.width - 2, g.width - 1};
    for (int i = 0; i < 4; ++i) {
        const int x = columns[i];
        if (x < 0 || (i < 2 ? x >= g.width : x < 2)) {
            continue;  // beyond a small image, or already one of its first two columns
        }
        EdgeColumns::Column &e = edges.columns[edges.count++];
        e.x = x;
        for (int k = 0; k < 4; ++k) {
            e.neighbours[k] = substituteIndex(x - 2 + k, g.width);
        }
    }
    return edges;
}

template <typename Sample>
void edgePixels(const Geometry &g, const EdgeColumns &edges, const RowWindow<Sample> &w, int y) {
    for (int i = 0; i < edges.count; ++i) {
        edgePixel<Sample>(g, w, edges.columns[i].neighbours, edges.columns[i].x, y);
    }
}

// Rows 2 .. height-3, columns 2 .. width-3: every neighbour is inside the image.
template <typename Sample>
std::int32_t interior(const KernelArgs &args, const ColourGains *gains) {
    Geometry g;
    if (!makeGeometry<Sample>(args, gains, g)) {
        return 0;
    }
    if (g.width < 5 || g.height < 5) {
        return 1;
    }
    g.streaming = wantsStreaming(g, g.height - 4);
    parallelRows(g.height - 4, kMinRowsPerBand, [&](int first, int end) {
        for (int y = first + 2; y < end + 2; ++y) {
            computeRow<Sample>(g, rowWindow<Sample>(g, y), y, 2, g.width - 2);
        }
        if (g.streaming) {
            finishStreaming();
        }
    });
    return 1;
}

// Rows 0, 1, height-2, height-1 (all columns) and columns 0, 1, width-2, width-1 (all rows), with
// neighbours outside the image substituted. The rows use the row routine on substituted rows; only
// the four columns go pixel by pixel.
template <typename Sample>
std::int32_t border(const KernelArgs &args, const ColourGains *gains) {
    Geometry g;
    if (!makeGeometry<Sample>(args, gains, g)) {
        return 0;
    }
    const EdgeColumns edges = edgeColumns(g);
    // Each row touches only a few cache lines at both ends of far-apart rows: the lines of a later
    // row are fetched ahead so that the walk down the columns does not wait on every one.
    auto prefetchRow = [&](int y) {
        if (y < g.height) {
            const std::uint8_t *src = g.src + y * g.srcStride;
            std::uint8_t *dst = g.dst + y * g.dstStride;
            __builtin_prefetch(src);
            __builtin_prefetch(src + (g.width - 4) * static_cast<int>(sizeof(Sample)));
            __builtin_prefetch(dst, 1);
            __builtin_prefetch(dst + (g.width - 2) * g.dstBytes, 1);
        }
    };
    constexpr int kPrefetchRows = 8;
    auto borderColumns = [&](int y) {
        prefetchRow(y + kPrefetchRows);
        edgePixels<Sample>(g, edges, rowWindow<Sample>(g, y), y);
    };
    const int rows[4] = {0, 1, g.height - 2, g.height - 1};
    for (int i = 0; i < 4; ++i) {
        const int y = rows[i];
        if (y < 0 || (i < 2 ? y >= g.height : y < 2)) {
            continue;  // beyond a small image, or already done as one of its first two rows
        }
        computeRow<Sample>(g, rowWindow<Sample>(g, y), y, 2, g.width - 2);
        borderColumns(y);
    }
    if (g.height > 4) {
        parallelRows(g.height - 4, 256, [&](int first, int end) {
            for (int y = first + 2; y < end + 2; ++y) {
                borderColumns(y);
            }
        });
    }
    return 1;
}

// Every row with its border columns in one sweep: the ends of each row are written while its
// output lines are still at hand, instead of in a second walk down the whole frame.
template <typename Sample>
std::int32_t wholeFrame(const KernelArgs &args) {
    const auto *params = static_cast<const FrameReconstructionParams *>(args.params);
    const ColourGains *gains = params != nullptr ? &params->gains : nullptr;
    Geometry g;
    if (!makeGeometry<Sample>(args, gains, g)) {
        return 0;
    }
    if (g.width < 5 || g.height < 5) {
        interior<Sample>(args, gains);
        return border<Sample>(args, gains);
    }
    g.wholePixels = params != nullptr && params->fourthSamplesZero &&
                    g.dstBytes == 4 * static_cast<int>(sizeof(Sample));
    g.streaming = wantsStreaming(g, g.height);
    const EdgeColumns edges = edgeColumns(g);
    parallelRows(g.height, kMinRowsPerBand, [&](int first, int end) {
        for (int y = first; y < end; ++y) {
            const RowWindow<Sample> w = rowWindow<Sample>(g, y);
            computeRow<Sample>(g, w, y, 2, g.width - 2);
            edgePixels<Sample>(g, edges, w, y);
        }
        if (g.streaming) {
            finishStreaming();
        }
    });
    return 1;
}

}  // namespace

std::int32_t Demosaic8(const KernelArgs &args) {
    return interior<std::uint8_t>(args, gainsOf(args));
}

std::int32_t Demosaic8Border(const KernelArgs &args) {
    return border<std::uint8_t>(args, gainsOf(args));
}

std::int32_t Demosaic10(const KernelArgs &args) {
    return interior<std::uint16_t>(args, gainsOf(args));
}

std::int32_t Demosaic10Border(const KernelArgs &args) {
    return border<std::uint16_t>(args, gainsOf(args));
}

std::int32_t Demosaic8Frame(const KernelArgs &args) {
    return wholeFrame<std::uint8_t>(args);
}

std::int32_t Demosaic10Frame(const KernelArgs &args) {
    return wholeFrame<std::uint16_t>(args);
}

}  // namespace ostrel::imaging
