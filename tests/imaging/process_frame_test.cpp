// The frame pipeline end to end on real images: step order and kernel choice per colour mode,
// gray modes, mirror, automatic gains, range limits; the delivery into application buffers, the
// recorder's 24-bit conversion and the raw frame fix-up.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "imaging/adjustment_params.h"
#include "imaging/apply_kernel.h"
#include "imaging/brightness.h"
#include "imaging/contrast.h"
#include "imaging/cpu_features.h"
#include "imaging/deliver_frame.h"
#include "imaging/demosaic.h"
#include "imaging/fake_frame_controls.h"
#include "imaging/gamma.h"
#include "imaging/gray_gains.h"
#include "imaging/hue_saturation.h"
#include "imaging/luma.h"
#include "imaging/mosaic_phase.h"
#include "imaging/process_frame.h"
#include "imaging/raw_frame.h"
#include "imaging/record_conversion.h"
#include "imaging/sharpen.h"

namespace ostrel::imaging {
namespace {

using Calls = std::vector<std::string>;
using test::FakeFrameControls;

std::uint16_t wordAt(const DibImage &image, int x, int y, int channel = 0) {
    const std::uint8_t *p = image.row(y) + x * image.bytesPerPixel() + 2 * channel;
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

void setWord(DibImage &image, int x, int y, int channel, std::uint16_t v) {
    std::uint8_t *p = image.row(y) + x * image.bytesPerPixel() + 2 * channel;
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

std::vector<std::uint8_t> bytesOf(const DibImage &image) {
    return std::vector<std::uint8_t>(image.pixels(), image.pixels() + image.sizeBytes());
}

// The images a context prepares for a colour mode, at one size.
struct CameraImages {
    DibImage image8, image16, image24, image32, image48, image64, work;
    ColorMode mode;

    CameraImages(ColorMode m, int width, int height) : mode(m) {
        const int bits = outputBitCount(m);
        if (!hasWideRawSamples(m)) {
            EXPECT_TRUE(image8.create(width, height, 8));
        } else {
            EXPECT_TRUE(image16.create(width, height, 16));
        }
        if (m != ColorMode::Mono16) {
            EXPECT_TRUE(image24.create(width, height, 24));
        }
        if (m == ColorMode::Mono16) {
            EXPECT_TRUE(image8.create(width, height, 8));
        }
        if (bits == 32) {
            EXPECT_TRUE(image32.create(width, height, 32));
        } else if (bits == 48) {
            EXPECT_TRUE(image48.create(width, height, 48));
        } else if (bits == 64) {
            EXPECT_TRUE(image64.create(width, height, 64));
        }
        EXPECT_TRUE(work.copyFormat(output()));
    }

    FrameImages view() {
        return FrameImages{&image8, &image16, &image24, &image32, &image48, &image64, &work};
    }
    DibImage *raw() { return rawImageFor(view(), mode); }
    DibImage *output() { return outputImageFor(view(), mode); }

    // Raw samples: random bytes, or random words within 0..top.
    void fillRaw(std::mt19937 &rng, int top = 1023) {
        DibImage &r = *raw();
        for (int y = 0; y < r.height(); ++y) {
            for (int x = 0; x < r.width(); ++x) {
                if (r.bitCount() == 8) {
                    r.row(y)[x] = static_cast<std::uint8_t>(rng());
                } else {
                    setWord(r, x, y, 0, static_cast<std::uint16_t>(rng() % (top + 1)));
                }
            }
        }
    }
};

SettingsBlock neutralSettings() {
    SettingsBlock s;
    s.set(SettingsWord::Gamma, 100);
    s.set(SettingsWord::ColourGainRed, 100);
    s.set(SettingsWord::ColourGainGreen, 100);
    s.set(SettingsWord::ColourGainBlue, 100);
    s.set(SettingsWord::BayerMode, 3);
    return s;
}

SettingsBlock busySettings() {
    SettingsBlock s = neutralSettings();
    s.set(SettingsWord::Hue, 40);
    s.set(SettingsWord::Saturation, 60);
    s.set(SettingsWord::Gamma, 70);
    s.set(SettingsWord::Contrast, 30);
    s.set(SettingsWord::Sharpness, 20);
    s.set(SettingsWord::Brightness, 25);
    s.set(SettingsWord::ColourGainRed, 130);
    s.set(SettingsWord::ColourGainBlue, 90);
    s.set(SettingsWord::BayerMode, 1);
    return s;
}

AnalogSettings analogOff() {
    AnalogSettings a;
    a.set(AnalogWord::GlobalGain, 100);
    a.set(AnalogWord::Exposure, 100);
    return a;
}

void run(CameraImages &images, SettingsBlock &settings, AnalogSettings &analog,
         FakeFrameControls &controls) {
    FrameRhythm rhythm;
    ProcessFrame(FrameInput{images.mode, images.view(), settings, analog, controls}, rhythm);
}

// The pipeline written out step by step with the plain kernels, for comparison.
void expectedFrame(ColorMode mode, DibImage &raw, DibImage &output, const SettingsBlock &s) {
    const ColourGains gains{s.get(SettingsWord::BayerMode), s.get(SettingsWord::ColourGainRed),
                            s.get(SettingsWord::ColourGainGreen),
                            s.get(SettingsWord::ColourGainBlue)};
    const bool colour = isColour(mode);
    const bool wide = hasWideRawSamples(mode);
    if (colour) {
        ApplyKernel(output, wide ? Demosaic10 : Demosaic8, raw, nullptr, 0, 0, &gains, 0);
        ApplyKernel(output, wide ? Demosaic10Border : Demosaic8Border, raw, nullptr, 0, 0, &gains,
                    0);
        const HueSaturationParams hs{s.get(SettingsWord::Hue), 0, s.get(SettingsWord::Saturation),
                                     10};
        ApplyKernel(output, wide ? reference::HueSaturation48 : reference::HueSaturation24, output,
                    nullptr, 0, 0, &hs, 0);
    }
    const bool tenBit = wide;
    const bool mono = !colour;
    auto pick = [&](ConversionKernel k8, ConversionKernel k16, ConversionKernel k24,
                    ConversionKernel k48) {
        return mono ? (tenBit ? k16 : k8) : (tenBit ? k48 : k24);
    };
    const SingleValueParams gamma{s.get(SettingsWord::Gamma)};
    ApplyKernel(output,
                pick(reference::Gamma8, reference::Gamma16, reference::Gamma24, reference::Gamma48),
                output, nullptr, 0, 0, &gamma, 0);
    const SingleValueParams contrast{s.get(SettingsWord::Contrast)};
    ApplyKernel(output,
                pick(reference::Contrast8, reference::Contrast16, reference::Contrast24,
                     reference::Contrast48),
                output, nullptr, 0, 0, &contrast, 0);
    DibImage work;
    ASSERT_TRUE(work.copyFormat(&output));
    std::memcpy(work.pixels(), output.pixels(), output.sizeBytes());
    const SingleValueParams sharpness{s.get(SettingsWord::Sharpness)};
    ApplyKernel(
        output,
        pick(reference::Sharpen8, reference::Sharpen16, reference::Sharpen24, reference::Sharpen48),
        work, nullptr, 0, 0, &sharpness, 0);
    const SingleValueParams brightness{s.get(SettingsWord::Brightness)};
    ApplyKernel(output,
                pick(reference::Brightness8, reference::Brightness16, reference::Brightness24,
                     reference::Brightness48),
                output, nullptr, 0, 0, &brightness, 0);
}

class EveryColourMode : public ::testing::TestWithParam<int> {};

TEST_P(EveryColourMode, StepsRunInOrderWithTheModesKernels) {
    const auto mode = static_cast<ColorMode>(GetParam());
    std::mt19937 rng(GetParam() + 100);
    for (const auto &[w, h] : {std::pair{23, 17}, std::pair{64, 9}}) {
        CameraImages images(mode, w, h);
        images.fillRaw(rng);
        CameraImages expected(mode, w, h);
        std::memcpy(expected.raw()->pixels(), images.raw()->pixels(), images.raw()->sizeBytes());
        SettingsBlock settings = busySettings();
        AnalogSettings analog = analogOff();
        FakeFrameControls controls;
        run(images, settings, analog, controls);
        expectedFrame(mode, *expected.raw(), *expected.output(), settings);
        EXPECT_EQ(bytesOf(*images.output()), bytesOf(*expected.output()))
            << "mode " << GetParam() << " size " << w << "x" << h;
        EXPECT_EQ(controls.calls, (Calls{"error 0"}));  // auto iris off
    }
}

INSTANTIATE_TEST_SUITE_P(ProcessFrame, EveryColourMode, ::testing::Values(0, 1, 2, 3, 4, 5));

TEST(ProcessFrame, NeutralSettingsHandOutTheRawWordsOfTheTenBitMode) {
    CameraImages images(ColorMode::Mono16, 15, 6);
    std::mt19937 rng(1);
    images.fillRaw(rng, 65535);
    const auto before = bytesOf(images.image16);
    SettingsBlock settings = neutralSettings();
    settings.set(SettingsWord::Hue, 90);  // colour only
    settings.set(SettingsWord::Saturation, -90);
    settings.set(SettingsWord::GrayMode, 1);  // 8-bit monochrome only
    settings.set(SettingsWord::AutoGrayGainCountdown, 1);
    settings.set(SettingsWord::AutoColourGain, 1);  // colour only
    AnalogSettings analog = analogOff();
    FakeFrameControls controls;
    run(images, settings, analog, controls);
    EXPECT_EQ(bytesOf(images.image16), before);
    EXPECT_EQ(settings.get(SettingsWord::AutoGrayGainCountdown), 1);
    EXPECT_EQ(settings.get(SettingsWord::ColourGainRed), 100);
}

TEST(ProcessFrame, SkippedStepsAreThoseWithNeutralSettings) {
    // Gamma 100, everything else 0: a colour frame is exactly its reconstruction.
    CameraImages images(ColorMode::Bgr24, 12, 8);
    std::mt19937 rng(4);
    images.fillRaw(rng);
    DibImage reconstruction;
    ASSERT_TRUE(reconstruction.create(12, 8, 24));
    const ColourGains gains{3, 100, 100, 100};
    ApplyKernel(reconstruction, Demosaic8, images.image8, nullptr, 0, 0, &gains, 0);
    ApplyKernel(reconstruction, Demosaic8Border, images.image8, nullptr, 0, 0, &gains, 0);
    SettingsBlock settings = neutralSettings();
    AnalogSettings analog = analogOff();
    FakeFrameControls controls;
    run(images, settings, analog, controls);
    EXPECT_EQ(bytesOf(images.image24), bytesOf(reconstruction));
}

TEST(ProcessFrame, VerticalMirrorExchangesRowsAndKeepsTheMiddleRow) {
    CameraImages images(ColorMode::Mono8, 6, 5);
    for (int y = 0; y < 5; ++y) {
        std::memset(images.image8.row(y), 10 * (y + 1), 6);
    }
    SettingsBlock settings = neutralSettings();
    AnalogSettings analog = analogOff();
    analog.set(AnalogWord::MirrorV, 1);
    FakeFrameControls controls;
    run(images, settings, analog, controls);
    for (int y = 0; y < 5; ++y) {
        EXPECT_EQ(images.image8.row(y)[0], 10 * (5 - y)) << y;
        EXPECT_EQ(images.image8.row(y)[5], 10 * (5 - y)) << y;
    }
}

TEST(ProcessFrame, ExposureIsMeasuredBeforeTheVerticalMirror) {
    // Bright exactly where the patches are measured; mirrored first, the measurement would land
    // one row off on this low image and find every patch half dark (no change).
    CameraImages images(ColorMode::Mono8, 20, 15);
    std::memset(images.image8.pixels(), 10, images.image8.sizeBytes());
    for (const KernelRect &p : exposurePatches(20, 15)) {
        for (int y = 15 - p.bottom; y < 15 - p.top; ++y) {
            std::memset(images.image8.row(y) + p.left, 250, p.right - p.left);
        }
    }
    SettingsBlock settings = neutralSettings();
    AnalogSettings analog = analogOff();
    analog.set(AnalogWord::MirrorV, 1);
    analog.set(AnalogWord::AutoIris, kAutoIrisExposure);
    analog.set(AnalogWord::Exposure, 1000);
    FakeFrameControls controls;
    FrameRhythm rhythm;
    for (int i = 0; i < 3; ++i) {
        // The mirror of the previous frame is undone by the next one.
        ProcessFrame(FrameInput{images.mode, images.view(), settings, analog, controls}, rhythm);
    }
    EXPECT_EQ(controls.calls, (Calls{"wait 1", "exposure 4000", "analog 1027 4000"}));
}

TEST(ProcessFrame, AutoColourGainIsMeasuredBeforeReconstruction) {
    CameraImages images(ColorMode::Bgr32, 10, 8);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 10; ++x) {
            const int byPosition[4] = {100, 50, 25, 100};  // G1, blue, red, G2
            images.image8.row(y)[x] =
                static_cast<std::uint8_t>(byPosition[mosaicPosition(2, x, y)]);
        }
    }
    SettingsBlock settings = neutralSettings();
    settings.set(SettingsWord::BayerMode, 2);
    settings.set(SettingsWord::AutoColourGain, 1);
    AnalogSettings analog = analogOff();
    FakeFrameControls controls;
    run(images, settings, analog, controls);
    EXPECT_EQ(settings.get(SettingsWord::ColourGainBlue), 200);
    EXPECT_EQ(settings.get(SettingsWord::ColourGainRed), 400);
    EXPECT_EQ(controls.calls, (Calls{"error 0", "dialog"}));
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 10; ++x) {
            const std::uint8_t *p = images.image32.row(y) + 4 * x;
            EXPECT_EQ(p[0], 100);
            EXPECT_EQ(p[1], 100);
            EXPECT_EQ(p[2], 100);
            EXPECT_EQ(p[3], 0);
        }
    }
}

