// The output adjustments against their formulas: exact table entries at the edges of each
// setting, the sample layouts of every variant, and the limits that keep 10-bit images in range.
#include <gtest/gtest.h>

#include <cstdint>

#include "imaging/adjust_test_support.h"
#include "imaging/adjustment_params.h"
#include "imaging/brightness.h"
#include "imaging/contrast.h"
#include "imaging/gamma.h"
#include "imaging/hue_saturation.h"
#include "imaging/sharpen.h"

namespace ostrel::imaging {
namespace {

using test::inPlaceArgs;
using test::PixelBuffer;
using test::wholeImageArgs;

std::vector<std::uint16_t> table(void (*build)(std::int32_t, int, std::uint16_t *),
                                 std::int32_t setting, int top) {
    std::vector<std::uint16_t> t(static_cast<std::size_t>(top) + 1);
    build(setting, top, t.data());
    return t;
}

std::vector<std::uint16_t> contrastTable(std::int64_t c, int top) {
    std::vector<std::uint16_t> t(static_cast<std::size_t>(top) + 1);
    buildContrastTable(c, top, t.data());
    return t;
}

// ---- gamma ----

TEST(GammaTable, HalfGammaLightensDarkValuesAndKeepsTopBelowItself) {
    const auto t = table(buildGammaTable, 50, 255);
    EXPECT_EQ(t[0], 0);
    EXPECT_EQ(t[1], 15);  // sqrt(255) = 15.97
    EXPECT_EQ(t[255], 254);
}

TEST(GammaTable, GammaElevenSqueezesAllButTheTopThird) {
    const auto t = table(buildGammaTable, 200, 255);
    EXPECT_DOUBLE_EQ(gammaExponent(200), 11.0);
    for (int i = 1; i <= 170; ++i) {
        EXPECT_TRUE(t[i] == 1 || t[i] == 2) << i << " -> " << t[i];
    }
    EXPECT_EQ(t[171], 3);
    EXPECT_EQ(t[255], 254);
}

TEST(GammaTable, TopMapsOneBelowForEveryGammaAtBothDepths) {
    for (std::int32_t g : {0, 1, 37, 99, 101, 150, 200}) {
        EXPECT_EQ(table(buildGammaTable, g, 255)[255], 254) << g;
        EXPECT_EQ(table(buildGammaTable, g, 1023)[1023], 1022) << g;
    }
}

TEST(GammaTable, ExponentIsLimitedForStoredOutOfRangeSettings) {
    EXPECT_DOUBLE_EQ(gammaExponent(0), 0.001);
    EXPECT_DOUBLE_EQ(gammaExponent(-40), 0.001);
    EXPECT_DOUBLE_EQ(gammaExponent(100000), 99.999);
    EXPECT_DOUBLE_EQ(gammaExponent(30), 30 * 0.01);
    // Gamma 0 (exponent 0.001) sends every non-zero value to just below the top.
    const auto t = table(buildGammaTable, 0, 255);
    EXPECT_EQ(t[0], 0);
    EXPECT_EQ(t[1], 253);
}

TEST(GammaTable, BinarySearchMatchesTheEntryByEntrySearch) {
    for (int top : {255, 1023}) {
        // Every setting of the 8-bit table; every third of the (slower to search) 10-bit one.
        for (std::int32_t g = -5; g <= 210; g += top == 255 ? 1 : 3) {
            std::vector<std::uint16_t> fast(top + 1), plain(top + 1);
            buildGammaTable(g, top, fast.data());
            reference::buildGammaTable(g, top, plain.data());
            ASSERT_EQ(fast, plain) << "gamma " << g << " top " << top;
        }
    }
}

TEST(GammaKernel, ColourVariantsMapThreeChannelsAndLeaveTheFourthByte) {
    PixelBuffer image(2, 1, 4);
    const std::uint8_t pixels[] = {1, 255, 0, 0x5A, 255, 1, 1, 0x00};
    std::memcpy(image.pixels(), pixels, sizeof pixels);
    const SingleValueParams params{50};
    EXPECT_EQ(Gamma24(inPlaceArgs(image, &params)), 1);
    const std::uint8_t expected[] = {15, 254, 0, 0x5A, 254, 15, 15, 0x00};
    EXPECT_EQ(0, std::memcmp(image.pixels(), expected, sizeof expected));
    EXPECT_TRUE(image.guardsIntact());
}

// ---- contrast ----

TEST(ContrastTable, MostPositiveSettingMakesAHardThreshold) {
    const auto t = contrastTable(127, 255);
    for (int i = 0; i <= 127; ++i) {
        EXPECT_EQ(t[i], 0) << i;
    }
    EXPECT_EQ(t[128], 128);
    for (int i = 129; i <= 255; ++i) {
        EXPECT_EQ(t[i], 255) << i;
    }
}

TEST(ContrastTable, MostNegativeSettingCompressesTowardsTheMiddle) {
    const auto t = contrastTable(-127, 255);
    EXPECT_EQ(t[0], 63);
    EXPECT_EQ(t[255], 191);
    EXPECT_EQ(t[128], 128);  // 256 / 510 * 255 is 128.0 in double precision
}

TEST(ContrastTable, SettingsAtOrAboveHalfTheRangeMakeEveryEntryZero) {
    for (int i : {0, 128, 255}) {
        EXPECT_EQ(contrastTable(128, 255)[i], 0);
        EXPECT_EQ(contrastTable(512, 1023)[i * 4], 0);
    }
}

TEST(ContrastTable, StoredExtremeSettingsStayWithinTheRange) {
    for (std::int64_t c : {std::int64_t{-2147483648LL}, std::int64_t{-100000}, std::int64_t{-128},
                           std::int64_t{4 * 2147483647LL}}) {
        for (int top : {255, 1023}) {
            for (std::uint16_t v : contrastTable(c, top)) {
                ASSERT_LE(v, top) << c;
            }
        }
    }
    // Far below the setters' range the table tends to the middle value.
    EXPECT_EQ(contrastTable(-100000, 255)[0], 127);
    EXPECT_EQ(contrastTable(-100000, 255)[255], 128);
}

TEST(ContrastKernel, TenBitGreyActsFourTimesAsStronglyAsTenBitColour) {
    // Setting 10: the grey kernel cuts below 40, the colour kernel below 10.
    PixelBuffer grey(3, 1, 2), colour(1, 1, 6);
    const std::uint16_t values[] = {39, 40, 20};
    for (int x = 0; x < 3; ++x) {
        grey.setWord(x, 0, 0, values[x]);
        colour.setWord(0, 0, x, values[x]);
    }
    const SingleValueParams params{10};
    Contrast16(inPlaceArgs(grey, &params));
    Contrast48(inPlaceArgs(colour, &params));
    EXPECT_EQ(grey.word(0, 0), 0);
    EXPECT_EQ(grey.word(1, 0), 0);
    EXPECT_EQ(grey.word(2, 0), 0);
    EXPECT_EQ(colour.word(0, 0, 0), 29);  // trunc(1024 / 1004 * 29)
    EXPECT_EQ(colour.word(0, 0, 1), 30);  // trunc(1024 / 1004 * 30)
    EXPECT_EQ(colour.word(0, 0, 2), 10);  // trunc(1024 / 1004 * 10)
}

// ---- brightness ----

TEST(BrightnessTable, BrightestSettingMultipliesByElevenAndClips) {
    const auto t = table(buildBrightnessTable, 255, 255);
    EXPECT_EQ(t[23], 253);
    EXPECT_EQ(t[24], 255);
    EXPECT_EQ(t[0], 0);
    const auto t10 = table(buildBrightnessTable, 255, 1023);
    EXPECT_EQ(t10[93], 1023);
    EXPECT_EQ(t10[94], 1023);
    EXPECT_EQ(t10[92], 1012);
}

TEST(BrightnessTable, DarkestSettingTurnsEverythingBlack) {
    for (int top : {255, 1023}) {
        for (std::uint16_t v : table(buildBrightnessTable, -255, top)) {
            ASSERT_EQ(v, 0);
        }
    }
}

TEST(BrightnessTable, TruncatesTheProduct) {
    // b = -1: k = 1 - 1/255, so 255 -> 254 and 1 -> 0.
    const auto t = table(buildBrightnessTable, -1, 255);
    EXPECT_EQ(t[255], 254);
    EXPECT_EQ(t[1], 0);
    // b = 1: k = 1 + 10/255, 100 -> 103.
    EXPECT_EQ(table(buildBrightnessTable, 1, 255)[100], 103);
}

TEST(BrightnessTable, StoredExtremeSettingsClipInsteadOfOverflowing) {
    EXPECT_EQ(table(buildBrightnessTable, INT32_MIN, 255)[200], 0);
    EXPECT_EQ(table(buildBrightnessTable, INT32_MAX, 1023)[1], 1023);
    EXPECT_EQ(table(buildBrightnessTable, INT32_MAX, 255)[0], 0);
}

// ---- 16-bit words beyond ten bits ----

TEST(TenBitKernels, WordsAboveTheTopAreTakenAsTheTopAndResultsStayInRange) {
    struct Case {
        std::int32_t (*kernel)(const KernelArgs &);
        std::int32_t setting;
    };
    const Case cases[] = {{Gamma16, 50},     {Gamma16, 200},     {Contrast16, -127},
                          {Contrast16, 100}, {Brightness16, -3}, {Brightness16, 255}};
    for (const Case &c : cases) {
        PixelBuffer image(4, 1, 2);
        const std::uint16_t words[] = {1023, 1024, 40000, 65535};
        for (int x = 0; x < 4; ++x) {
            image.setWord(x, 0, 0, words[x]);
        }
        const SingleValueParams params{c.setting};
        c.kernel(inPlaceArgs(image, &params));
        for (int x = 1; x < 4; ++x) {
            EXPECT_EQ(image.word(x, 0), image.word(0, 0)) << c.setting;
        }
        EXPECT_LE(image.word(0, 0), 1023);
        EXPECT_TRUE(image.guardsIntact());
    }
}

TEST(TenBitKernels, GreyVariantsStepByTheStrideOnOddWidths) {
    // Width 3: rows are 6 bytes of samples and 2 of padding. Every sample of every row is
    // mapped, the padding is not touched.
    PixelBuffer image(3, 3, 2);
    ASSERT_EQ(image.stride(), 8);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) {
            image.setWord(x, y, 0, static_cast<std::uint16_t>(100 + 10 * y + x));
        }
    }
    const SingleValueParams params{-255};
    Brightness16(inPlaceArgs(image, &params));
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(image.word(x, y), 0) << x << "," << y;
        }
        EXPECT_EQ(image.row(y)[6], 0xEE);
        EXPECT_EQ(image.row(y)[7], 0xEE);
    }
}

