// The emulated cameras' default scene: a test chart that shows at a glance whether colour,
// orientation, demosaicing and motion come through right.
//
// Layout (fractions of the picture, row 0 at the top):
// - a rainbow band across the top 6 %, red at the left through green to blue at the right;
// - a white marker square near the top-left corner (2-7 % across, 8-15 % down): a mirrored
//   picture shows it in another corner;
// - a grey ramp background, dark at the left and bright at the right;
// - a 6 x 4 chart of the usual 24 reference colours (22-78 % across, 22-68 % down) on black:
//   first row dark skin .. bluish green, second orange .. orange yellow, third blue, green, red,
//   yellow, magenta, cyan, last the six greys from white to black;
// - a grey track (78-96 % down) along which an orange square with a black border and a white
//   centre moves to the right, one step per frame, wrapping around.
#pragma once

#include <memory>

#include "emulator/scene_generator.h"

namespace ostrel::emulator {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
};

class TestChartScene final : public SceneGenerator {
public:
    // The 24 chart colours, row by row.
    static const Rgb kChartColors[24];

    void renderStill(std::uint8_t *mosaic, std::int32_t width, std::int32_t height) const override;
    SceneRect movingArea(std::uint32_t frame, std::int32_t width,
                         std::int32_t height) const override;
    void renderMoving(std::uint32_t frame, const SceneRect &area, std::uint8_t *patch,
                      std::int32_t width, std::int32_t height) const override;

    // The colour of the still scene at a pixel (what renderStill samples through the mosaic).
    static Rgb stillColorAt(std::int32_t x, std::int32_t y, std::int32_t width,
                            std::int32_t height);
    // The rectangle of chart patch `index` (0..23) without its gutter.
    static SceneRect chartPatch(int index, std::int32_t width, std::int32_t height);
};

// The shared default scene.
std::shared_ptr<const SceneGenerator> defaultScene();

}  // namespace ostrel::emulator