TEST(ProcessFrame, GrayModeBayerConvertMeasuresOnCountdownThenAppliesGains) {
    CameraImages images(ColorMode::Mono8, 8, 6);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) {
            const int byPosition[4] = {100, 50, 120, 200};  // G1, R, B, G2
            images.image8.row(y)[x] =
                static_cast<std::uint8_t>(byPosition[mosaicPosition(0, x, y)]);
        }
    }
    SettingsBlock settings = neutralSettings();
    settings.set(SettingsWord::BayerMode, 0);
    settings.set(SettingsWord::GrayMode, 1);
    settings.set(SettingsWord::GrayOffsetG1, 5);
    settings.set(SettingsWord::AutoGrayGainCountdown, 1);
    AnalogSettings analog = analogOff();
    FakeFrameControls controls;
    run(images, settings, analog, controls);
    EXPECT_EQ(settings.get(SettingsWord::AutoGrayGainCountdown), 0);
    EXPECT_EQ(controls.calls, (Calls{"error 0", "dialog"}));
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) {
            // G1 105; R 50 x 256 >> 7 = 100; B 120 x 106 >> 7 = 99; G2 200 x 64 >> 7 = 100.
            const int expected[4] = {105, 100, 99, 100};
            EXPECT_EQ(images.image8.row(y)[x], expected[mosaicPosition(0, x, y)]) << x << "," << y;
        }
    }
}

