// The grey conversion kernel, over row bands; the division by 100 is a multiply and shift that is
// exact for every sum that can occur (at most 100 x 255).
#include "imaging/luma.h"

#include "imaging/kernel_rows.h"
#include "imaging/worker_pool.h"

namespace ostrel::imaging {
namespace {

// v / 100 for 0 <= v <= 25500, without a division: floor(v x 5243 / 2^19).
inline std::uint8_t lumaOf(std::uint32_t blue, std::uint32_t green, std::uint32_t red) {
    const std::uint32_t sum = 59 * green + 30 * red + 11 * blue;
    return static_cast<std::uint8_t>((sum * 5243u) >> 19);
}

template <int SrcBytes>
void lumaRow(const std::uint8_t *in, std::uint8_t *out, int width, int outBytes) {
    for (int j = 0; j < width; ++j) {
        const std::uint8_t *p = in + j * SrcBytes;
        out[j * outBytes] = lumaOf(p[0], p[1], p[2]);
    }
}

}  // namespace

std::int32_t Luma24To8(const KernelArgs &args) {
    kernel_detail::RowMap map;
    if (!kernel_detail::makeRowMap(args, false, map) || map.srcBytes < 3 || map.dstBytes < 1) {
        return 0;
    }
    parallelRows(map.height, kernel_detail::kRowsPerBand, [&](int first, int end) {
        for (int i = first; i < end; ++i) {
            if (map.srcBytes == 3 && map.dstBytes == 1) {
                lumaRow<3>(map.srcRow(i), map.dstRow(i), map.width, 1);
            } else if (map.srcBytes == 4) {
                lumaRow<4>(map.srcRow(i), map.dstRow(i), map.width, map.dstBytes);
            } else {
                const std::uint8_t *in = map.srcRow(i);
                std::uint8_t *out = map.dstRow(i);
                for (int j = 0; j < map.width; ++j) {
                    const std::uint8_t *p = in + j * map.srcBytes;
                    out[j * map.dstBytes] = lumaOf(p[0], p[1], p[2]);
                }
            }
        }
    });
    return 1;
}

}  // namespace ostrel::imaging
