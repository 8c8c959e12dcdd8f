// The automatic controls: exposure (auto iris) with its patches, factor, dead band, limits and
// frame rhythm; the automatic colour gain with its limit and "Once" flags; the automatic gray
// gains with their countdown; and the measurements behind them.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "imaging/apply_kernel.h"
#include "imaging/auto_exposure.h"
#include "imaging/auto_gains.h"
#include "imaging/dib_image.h"
#include "imaging/fake_frame_controls.h"
#include "imaging/gray_gains.h"
#include "imaging/mean_level.h"
#include "imaging/mosaic_phase.h"
#include "imaging/white_balance.h"

namespace ostrel::imaging {
namespace {

using Calls = std::vector<std::string>;
using test::FakeFrameControls;

std::unique_ptr<DibImage> makeImage(int width, int height, int bits, int value) {
    auto image = std::make_unique<DibImage>();
    EXPECT_TRUE(image->create(width, height, static_cast<std::uint16_t>(bits)));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (bits == 8) {
                image->row(y)[x] = static_cast<std::uint8_t>(value);
            } else {
                image->row(y)[2 * x] = static_cast<std::uint8_t>(value);
                image->row(y)[2 * x + 1] = static_cast<std::uint8_t>(value >> 8);
            }
        }
    }
    return image;
}

// Fills memory rows top .. bottom - 1, columns left .. right - 1 of an 8-bit image.
void paint(DibImage &image, const KernelRect &r, int value) {
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            image.row(y)[x] = static_cast<std::uint8_t>(value);
        }
    }
}

// The memory rows a patch measures (ApplyKernel numbers rows from the bottom).
KernelRect measuredRows(const KernelRect &patch, int height) {
    return KernelRect{patch.left, height - patch.bottom, patch.right, height - patch.top};
}

// Paints the five measured patches with the given levels on a mid-grey 8-bit image.
std::unique_ptr<DibImage> patchImage(int width, int height, const std::array<int, 5> &levels) {
    auto image = makeImage(width, height, 8, 128);
    const auto patches = exposurePatches(width, height);
    for (int i = 0; i < 5; ++i) {
        paint(*image, measuredRows(patches[i], height), levels[i]);
    }
    return image;
}

AnalogSettings analog(std::int32_t mode, std::int32_t gain, std::int32_t exposure) {
    AnalogSettings a;
    a.set(AnalogWord::AutoIris, mode);
    a.set(AnalogWord::GlobalGain, gain);
    a.set(AnalogWord::Exposure, exposure);
    return a;
}

// Runs the step until the rhythm measures (the third frame of a fresh rhythm).
void measureOnce(DibImage &raw, AnalogSettings &settings, FakeFrameControls &controls) {
    FrameRhythm rhythm;
    for (int i = 0; i < 3; ++i) {
        AutoExposure(&raw, settings, controls, rhythm);
    }
}

TEST(ExposurePatches, FullFrameCoordinatesAreTruncatedProducts) {
    const auto p = exposurePatches(6576, 4384);
    const KernelRect expected[5] = {{657, 438, 1315, 876},
                                    {657, 3507, 1315, 3945},
                                    {2959, 1972, 3616, 2411},
                                    {5260, 438, 5918, 876},
                                    {5260, 3507, 5918, 3945}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(p[i].left, expected[i].left) << i;
        EXPECT_EQ(p[i].top, expected[i].top) << i;
        EXPECT_EQ(p[i].right, expected[i].right) << i;
        EXPECT_EQ(p[i].bottom, expected[i].bottom) << i;
    }
}

TEST(ExposureFactor, StartsFromTheFirstPatchAndAddsTheOthersInOrder) {
    EXPECT_DOUBLE_EQ(exposureFactor({128, 128, 128, 128, 128}), 1.0);
    EXPECT_DOUBLE_EQ(exposureFactor({10, 10, 10, 10, 10}), 1.1 + 0.10 + 0.10 + 0.10 + 0.10);
    EXPECT_EQ(exposureFactor({201, 201, 201, 130, 130}), 0.85 + -0.15 + -0.15 + 0.0 + 0.0);
    // Band edges: 200 is 160 < m <= 200; 100 and 160 contribute nothing; 50 is 50 <= m < 100.
    EXPECT_EQ(exposureFactor({200, 160, 100, 50, 49}), 0.9 + 0.0 + 0.0 + 0.05 + 0.10);
}

