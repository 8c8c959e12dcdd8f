// White balance kernels: per-phase sums over row bands, then the gains in double precision in the
// order the measurement has always used (k = 1 / ((t / A) / 3), gain = k (t / X) / 3 x 100).
#include "imaging/white_balance.h"

#include <atomic>

#include "imaging/kernel_region.h"
#include "imaging/mosaic_phase.h"
#include "imaging/worker_pool.h"

namespace ostrel::imaging {
namespace {

constexpr int kMinRowsPerBand = 32;

struct PhaseSums {
    std::atomic<std::uint64_t> sum[4]{};
    std::atomic<std::uint64_t> count[4]{};
};

template <typename Sample>
std::int32_t measure(const KernelArgs &args) {
    const KernelRegion region = kernelRegion(args);
    const auto *params = static_cast<const WhiteBalanceParams *>(args.params);
    if (region.empty() || params == nullptr || params->gains == nullptr ||
        region.srcBytesPerPixel < static_cast<int>(sizeof(Sample))) {
        return 0;
    }
    const int step = region.srcBytesPerPixel / static_cast<int>(sizeof(Sample));
    const int left = args.srcRect.left;
    const int top = args.srcRect.top;
    PhaseSums totals;
    parallelRows(region.height, kMinRowsPerBand, [&](int first, int end) {
        std::uint64_t sum[4] = {};
        std::uint64_t count[4] = {};
        for (int y = first; y < end; ++y) {
            const auto *row = reinterpret_cast<const Sample *>(region.srcRow(y));
            std::uint64_t even = 0, odd = 0;  // columns of the rectangle's parity 0 and 1
            int x = 0;
            for (; x + 1 < region.width; x += 2) {
                even += row[x * step];
                odd += row[(x + 1) * step];
            }
            if (x < region.width) {
                even += row[x * step];
            }
            const int evenPosition = mosaicPosition(params->bayerMode, left, top + y);
            const int oddPosition = mosaicPosition(params->bayerMode, left + 1, top + y);
            sum[evenPosition] += even;
            count[evenPosition] += static_cast<std::uint64_t>((region.width + 1) / 2);
            sum[oddPosition] += odd;
            count[oddPosition] += static_cast<std::uint64_t>(region.width / 2);
        }
        for (int p = 0; p < 4; ++p) {
            totals.sum[p].fetch_add(sum[p], std::memory_order_relaxed);
            totals.count[p].fetch_add(count[p], std::memory_order_relaxed);
        }
    });
    const std::uint64_t greenCount = totals.count[kPhaseGreen1] + totals.count[kPhaseGreen2];
    const std::uint64_t blueCount = totals.count[kPhaseBlue];
    const std::uint64_t redCount = totals.count[kPhaseRed];
    const std::uint64_t greenSum = totals.sum[kPhaseGreen1] + totals.sum[kPhaseGreen2];
    const std::uint64_t blueSum = totals.sum[kPhaseBlue];
    const std::uint64_t redSum = totals.sum[kPhaseRed];
    if (greenCount == 0 || blueCount == 0 || redCount == 0 || greenSum == 0 || blueSum == 0 ||
        redSum == 0) {
        return 0;
    }
    const double a = static_cast<double>(greenSum) / static_cast<double>(greenCount);
    const double b = static_cast<double>(blueSum) / static_cast<double>(blueCount);
    const double c = static_cast<double>(redSum) / static_cast<double>(redCount);
    const double t = a + b + c;
    const double k = 1.0 / ((t / a) / 3.0);
    WhiteBalanceGains &gains = *params->gains;
    gains.blue = truncToWord(k * ((t / b) / 3.0) * 100.0);
    gains.green = 100;
    gains.red = truncToWord(k * ((t / c) / 3.0) * 100.0);
    return 1;
}

}  // namespace

std::int32_t MeasureWhiteBalance8(const KernelArgs &args) {
    return measure<std::uint8_t>(args);
}
std::int32_t MeasureWhiteBalance16(const KernelArgs &args) {
    return measure<std::uint16_t>(args);
}

}  // namespace ostrel::imaging
