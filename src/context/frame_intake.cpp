// Taking a delivered frame into the raw image: directly, or through the staging buffer with the
// window cut out and, for 16-bit raw images, widened to 10-bit words.
#include "context/frame_intake.h"

#include <cstring>
#include <new>

#include "imaging/raw_frame.h"
#include "imaging/worker_pool.h"

namespace ostrel::context {
namespace {

constexpr int kRowsPerBand = 64;
// An 8-bit sample is the top 8 bits of the sensor's 10-bit reading.
constexpr int kEightToTenBitShift = 2;

void widenRow(std::uint8_t *destination, const std::uint8_t *source, std::int32_t width) {
    auto *words = reinterpret_cast<std::uint16_t *>(destination);
    for (std::int32_t x = 0; x < width; ++x) {
        words[x] = static_cast<std::uint16_t>(source[x] << kEightToTenBitShift);
    }
}

}  // namespace

bool FrameIntake::plan(const imaging::DibImage &raw, const FrameWindow &window, bool rawIsShared) {
    planned_ = false;
    if (raw.isEmpty() || (raw.bitCount() != 8 && raw.bitCount() != 16)) {
        return false;
    }
    if (window.frameWidth <= 0 || window.frameHeight <= 0 || window.left < 0 || window.top < 0 ||
        window.left > window.frameWidth - raw.width() ||
        window.top > window.frameHeight - raw.height()) {
        return false;
    }
    window_ = window;
    const bool exact = raw.bitCount() == 8 && raw.width() == window.frameWidth &&
                       raw.height() == window.frameHeight;
    if (exact && !rawIsShared) {
        path_ = Path::Direct;
        planned_ = true;
        return true;
    }
    const std::size_t bytes = frameBytes();
    if (staging_ == nullptr || stagingBytes_ < bytes) {
        staging_.reset();
        stagingBytes_ = 0;
        staging_.reset(new (std::nothrow) std::uint8_t[bytes]);
        if (staging_ == nullptr) {
            return false;
        }
        stagingBytes_ = bytes;
    }
    path_ = Path::Staged;
    planned_ = true;
    return true;
}

void FrameIntake::release() {
    planned_ = false;
    staging_.reset();
    stagingBytes_ = 0;
}

std::size_t FrameIntake::frameBytes() const {
    return static_cast<std::size_t>(window_.frameWidth) *
           static_cast<std::size_t>(window_.frameHeight);
}

std::uint8_t *FrameIntake::target(imaging::DibImage &raw) {
    if (!planned_) {
        return nullptr;
    }
    return path_ == Path::Direct ? raw.pixels() : staging_.get();
}

void FrameIntake::place(imaging::DibImage &raw) {
    if (!planned_ || raw.isEmpty()) {
        return;
    }
    if (path_ == Path::Direct) {
        imaging::FixUpRawFrame(raw);
        return;
    }
    const std::int32_t width = raw.width();
    const bool wide = raw.bitCount() == 16;
    const std::size_t packed = static_cast<std::size_t>(width) * (wide ? 2u : 1u);
    const std::size_t padding = static_cast<std::size_t>(raw.stride()) - packed;
    const std::size_t frameWidth = static_cast<std::size_t>(window_.frameWidth);
    const std::uint8_t *first = staging_.get() +
                                static_cast<std::size_t>(window_.top) * frameWidth +
                                static_cast<std::size_t>(window_.left);
    imaging::parallelRows(raw.height(), kRowsPerBand, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const std::uint8_t *source = first + static_cast<std::size_t>(y) * frameWidth;
            std::uint8_t *destination = raw.row(y);
            if (wide) {
                widenRow(destination, source, width);
            } else {
                std::memcpy(destination, source, packed);
            }
            if (padding != 0) {
                std::memset(destination + packed, 0, padding);
            }
        }
    });
}

}  // namespace ostrel::context