TEST(ProcessFrame, GrayModeGrayscaleIsTheLumaOfTheReconstruction) {
    CameraImages images(ColorMode::Mono8, 14, 9);
    std::mt19937 rng(8);
    images.fillRaw(rng);
    DibImage raw, colour, grey;
    ASSERT_TRUE(raw.create(14, 9, 8));
    ASSERT_TRUE(colour.create(14, 9, 24));
    ASSERT_TRUE(grey.create(14, 9, 8));
    std::memcpy(raw.pixels(), images.image8.pixels(), raw.sizeBytes());
    SettingsBlock settings = neutralSettings();
    settings.set(SettingsWord::GrayMode, 2);
    settings.set(SettingsWord::ColourGainRed, 150);
    const ColourGains gains{3, 150, 100, 100};
    ApplyKernel(colour, Demosaic8, raw, nullptr, 0, 0, &gains, 0);
    ApplyKernel(colour, Demosaic8Border, raw, nullptr, 0, 0, &gains, 0);
    ApplyKernel(grey, Luma24To8, colour, nullptr, 0, 0, nullptr, 0);
    AnalogSettings analog = analogOff();
    FakeFrameControls controls;
    run(images, settings, analog, controls);
    EXPECT_EQ(bytesOf(images.image8), bytesOf(grey));
    EXPECT_EQ(bytesOf(images.image24), bytesOf(colour));
}

