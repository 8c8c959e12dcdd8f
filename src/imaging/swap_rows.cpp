// The row swapping kernel. Rows are exchanged in place a chunk at a time, so the mirror needs no
// row buffer from the heap; pairs of rows are independent and are split over the worker pool.
#include "imaging/swap_rows.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "imaging/worker_pool.h"

namespace ostrel::imaging {

std::int32_t SwapRows(const KernelArgs &args) {
    const KernelRect &r = args.srcRect;
    if (args.dst == nullptr || r.top < 0 || r.bottom <= r.top) {
        return 0;
    }
    const std::size_t rowBytes =
        static_cast<std::size_t>(std::max(0, std::min(args.dstStride, args.srcStride)));
    const std::ptrdiff_t stride = args.dstStride;
    std::uint8_t *const base = args.dst;
    const int top = r.top;
    const int bottom = r.bottom;
    const int pairs = (bottom - top) / 2;
    parallelRows(pairs, 32, [&](int first, int end) {
        alignas(64) std::uint8_t chunk[4096];
        for (int i = first; i < end; ++i) {
            std::uint8_t *upper = base + (top + i) * stride;
            std::uint8_t *lower = base + (bottom - 1 - i) * stride;
            for (std::size_t done = 0; done < rowBytes; done += sizeof chunk) {
                const std::size_t n = std::min(sizeof chunk, rowBytes - done);
                std::memcpy(chunk, upper + done, n);
                std::memcpy(upper + done, lower + done, n);
                std::memcpy(lower + done, chunk, n);
            }
        }
    });
    return 1;
}

}  // namespace ostrel::imaging
