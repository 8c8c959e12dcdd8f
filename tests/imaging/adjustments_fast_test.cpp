// The fast adjustment kernels against their plain reference versions, byte for byte: every
// variant and pixel size, odd and tiny images, sub-rectangles, one to several threads, settings
// that reach every limit, and 16-bit words of any value.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "imaging/adjust_test_support.h"
#include "imaging/adjustment_params.h"
#include "imaging/apply_kernel.h"
#include "imaging/brightness.h"
#include "imaging/contrast.h"
#include "imaging/cpu_features.h"
#include "imaging/dib_image.h"
#include "imaging/gamma.h"
#include "imaging/gray_gains.h"
#include "imaging/hue_saturation.h"
#include "imaging/sharpen.h"
#include "imaging/worker_pool.h"

namespace ostrel::imaging {
namespace {

using test::PixelBuffer;

enum class Kind { InPlace, FromWork, HueSaturation };

struct Variant {
    std::string name;
    ConversionKernel fast;
    ConversionKernel plain;
    int sampleBytes;
    std::vector<int> pixelSizes;
    Kind kind;
    std::vector<std::int32_t> settings;
};

const std::vector<std::int32_t> kGammas = {INT_MIN, -10, 0, 1, 50, 99, 101, 150, 200, 5000};
// The plain 10-bit gamma table searches entry by entry (slow); its tables are compared with the
// fast ones for every setting elsewhere, so a few settings suffice here.
const std::vector<std::int32_t> kGammas10 = {-10, 50, 150};
const std::vector<std::int32_t> kContrasts = {-100000, -127, -1, 1, 64, 127, 128, 511, 512, 100000};
const std::vector<std::int32_t> kBrightnesses = {INT_MIN, -300, -255, -1, 1, 100, 255, INT_MAX};
const std::vector<std::int32_t> kSharpnesses = {INT_MIN, -100, -33, -32, -1,   1,
                                                10,      30,   32,  33,  1000, INT_MAX};
// Hue in the high half, saturation in the low half of each entry.
const std::vector<std::int32_t> kHueSaturations = {0, 1, 2};

std::vector<Variant> variants() {
    return {
        {"Gamma8", Gamma8, reference::Gamma8, 1, {1}, Kind::InPlace, kGammas},
        {"Gamma16", Gamma16, reference::Gamma16, 2, {2}, Kind::InPlace, kGammas10},
        {"Gamma24", Gamma24, reference::Gamma24, 1, {3, 4}, Kind::InPlace, kGammas},
        {"Gamma48", Gamma48, reference::Gamma48, 2, {6, 8}, Kind::InPlace, kGammas10},
        {"Contrast8", Contrast8, reference::Contrast8, 1, {1}, Kind::InPlace, kContrasts},
        {"Contrast16", Contrast16, reference::Contrast16, 2, {2}, Kind::InPlace, kContrasts},
        {"Contrast24", Contrast24, reference::Contrast24, 1, {3, 4}, Kind::InPlace, kContrasts},
        {"Contrast48", Contrast48, reference::Contrast48, 2, {6, 8}, Kind::InPlace, kContrasts},
        {"Brightness8", Brightness8, reference::Brightness8, 1, {1}, Kind::InPlace, kBrightnesses},
        {"Brightness16",
         Brightness16,
         reference::Brightness16,
         2,
         {2},
         Kind::InPlace,
         kBrightnesses},
        {"Brightness24",
         Brightness24,
         reference::Brightness24,
         1,
         {3, 4},
         Kind::InPlace,
         kBrightnesses},
        {"Brightness48",
         Brightness48,
         reference::Brightness48,
         2,
         {6, 8},
         Kind::InPlace,
         kBrightnesses},
        {"Sharpen8", Sharpen8, reference::Sharpen8, 1, {1}, Kind::FromWork, kSharpnesses},
        {"Sharpen16", Sharpen16, reference::Sharpen16, 2, {2}, Kind::FromWork, kSharpnesses},
        {"Sharpen24", Sharpen24, reference::Sharpen24, 1, {3, 4}, Kind::FromWork, kSharpnesses},
        {"Sharpen48", Sharpen48, reference::Sharpen48, 2, {6, 8}, Kind::FromWork, kSharpnesses},
        {"HueSaturation24",
         HueSaturation24,
         reference::HueSaturation24,
         1,
         {3, 4},
         Kind::HueSaturation,
         kHueSaturations},
        {"HueSaturation48",
         HueSaturation48,
         reference::HueSaturation48,
         2,
         {6, 8},
         Kind::HueSaturation,
         kHueSaturations},
        {"ApplyGrayGains",
         ApplyGrayGains,
         reference::ApplyGrayGains,
         1,
         {1},
         Kind::InPlace,
         {0, 1, 2, 3}},
    };
}

struct Size {
    int width;
    int height;
};
const Size kSizes[] = {{1, 1},  {2, 3},  {3, 2},   {4, 4},    {5, 5},   {6, 5},
                       {7, 13}, {31, 9}, {33, 70}, {129, 40}, {1030, 6}};

void fill(PixelBuffer &image, int sampleBytes, std::mt19937 &rng, bool anyWord) {
    if (sampleBytes == 1) {
        image.fillRandom(rng);
    } else {
        image.fillRandomWords(rng, anyWord ? 65535 : 1023);
    }
}

// Parameter block of a variant for one of its settings (kept alive by the caller).
struct Params {
    SingleValueParams single;
    HueSaturationParams hue;
    GrayGainParams gray;
};

const void *paramsFor(const Variant &v, std::int32_t setting, std::mt19937 &rng, Params &p) {
    if (v.kind == Kind::HueSaturation) {
        const std::int32_t hues[] = {-360, -1, 1, 128, 256, 300, 360, INT_MAX};
        const std::int32_t saturations[] = {-5000, -256, -255, 0, 100, 255, 1000};
        p.hue = HueSaturationParams{hues[rng() % 8], 0, saturations[rng() % 7], 10};
        if (setting == 0) {
            p.hue.saturation = 0;
        }
        return &p.hue;
    }
    if (v.name == "ApplyGrayGains") {
        std::uniform_int_distribution<std::int32_t> gain(-300, 600), offset(-300, 300);
        p.gray.bayerMode = setting;
        p.gray.gains = GrayGains{gain(rng), gain(rng), gain(rng), gain(rng)};
        p.gray.offsetR = offset(rng);
        p.gray.offsetG1 = offset(rng);
        p.gray.offsetG2 = offset(rng);
        p.gray.offsetB = INT_MIN + static_cast<std::int32_t>(rng() % 2) * INT_MAX;
        return &p.gray;
    }
    p.single.value = setting;
    return &p.single;
}

// Runs one case through both versions and compares every byte, guards and padding included.
void compare(const Variant &v, int bpp, Size size, std::int32_t setting, std::mt19937 &rng,
             bool anyWord, bool subRectangle) {
    PixelBuffer src(size.width, size.height, bpp);
    fill(src, v.sampleBytes, rng, anyWord);
    PixelBuffer fastOut = src, plainOut = src;
    PixelBuffer outInit(size.width, size.height, bpp);
    if (v.kind == Kind::FromWork) {
        fill(outInit, v.sampleBytes, rng, anyWord);  // the border must keep these values
        fastOut = outInit;
        plainOut = outInit;
    }
    Params params;
    const void *block = paramsFor(v, setting, rng, params);
    auto args = [&](PixelBuffer &dst) {
        KernelArgs a = v.kind == Kind::FromWork ? test::wholeImageArgs(dst, src, block)
                                                : test::inPlaceArgs(dst, block);
        if (subRectangle && size.width > 2 && size.height > 2) {
            a.srcRect = KernelRect{1, 1, size.width - 1, size.height};
            a.dstX = 1;
            a.dstY = 1;
        }
        return a;
    };
    EXPECT_EQ(v.fast(args(fastOut)), 1);
    v.plain(args(plainOut));
    ASSERT_EQ(fastOut.allBytes(), plainOut.allBytes())
        << v.name << " bpp " << bpp << " size " << size.width << "x" << size.height << " setting "
        << setting << (anyWord ? " any words" : "") << (subRectangle ? " sub-rectangle" : "");
    ASSERT_TRUE(fastOut.guardsIntact());
}

class FastAgainstReference : public ::testing::TestWithParam<int> {
protected:
    void TearDown() override { setWorkerThreadCount(0); }
};

TEST_P(FastAgainstReference, EveryVariantMatchesByteForByte) {
    const int threads = GetParam();
    setWorkerThreadCount(threads);
    std::mt19937 rng(1000 + threads);
    for (const Variant &v : variants()) {
        for (int bpp : v.pixelSizes) {
            for (const Size &size : kSizes) {
                for (std::int32_t setting : v.settings) {
                    compare(v, bpp, size, setting, rng, false, false);
                    if (v.sampleBytes == 2) {
                        compare(v, bpp, size, setting, rng, true, false);
                    }
                    if (::testing::Test::HasFatalFailure()) {
                        return;
                    }
                }
                compare(v, bpp, size, v.settings[rng() % v.settings.size()], rng, true, true);
                if (::testing::Test::HasFatalFailure()) {
                    return;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Threads, FastAgainstReference, ::testing::Values(1, 2, 3, 7));

// Large enough for the byte-pair tables of the 8-bit table passes and for many bands.
TEST(FastAgainstReference, LargeFrameSplitIntoManyBands) {
    setWorkerThreadCount(4);
    std::mt19937 rng(77);
    for (const Variant &v : variants()) {
        for (int bpp : v.pixelSizes) {
            compare(v, bpp, Size{517, 300}, v.settings[v.settings.size() / 2], rng, true, false);
            compare(v, bpp, Size{517, 300}, v.settings[v.settings.size() / 3], rng, true, true);
            if (::testing::Test::HasFatalFailure()) {
                setWorkerThreadCount(0);
                return;
            }
        }
    }
    setWorkerThreadCount(0);
}

// The table passes (AVX-512 byte permutes), hue and sharpening (AVX2) have paths that capable
// processors take in the tests above; this one takes the plain paths, including the byte-pair
// tables of large 8-bit images.
TEST(FastAgainstReference, EveryVariantWithoutProcessorSpecificCode) {
    const CpuFeatureLimit plain(0);
    setWorkerThreadCount(2);
    std::mt19937 rng(78);
    for (const Variant &v : variants()) {
        for (int bpp : v.pixelSizes) {
            for (const Size &size : kSizes) {
                for (std::int32_t setting : v.settings) {
                    compare(v, bpp, size, setting, rng, true, false);
                }
            }
            compare(v, bpp, Size{517, 300}, v.settings.front(), rng, true, false);
            compare(v, bpp, Size{517, 300}, v.settings.back(), rng, true, true);
        }
    }
    setWorkerThreadCount(0);
}

// Every chroma with every offset of the maximum channel over the next one, in 8- and 10-bit
// pixels of each size: the vector transform computes the chroma's reciprocal by division, which
// must agree with the plain transform's integer table for every chroma, not only for those random
// pixels happen to have.
TEST(FastAgainstReference, HueOfEveryChromaAndOffset) {
    struct Case {
        ConversionKernel fast;
        ConversionKernel plain;
        int top;
        std::uint16_t bits;
    };
    const Case cases[] = {{HueSaturation24, reference::HueSaturation24, 255, 24},
                          {HueSaturation24, reference::HueSaturation24, 255, 32},
                          {HueSaturation48, reference::HueSaturation48, 1023, 48},
                          {HueSaturation48, reference::HueSaturation48, 1023, 64}};
    const HueSaturationParams settings[] = {{37, 0, 50, 10}, {-200, 0, -30, 10}};
    for (const Case &c : cases) {
        // Pixel (blue 0, green d, red chroma) for every chroma and every d up to it.
        std::vector<std::array<int, 3>> pixels;
        for (int chroma = 0; chroma <= c.top; ++chroma) {
            for (int d = 0; d <= chroma; ++d) {
                pixels.push_back({0, d, chroma});
            }
        }
        const int width = 1031;
        const int height = static_cast<int>((pixels.size() + width - 1) / width);
        DibImage fast;
        ASSERT_TRUE(fast.create(width, height, c.bits));
        const int sampleBytes = c.top == 255 ? 1 : 2;
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            std::uint8_t *p = fast.row(static_cast<int>(i / width)) +
                              (i % width) * static_cast<std::size_t>(fast.bytesPerPixel());
            for (int k = 0; k < 3; ++k) {
                std::memcpy(p + k * sampleBytes, &pixels[i][k], sampleBytes);
            }
        }
        for (const HueSaturationParams &params : settings) {
            DibImage plain;
            ASSERT_TRUE(plain.copyFormat(&fast));
            std::memcpy(plain.pixels(), fast.pixels(), fast.sizeBytes());
            DibImage turned;
            ASSERT_TRUE(turned.copyFormat(&fast));
            std::memcpy(turned.pixels(), fast.pixels(), fast.sizeBytes());
            ASSERT_EQ(ApplyKernel(turned, c.fast, turned, nullptr, 0, 0, &params, 0), 1);
            ASSERT_EQ(ApplyKernel(plain, c.plain, plain, nullptr, 0, 0, &params, 0), 1);
            ASSERT_EQ(std::memcmp(turned.pixels(), plain.pixels(), fast.sizeBytes()), 0)
                << c.bits << "-bit, hue " << params.hue;
        }
    }
}

}  // namespace
}  // namespace ostrel::imaging
