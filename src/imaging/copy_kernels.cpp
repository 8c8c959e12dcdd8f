// The byte-copying kernels, row by row over the worker pool; the usual pixel sizes are compiled
// as fixed strides so that the loops vectorise.
#include "imaging/copy_kernels.h"

#include <algorithm>
#include <cstring>

#include "imaging/kernel_rows.h"
#include "imaging/worker_pool.h"

namespace ostrel::imaging {
namespace {

using kernel_detail::RowMap;

// Copies three bytes per pixel, in order or with the first and third exchanged.
template <int InBytes, int OutBytes, bool Swap>
void copyThreeRow(const std::uint8_t *in, std::uint8_t *out, int width) {
    for (int j = 0; j < width; ++j) {
        const std::uint8_t *p = in + j * InBytes;
        std::uint8_t *q = out + j * OutBytes;
        q[0] = p[Swap ? 2 : 0];
        q[1] = p[1];
        q[2] = p[Swap ? 0 : 2];
    }
}

template <bool Swap>
void copyThreeRowAny(const std::uint8_t *in, std::uint8_t *out, int width, int inBytes,
                     int outBytes) {
    if (inBytes == 3 && outBytes == 3) {
        copyThreeRow<3, 3, Swap>(in, out, width);
    } else if (inBytes == 4 && outBytes == 3) {
        copyThreeRow<4, 3, Swap>(in, out, width);
    } else {
        for (int j = 0; j < width; ++j) {
            const std::uint8_t *p = in + j * inBytes;
            std::uint8_t *q = out + j * outBytes;
            q[0] = p[Swap ? 2 : 0];
            q[1] = p[1];
            q[2] = p[Swap ? 0 : 2];
        }
    }
}

template <bool Swap>
std::int32_t copyThree(const KernelArgs &args, bool reversed) {
    RowMap map;
    if (!kernel_detail::makeRowMap(args, reversed, map) || map.srcBytes < 3 || map.dstBytes < 3) {
        return 0;
    }
    parallelRows(map.height, kernel_detail::kRowsPerBand, [&](int first, int end) {
        for (int i = first; i < end; ++i) {
            copyThreeRowAny<Swap>(map.srcRow(i), map.dstRow(i), map.width, map.srcBytes,
                                  map.dstBytes);
        }
    });
    return 1;
}

}  // namespace

std::int32_t Copy32To24(const KernelArgs &args) {
    return copyThree<false>(args, false);
}

std::int32_t Copy24Flipped(const KernelArgs &args) {
    return copyThree<false>(args, true);
}

std::int32_t SwapRedBlue24(const KernelArgs &args) {
    return copyThree<true>(args, false);
}

std::int32_t CopyRowsFlipped(const KernelArgs &args) {
    RowMap map;
    if (!kernel_detail::makeRowMap(args, true, map)) {
        return 0;
    }
    // The shorter of the two row remainders: a whole row of the smaller stride when both start at
    // column 0, and never past the end of either row (or of the last row's memory).
    const std::int64_t inRest =
        std::int64_t{args.srcStride} - std::int64_t{args.srcRect.left} * map.srcBytes;
    const std::int64_t outRest =
        std::int64_t{args.dstStride} - std::int64_t{args.dstX} * map.dstBytes;
    const std::int64_t bytes = std::min(inRest, outRest);
    if (bytes <= 0) {
        return 0;
    }
    parallelRows(map.height, kernel_detail::kRowsPerBand, [&](int first, int end) {
        for (int i = first; i < end; ++i) {
            std::memcpy(map.dstRow(i), map.srcRow(i), static_cast<std::size_t>(bytes));
        }
    });
    return 1;
}

std::int32_t Copy32InvertFourth(const KernelArgs &args) {
    RowMap map;
    if (!kernel_detail::makeRowMap(args, false, map) || map.srcBytes < 4 || map.dstBytes < 4) {
        return 0;
    }
    parallelRows(map.height, kernel_detail::kRowsPerBand, [&](int first, int end) {
        for (int i = first; i < end; ++i) {
            const std::uint8_t *in = map.srcRow(i);
            std::uint8_t *out = map.dstRow(i);
            for (int j = 0; j < map.width; ++j) {
                const std::uint8_t *p = in + j * map.srcBytes;
                std::uint8_t *q = out + j * map.dstBytes;
                q[0] = p[0];
                q[1] = p[1];
                q[2] = p[2];
                q[3] = static_cast<std::uint8_t>(255 - p[3]);
            }
        }
    });
    return 1;
}

}  // namespace ostrel::imaging