TEST(ProcessFrame, UnknownGrayModeActsAsBayer) {
    CameraImages images(ColorMode::Mono8, 9, 7);
    std::mt19937 rng(6);
    images.fillRaw(rng);
    const auto before = bytesOf(images.image8);
    SettingsBlock settings = neutralSettings();
    settings.set(SettingsWord::GrayMode, 7);
    settings.set(SettingsWord::AutoGrayGainCountdown, 3);
    AnalogSettings analog = analogOff();
    FakeFrameControls controls;
    run(images, settings, analog, controls);
    EXPECT_EQ(bytesOf(images.image8), before);
    EXPECT_EQ(settings.get(SettingsWord::AutoGrayGainCountdown), 3);
}

SettingsBlock extremeSettings(int variant) {
    SettingsBlock s = neutralSettings();
    const std::int32_t brightness[] = {255, -100, 90};
    const std::int32_t contrast[] = {-127, 127, 64};
    const std::int32_t gamma[] = {0, 200, 55};
    const std::int32_t hue[] = {360, -200, 128};
    const std::int32_t saturation[] = {255, -255, -1000};
    s.set(SettingsWord::Brightness, brightness[variant]);
    s.set(SettingsWord::Contrast, contrast[variant]);
    s.set(SettingsWord::Gamma, gamma[variant]);
    s.set(SettingsWord::Hue, hue[variant]);
    s.set(SettingsWord::Saturation, saturation[variant]);
    s.set(SettingsWord::Sharpness, 30);
    s.set(SettingsWord::ColourGainRed, 800);
    s.set(SettingsWord::ColourGainBlue, 800);
    return s;
}