TEST(AutoExposure, ModeOffRecordsCodeZeroAndDoesNotCountFrames) {
    auto raw = patchImage(100, 100, {10, 10, 10, 10, 10});
    AnalogSettings settings = analog(kAutoIrisOff, 0, 100);
    FakeFrameControls controls;
    FrameRhythm rhythm;
    AutoExposure(raw.get(), settings, controls, rhythm);
    AutoExposure(raw.get(), settings, controls, rhythm);
    EXPECT_EQ(controls.calls, (Calls{"error 0", "error 0"}));
    // The rhythm did not move: a gain mode frame now needs three frames to measure.
    settings.set(AnalogWord::AutoIris, 7);
    AutoExposure(raw.get(), settings, controls, rhythm);
    EXPECT_EQ(controls.calls.back(), "error 0");
    settings.set(AnalogWord::AutoIris, kAutoIrisGain);
    controls.calls.clear();
    AutoExposure(raw.get(), settings, controls, rhythm);
    AutoExposure(raw.get(), settings, controls, rhythm);
    EXPECT_TRUE(controls.calls.empty());
    AutoExposure(raw.get(), settings, controls, rhythm);
    EXPECT_EQ(controls.calls, (Calls{"gain 4", "analog 1015 4"}));
}

TEST(AutoExposure, NoImageOrNoDeviceRecordsCodeNine) {
    AnalogSettings settings = analog(kAutoIrisExposure, 0, 100);
    FakeFrameControls controls;
    FrameRhythm rhythm;
    AutoExposure(nullptr, settings, controls, rhythm);
    DibImage empty;
    AutoExposure(&empty, settings, controls, rhythm);
    auto raw = patchImage(100, 100, {10, 10, 10, 10, 10});
    controls.device = false;
    AutoExposure(raw.get(), settings, controls, rhythm);
    EXPECT_EQ(controls.calls, (Calls{"error 9", "error 9", "error 9"}));
}

TEST(AutoExposure, MeasuresEveryThirdFrame) {
    auto raw = patchImage(100, 100, {10, 10, 10, 10, 10});
    AnalogSettings settings = analog(kAutoIrisGain, 100, 100);
    FakeFrameControls controls;
    FrameRhythm rhythm;
    std::vector<int> measured;
    for (int frame = 1; frame <= 9; ++frame) {
        const std::size_t before = controls.calls.size();
        AutoExposure(raw.get(), settings, controls, rhythm);
        if (controls.calls.size() != before) {
            measured.push_back(frame);
        }
    }
    EXPECT_EQ(measured, (std::vector<int>{3, 6, 9}));
    EXPECT_EQ(settings.get(AnalogWord::GlobalGain), 337);  // 100 x 1.5, x 1.5, x 1.5
}

TEST(AutoExposure, GainModeRaisesAZeroGainToFour) {
    auto raw = patchImage(100, 100, {10, 20, 30, 40, 49});
    AnalogSettings settings = analog(kAutoIrisGain, 0, 100);
    FakeFrameControls controls;
    measureOnce(*raw, settings, controls);
    EXPECT_EQ(controls.calls, (Calls{"gain 4", "analog 1015 4"}));
    EXPECT_EQ(settings.get(AnalogWord::GlobalGain), 4);
    EXPECT_EQ(settings.get(AnalogWord::Exposure), 100);
}

TEST(AutoExposure, GainModeLimitsTheGain) {
    struct Case {
        int level;
        std::int32_t gain;
        std::int32_t expected;
    };
    const Case cases[] = {
        {10, 1000, 1023},                    // 1500
        {10, 2, 4},                          // 3, raised to 4
        {10, 3, 4},                          // 4.5 -> 4
        {10, 4, 6},       {250, 1000, 249},  // e = 0.85 - 4 x 0.15 = 0.24999999999999992
        {250, 3, 0},      {250, -400, 0}};
    for (const Case &c : cases) {
        auto raw = patchImage(100, 100, {c.level, c.level, c.level, c.level, c.level});
        AnalogSettings settings = analog(kAutoIrisGain, c.gain, 100);
        FakeFrameControls controls;
        measureOnce(*raw, settings, controls);
        EXPECT_EQ(settings.get(AnalogWord::GlobalGain), c.expected) << c.gain;
    }
}

