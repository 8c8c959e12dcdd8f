// The default test chart and the pluggable scene: colours through the mosaic, orientation,
// the moving square, the subsampled readout and a generator of one's own.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "device/device_test_support.h"
#include "emulator/still_scene.h"
#include "emulator/test_chart_scene.h"

namespace ostrel::emulator {
namespace {

// A small camera under ordinary light: at its power-up exposure it shows the scene as it is.
EmulatedCameraConfig smallCamera(std::int32_t width, std::int32_t height) {
    EmulatedCameraConfig config = testing::smallCamera(width, height);
    config.illumination = 1.0;
    return config;
}

constexpr std::int32_t kWidth = 640;
constexpr std::int32_t kHeight = 480;

std::vector<std::uint8_t> picture(const EmulatedCameraConfig &config, std::uint32_t frame) {
    EmulatedCameraSet set(1, config);
    return set.camera(0).renderPicture(frame);
}

std::uint8_t at(const std::vector<std::uint8_t> &p, std::int32_t x, std::int32_t y,
                std::int32_t width = kWidth) {
    return p[static_cast<std::size_t>(y) * width + x];
}

TEST(TestChart, ColoursGoThroughTheMosaicOfBayerModeThree) {
    const auto p = picture(smallCamera(kWidth, kHeight), 0);
    // The red patch (175, 54, 60): rows start green, red / blue, green.
    const SceneRect red = TestChartScene::chartPatch(14, kWidth, kHeight);
    const std::int32_t x = red.left + (red.left & 1);  // an even column
    const std::int32_t y = red.top + (red.top & 1);    // an even row
    EXPECT_EQ(at(p, x, y), 54);
    EXPECT_EQ(at(p, x + 1, y), 175);
    EXPECT_EQ(at(p, x, y + 1), 60);
    EXPECT_EQ(at(p, x + 1, y + 1), 54);
    EXPECT_EQ(bayerColorAt(0, 0), BayerColor::Green);
    EXPECT_EQ(bayerColorAt(1, 0), BayerColor::Red);
    EXPECT_EQ(bayerColorAt(0, 1), BayerColor::Blue);
    EXPECT_EQ(bayerColorAt(1, 1), BayerColor::Green);
    // Every chart patch is uniform in each of its colours.
    for (int i = 0; i < 24; ++i) {
        const SceneRect r = TestChartScene::chartPatch(i, kWidth, kHeight);
        const Rgb c = TestChartScene::kChartColors[i];
        for (std::int32_t yy = r.top; yy < r.bottom; ++yy) {
            for (std::int32_t xx = r.left; xx < r.right; ++xx) {
                const BayerColor f = bayerColorAt(xx, yy);
                const std::uint8_t want = f == BayerColor::Red     ? c.r
                                          : f == BayerColor::Green ? c.g
                                                                   : c.b;
                ASSERT_EQ(at(p, xx, yy), want) << "patch " << i;
            }
        }
    }
}

TEST(TestChart, OrientationShowsInTheMarkerTheRainbowAndTheRamp) {
    const auto p = picture(smallCamera(kWidth, kHeight), 0);
    // The white marker near the top-left corner, none at the top-right.
    EXPECT_EQ(at(p, kWidth * 4 / 100, kHeight * 10 / 100), 245);
    EXPECT_NE(at(p, kWidth - 1 - kWidth * 4 / 100, kHeight * 10 / 100), 245);
    // The rainbow runs from red at the left to blue at the right.
    EXPECT_EQ(at(p, 1, 0), 230);           // red sample, left end
    EXPECT_EQ(at(p, 0, 1), 0);             // blue sample, left end
    EXPECT_EQ(at(p, kWidth - 1, 0), 0);    // red sample, right end
    EXPECT_EQ(at(p, kWidth - 2, 1), 230);  // blue sample, right end
    EXPECT_EQ(at(p, kWidth / 2, 0), 230);  // green in the middle (a green sample)
    // The grey ramp is dark at the left and bright at the right.
    const std::int32_t y = kHeight * 72 / 100;
    EXPECT_LT(at(p, 0, y), 30);
    EXPECT_GT(at(p, kWidth - 1, y), 225);
}

TEST(TestChart, TheSquareMovesRightOneStepAFrame) {
    EmulatedCameraSet set(1, smallCamera(kWidth, kHeight));
    auto &camera = set.camera(0);
    TestChartScene scene;
    const SceneRect a = scene.movingArea(0, kWidth, kHeight);
    const SceneRect b = scene.movingArea(1, kWidth, kHeight);
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(b.left - a.left, kWidth / 120);
    EXPECT_EQ(b.top, a.top);
    const auto p0 = camera.renderPicture(0);
    const auto p1 = camera.renderPicture(1);
    std::size_t changed = 0;
    for (std::int32_t y = 0; y < kHeight; ++y) {
        for (std::int32_t x = 0; x < kWidth; ++x) {
            if (at(p0, x, y) != at(p1, x, y)) {
                ++changed;
                const bool inside = x >= a.left && x < b.right && y >= a.top && y < a.bottom;
                ASSERT_TRUE(inside) << x << "," << y;
            }
        }
    }
    EXPECT_GT(changed, 0u);
    // The same frame always looks the same.
    EXPECT_EQ(camera.renderPicture(1), p1);
}

TEST(TestChart, SubsampledReadoutKeepsEveryOtherCell) {
    const auto full = picture(smallCamera(kWidth, kHeight), 3);
    EmulatedCameraSet set(1, smallCamera(kWidth, kHeight));
    auto &camera = set.camera(0);
    // Latch the subsampled readout through the registers, as a device would.
    std::unique_ptr<platform::RawDrive> drive;
    ASSERT_TRUE(set.open(0, drive));
    auto word = [&](std::uint8_t hi, std::uint8_t lo, std::uint16_t value) {
        std::uint8_t a[512] = {0x20, 0x00, hi, lo};
        std::uint8_t v[512] = {0x20, 0x01, static_cast<std::uint8_t>(value >> 8),
                               static_cast<std::uint8_t>(value)};
        ASSERT_TRUE(drive->seek(platform::camera::kCommandSectorOffset) && drive->write(a, 512));
        ASSERT_TRUE(drive->seek(platform::camera::kCommandSectorOffset) && drive->write(v, 512));
    };
    word(0x30, 0x02, 1);
    word(0x30, 0x00, 1);
    const auto half = camera.renderPicture(3);
    ASSERT_EQ(half.size(), full.size() / 4);
    for (std::int32_t y = 0; y < kHeight / 2; ++y) {
        for (std::int32_t x = 0; x < kWidth / 2; ++x) {
            ASSERT_EQ(at(half, x, y, kWidth / 2),
                      at(full, subsampledSource(x), subsampledSource(y)))
                << x << "," << y;
        }
    }
    EXPECT_EQ(subsampledSource(0), 0);
    EXPECT_EQ(subsampledSource(1), 1);
    EXPECT_EQ(subsampledSource(2), 4);
    EXPECT_EQ(subsampledSource(3), 5);
    EXPECT_EQ(subsampledIndex(5), 3);
    EXPECT_EQ(subsampledIndex(2), -1);
}

// A scene of one's own: flat grey with one bright sample that walks along row 1.
class WalkingDot final : public SceneGenerator {
public:
    void renderStill(std::uint8_t *mosaic, std::int32_t width, std::int32_t height) const override {
        ++stillRenderings;
        std::fill(mosaic, mosaic + static_cast<std::size_t>(width) * height, 77);
    }
    SceneRect movingArea(std::uint32_t frame, std::int32_t width, std::int32_t) const override {
        const auto x = static_cast<std::int32_t>(frame % static_cast<std::uint32_t>(width));
        return {x, 1, x + 1, 2};
    }
    void renderMoving(std::uint32_t, const SceneRect &, std::uint8_t *patch, std::int32_t,
                      std::int32_t) const override {
        patch[0] = 250;
    }