TEST(ProcessFrame, FourthByteOrWordStaysZeroThroughEveryStep) {
    // The 64-bit reconstruction relies on this to write whole pixels: it must hold frame after
    // frame, on the vector paths (rows wide enough for them) and the plain ones.
    for (CpuFeatures features : {kAllCpuFeatures, CpuFeatures{0}}) {
        const CpuFeatureLimit limit(features);
        for (ColorMode mode : {ColorMode::Bgr32, ColorMode::Bgr64}) {
            for (int variant = 0; variant < 3; ++variant) {
                CameraImages images(mode, variant == 0 ? 13 : 45, 11 + variant);
                std::mt19937 rng(variant);
                for (int frame = 0; frame < 2; ++frame) {
                    images.fillRaw(rng);
                    SettingsBlock settings = extremeSettings(variant);
                    AnalogSettings analog = analogOff();
                    FakeFrameControls controls;
                    run(images, settings, analog, controls);
                    const DibImage &out = *images.output();
                    const int bpp = out.bytesPerPixel();
                    for (int y = 0; y < out.height(); ++y) {
                        for (int x = 0; x < out.width(); ++x) {
                            for (int b = bpp * 3 / 4; b < bpp; ++b) {
                                ASSERT_EQ(out.row(y)[x * bpp + b], 0) << x << "," << y;
                            }
                        }
                    }
                }
            }
        }
    }
}

TEST(ProcessFrame, TenBitOutputsNeverExceedTenBits) {
    for (ColorMode mode : {ColorMode::Mono16, ColorMode::Bgr48, ColorMode::Bgr64}) {
        for (int variant = 0; variant < 3; ++variant) {
            CameraImages images(mode, 17, 12);
            std::mt19937 rng(variant + 10);
            images.fillRaw(rng, 1023);
            SettingsBlock settings = extremeSettings(variant);
            AnalogSettings analog = analogOff();
            FakeFrameControls controls;
            run(images, settings, analog, controls);
            const DibImage &out = *images.output();
            const int channels = mode == ColorMode::Mono16 ? 1 : 3;
            for (int y = 0; y < out.height(); ++y) {
                for (int x = 0; x < out.width(); ++x) {
                    for (int c = 0; c < channels; ++c) {
                        ASSERT_LE(wordAt(out, x, y, c), 1023) << x << "," << y;
                    }
                }
            }
        }
    }
}

