// The scene an emulated camera looks at. A generator renders the scene as the sensor sees it
// through its colour filter mosaic, at the reference exposure (exposure register 100, gain 100);
// the emulated camera then applies its own exposure and gain. The scene is split into a still
// part, rendered once, and a small moving part rendered for every frame, so a camera can send
// full frames at memory speed. Plug in another generator to show something else.
#pragma once

#include <cstdint>

namespace ostrel::emulator {

// A rectangle of pixels; right and bottom are exclusive. Empty when right <= left or
// bottom <= top.
struct SceneRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    bool empty() const { return right <= left || bottom <= top; }
    std::int32_t width() const { return right - left; }
    std::int32_t height() const { return bottom - top; }
};

enum class BayerColor { Red, Green, Blue };

// The colour of the sensor's filter at row y, column x (row 0 at the top of the picture): the
// mosaic of Bayer mode 3, rows starting green, red / blue, green.
constexpr BayerColor bayerColorAt(std::int32_t x, std::int32_t y) {
    if ((y & 1) == 0) {
        return (x & 1) == 0 ? BayerColor::Green : BayerColor::Red;
    }
    return (x & 1) == 0 ? BayerColor::Blue : BayerColor::Green;
}

// Called from the emulated cameras' drive operations, possibly on several threads at once for
// different cameras: implementations must be safe for concurrent const calls.
class SceneGenerator {
public:
    virtual ~SceneGenerator() = default;

    // Renders the still scene: width x height samples, row-major, row 0 at the top.
    virtual void renderStill(std::uint8_t *mosaic, std::int32_t width,
                             std::int32_t height) const = 0;

    // The area that differs from the still scene in frame `frame` (counted from the start of a
    // capture); empty when nothing moves.
    virtual SceneRect movingArea(std::uint32_t frame, std::int32_t width,
                                 std::int32_t height) const = 0;

    // Renders that area of frame `frame` (area.width() x area.height() samples, row-major),
    // still scene included.
    virtual void renderMoving(std::uint32_t frame, const SceneRect &area, std::uint8_t *patch,
                              std::int32_t width, std::int32_t height) const = 0;
};

}  // namespace ostrel::emulator