    mutable std::atomic<int> stillRenderings{0};
};

TEST(PluggableScene, AGeneratorOfOnesOwnIsShownAndLit) {
    auto config = smallCamera(16, 8);
    config.scene = std::make_shared<WalkingDot>();
    EmulatedCameraSet set(1, config);
    auto &camera = set.camera(0);
    for (std::uint32_t frame : {0u, 5u, 15u}) {
        std::vector<std::uint8_t> expected(16 * 8, 77);
        expected[16 + frame] = 250;
        EXPECT_EQ(camera.renderPicture(frame), expected) << frame;
    }
}

TEST(PluggableScene, CamerasShowingTheSameSceneShareItsRendering) {
    auto config = smallCamera(16, 8);
    auto scene = std::make_shared<WalkingDot>();
    config.scene = scene;
    EmulatedCameraSet set(3, config);
    EXPECT_EQ(scene->stillRenderings.load(), 0);  // nothing is rendered before it is needed
    for (int i = 0; i < 3; ++i) {
        set.camera(i).renderPicture(0);
    }
    EXPECT_EQ(scene->stillRenderings.load(), 1);
    auto other = config;
    other.width = 32;
    EmulatedCameraSet mixed(std::vector<EmulatedCameraConfig>{config, other, config});
    for (int i = 0; i < 3; ++i) {
        mixed.camera(i).renderPicture(0);
    }
    EXPECT_EQ(scene->stillRenderings.load(), 3);
}

}  // namespace
}  // namespace ostrel::emulator