TEST(ProcessFrame, ArbitraryWordsOfTheTenBitModeAreBroughtIntoRangeByEveryTableAdjustment) {
    for (SettingsWord word :
         {SettingsWord::Gamma, SettingsWord::Contrast, SettingsWord::Brightness}) {
        CameraImages images(ColorMode::Mono16, 11, 7);
        std::mt19937 rng(static_cast<int>(word));
        images.fillRaw(rng, 65535);
        SettingsBlock settings = neutralSettings();
        settings.set(word, word == SettingsWord::Gamma ? 150 : 3);
        AnalogSettings analog = analogOff();
        FakeFrameControls controls;
        run(images, settings, analog, controls);
        for (int y = 0; y < 7; ++y) {
            for (int x = 0; x < 11; ++x) {
                ASSERT_LE(wordAt(images.image16, x, y), 1023);
            }
        }
    }
}

TEST(ProcessFrame, SaturationLoadedBeyondItsRangeActsAsItsLimit) {
    std::mt19937 rng(12);
    CameraImages a(ColorMode::Bgr24, 16, 10), b(ColorMode::Bgr24, 16, 10);
    a.fillRaw(rng);
    std::memcpy(b.image8.pixels(), a.image8.pixels(), a.image8.sizeBytes());
    SettingsBlock sa = neutralSettings(), sb = neutralSettings();
    sa.set(SettingsWord::Saturation, -5000);
    sb.set(SettingsWord::Saturation, -255);
    AnalogSettings analog = analogOff();
    FakeFrameControls controls;
    run(a, sa, analog, controls);
    run(b, sb, analog, controls);
    EXPECT_EQ(bytesOf(a.image24), bytesOf(b.image24));
    EXPECT_EQ(sa.get(SettingsWord::Saturation), -5000);  // the stored setting is not changed
}

TEST(ProcessFrame, SharpeningIsSkippedWithoutAMatchingWorkImage) {
    CameraImages images(ColorMode::Bgr24, 12, 12);
    std::mt19937 rng(13);
    images.fillRaw(rng);
    images.work.release();
    SettingsBlock settings = neutralSettings();
    settings.set(SettingsWord::Sharpness, 30);
    AnalogSettings analog = analogOff();
    FakeFrameControls controls;
    run(images, settings, analog, controls);
    CameraImages plain(ColorMode::Bgr24, 12, 12);
    std::memcpy(plain.image8.pixels(), images.image8.pixels(), images.image8.sizeBytes());
    SettingsBlock neutral = neutralSettings();
    run(plain, neutral, analog, controls);
    EXPECT_EQ(bytesOf(images.image24), bytesOf(plain.image24));
    ASSERT_TRUE(images.work.create(12, 11, 24));  // wrong size: skipped as well
    run(images, settings, analog, controls);
}

TEST(ProcessFrame, TinyFramesAreProcessedWithoutTouchingMemoryOutsideThem) {
    for (int mode = 0; mode <= 5; ++mode) {
        for (int size : {1, 2, 3, 4, 5}) {
            CameraImages images(static_cast<ColorMode>(mode), size, size + 1);
            std::mt19937 rng(size);
            images.fillRaw(rng);
            SettingsBlock settings = extremeSettings(size % 3);
            settings.set(SettingsWord::GrayMode, size % 3);
            settings.set(SettingsWord::AutoColourGain, 1);
            settings.set(SettingsWord::AutoGrayGainCountdown, -1);
            AnalogSettings analog = analogOff();
            analog.set(AnalogWord::MirrorV, 1);
            analog.set(AnalogWord::AutoIris, kAutoIrisGain);
            FakeFrameControls controls;
            for (int frame = 0; frame < 3; ++frame) {
                run(images, settings, analog, controls);
            }
        }
    }
}