TEST(AutoExposure, ExposureModeShortensABrightFrame) {
    // Three patches above 200 and two between 100 and 160: e = 0.55, 1000 / 0.55 = 1818. The
    // larger value is the shorter exposure, sent after the sensor's 1 ms pause.
    auto raw = patchImage(200, 120, {201, 230, 255, 100, 160});
    AnalogSettings settings = analog(kAutoIrisExposure, 50, 1000);
    FakeFrameControls controls;
    measureOnce(*raw, settings, controls);
    EXPECT_EQ(controls.calls, (Calls{"wait 1", "exposure 1818", "analog 1027 1818"}));
    EXPECT_EQ(settings.get(AnalogWord::Exposure), 1818);
    EXPECT_EQ(settings.get(AnalogWord::GlobalGain), 50);
}

TEST(AutoExposure, ExposureModeLengthensADarkFrameWithoutPausing) {
    auto raw = patchImage(200, 120, {10, 10, 10, 10, 10});  // e = 1.5
    AnalogSettings settings = analog(kAutoIrisExposure, 50, 1000);
    FakeFrameControls controls;
    measureOnce(*raw, settings, controls);
    EXPECT_EQ(controls.calls, (Calls{"exposure 666", "analog 1027 666"}));
}

TEST(AutoExposure, ExposureModeLimits) {
    struct Case {
        int level;
        std::int32_t exposure;
        std::int32_t maxExposure;
        std::int32_t expected;
    };
    const Case cases[] = {{10, 3, 4455, 4},         // 2, raised to 4
                          {250, 0, 4455, 1},        // 0, at least 1
                          {250, 4000, 4455, 4455},  // 16000
                          {250, 4000, 2228, 2228},  // subsampling device
                          {250, 100000, 4455, 4455}};
    for (const Case &c : cases) {
        auto raw = patchImage(100, 100, {c.level, c.level, c.level, c.level, c.level});
        AnalogSettings settings = analog(kAutoIrisExposure, 0, c.exposure);
        FakeFrameControls controls;
        controls.maximumExposure = c.maxExposure;
        measureOnce(*raw, settings, controls);
        EXPECT_EQ(settings.get(AnalogWord::Exposure), c.expected) << c.exposure;
    }
}

TEST(AutoExposure, DeadBandChangesNothing) {
    for (const std::array<int, 5> &levels :
         {std::array<int, 5>{128, 128, 128, 128, 128}, std::array<int, 5>{190, 190, 190, 190, 128},
          std::array<int, 5>{60, 60, 60, 128, 128}}) {
        auto raw = patchImage(100, 100, levels);
        AnalogSettings settings = analog(kAutoIrisGain, 100, 100);
        FakeFrameControls controls;
        measureOnce(*raw, settings, controls);
        EXPECT_TRUE(controls.calls.empty());
        EXPECT_EQ(settings.get(AnalogWord::GlobalGain), 100);
    }
}

TEST(AutoExposure, PatchesAreTakenFromRowsNumberedFromTheBottom) {
    // The patches are nearly symmetric top to bottom, so a low image is used where counting rows
    // from the top would land one row off: there each patch would measure half bright, half dark
    // (e = 0.7, no change) instead of all bright (e = 0.25).
    const int w = 20, h = 15;
    auto raw = makeImage(w, h, 8, 10);
    for (const KernelRect &p : exposurePatches(w, h)) {
        paint(*raw, measuredRows(p, h), 250);
    }
    AnalogSettings settings = analog(kAutoIrisExposure, 0, 1000);
    FakeFrameControls controls;
    measureOnce(*raw, settings, controls);
    EXPECT_EQ(settings.get(AnalogWord::Exposure), 4000);
}

