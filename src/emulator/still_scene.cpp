// Rendering and subsampling of the still scene.
#include "emulator/still_scene.h"

namespace ostrel::emulator {

StillScene::StillScene(std::shared_ptr<const SceneGenerator> generator, std::int32_t width,
                       std::int32_t height)
    : generator_(std::move(generator)), width_(width), height_(height) {}

const std::uint8_t *StillScene::full() const {
    std::call_once(fullOnce_, [this] {
        full_.resize(static_cast<std::size_t>(width_) * height_);
        generator_->renderStill(full_.data(), width_, height_);
    });
    return full_.data();
}

const std::uint8_t *StillScene::subsampled() const {
    std::call_once(subsampledOnce_, [this] {
        const std::uint8_t *picture = full();
        const std::int32_t w = width_ / 2;
        const std::int32_t h = height_ / 2;
        subsampled_.resize(static_cast<std::size_t>(w) * h);
        for (std::int32_t y = 0; y < h; ++y) {
            const std::uint8_t *src =
                picture + static_cast<std::size_t>(subsampledSource(y)) * width_;
            std::uint8_t *dst = subsampled_.data() + static_cast<std::size_t>(y) * w;
            for (std::int32_t x = 0; x < w; ++x) {
                dst[x] = src[subsampledSource(x)];
            }
        }
    });
    return subsampled_.data();
}

}  // namespace ostrel::emulator