TEST(ProcessFrame, NoRawImageRecordsCodeNineUnderAutoIris) {
    CameraImages images(ColorMode::Bgr24, 8, 8);
    images.image8.release();
    SettingsBlock settings = neutralSettings();
    AnalogSettings analog = analogOff();
    analog.set(AnalogWord::AutoIris, kAutoIrisExposure);
    FakeFrameControls controls;
    run(images, settings, analog, controls);
    EXPECT_EQ(controls.calls, (Calls{"error 9"}));
}

// ---- delivery ----

TEST(DeliverFrame, FlagZeroPutsTheBottomRowFirstAndOneTheTopRow) {
    DibImage image;
    ASSERT_TRUE(image.create(3, 4, 24));  // stride 12 with 3 bytes of padding
    for (int y = 0; y < 4; ++y) {
        for (int i = 0; i < 12; ++i) {
            image.row(y)[i] = static_cast<std::uint8_t>(16 * y + i);
        }
    }
    FakeFrameControls controls;
    std::vector<std::uint8_t> buffer(48, 0xCC);
    ASSERT_TRUE(DeliverFrame(image, 0, buffer.data(), 48, controls));
    for (int y = 0; y < 4; ++y) {
        EXPECT_EQ(0, std::memcmp(buffer.data() + 12 * y, image.row(3 - y), 12)) << y;
    }
    ASSERT_TRUE(DeliverFrame(image, 1, buffer.data(), 48, controls));
    EXPECT_EQ(0, std::memcmp(buffer.data(), image.pixels(), 48));
    EXPECT_TRUE(controls.calls.empty());
}

TEST(DeliverFrame, ShortBufferIsRefusedWithCodeFive) {
    DibImage image;
    ASSERT_TRUE(image.create(5, 3, 8));
    std::vector<std::uint8_t> buffer(image.sizeBytes(), 0xCC);
    FakeFrameControls controls;
    EXPECT_FALSE(DeliverFrame(image, 1, buffer.data(),
                              static_cast<std::int64_t>(image.sizeBytes()) - 1, controls));
    EXPECT_EQ(controls.calls, (Calls{"notify 5", "error 5"}));
    EXPECT_EQ(buffer, std::vector<std::uint8_t>(image.sizeBytes(), 0xCC));
    EXPECT_FALSE(DeliverFrame(image, 1, buffer.data(), -1, controls));
    EXPECT_TRUE(DeliverFrame(image, 1, buffer.data(), 1 << 20, controls));
    controls.calls.clear();
    EXPECT_FALSE(DeliverFrame(image, 1, nullptr, 1 << 20, controls));
    DibImage empty;
    EXPECT_FALSE(DeliverFrame(empty, 1, buffer.data(), 1 << 20, controls));
    EXPECT_TRUE(controls.calls.empty());
}

// ---- recording ----

class RecordedFrame : public ::testing::Test {
protected:
    // The recorded pixel (blue, green, red) of picture row y (memory row y of the output).
    std::array<int, 3> recorded(const DibImage &frame, int x, int y) {
        const std::uint8_t *p = frame.row(frame.height() - 1 - y) + 3 * x;
        return {p[0], p[1], p[2]};
    }
    RecordConversion conversion;
};

TEST_F(RecordedFrame, EightBitGreyBecomesEqualBlueGreenRedWithRowsReversed) {
    DibImage grey;
    ASSERT_TRUE(grey.create(5, 3, 8));
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            grey.row(y)[x] = static_cast<std::uint8_t>(40 * y + 7 * x);
        }
    }
    ASSERT_TRUE(conversion.convert(grey));
    const DibImage &frame = conversion.frame();
    EXPECT_EQ(frame.bitCount(), 24);
    EXPECT_EQ(frame.width(), 5);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            const int v = 40 * y + 7 * x;
            EXPECT_EQ(recorded(frame, x, y), (std::array<int, 3>{v, v, v})) << x << "," << y;
        }
    }
}