TEST(AutoExposure, SixteenBitSamplesAreReducedToBitsTwoToNine) {
    // 1020 reduces to 255 (bright); 1024 reduces to 0 (its bits 2..9 are 0).
    auto bright = makeImage(100, 100, 16, 1020);
    auto dark = makeImage(100, 100, 16, 1024);
    AnalogSettings a = analog(kAutoIrisGain, 100, 100), b = analog(kAutoIrisGain, 100, 100);
    FakeFrameControls controls;
    measureOnce(*bright, a, controls);
    measureOnce(*dark, b, controls);
    EXPECT_EQ(a.get(AnalogWord::GlobalGain), 24);  // e just below 0.25
    EXPECT_EQ(b.get(AnalogWord::GlobalGain), 150);
}

TEST(AutoExposure, TinyImagesMeasureWithoutReadingOutside) {
    for (int size : {1, 2, 3, 4, 5, 9}) {
        auto raw = makeImage(size, size, 8, 250);
        AnalogSettings settings = analog(kAutoIrisGain, 100, 100);
        FakeFrameControls controls;
        measureOnce(*raw, settings, controls);
        // Patches cut to nothing measure 0 (dark); the result stays within the gain range.
        EXPECT_GE(settings.get(AnalogWord::GlobalGain), 0);
        EXPECT_LE(settings.get(AnalogWord::GlobalGain), 1023);
    }
}

TEST(FrameRhythm, OneCounterSharedByThreadsMeasuresEveryThirdFrame) {
    FrameRhythm rhythm;
    constexpr int kThreads = 4, kFrames = 3000;
    std::atomic<int> measured{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kFrames; ++i) {
                if (rhythm.countFrame()) {
                    measured.fetch_add(1);
                }
            }
        });
    }
    for (std::thread &t : threads) {
        t.join();
    }
    EXPECT_EQ(measured.load(), kThreads * kFrames / 3);
}

TEST(FrameRhythm, LibraryWideCounterIsOneObject) {
    EXPECT_EQ(&processFrameRhythm(), &processFrameRhythm());
}

// ---- measurements ----

// An 8- or 16-bit mosaic with one value per position (G1, blue/R, red/B, G2 by phase).
std::unique_ptr<DibImage> mosaic(int width, int height, int bits, std::int32_t bayerMode,
                                 const std::array<int, 4> &byPosition) {
    auto image = makeImage(width, height, bits, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int v = byPosition[mosaicPosition(bayerMode, x, y)];
            if (bits == 8) {
                image->row(y)[x] = static_cast<std::uint8_t>(v);
            } else {
                image->row(y)[2 * x] = static_cast<std::uint8_t>(v);
                image->row(y)[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
            }
        }
    }
    return image;
}

TEST(MeanLevel, MeansOfRectanglesAndEmptyRectangles) {
    auto image = makeImage(10, 10, 8, 0);
    paint(*image, KernelRect{0, 0, 10, 5}, 200);  // memory rows 0..4
    const KernelRect lowerRows{0, 0, 10, 5};      // bottom-up: memory rows 5..9
    EXPECT_EQ(ApplyKernel(*image, MeanLevel8, *image, &lowerRows, 0, 0, nullptr, 0), 0);
    const KernelRect upperRows{0, 5, 10, 10};
    EXPECT_EQ(ApplyKernel(*image, MeanLevel8, *image, &upperRows, 0, 0, nullptr, 0), 200);
    const KernelRect half{0, 3, 10, 7};  // memory rows 3..6: two bright, two dark
    EXPECT_EQ(ApplyKernel(*image, MeanLevel8, *image, &half, 0, 0, nullptr, 0), 100);
    const KernelRect empty{4, 4, 4, 8};
    EXPECT_EQ(ApplyKernel(*image, MeanLevel8, *image, &empty, 0, 0, nullptr, 0), 0);
    auto wide = makeImage(3, 3, 16, 0x3FF | 0xFC00);
    EXPECT_EQ(ApplyKernel(*wide, MeanLevel16, *wide, nullptr, 0, 0, nullptr, 0), 255);
}

