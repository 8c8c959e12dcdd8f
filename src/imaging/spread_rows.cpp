// Row spreading of the raw frame: packed rows moved to their padded positions, last row first.
#include "imaging/spread_rows.h"

#include <cstddef>
#include <cstring>

namespace ostrel::imaging {
namespace {

std::int32_t spread(const KernelArgs &args, int sampleBytes) {
    const KernelRect &r = args.srcRect;
    const std::int64_t width = static_cast<std::int64_t>(r.right) - r.left;
    const std::int64_t height = static_cast<std::int64_t>(r.bottom) - r.top;
    if (args.dst == nullptr || width <= 0 || height <= 0 || args.dstStride < width * sampleBytes) {
        return 0;
    }
    const std::size_t packed = static_cast<std::size_t>(width) * sampleBytes;
    const std::size_t stride = static_cast<std::size_t>(args.dstStride);
    // Row i moves from i x packed to i x stride; the target never starts before the source and
    // never reaches into a lower row's source, and memmove copies each row back to front when
    // they overlap. Row 0 does not move. Each row's padding is then cleared: it held samples of
    // later rows, which have moved already, and padding bytes are 0 in every image.
    for (std::int64_t row = height - 1; row >= 0; --row) {
        const auto i = static_cast<std::size_t>(row);
        if (i > 0) {
            std::memmove(args.dst + i * stride, args.dst + i * packed, packed);
        }
        std::memset(args.dst + i * stride + packed, 0, stride - packed);
    }
    return 1;
}

}  // namespace

std::int32_t SpreadRows8(const KernelArgs &args) {
    return spread(args, 1);
}

std::int32_t SpreadRows16(const KernelArgs &args) {
    return spread(args, 2);
}

}  // namespace ostrel::imaging