TEST_F(RecordedFrame, TenBitGreyIsReducedToBitsTwoToNine) {
    DibImage words;
    ASSERT_TRUE(words.create(3, 2, 16));
    const std::uint16_t values[2][3] = {{1023, 4, 3}, {0x1234, 512, 1020}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            setWord(words, x, y, 0, values[y][x]);
        }
    }
    ASSERT_TRUE(conversion.convert(words));
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            const int v = (values[y][x] >> 2) & 0xFF;
            EXPECT_EQ(recorded(conversion.frame(), x, y), (std::array<int, 3>{v, v, v}));
        }
    }
}

TEST_F(RecordedFrame, ColourOutputsKeepBlueGreenRedAndDropTheFourthChannel) {
    for (int bits : {24, 32, 48, 64}) {
        DibImage image;
        ASSERT_TRUE(image.create(4, 3, static_cast<std::uint16_t>(bits)));
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 4; ++x) {
                for (int c = 0; c < bits / 8 / (bits > 32 ? 2 : 1); ++c) {
                    const int v = 10 * y + 3 * x + c;
                    if (bits > 32) {
                        setWord(image, x, y, c, static_cast<std::uint16_t>(4 * v + 3));
                    } else {
                        image.row(y)[x * bits / 8 + c] = static_cast<std::uint8_t>(v);
                    }
                }
            }
        }
        ASSERT_TRUE(conversion.convert(image)) << bits;
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 4; ++x) {
                const int v = 10 * y + 3 * x;
                EXPECT_EQ(recorded(conversion.frame(), x, y), (std::array<int, 3>{v, v + 1, v + 2}))
                    << bits << " " << x << "," << y;
            }
        }
    }
}

TEST_F(RecordedFrame, EmptyOutputFails) {
    DibImage empty;
    EXPECT_FALSE(conversion.convert(empty));
    EXPECT_TRUE(conversion.frame().isEmpty());
}

// ---- raw frame ----

TEST(RawFrame, PackedRowsAreSpreadToTheStrideAndPaddingCleared) {
    for (int bits : {8, 16}) {
        DibImage raw;
        ASSERT_TRUE(raw.create(3, 4, static_cast<std::uint16_t>(bits)));  // stride 4 or 8
        const int bytes = bits / 8;
        std::memset(raw.pixels(), 0xEE, raw.sizeBytes());
        for (int i = 0; i < 3 * 4 * bytes; ++i) {
            raw.pixels()[i] = static_cast<std::uint8_t>(i + 1);  // packed, as the device writes
        }
        FixUpRawFrame(raw);
        for (int y = 0; y < 4; ++y) {
            for (int i = 0; i < 3 * bytes; ++i) {
                EXPECT_EQ(raw.row(y)[i], y * 3 * bytes + i + 1) << bits << " " << y;
            }
            for (int i = 3 * bytes; i < raw.stride(); ++i) {
                EXPECT_EQ(raw.row(y)[i], 0) << bits << " padding " << y;
            }
        }
    }
}

TEST(RawFrame, RowsAlreadyAMultipleOfFourAreNotRespread) {
    DibImage raw;
    ASSERT_TRUE(raw.create(6, 3, 16));  // 12 bytes per row, no padding
    for (std::size_t i = 0; i < raw.sizeBytes(); ++i) {
        raw.pixels()[i] = static_cast<std::uint8_t>(i * 7);
    }
    const auto before = bytesOf(raw);
    FixUpRawFrame(raw);
    EXPECT_EQ(bytesOf(raw), before);
}

TEST(RawFrame, HorizontalMirrorReversesSamplesOfEveryRow) {
    DibImage bytes, words;
    ASSERT_TRUE(bytes.create(5, 2, 8));
    ASSERT_TRUE(words.create(3, 2, 16));
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 5; ++x) {
            bytes.row(y)[x] = static_cast<std::uint8_t>(10 * y + x);
        }
        for (int x = 0; x < 3; ++x) {
            setWord(words, x, y, 0, static_cast<std::uint16_t>(1000 * y + 0x101 * x));
        }
    }
    MirrorRawFrame(bytes);
    MirrorRawFrame(words);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(bytes.row(y)[x], 10 * y + 4 - x);
        }
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(wordAt(words, x, y), 1000 * y + 0x101 * (2 - x));
        }
    }
}

}  // namespace
}  // namespace ostrel::imaging