TEST(WhiteBalance, GainsAreGreenOverEachColourTimesOneHundred) {
    for (std::int32_t mode : {0, 1, 2, 3}) {
        // Positions: G1, blue, red, G2.
        auto raw = mosaic(8, 6, 8, mode, {100, 50, 25, 100});
        WhiteBalanceGains gains{1, 2, 3};
        const WhiteBalanceParams params{mode, &gains};
        EXPECT_EQ(ApplyKernel(*raw, MeasureWhiteBalance8, *raw, nullptr, 0, 0, &params, 0), 1);
        EXPECT_EQ(gains.blue, 200) << mode;
        EXPECT_EQ(gains.green, 100);
        EXPECT_EQ(gains.red, 400);
    }
    auto raw16 = mosaic(6, 4, 16, 3, {800, 400, 1000, 800});
    WhiteBalanceGains gains;
    const WhiteBalanceParams params{3, &gains};
    EXPECT_EQ(ApplyKernel(*raw16, MeasureWhiteBalance16, *raw16, nullptr, 0, 0, &params, 0), 1);
    EXPECT_EQ(gains.blue, 200);
    EXPECT_EQ(gains.red, 80);
}

TEST(WhiteBalance, ModeOutsideTheRangeActsAsModeZero) {
    auto raw = mosaic(8, 6, 8, 0, {100, 30, 70, 100});
    WhiteBalanceGains gains;
    const WhiteBalanceParams params{9, &gains};
    ApplyKernel(*raw, MeasureWhiteBalance8, *raw, nullptr, 0, 0, &params, 0);
    EXPECT_EQ(gains.blue, 333);
    EXPECT_EQ(gains.red, 142);
}

TEST(WhiteBalance, UnmeasurableFramesLeaveTheGainsAlone) {
    WhiteBalanceGains gains{7, 8, 9};
    const WhiteBalanceParams params{0, &gains};
    auto black = makeImage(8, 8, 8, 0);
    EXPECT_EQ(ApplyKernel(*black, MeasureWhiteBalance8, *black, nullptr, 0, 0, &params, 0), 0);
    auto noRed = mosaic(8, 8, 8, 0, {100, 50, 0, 100});
    EXPECT_EQ(ApplyKernel(*noRed, MeasureWhiteBalance8, *noRed, nullptr, 0, 0, &params, 0), 0);
    auto oneColumn = makeImage(1, 8, 8, 90);  // no blue position at all
    EXPECT_EQ(ApplyKernel(*oneColumn, MeasureWhiteBalance8, *oneColumn, nullptr, 0, 0, &params, 0),
              0);
    EXPECT_EQ(gains.blue, 7);
    EXPECT_EQ(gains.green, 8);
    EXPECT_EQ(gains.red, 9);
    // A single faint blue sample makes an enormous ratio, saturated instead of overflowing.
    auto faint = mosaic(400, 400, 16, 0, {65535, 0, 65535, 65535});
    faint->row(0)[2] = 1;  // the low byte of row 0, column 1: blue in mode 0
    EXPECT_EQ(ApplyKernel(*faint, MeasureWhiteBalance16, *faint, nullptr, 0, 0, &params, 0), 1);
    EXPECT_EQ(gains.blue, INT32_MAX);
}

TEST(GrayGains, MeasurementEvensOutThePositionsCountingOnlyMidLevels) {
    // Positions G1, R (blue phase), B (red phase), G2.
    auto image = mosaic(8, 8, 8, 1, {100, 50, 120, 200});
    image->row(0)[0] = 255;  // saturated and black samples are not counted
    image->row(0)[1] = 0;
    GrayGains gains;
    const GrayGainMeasureParams params{1, &gains};
    EXPECT_EQ(ApplyKernel(*image, MeasureGrayGains, *image, nullptr, 0, 0, &params, 0), 1);
    EXPECT_EQ(gains.g1, 128);
    EXPECT_EQ(gains.r, 256);
    EXPECT_EQ(gains.b, 106);
    EXPECT_EQ(gains.g2, 64);
}

TEST(GrayGains, MeasurementWithoutCountedSamplesLeavesTheGains) {
    auto image = mosaic(8, 8, 8, 0, {0, 255, 255, 0});
    GrayGains gains{1, 2, 3, 4};
    const GrayGainMeasureParams params{0, &gains};
    EXPECT_EQ(ApplyKernel(*image, MeasureGrayGains, *image, nullptr, 0, 0, &params, 0), 0);
    EXPECT_EQ(gains.r, 1);
    EXPECT_EQ(gains.g1, 2);
    EXPECT_EQ(gains.g2, 3);
    EXPECT_EQ(gains.b, 4);
}