// ---- sharpness ----

PixelBuffer stepImage(int width, int height, int bpp, int left, int right, int stepColumn) {
    PixelBuffer image(width, height, bpp);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < bpp; ++c) {
                image.at(x, y)[c] = static_cast<std::uint8_t>(x < stepColumn ? left : right);
            }
        }
    }
    return image;
}

TEST(Sharpen, FlatImageIsUnchanged) {
    PixelBuffer work(9, 7, 3), out(9, 7, 3);
    for (int y = 0; y < 7; ++y) {
        for (int i = 0; i < 27; ++i) {
            work.row(y)[i] = out.row(y)[i] = 77;
        }
    }
    const SingleValueParams params{30};
    EXPECT_EQ(Sharpen24(wholeImageArgs(out, work, &params)), 1);
    for (int y = 0; y < 7; ++y) {
        for (int i = 0; i < 27; ++i) {
            ASSERT_EQ(out.row(y)[i], 77);
        }
    }
}

TEST(Sharpen, StepOvershootsByThreeTimesTheDifferenceToTheMean) {
    // Columns 0..5 hold 100, 6..11 hold 140; the 4 x 4 mean of pixel x covers x-2 .. x+1.
    PixelBuffer work = stepImage(12, 8, 1, 100, 140, 6);
    PixelBuffer out = stepImage(12, 8, 1, 100, 140, 6);
    const SingleValueParams params{30};
    Sharpen8(wholeImageArgs(out, work, &params));
    for (int y = 2; y <= 5; ++y) {
        EXPECT_EQ(out.at(4, y)[0], 100);
        EXPECT_EQ(out.at(5, y)[0], 70);   // mean 110: 100 - 3 x 10
        EXPECT_EQ(out.at(6, y)[0], 200);  // mean 120: 140 + 3 x 20
        EXPECT_EQ(out.at(7, y)[0], 170);  // mean 130: 140 + 3 x 10
        EXPECT_EQ(out.at(8, y)[0], 140);
    }
}

