// The display scaling kernels. The column of every destination pixel is worked out once per call
// in chunks on the stack, then each row is a gather from one source row.
#include "imaging/scale_nearest.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/worker_pool.h"

namespace ostrel::imaging {
namespace {

// trunc(factor x i) limited to limit - 1; both in single precision as the display always did.
inline std::int32_t sourceIndex(float factor, std::int32_t i, std::int32_t limit) {
    const float position = factor * static_cast<float>(i);
    const auto index = static_cast<std::int64_t>(position);
    return static_cast<std::int32_t>(std::min<std::int64_t>(index, limit - 1));
}

std::int32_t scale(const ScaledKernelArgs &args, int copyBytes) {
    if (args.dst == nullptr || args.src == nullptr || args.dstWidth <= 0 || args.dstHeight <= 0 ||
        args.srcWidth <= 0 || args.srcHeight <= 0 || args.srcBytesPerPixel < copyBytes ||
        args.dstBytesPerPixel < copyBytes) {
        return 0;
    }
    const float fx = static_cast<float>(args.srcWidth) / static_cast<float>(args.dstWidth);
    const float fy = static_cast<float>(args.srcHeight) / static_cast<float>(args.dstHeight);
    const int inBytes = args.srcBytesPerPixel;
    const int outBytes = args.dstBytesPerPixel;
    parallelRows(args.dstHeight, 16, [&](int first, int end) {
        constexpr int kChunk = 1024;
        std::int32_t columns[kChunk];
        for (int j0 = 0; j0 < args.dstWidth; j0 += kChunk) {
            const int count = std::min(kChunk, args.dstWidth - j0);
            for (int k = 0; k < count; ++k) {
                columns[k] = sourceIndex(fx, j0 + k, args.srcWidth) * inBytes;
            }
            for (int i = first; i < end; ++i) {
                const std::int32_t srcRow = args.srcHeight - 1 - sourceIndex(fy, i, args.srcHeight);
                const std::uint8_t *in =
                    args.src + static_cast<std::ptrdiff_t>(srcRow) * args.srcStride;
                std::uint8_t *out = args.dst + static_cast<std::ptrdiff_t>(i) * args.dstStride +
                                    static_cast<std::ptrdiff_t>(j0) * outBytes;
                if (copyBytes == 1) {
                    for (int k = 0; k < count; ++k) {
                        out[k * outBytes] = in[columns[k]];
                    }
                } else {
                    for (int k = 0; k < count; ++k) {
                        std::memcpy(out + k * outBytes, in + columns[k], 3);
                    }
                }
            }
        }
    });
    return 1;
}

}  // namespace

std::int32_t ScaleNearest8(const ScaledKernelArgs &args) {
    return scale(args, 1);
}

std::int32_t ScaleNearest24(const ScaledKernelArgs &args) {
    return scale(args, 3);
}

}  // namespace ostrel::imaging
