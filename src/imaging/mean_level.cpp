// Mean level kernels. The patches they measure are small; they run on the calling thread.
#include "imaging/mean_level.h"

#include "imaging/kernel_region.h"

namespace ostrel::imaging {
namespace {

template <typename Reduce>
std::int32_t meanLevel(const KernelArgs &args, int sampleBytes, Reduce reduce) {
    const KernelRegion region = kernelRegion(args);
    if (region.empty() || region.srcBytesPerPixel < sampleBytes) {
        return 0;
    }
    std::uint64_t sum = 0;
    for (int y = 0; y < region.height; ++y) {
        const std::uint8_t *row = region.srcRow(y);
        std::uint32_t rowSum = 0;  // at most 255 per sample, far below 2^32 per row
        for (int x = 0; x < region.width; ++x) {
            rowSum += reduce(row + x * region.srcBytesPerPixel);
        }
        sum += rowSum;
    }
    const std::uint64_t count =
        static_cast<std::uint64_t>(region.width) * static_cast<std::uint64_t>(region.height);
    return static_cast<std::int32_t>(sum / count);
}

}  // namespace

std::int32_t MeanLevel8(const KernelArgs &args) {
    return meanLevel(args, 1, [](const std::uint8_t *p) { return std::uint32_t{*p}; });
}

std::int32_t MeanLevel16(const KernelArgs &args) {
    return meanLevel(
        args, 2, [](const std::uint8_t *p) { return std::uint32_t{(loadWord(p) >> 2) & 0xFFu}; });
}

}  // namespace ostrel::imaging