TEST(GrayGains, ApplicationUsesEachPositionsGainAndOffset) {
    auto image = mosaic(6, 4, 8, 2, {100, 100, 100, 100});
    GrayGainParams params;
    params.bayerMode = 2;
    params.gains = GrayGains{256, 128, 64, 128};  // r, g1, g2, b
    params.offsetB = -255;
    params.offsetG1 = 3;
    EXPECT_EQ(ApplyKernel(*image, ApplyGrayGains, *image, nullptr, 0, 0, &params, 0), 1);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 6; ++x) {
            const int expected[4] = {103, 200, 0, 50};  // G1, R, B, G2
            EXPECT_EQ(image->row(y)[x], expected[mosaicPosition(2, x, y)]) << x << "," << y;
        }
    }
}

TEST(GrayGains, NeutralGainsKeepSamplesAndExtremeOnesClip) {
    std::mt19937 rng(2);
    auto image = makeImage(7, 5, 8, 0);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) {
            image->row(y)[x] = static_cast<std::uint8_t>(rng());
        }
    }
    auto copy = makeImage(7, 5, 8, 0);
    std::memcpy(copy->pixels(), image->pixels(), image->sizeBytes());
    GrayGainParams neutral;
    ApplyKernel(*image, ApplyGrayGains, *image, nullptr, 0, 0, &neutral, 0);
    EXPECT_EQ(0, std::memcmp(copy->pixels(), image->pixels(), image->sizeBytes()));
    GrayGainParams wild;
    wild.gains = GrayGains{INT32_MAX, INT32_MIN, 128, 128};
    wild.offsetG2 = INT32_MIN;
    wild.offsetB = INT32_MAX;
    ApplyKernel(*image, ApplyGrayGains, *image, nullptr, 0, 0, &wild, 0);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) {
            const int v = copy->row(y)[x];
            const int expected[4] = {v == 0 ? 0 : 0, v == 0 ? 0 : 255, 255, 0};
            EXPECT_EQ(image->row(y)[x], expected[mosaicPosition(0, x, y)]) << x << "," << y;
        }
    }
}

// ---- automatic gains ----

SettingsBlock colourSettings(std::int32_t bayerMode) {
    SettingsBlock s;
    s.set(SettingsWord::BayerMode, bayerMode);
    s.set(SettingsWord::ColourGainRed, 100);
    s.set(SettingsWord::ColourGainGreen, 100);
    s.set(SettingsWord::ColourGainBlue, 100);
    return s;
}

TEST(AutoColourGain, OffDoesNothing) {
    auto raw = mosaic(8, 8, 8, 3, {90, 10, 30, 90});
    SettingsBlock s = colourSettings(3);
    FakeFrameControls controls;
    AutoColourGain(*raw, s, controls);
    EXPECT_EQ(s.get(SettingsWord::ColourGainBlue), 100);
    EXPECT_TRUE(controls.calls.empty());
}

TEST(AutoColourGain, StoresGainsLimitedToFourHundredAndKeepsRunningWhenNotOnce) {
    auto raw = mosaic(8, 8, 8, 3, {90, 10, 30, 90});  // blue 900, red 300
    SettingsBlock s = colourSettings(3);
    s.set(SettingsWord::AutoColourGain, 1);
    s.set(SettingsWord::AutoColourGainOnce1, 1);  // one companion flag alone is not "Once"
    FakeFrameControls controls;
    AutoColourGain(*raw, s, controls);
    EXPECT_EQ(s.get(SettingsWord::ColourGainBlue), 400);
    EXPECT_EQ(s.get(SettingsWord::ColourGainGreen), 100);
    EXPECT_EQ(s.get(SettingsWord::ColourGainRed), 300);
    EXPECT_EQ(controls.calls, (Calls{"dialog"}));
    EXPECT_EQ(s.get(SettingsWord::AutoColourGain), 1);
    EXPECT_EQ(s.get(SettingsWord::AutoColourGainOnce1), 1);
}

