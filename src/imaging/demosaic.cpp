// The colour reconstruction kernels: argument checks, the split of a frame into row bands, and the
// plain row routine (rows by mosaic phase, no per-pixel branches, vectorised by the compiler).
#include "imaging/demosaic.h"

#include "imaging/demosaic_rows.h"
#include "imaging/worker_pool.h"

namespace ostrel::imaging {
namespace demosaic_detail {

template <typename Sample>
bool makeGeometry(const KernelArgs &args, Geometry &g) {
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
    if (args.params != nullptr) {
        gains = *static_cast<const ColourGains *>(args.params);
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

// One output pixel whose row has phase RowPhase and whose column has phase ColPhase, from the
// window's rows A = y-2, B = y-1, C = y, D = y+1. Red lies at phase (1, 0), blue at (0, 1), greens
// at (0, 0) and (1, 1): the near row of a colour is the cell row holding it, its far row the one
// two further out; in a row, the near sample is the cell column holding the colour and the far
// one two further out.
template <typename Sample, int RowPhase, int ColPhase>
inline void interiorPixel(const Sample *a, const Sample *b, const Sample *c, const Sample *d,
                          int x, std::uint8_t *out, std::uint32_t redFactor,
                          std::uint32_t blueFactor) {
    const Sample *redNear = RowPhase == 1 ? c : b;
    const Sample *redFar = RowPhase == 1 ? a : d;
    const Sample *blueNear = RowPhase == 1 ? b : c;
    const Sample *blueFar = RowPhase == 1 ? d : a;
    // Red is at column phase 0, blue at 1: the colour sits in column x itself when x has its
    // phase (far sample at x - 2), else in column x - 1 (far sample at x + 1).
    constexpr int kRedNearX = ColPhase == 0 ? 0 : -1;
    constexpr int kRedFarX = ColPhase == 0 ? -2 : 1;
    constexpr int kBlueNearX = ColPhase == 1 ? 0 : -1;
    constexpr int kBlueFarX = ColPhase == 1 ? -2 : 1;
    auto v = [](Sample s) { return sampleValue<Sample>(s); };
    const std::uint32_t redSum = 3 * (3 * v(redNear[x + kRedNearX]) + v(redNear[x + kRedFarX])) +
                                 3 * v(redFar[x + kRedNearX]) + v(redFar[x + kRedFarX]);
    const std::uint32_t blueSum =
        3 * (3 * v(blueNear[x + kBlueNearX]) + v(blueNear[x + kBlueFarX])) +
        3 * v(blueFar[x + kBlueNearX]) + v(blueFar[x + kBlueFarX]);
    // Row C's green is in the column whose phase equals the row's; row B's in the other.
    const std::uint32_t greenSum =
        ColPhase == RowPhase ? v(c[x]) + v(b[x - 1]) : v(c[x - 1]) + v(b[x]);
    storePixel<Sample>(out, scaleChannel<Sample>(blueSum, blueFactor),
                       std::min(greenSum >> 1, kCap<Sample>),
                       scaleChannel<Sample>(redSum, redFactor));
}

// Pixels in pairs, the first of each pair with column phase FirstPhase, so that the loop body has
// no branch.
template <typename Sample, int RowPhase, int FirstPhase, int OutBytes>
void rowPairs(const RowWindow<Sample> &w, std::uint8_t *outRow, int xBegin, int xEnd,
              std::uint32_t redFactor, std::uint32_t blueFactor) {
    const Sample *a = w.rows[0];
    const Sample *b = w.rows[1];
    const Sample *c = w.rows[2];
    const Sample *d = w.rows[3];
    int x = xBegin;
    for (; x + 1 < xEnd; x += 2) {
        interiorPixel<Sample, RowPhase, FirstPhase>(a, b, c, d, x, outRow + x * OutBytes,
                                                    redFactor, blueFactor);
        interiorPixel<Sample, RowPhase, 1 - FirstPhase>(a, b, c, d, x + 1,
                                                        outRow + (x + 1) * OutBytes, redFactor,
                                                        blueFactor);
    }
    if (x < xEnd) {
        interiorPixel<Sample, RowPhase, FirstPhase>(a, b, c, d, x, outRow + x * OutBytes,
                                                    redFactor, blueFactor);
    }
}

template <typename Sample, int OutBytes>
void rowPortableFor(const Geometry &g, const RowWindow<Sample> &w, int y, int xBegin, int xEnd) {
    std::uint8_t *outRow = g.dst + y * g.dstStride;
    const int rowPhase = g.rowPhase0 ^ (y & 1);
    const int firstPhase = g.colPhase0 ^ (xBegin & 1);
    switch (rowPhase * 2 + firstPhase) {
        case 0:
            rowPairs<Sample, 0, 0, OutBytes>(w, outRow, xBegin, xEnd, g.redFactor, g.blueFactor);
            break;
        case 1:
            rowPairs<Sample, 0, 1, OutBytes>(w, outRow, xBegin, xEnd, g.redFactor, g.blueFactor);
            break;
        case 2:
            rowPairs<Sample, 1, 0, OutBytes>(w, outRow, xBegin, xEnd, g.redFactor, g.blueFactor);
            break;
        default:
            rowPairs<Sample, 1, 1, OutBytes>(w, outRow, xBegin, xEnd, g.redFactor, g.blueFactor);
            break;
    }
}

}  // namespace

template <typename Sample>
void rowPortable(const Geometry &g, const RowWindow<Sample> &w, int y, int xBegin, int xEnd) {
    if (xBegin >= xEnd) {
        return;
    }
    if (g.dstBytes == 3 * static_cast<int>(sizeof(Sample))) {
        rowPortableFor<Sample, 3 * sizeof(Sample)>(g, w, y, xBegin, xEnd);
    } else {
        rowPortableFor<Sample, 4 * sizeof(Sample)>(g, w, y, xBegin, xEnd);
    }
}

template bool makeGeometry<std::uint8_t>(const KernelArgs &, Geometry &);
template bool makeGeometry<std::uint16_t>(const KernelArgs &, Geometry &);
template void rowPortable<std::uint8_t>(const Geometry &, const RowWindow<std::uint8_t> &, int,
                                        int, int);
template void rowPortable<std::uint16_t>(const Geometry &, const RowWindow<std::uint16_t> &, int,
                                         int, int);

}  // namespace demosaic_detail

namespace {

using namespace demosaic_detail;

// Output rows per band: enough work per band to outweigh handing it to another thread.
constexpr int kMinRowsPerBand = 16;

template <typename Sample>
void computeRow(const Geometry &g, const RowWindow<Sample> &w, int y, int xBegin, int xEnd) {
    const bool fast = useAvx2() && g.redFactor < kAvx2FactorLimit<Sample> &&
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

// Rows 2 .. height-3, columns 2 .. width-3: every neighbour is inside the image.
template <typename Sample>
std::int32_t interior(const KernelArgs &args) {
    Geometry g;
    if (!makeGeometry<Sample>(args, g)) {
        return 0;
    }
    if (g.width < 5 || g.height < 5) {
        return 1;
    }
    parallelRows(g.height - 4, kMinRowsPerBand, [&](int first, int end) {
        for (int y = first + 2; y < end + 2; ++y) {
            computeRow<Sample>(g, rowWindow<Sample>(g, y), y, 2, g.width - 2);
        }
    });
    return 1;
}

// Rows 0, 1, height-2, height-1 (all columns) and columns 0, 1, width-2, width-1 (all rows), with
// neighbours outside the image substituted. The rows use the row routine on substituted rows; only
// the four columns go pixel by pixel.
template <typename Sample>
std::int32_t border(const KernelArgs &args) {
    Geometry g;
    if (!makeGeometry<Sample>(args, g)) {
        return 0;
    }
    const int columns[4] = {0, 1, g.width - 2, g.width - 1};
    auto borderColumns = [&](int y) {
        for (int i = 0; i < 4; ++i) {
            const int x = columns[i];
            if (x >= 0 && (i < 2 ? x < g.width : x >= 2)) {
                pixelAt<Sample>(g, x, y);
            }
        }
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

}  // namespace

std::int32_t Demosaic8(const KernelArgs &args) { return interior<std::uint8_t>(args); }

std::int32_t Demosaic8Border(const KernelArgs &args) { return border<std::uint8_t>(args); }

std::int32_t Demosaic10(const KernelArgs &args) { return interior<std::uint16_t>(args); }

std::int32_t Demosaic10Border(const KernelArgs &args) { return border<std::uint16_t>(args); }

}  // namespace ostrel::imaging
