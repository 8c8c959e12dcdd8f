// The widening kernels, row by row over the worker pool.
#include "imaging/widen_kernels.h"

#include "imaging/kernel_rows.h"
#include "imaging/worker_pool.h"

namespace ostrel::imaging {
namespace {

using kernel_detail::loadWord;
using kernel_detail::RowMap;
using kernel_detail::storeWord;

inline std::uint16_t shifted(std::uint16_t v, int shift) {
    return static_cast<std::uint16_t>(v << shift);
}

std::int32_t widenMono(const KernelArgs &args) {
    RowMap map;
    if (!kernel_detail::makeRowMap(args, false, map) || map.srcBytes < 2 || map.dstBytes < 2) {
        return 0;
    }
    parallelRows(map.height, kernel_detail::kRowsPerBand, [&](int first, int end) {
        for (int i = first; i < end; ++i) {
            const std::uint8_t *in = map.srcRow(i);
            std::uint8_t *out = map.dstRow(i);
            if (map.srcBytes == 2 && map.dstBytes == 2) {
                for (int j = 0; j < map.width; ++j) {
                    storeWord(out + 2 * j, shifted(loadWord(in + 2 * j), 4));
                }
            } else {
                for (int j = 0; j < map.width; ++j) {
                    storeWord(out + j * map.dstBytes, shifted(loadWord(in + j * map.srcBytes), 4));
                }
            }
        }
    });
    return 1;
}

template <int InBytes, int OutBytes, bool Swap, bool Alpha>
void widenColourRow(const std::uint8_t *in, std::uint8_t *out, int width) {
    for (int j = 0; j < width; ++j) {
        const std::uint8_t *p = in + j * InBytes;
        std::uint8_t *q = out + j * OutBytes;
        const std::uint16_t first = shifted(loadWord(p), 6);
        const std::uint16_t second = shifted(loadWord(p + 2), 6);
        const std::uint16_t third = shifted(loadWord(p + 4), 6);
        storeWord(q, Swap ? third : first);
        storeWord(q + 2, second);
        storeWord(q + 4, Swap ? first : third);
        if constexpr (Alpha) {
            storeWord(q + 6, 65535);
        }
    }
}

template <bool Swap, bool Alpha>
std::int32_t widenColour(const KernelArgs &args) {
    constexpr int kBytes = Alpha ? 8 : 6;
    RowMap map;
    if (!kernel_detail::makeRowMap(args, false, map) || map.srcBytes < 6 || map.dstBytes < kBytes) {
        return 0;
    }
    parallelRows(map.height, kernel_detail::kRowsPerBand, [&](int first, int end) {
        for (int i = first; i < end; ++i) {
            const std::uint8_t *in = map.srcRow(i);
            std::uint8_t *out = map.dstRow(i);
            if (map.srcBytes == kBytes && map.dstBytes == kBytes) {
                widenColourRow<kBytes, kBytes, Swap, Alpha>(in, out, map.width);
            } else {
                for (int j = 0; j < map.width; ++j) {
                    widenColourRow<0, 0, Swap, Alpha>(in + j * map.srcBytes, out + j * map.dstBytes,
                                                      1);
                }
            }
        }
    });
    return 1;
}

}  // namespace

std::int32_t Widen16Mono(const KernelArgs &args) {
    return widenMono(args);
}

std::int32_t Widen48(const KernelArgs &args) {
    return widenColour<false, false>(args);
}

std::int32_t Widen48Alpha(const KernelArgs &args) {
    return widenColour<false, true>(args);
}

std::int32_t Widen48SwapRedBlue(const KernelArgs &args) {
    return widenColour<true, false>(args);
}

std::int32_t Widen48SwapRedBlueAlpha(const KernelArgs &args) {
    return widenColour<true, true>(args);
}

}  // namespace ostrel::imaging