TEST(AutoColourGain, OnceClearsItselfAfterOneMeasurement) {
    auto raw = mosaic(8, 8, 16, 0, {800, 400, 1000, 800});
    SettingsBlock s = colourSettings(0);
    s.set(SettingsWord::AutoColourGain, 1);
    s.set(SettingsWord::AutoColourGainOnce1, 1);
    s.set(SettingsWord::AutoColourGainOnce2, 1);
    FakeFrameControls controls;
    AutoColourGain(*raw, s, controls);
    EXPECT_EQ(s.get(SettingsWord::ColourGainBlue), 200);
    EXPECT_EQ(s.get(SettingsWord::ColourGainRed), 80);
    EXPECT_EQ(s.get(SettingsWord::AutoColourGain), 0);
    EXPECT_EQ(s.get(SettingsWord::AutoColourGainOnce1), 0);
    EXPECT_EQ(s.get(SettingsWord::AutoColourGainOnce2), 0);
}

TEST(AutoColourGain, BlackFrameKeepsGainsAndTheOnceRequest) {
    auto raw = makeImage(8, 8, 8, 0);
    SettingsBlock s = colourSettings(0);
    s.set(SettingsWord::ColourGainRed, 800);
    s.set(SettingsWord::AutoColourGain, 1);
    s.set(SettingsWord::AutoColourGainOnce1, 1);
    s.set(SettingsWord::AutoColourGainOnce2, 1);
    FakeFrameControls controls;
    AutoColourGain(*raw, s, controls);
    EXPECT_EQ(s.get(SettingsWord::ColourGainRed), 800);
    EXPECT_EQ(s.get(SettingsWord::AutoColourGain), 1);
    EXPECT_EQ(s.get(SettingsWord::AutoColourGainOnce2), 1);
    EXPECT_TRUE(controls.calls.empty());
}

TEST(AutoGrayGain, CountdownMeasuresAndCountsDown) {
    auto image = mosaic(8, 8, 8, 1, {100, 50, 120, 200});
    SettingsBlock s;
    s.set(SettingsWord::BayerMode, 1);
    FakeFrameControls controls;
    AutoGrayGain(*image, s, controls);  // countdown 0: nothing
    EXPECT_EQ(s.get(SettingsWord::GrayGainR), 0);
    EXPECT_TRUE(controls.calls.empty());

    s.set(SettingsWord::AutoGrayGainCountdown, 2);
    AutoGrayGain(*image, s, controls);
    EXPECT_EQ(s.get(SettingsWord::GrayGainR), 256);
    EXPECT_EQ(s.get(SettingsWord::GrayGainG1), 128);
    EXPECT_EQ(s.get(SettingsWord::GrayGainG2), 64);
    EXPECT_EQ(s.get(SettingsWord::GrayGainB), 106);
    EXPECT_EQ(s.get(SettingsWord::AutoGrayGainCountdown), 1);
    AutoGrayGain(*image, s, controls);
    EXPECT_EQ(s.get(SettingsWord::AutoGrayGainCountdown), 0);
    AutoGrayGain(*image, s, controls);
    EXPECT_EQ(controls.calls, (Calls{"dialog", "dialog"}));
}

TEST(AutoGrayGain, NegativeCountdownKeepsCounting) {
    auto image = mosaic(8, 8, 8, 0, {100, 50, 120, 200});
    SettingsBlock s;
    s.set(SettingsWord::AutoGrayGainCountdown, -1);
    FakeFrameControls controls;
    for (int i = 0; i < 5; ++i) {
        AutoGrayGain(*image, s, controls);
    }
    EXPECT_EQ(s.get(SettingsWord::AutoGrayGainCountdown), -6);
    EXPECT_EQ(controls.calls.size(), 5u);
}

TEST(AutoGrayGain, UnmeasurableFrameKeepsGainsAndCountdown) {
    auto image = mosaic(8, 8, 8, 0, {0, 255, 255, 0});
    SettingsBlock s;
    s.set(SettingsWord::GrayGainR, 77);
    s.set(SettingsWord::AutoGrayGainCountdown, 1);
    FakeFrameControls controls;
    AutoGrayGain(*image, s, controls);
    EXPECT_EQ(s.get(SettingsWord::GrayGainR), 77);
    EXPECT_EQ(s.get(SettingsWord::AutoGrayGainCountdown), 1);
    EXPECT_TRUE(controls.calls.empty());
}

}  // namespace
}  // namespace ostrel::imaging
