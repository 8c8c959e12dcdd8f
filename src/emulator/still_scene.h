// The still part of a scene rendered once for a sensor size, in the full and in the subsampled
// readout, and shared by every emulated camera that shows that scene at that size.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "emulator/scene_generator.h"

namespace ostrel::emulator {

class StillScene {
public:
    // The scene is rendered on first use, so installing cameras costs nothing until they stream.
    StillScene(std::shared_ptr<const SceneGenerator> generator, std::int32_t width,
               std::int32_t height);
    StillScene(const StillScene &) = delete;
    StillScene &operator=(const StillScene &) = delete;

    const SceneGenerator &generator() const { return *generator_; }
    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }

    // The mosaic of the full sensor, made on first use. Any thread.
    const std::uint8_t *full() const;
    // The mosaic of the subsampled readout ((width / 2) x (height / 2)), made on first use.
    // Any thread.
    const std::uint8_t *subsampled() const;

private:
    std::shared_ptr<const SceneGenerator> generator_;
    std::int32_t width_;
    std::int32_t height_;
    mutable std::once_flag fullOnce_;
    mutable std::vector<std::uint8_t> full_;
    mutable std::once_flag subsampledOnce_;
    mutable std::vector<std::uint8_t> subsampled_;
};

// The subsampled readout keeps every other 2 x 2 cell in both directions, so the colour mosaic
// keeps its phase: subsampled row y2 is sensor row subsampledSource(y2), and so for columns.
constexpr std::int32_t subsampledSource(std::int32_t index) {
    return (index >> 1) * 4 + (index & 1);
}

// The sensor row or column's index in the subsampled readout, or -1 when it is skipped.
constexpr std::int32_t subsampledIndex(std::int32_t source) {
    return ((source >> 1) & 1) != 0 ? -1 : (source >> 2) * 2 + (source & 1);
}

}  // namespace ostrel::emulator
