// Gray gain kernels. Applying the gains uses one table per position, built per call, so the
// row loop is a look-up whose table alternates with the column.
#include "imaging/gray_gains.h"

#include <algorithm>
#include <atomic>

#include "imaging/kernel_region.h"
#include "imaging/mosaic_phase.h"
#include "imaging/worker_pool.h"

namespace ostrel::imaging {
namespace {

constexpr int kMinRowsPerBand = 16;

// Gain and offset of a position as stored; the product is taken in 64 bits so any stored gain
// is safe, and the shift rounds toward minus infinity as a 32-bit arithmetic shift does.
int graySample(std::int32_t gain, std::int32_t offset, int v) {
    const std::int64_t value =
        static_cast<std::int64_t>(offset) + ((static_cast<std::int64_t>(gain) * v) >> 7);
    return static_cast<int>(std::clamp<std::int64_t>(value, 0, 255));
}

void positionGainOffset(const GrayGainParams &p, int position, std::int32_t &gain,
                        std::int32_t &offset) {
    switch (position) {
        case kPhaseGreen1:
            gain = p.gains.g1;
            offset = p.offsetG1;
            break;
        case kPhaseBlue:
            gain = p.gains.r;
            offset = p.offsetR;
            break;
        case kPhaseRed:
            gain = p.gains.b;
            offset = p.offsetB;
            break;
        default:
            gain = p.gains.g2;
            offset = p.offsetG2;
            break;
    }
}

}  // namespace

std::int32_t MeasureGrayGains(const KernelArgs &args) {
    const KernelRegion region = kernelRegion(args);
    const auto *params = static_cast<const GrayGainMeasureParams *>(args.params);
    if (region.empty() || params == nullptr || params->gains == nullptr ||
        region.srcBytesPerPixel < 1) {
        return 0;
    }
    const int step = region.srcBytesPerPixel;
    std::atomic<std::uint64_t> sums[4]{};
    std::atomic<std::uint64_t> counts[4]{};
    parallelRows(region.height, kMinRowsPerBand, [&](int first, int end) {
        std::uint64_t sum[4] = {};
        std::uint64_t count[4] = {};
        for (int y = first; y < end; ++y) {
            const std::uint8_t *row = region.srcRow(y);
            std::uint32_t rowSum[2] = {0, 0};
            std::uint32_t rowCount[2] = {0, 0};
            for (int x = 0; x < region.width; ++x) {
                const std::uint32_t v = row[x * step];
                const std::uint32_t counted = (v - 1u) < 254u ? 1u : 0u;  // 1..254 only
                rowSum[x & 1] += v * counted;
                rowCount[x & 1] += counted;
            }
            for (int parity = 0; parity < 2; ++parity) {
                const int position = mosaicPosition(params->bayerMode, args.srcRect.left + parity,
                                                    args.srcRect.top + y);
                sum[position] += rowSum[parity];
                count[position] += rowCount[parity];
            }
        }
        for (int p = 0; p < 4; ++p) {
            sums[p].fetch_add(sum[p], std::memory_order_relaxed);
            counts[p].fetch_add(count[p], std::memory_order_relaxed);
        }
    });
    for (int p = 0; p < 4; ++p) {
        if (counts[p].load() == 0) {
            return 0;
        }
    }
    auto mean = [&](int p) {
        return static_cast<double>(sums[p].load()) / static_cast<double>(counts[p].load());
    };
    const double m = mean(kPhaseGreen1);
    GrayGains &gains = *params->gains;
    gains.r = truncToWord(m / mean(kPhaseBlue) * 128.0);
    gains.g1 = 128;
    gains.g2 = truncToWord(m / mean(kPhaseGreen2) * 128.0);
    gains.b = truncToWord(m / mean(kPhaseRed) * 128.0);
    return 1;
}

std::int32_t ApplyGrayGains(const KernelArgs &args) {
    const KernelRegion region = kernelRegion(args);
    const auto *params = static_cast<const GrayGainParams *>(args.params);
    if (region.empty() || region.dst == nullptr || params == nullptr ||
        region.srcBytesPerPixel < 1 || region.dstBytesPerPixel < 1) {
        return 1;
    }
    std::uint8_t tables[4][256];
    for (int p = 0; p < 4; ++p) {
        std::int32_t gain = 0, offset = 0;
        positionGainOffset(*params, p, gain, offset);
        for (int v = 0; v < 256; ++v) {
            tables[p][v] = static_cast<std::uint8_t>(graySample(gain, offset, v));
        }
    }
    const int sstep = region.srcBytesPerPixel, dstep = region.dstBytesPerPixel;
    // The phase follows the source sample's place in the mosaic.
    parallelRows(region.height, kMinRowsPerBand, [&](int first, int end) {
        for (int y = first; y < end; ++y) {
            const int row = args.srcRect.top + y;
            const std::uint8_t *even =
                tables[mosaicPosition(params->bayerMode, args.srcRect.left, row)];
            const std::uint8_t *odd =
                tables[mosaicPosition(params->bayerMode, args.srcRect.left + 1, row)];
            const std::uint8_t *s = region.srcRow(y);
            std::uint8_t *d = region.dstRow(y);
            int x = 0;
            if (sstep == 1 && dstep == 1) {
                for (; x + 1 < region.width; x += 2) {
                    const std::uint8_t a = even[s[x]], b = odd[s[x + 1]];
                    d[x] = a;
                    d[x + 1] = b;
                }
            }
            for (; x < region.width; ++x) {
                d[x * dstep] = (x & 1 ? odd : even)[s[x * sstep]];
            }
        }
    });
    return 1;
}

namespace reference {

std::int32_t ApplyGrayGains(const KernelArgs &args) {
    const KernelRegion region = kernelRegion(args);
    const auto *params = static_cast<const GrayGainParams *>(args.params);
    if (region.empty() || region.dst == nullptr || params == nullptr) {
        return 1;
    }
    for (int y = 0; y < region.height; ++y) {
        for (int x = 0; x < region.width; ++x) {
            const int position =
                mosaicPosition(params->bayerMode, args.srcRect.left + x, args.srcRect.top + y);
            std::int32_t gain = 0, offset = 0;
            positionGainOffset(*params, position, gain, offset);
            const int v = region.srcRow(y)[x * region.srcBytesPerPixel];
            region.dstRow(y)[x * region.dstBytesPerPixel] =
                static_cast<std::uint8_t>(graySample(gain, offset, v));
        }
    }
    return 1;
}

}  // namespace reference
}  // namespace ostrel::imaging