TEST(Sharpen, OvershootIsClipped) {
    PixelBuffer work = stepImage(12, 8, 1, 10, 250, 6);
    PixelBuffer out = stepImage(12, 8, 1, 10, 250, 6);
    const SingleValueParams params{30};
    Sharpen8(wholeImageArgs(out, work, &params));
    EXPECT_EQ(out.at(5, 3)[0], 0);    // 10 - 3 x 60
    EXPECT_EQ(out.at(6, 3)[0], 255);  // 250 + 3 x 120
}

TEST(Sharpen, TwoPixelBorderKeepsTheOutputsOwnValues) {
    PixelBuffer work = stepImage(8, 7, 4, 10, 250, 4);
    PixelBuffer out(8, 7, 4);
    for (int y = 0; y < 7; ++y) {
        for (int i = 0; i < 32; ++i) {
            out.row(y)[i] = 7;
        }
    }
    const SingleValueParams params{10};
    Sharpen24(wholeImageArgs(out, work, &params));
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 8; ++x) {
            const bool inside = y >= 2 && y <= 4 && x >= 2 && x <= 5;
            for (int c = 0; c < 3; ++c) {
                if (!inside) {
                    EXPECT_EQ(out.at(x, y)[c], 7) << x << "," << y;
                }
            }
            EXPECT_EQ(out.at(x, y)[3], 7) << "fourth byte " << x << "," << y;
        }
    }
    EXPECT_EQ(out.at(2, 3)[0], 10);
    EXPECT_EQ(out.at(3, 3)[0], 0);    // mean 70: 10 - 60
    EXPECT_EQ(out.at(4, 3)[1], 255);  // mean 130: 250 + 120
}

