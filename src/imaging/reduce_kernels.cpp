// The reduction kernels, row by row over the worker pool, with the common pixel sizes compiled as
// fixed strides so that the loops vectorise.
#include "imaging/reduce_kernels.h"

#include "imaging/kernel_rows.h"
#include "imaging/worker_pool.h"

namespace ostrel::imaging {
namespace {

using kernel_detail::loadWord;
using kernel_detail::reduceWord;
using kernel_detail::RowMap;

template <int InBytes, int OutBytes>
void reduceMonoRow(const std::uint8_t *in, std::uint8_t *out, int width) {
    for (int j = 0; j < width; ++j) {
        out[j * OutBytes] = reduceWord(loadWord(in + j * InBytes));
    }
}

template <int InBytes, int OutBytes>
void reduceColourRow(const std::uint8_t *in, std::uint8_t *out, int width) {
    for (int j = 0; j < width; ++j) {
        const std::uint8_t *p = in + j * InBytes;
        std::uint8_t *q = out + j * OutBytes;
        q[0] = reduceWord(loadWord(p));
        q[1] = reduceWord(loadWord(p + 2));
        q[2] = reduceWord(loadWord(p + 4));
    }
}

std::int32_t reduceMono(const KernelArgs &args, bool reversed) {
    RowMap map;
    if (!kernel_detail::makeRowMap(args, reversed, map) || map.srcBytes < 2 || map.dstBytes < 1) {
        return 0;
    }
    parallelRows(map.height, kernel_detail::kRowsPerBand, [&](int first, int end) {
        for (int i = first; i < end; ++i) {
            if (map.srcBytes == 2 && map.dstBytes == 1) {
                reduceMonoRow<2, 1>(map.srcRow(i), map.dstRow(i), map.width);
            } else {
                const std::uint8_t *in = map.srcRow(i);
                std::uint8_t *out = map.dstRow(i);
                for (int j = 0; j < map.width; ++j) {
                    out[j * map.dstBytes] = reduceWord(loadWord(in + j * map.srcBytes));
                }
            }
        }
    });
    return 1;
}

std::int32_t reduceColour(const KernelArgs &args, bool reversed) {
    RowMap map;
    if (!kernel_detail::makeRowMap(args, reversed, map) || map.srcBytes < 6 || map.dstBytes < 3) {
        return 0;
    }
    parallelRows(map.height, kernel_detail::kRowsPerBand, [&](int first, int end) {
        for (int i = first; i < end; ++i) {
            const std::uint8_t *in = map.srcRow(i);
            std::uint8_t *out = map.dstRow(i);
            if (map.srcBytes == 6 && map.dstBytes == 3) {
                reduceColourRow<6, 3>(in, out, map.width);
            } else if (map.srcBytes == 8 && map.dstBytes == 3) {
                reduceColourRow<8, 3>(in, out, map.width);
            } else {
                for (int j = 0; j < map.width; ++j) {
                    const std::uint8_t *p = in + j * map.srcBytes;
                    std::uint8_t *q = out + j * map.dstBytes;
                    q[0] = reduceWord(loadWord(p));
                    q[1] = reduceWord(loadWord(p + 2));
                    q[2] = reduceWord(loadWord(p + 4));
                }
            }
        }
    });
    return 1;
}

}  // namespace

std::int32_t Reduce16To8(const KernelArgs &args) {
    return reduceMono(args, false);
}

std::int32_t Reduce16To8Flipped(const KernelArgs &args) {
    return reduceMono(args, true);
}

std::int32_t Reduce48To24(const KernelArgs &args) {
    return reduceColour(args, false);
}

std::int32_t Reduce48To24Flipped(const KernelArgs &args) {
    return reduceColour(args, true);
}

}  // namespace ostrel::imaging
