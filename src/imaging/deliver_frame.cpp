// Copy of the output image into an application's buffer.
#include "imaging/deliver_frame.h"

#include <cstring>

#include "imaging/worker_pool.h"

namespace ostrel::imaging {
namespace {

constexpr std::int32_t kCodeMemoryOrSize = 5;
constexpr int kRowsPerBand = 64;

}  // namespace

bool DeliverFrame(const DibImage &output, std::int32_t topRowFirst, void *buffer,
                  std::int64_t length, FrameControls &controls) {
    if (buffer == nullptr || output.isEmpty()) {
        return false;
    }
    const auto size = static_cast<std::int64_t>(output.sizeBytes());
    if (length < size) {
        controls.postFrameNotification(kCodeMemoryOrSize);
        controls.recordError(kCodeMemoryOrSize);
        return false;
    }
    auto *target = static_cast<std::uint8_t *>(buffer);
    const std::size_t stride = static_cast<std::size_t>(output.stride());
    const int height = output.height();
    if (topRowFirst != 0) {
        parallelRows(height, kRowsPerBand, [&](int first, int end) {
            std::memcpy(target + stride * static_cast<std::size_t>(first), output.row(first),
                        stride * static_cast<std::size_t>(end - first));
        });
    } else {
        parallelRows(height, kRowsPerBand, [&](int first, int end) {
            for (int row = first; row < end; ++row) {
                std::memcpy(target + stride * static_cast<std::size_t>(height - 1 - row),
                            output.row(row), stride);
            }
        });
    }
    return true;
}

}  // namespace ostrel::imaging