TEST(Sharpen, ImagesWithoutAnInsideAreLeftAlone) {
    for (int size : {1, 2, 3, 4}) {
        PixelBuffer work(size, 9, 1), out(size, 9, 1);
        std::mt19937 rng(size);
        work.fillRandom(rng);
        out.fillRandom(rng);
        const auto before = out.allBytes();
        const SingleValueParams params{30};
        Sharpen8(wholeImageArgs(out, work, &params));
        EXPECT_EQ(out.allBytes(), before) << size;
        PixelBuffer work2(9, size, 6), out2(9, size, 6);
        const auto before2 = out2.allBytes();
        Sharpen48(wholeImageArgs(out2, work2, &params));
        EXPECT_EQ(out2.allBytes(), before2) << size;
    }
}

TEST(Sharpen, TenBitStepOvershootsAndClipsAtTenBits) {
    PixelBuffer work(12, 8, 2), out(12, 8, 2);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 12; ++x) {
            const std::uint16_t v = x < 6 ? 400 : (x < 9 ? 600 : 1023);
            work.setWord(x, y, 0, v);
            out.setWord(x, y, 0, v);
        }
    }
    const SingleValueParams params{30};
    Sharpen16(wholeImageArgs(out, work, &params));
    for (int y = 2; y <= 5; ++y) {
        EXPECT_EQ(out.word(5, y), 250);   // mean 450: 400 - 3 x 50
        EXPECT_EQ(out.word(6, y), 900);   // mean 500: 600 + 3 x 100
        EXPECT_EQ(out.word(9, y), 1023);  // mean 711: clipped
    }
}

