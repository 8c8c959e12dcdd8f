// The lit, re-ordered frame cache and the per-half copy with the moving patch.
#include "emulator/frame_synthesizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ostrel::emulator {

FrameSynthesizer::FrameSynthesizer(std::shared_ptr<const StillScene> still)
    : still_(std::move(still)) {}

std::int32_t FrameSynthesizer::frameWidth() const {
    return mode_.subsampled ? still_->width() / 2 : still_->width();
}

std::int32_t FrameSynthesizer::frameHeight() const {
    return mode_.subsampled ? still_->height() / 2 : still_->height();
}

std::size_t FrameSynthesizer::frameBytes() const {
    return static_cast<std::size_t>(frameWidth()) * frameHeight();
}

void FrameSynthesizer::configure(ReadoutMode mode, double response) {
    const double scaled = std::clamp(response, 0.0, 256.0) * 65536.0;
    const auto factor = static_cast<std::uint32_t>(std::lround(scaled));
    if (built_ && mode == mode_ && factor == factor_) {
        return;
    }
    mode_ = mode;
    factor_ = factor;
    rebuild();
}

void FrameSynthesizer::rebuild() {
    for (std::uint32_t v = 0; v < 256; ++v) {
        const std::uint64_t lit = (static_cast<std::uint64_t>(v) * factor_ + 32768) >> 16;
        lut_[v] = static_cast<std::uint8_t>(std::min<std::uint64_t>(lit, 255));
    }
    const std::int32_t w = frameWidth();
    const std::int32_t h = frameHeight();
    frame_.resize(frameBytes());
    const std::uint8_t *picture = mode_.subsampled ? still_->subsampled() : still_->full();
    for (std::int32_t y = 0; y < h; ++y) {
        const std::uint8_t *src = picture + static_cast<std::size_t>(y) * w;
        std::uint8_t *dst = frame_.data() + static_cast<std::size_t>(y) * w;
        if (mode_.twoSided) {
            const std::int32_t pairs = w / 2;
            for (std::int32_t j = 0; j < pairs; ++j) {
                dst[2 * j] = lut_[src[j]];
                dst[2 * j + 1] = lut_[src[w - 1 - j]];
            }
        } else {
            for (std::int32_t x = 0; x < w; ++x) {
                dst[x] = lut_[src[x]];
            }
        }
    }
    built_ = true;
}

std::size_t FrameSynthesizer::readoutIndex(std::size_t pictureIndex) const {
    if (!mode_.twoSided) {
        return pictureIndex;
    }
    const auto w = static_cast<std::size_t>(frameWidth());
    const std::size_t row = pictureIndex / w;
    const std::size_t x = pictureIndex % w;
    const std::size_t inRow = x < w / 2 ? 2 * x : 2 * (w - 1 - x) + 1;
    return row * w + inRow;
}

std::size_t FrameSynthesizer::pictureIndex(std::size_t readoutIndex) const {
    if (!mode_.twoSided) {
        return readoutIndex;
    }
    const auto w = static_cast<std::size_t>(frameWidth());
    const std::size_t row = readoutIndex / w;
    const std::size_t inRow = readoutIndex % w;
    const std::size_t pair = inRow / 2;
    const std::size_t x = (inRow % 2 == 0) ? pair : w - 1 - pair;
    return row * w + x;
}

void FrameSynthesizer::preparePatch(std::uint32_t frame) {
    if (patchValid_ && patchFrame_ == frame) {
        return;
    }
    const SceneGenerator &generator = still_->generator();
    const std::int32_t w = still_->width();
    const std::int32_t h = still_->height();
    SceneRect area = generator.movingArea(frame, w, h);
    area.left = std::max(area.left, 0);
    area.top = std::max(area.top, 0);
    area.right = std::min(area.right, w);
    area.bottom = std::min(area.bottom, h);
    area_ = area;
    if (!area.empty()) {
        patch_.resize(static_cast<std::size_t>(area.width()) * area.height());
        generator.renderMoving(frame, area, patch_.data(), w, h);
    }
    patchFrame_ = frame;
    patchValid_ = true;
}

template <typename Visit>
void FrameSynthesizer::forEachMovingSample(std::int32_t firstRow, std::int32_t endRow,
                                           Visit &&visit) const {
    if (area_.empty()) {
        return;
    }
    const std::int32_t w = frameWidth();
    const std::int32_t h = std::min(frameHeight(), endRow);
    for (std::int32_t y = area_.top; y < area_.bottom; ++y) {
        const std::int32_t fy = mode_.subsampled ? subsampledIndex(y) : y;
        if (fy < firstRow || fy >= h) {
            continue;
        }
        const std::uint8_t *row =
            patch_.data() + static_cast<std::size_t>(y - area_.top) * area_.width();
        for (std::int32_t x = area_.left; x < area_.right; ++x) {
            const std::int32_t fx = mode_.subsampled ? subsampledIndex(x) : x;
            if (fx < 0 || fx >= w) {
                continue;
            }
            visit(fy, fx, lut_[row[x - area_.left]]);
        }
    }
}

void FrameSynthesizer::renderHalf(std::uint32_t frame, bool second, std::uint8_t *out,
                                  std::size_t length) {
    if (!built_) {
        rebuild();
    }
    const std::size_t half = halfBytes();
    const std::size_t start = second ? half : 0;
    const std::size_t n = std::min(length, half);
    std::memcpy(out, frame_.data() + start, n);
    if (length > n) {
        std::memset(out + n, 0, length - n);
    }
    preparePatch(frame);
    // Readout rows are picture rows: only the rows this half covers are visited.
    const auto w = static_cast<std::size_t>(frameWidth());
    const auto firstRow = static_cast<std::int32_t>(start / w);
    const auto endRow = static_cast<std::int32_t>((start + n + w - 1) / w);
    forEachMovingSample(firstRow, endRow, [&](std::int32_t y, std::int32_t x, std::uint8_t value) {
        const auto column = static_cast<std::size_t>(x);
        const std::size_t inRow = !mode_.twoSided  ? column
                                  : column < w / 2 ? 2 * column
                                                   : 2 * (w - 1 - column) + 1;
        const std::size_t readout = static_cast<std::size_t>(y) * w + inRow;
        if (readout >= start && readout < start + n) {
            out[readout - start] = value;
        }
    });
}

void FrameSynthesizer::renderPicture(std::uint32_t frame, std::uint8_t *out) {
    if (!built_) {
        rebuild();
    }
    const std::size_t bytes = frameBytes();
    for (std::size_t i = 0; i < bytes; ++i) {
        out[pictureIndex(i)] = frame_[i];
    }
    preparePatch(frame);
    const auto w = static_cast<std::size_t>(frameWidth());
    forEachMovingSample(0, frameHeight(), [&](std::int32_t y, std::int32_t x, std::uint8_t value) {
        out[static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x)] = value;
    });
}

}  // namespace ostrel::emulator