TEST(Sharpen, TenBitWordsAboveTheTopCountAsTheTop) {
    std::mt19937 rng(3);
    PixelBuffer work(10, 9, 6), wild(10, 9, 6);
    work.fillRandomWords(rng, 1023);
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 10; ++x) {
            for (int c = 0; c < 3; ++c) {
                const std::uint16_t v = work.word(x, y, c);
                wild.setWord(x, y, c,
                             v == 1023 || (x + y + c) % 3 == 0
                                 ? static_cast<std::uint16_t>(1024 + 64 * (x + y + c))
                                 : v);
                if (wild.word(x, y, c) > 1023) {
                    work.setWord(x, y, c, 1023);
                }
            }
        }
    }
    PixelBuffer out(10, 9, 6), outWild(10, 9, 6);
    const SingleValueParams params{25};
    Sharpen48(wholeImageArgs(out, work, &params));
    Sharpen48(wholeImageArgs(outWild, wild, &params));
    for (int y = 2; y <= 6; ++y) {
        for (int x = 2; x <= 7; ++x) {
            for (int c = 0; c < 3; ++c) {
                ASSERT_EQ(outWild.word(x, y, c), out.word(x, y, c));
                ASSERT_LE(out.word(x, y, c), 1023);
            }
        }
    }
}

// ---- hue and saturation ----

TEST(HueShift, SettingIsInUnitsOfATurnOverTwoHundredFiftySix) {
    EXPECT_EQ(hueShift(0).sectors, 0);
    EXPECT_EQ(hueShift(0).steps, 0);
    EXPECT_EQ(hueShift(256).sectors, 0);  // a full turn: a zero shift
    EXPECT_EQ(hueShift(256).steps, 0);
    EXPECT_EQ(hueShift(128).sectors, 2);  // half a turn: 764 steps of 1530
    EXPECT_EQ(hueShift(128).steps, 254);
    EXPECT_EQ(hueShift(64).sectors, 1);  // a quarter: 382 steps
    EXPECT_EQ(hueShift(64).steps, 127);
    EXPECT_EQ(hueShift(-128).sectors, hueShift(128).sectors);
    EXPECT_EQ(hueShift(INT32_MIN).sectors, 0);
}

std::array<int, 3> turn24(std::int32_t hue, std::int32_t saturation, std::array<int, 3> bgr,
                          bool fast = true) {
    PixelBuffer image(1, 1, 3);
    for (int c = 0; c < 3; ++c) {
        image.at(0, 0)[c] = static_cast<std::uint8_t>(bgr[c]);
    }
    const HueSaturationParams params{hue, 0, saturation, 10};
    (fast ? HueSaturation24 : reference::HueSaturation24)(inPlaceArgs(image, &params));
    return {image.at(0, 0)[0], image.at(0, 0)[1], image.at(0, 0)[2]};
}

std::array<int, 3> turn48(std::int32_t hue, std::int32_t saturation, std::array<int, 3> bgr) {
    PixelBuffer image(1, 1, 8);
    for (int c = 0; c < 3; ++c) {
        image.setWord(0, 0, c, static_cast<std::uint16_t>(bgr[c]));
    }
    image.setWord(0, 0, 3, 0xBEEF);
    const HueSaturationParams params{hue, 0, saturation, 10};
    HueSaturation48(inPlaceArgs(image, &params));
    EXPECT_EQ(image.word(0, 0, 3), 0xBEEF);
    return {image.word(0, 0, 0), image.word(0, 0, 1), image.word(0, 0, 2)};
}

TEST(HueSaturation, HalfTurnTurnsPureRedIntoCyanBlue) {
    EXPECT_EQ(turn24(128, 0, {0, 0, 255}), (std::array<int, 3>{253, 255, 0}));
}

TEST(HueSaturation, FullTurnMovesChannelsOnlyByTheRampsRounding) {
    EXPECT_EQ(turn24(256, 0, {0, 0, 255}), (std::array<int, 3>{0, 0, 255}));
    // Red 200, green 100, blue 0: position (100 x 83558 + 32768) >> 16 = 127 of the sector,
    // ramp (200 x 127 + 128) >> 8 = 99.
    EXPECT_EQ(turn24(256, 0, {0, 100, 200}), (std::array<int, 3>{0, 99, 200}));
}

TEST(HueSaturation, LeastSaturationMakesPixelsNearlyGrey) {
    // C = 240, L = 260: C' = (32768 + 240 x 256) >> 16 = 1; minimum (260 - 1) >> 1 = 129.
    EXPECT_EQ(turn24(0, -255, {10, 50, 250}), (std::array<int, 3>{129, 129, 130}));
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> v(0, 255);
    for (int i = 0; i < 2000; ++i) {
        const auto out = turn24(0, -255, {v(rng), v(rng), v(rng)});
        const int spread = std::max({out[0], out[1], out[2]}) - std::min({out[0], out[1], out[2]});
        ASSERT_LE(spread, 1);
    }
}

TEST(HueSaturation, GreyPixelsStayGreyAtAnyHue) {
    for (int g : {0, 1, 128, 254, 255}) {
        EXPECT_EQ(turn24(77, 0, {g, g, g}), (std::array<int, 3>{g, g, g}));
        EXPECT_EQ(turn24(77, 200, {g, g, g}), (std::array<int, 3>{g, g, g}));
        EXPECT_EQ(turn48(77, 200, {4 * g, 4 * g, 4 * g}),
                  (std::array<int, 3>{4 * g, 4 * g, 4 * g}));
    }
}

TEST(HueSaturation, StoredSaturationBeyondTheRangeActsAsItsLimit) {
    std::mt19937 rng(9);
    std::uniform_int_distribution<int> v(0, 255);
    for (int i = 0; i < 500; ++i) {
        const std::array<int, 3> p{v(rng), v(rng), v(rng)};
        ASSERT_EQ(turn24(30, -1000, p), turn24(30, -255, p));
        ASSERT_EQ(turn24(30, INT32_MIN, p), turn24(30, -255, p));
        ASSERT_EQ(turn24(30, 5000, p), turn24(30, 255, p));
    }
}

TEST(HueSaturation, TenBitColourFollowsTheEightBitTransformAtFourTimesTheScale) {
    EXPECT_EQ(turn48(128, 0, {0, 0, 1023}), (std::array<int, 3>{1015, 1023, 0}));
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> v(0, 255);
    std::uniform_int_distribution<int> hue(-360, 360);
    std::uniform_int_distribution<int> sat(-255, 255);
    for (int i = 0; i < 3000; ++i) {
        const std::array<int, 3> p{v(rng), v(rng), v(rng)};
        const int h = hue(rng), s = sat(rng);
        const auto narrow = turn24(h, s, p);
        const auto wide = turn48(h, s, {4 * p[0], 4 * p[1], 4 * p[2]});
        for (int c = 0; c < 3; ++c) {
            ASSERT_LE(wide[c], 1023);
            ASSERT_NEAR(wide[c], 4 * narrow[c], 12) << h << " " << s << " channel " << c;
        }
    }
}

TEST(HueSaturation, TenBitWordsAboveTheTopCountAsTheTop) {
    EXPECT_EQ(turn48(40, 100, {65535, 2000, 1024}), turn48(40, 100, {1023, 1023, 1023}));
    const auto out = turn48(40, 255, {65535, 0, 300});
    for (int c : out) {
        EXPECT_LE(c, 1023);
    }
}

}  // namespace
}  // namespace ostrel::imaging
