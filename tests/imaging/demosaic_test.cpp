// Colour reconstruction: the formulas pinned on hand-made mosaics, and the kernels (with and
// without AVX2, on one to several threads) compared byte for byte with the reference on random
// mosaics of every Bayer mode, odd and even and tiny sizes, and gains that reach every clamp.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "imaging/apply_kernel.h"
#include "imaging/cpu_features.h"
#include "imaging/demosaic.h"
#include "imaging/demosaic_reference.h"
#include "imaging/demosaic_rows.h"
#include "imaging/dib_image.h"
#include "imaging/worker_pool.h"

namespace ostrel::imaging {
namespace {

using reference::Mosaic;
using reference::Region;

Mosaic uniformMosaic(int width, int height, std::uint16_t value) {
    Mosaic m;
    m.width = width;
    m.height = height;
    m.samples.assign(static_cast<std::size_t>(width) * height, value);
    return m;
}

Mosaic randomMosaic(int width, int height, std::uint32_t maxValue, std::mt19937 &rng) {
    Mosaic m = uniformMosaic(width, height, 0);
    std::uniform_int_distribution<std::uint32_t> dist(0, maxValue);
    for (auto &s : m.samples) {
        s = static_cast<std::uint16_t>(dist(rng));
    }
    return m;
}

// The raw image holding the mosaic: 8-bit samples, or 16-bit words when wide.
void makeRaw(DibImage &raw, const Mosaic &m, bool wide) {
    ASSERT_TRUE(raw.create(m.width, m.height, wide ? 16 : 8));
    for (int y = 0; y < m.height; ++y) {
        for (int x = 0; x < m.width; ++x) {
            const std::uint16_t v = m.at(x, y);
            if (wide) {
                std::memcpy(raw.row(y) + 2 * x, &v, 2);
            } else {
                raw.row(y)[x] = static_cast<std::uint8_t>(v);
            }
        }
    }
}

std::vector<std::uint8_t> bytesOf(const DibImage &image) {
    return std::vector<std::uint8_t>(image.pixels(), image.pixels() + image.sizeBytes());
}

void fillRandom(DibImage &image, std::mt19937 &rng) {
    std::uniform_int_distribution<int> dist(0, 255);
    for (std::size_t i = 0; i < image.sizeBytes(); ++i) {
        image.pixels()[i] = static_cast<std::uint8_t>(dist(rng));
    }
}

struct Reconstruction {
    bool wide = false;
    int outBits = 24;
    ColourGains gains;
    bool frameKernel = false;  // the one-sweep kernel instead of interior then border
    bool fourthZero = false;   // destination's fourth samples 0, and the kernel told so
};

// Clears the fourth sample of every pixel of a 32- or 64-bit image.
void clearFourthSamples(DibImage &image) {
    const int sampleBytes = image.bytesPerPixel() / 4;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            std::memset(image.row(y) + x * image.bytesPerPixel() + 3 * sampleBytes, 0, sampleBytes);
        }
    }
}

// Interior kernel then border kernel, as the pipeline runs them.
void reconstruct(DibImage &out, const DibImage &raw, const Reconstruction &run) {
    const ConversionKernel interior = run.wide ? Demosaic10 : Demosaic8;
    const ConversionKernel border = run.wide ? Demosaic10Border : Demosaic8Border;
    EXPECT_EQ(ApplyKernel(out, interior, raw, nullptr, 0, 0, &run.gains, 0), 1);
    EXPECT_EQ(ApplyKernel(out, border, raw, nullptr, 0, 0, &run.gains, 0), 1);
}

// The pixel (x, y) of a reconstructed image as blue, green, red.
struct Bgr {
    int blue;
    int green;
    int red;
};

Bgr pixelOf(const DibImage &image, int x, int y) {
    const std::uint8_t *p = image.row(y) + x * image.bytesPerPixel();
    if (image.bitCount() >= 48) {
        std::uint16_t w[3];
        std::memcpy(w, p, sizeof w);
        return {w[0], w[1], w[2]};
    }
    return {p[0], p[1], p[2]};
}

class DemosaicFormulas : public ::testing::Test {
protected:
    void TearDown() override { setWorkerThreadCount(0); }
};

TEST_F(DemosaicFormulas, UniformMosaicWithNeutralGainsKeepsItsValueEverywhereAtEverySize) {
    const int sizes[][2] = {{1, 1}, {2, 3}, {3, 3}, {4, 4}, {5, 7}, {8, 6}, {41, 9}, {70, 12}};
    for (bool wide : {false, true}) {
        const std::uint16_t value = wide ? 777 : 201;
        for (const auto &size : sizes) {
            for (int mode = 0; mode < 4; ++mode) {
                DibImage raw;
                makeRaw(raw, uniformMosaic(size[0], size[1], value), wide);
                DibImage out;
                ASSERT_TRUE(out.create(size[0], size[1], wide ? 48 : 24));
                Reconstruction run;
                run.wide = wide;
                run.gains = ColourGains{mode, 100, 100, 100};
                reconstruct(out, raw, run);
                for (int y = 0; y < size[1]; ++y) {
                    for (int x = 0; x < size[0]; ++x) {
                        const Bgr p = pixelOf(out, x, y);
                        ASSERT_EQ(p.blue, value) << size[0] << "x" << size[1] << " at " << x << ","
                                                 << y << " mode " << mode;
                        ASSERT_EQ(p.green, value);
                        ASSERT_EQ(p.red, value);
                    }
                }
            }
        }
    }
}

TEST_F(DemosaicFormulas, RedGainScalesRedOnlyAndCapsAtTheTopValue) {
    struct Case {
        bool wide;
        std::uint16_t value;
        std::int32_t redGain;
        int expectedRed;
    };
    const Case cases[] = {{false, 200, 200, 255}, {true, 800, 200, 1023}, {false, 200, 0, 0},
                          {true, 800, 0, 0},      {false, 100, 150, 150}, {true, 600, 150, 900}};
    for (const Case &c : cases) {
        DibImage raw;
        makeRaw(raw, uniformMosaic(12, 10, c.value), c.wide);
        DibImage out;
        ASSERT_TRUE(out.create(12, 10, c.wide ? 64 : 32));
        Reconstruction run;
        run.wide = c.wide;
        run.gains = ColourGains{1, c.redGain, 100, 100};
        reconstruct(out, raw, run);
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 12; ++x) {
                const Bgr p = pixelOf(out, x, y);
                ASSERT_EQ(p.red, c.expectedRed) << "gain " << c.redGain << " at " << x << "," << y;
                ASSERT_EQ(p.green, c.value);
                ASSERT_EQ(p.blue, c.value);
            }
        }
    }
}

TEST_F(DemosaicFormulas, SingleRedSampleSpreadsWithWeights9And3And1OverA4x4Block) {
    // Mode 0: red at odd rows, even columns.
    const int xr = 6;
    const int yr = 5;
    Mosaic m = uniformMosaic(14, 12, 0);
    m.samples[static_cast<std::size_t>(yr) * 14 + xr] = 255;
    DibImage raw;
    makeRaw(raw, m, false);
    DibImage out;
    ASSERT_TRUE(out.create(14, 12, 24));
    Reconstruction run;
    reconstruct(out, raw, run);
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 14; ++x) {
            const bool inX = x == xr || x == xr + 1;
            const bool besideX = x == xr - 1 || x == xr + 2;
            const bool inY = y == yr || y == yr + 1;
            const bool besideY = y == yr - 1 || y == yr + 2;
            int weight = 0;
            if (inX && inY) {
                weight = 9;
            } else if ((inX && besideY) || (besideX && inY)) {
                weight = 3;
            } else if (besideX && besideY) {
                weight = 1;
            }
            const Bgr p = pixelOf(out, x, y);
            EXPECT_EQ(p.red, (weight * 255 * 128) >> 11) << x << "," << y;
            EXPECT_EQ(p.green, 0);
            EXPECT_EQ(p.blue, 0);
        }
    }
}

TEST_F(DemosaicFormulas, CornerPixelInMode0TakesRows3And0AndColumns3And0) {
    // The cell of (0, 0) is rows -1, 0 and columns -1, 0: green (-1, -1) comes from (3, 3), green
    // (0, 0) is itself, red (row -1, column 0) from row 3, blue (row 0, column -1) from column 3.
    Mosaic m = uniformMosaic(10, 8, 0);
    auto set = [&](int x, int y, std::uint16_t v) {
        m.samples[static_cast<std::size_t>(y) * 10 + x] = v;
    };
    set(3, 3, 200);  // green
    set(0, 0, 100);  // green
    set(0, 3, 160);  // red, weight 9
    set(3, 0, 48);   // blue, weight 9
    DibImage raw;
    makeRaw(raw, m, false);
    DibImage out;
    ASSERT_TRUE(out.create(10, 8, 24));
    Reconstruction run;
    reconstruct(out, raw, run);
    const Bgr p = pixelOf(out, 0, 0);
    EXPECT_EQ(p.green, 150);
    EXPECT_EQ(p.red, 90);
    EXPECT_EQ(p.blue, 27);
}

TEST_F(DemosaicFormulas, BayerModeOutsideTheRangeActsAsMode0) {
    std::mt19937 rng(7);
    const Mosaic m = randomMosaic(23, 17, 255, rng);
    DibImage raw;
    makeRaw(raw, m, false);
    DibImage expected;
    ASSERT_TRUE(expected.create(23, 17, 24));
    Reconstruction run;
    reconstruct(expected, raw, run);
    for (int mode : {4, -1, 1000}) {
        DibImage out;
        ASSERT_TRUE(out.create(23, 17, 24));
        run.gains.bayerMode = mode;
        reconstruct(out, raw, run);
        EXPECT_EQ(bytesOf(out), bytesOf(expected)) << "mode " << mode;
    }
}

TEST_F(DemosaicFormulas, WordsAbove1023CountAsSaturatedReadings) {
    std::mt19937 rng(11);
    const Mosaic any = randomMosaic(37, 21, 65535, rng);
    Mosaic clipped = any;
    for (auto &s : clipped.samples) {
        s = s > 1023 ? 1023 : s;
    }
    for (std::int32_t gain : {100, 400, 800}) {
        DibImage rawAny;
        DibImage rawClipped;
        makeRaw(rawAny, any, true);
        makeRaw(rawClipped, clipped, true);
        DibImage outAny;
        DibImage outClipped;
        ASSERT_TRUE(outAny.create(37, 21, 48));
        ASSERT_TRUE(outClipped.create(37, 21, 48));
        Reconstruction run;
        run.wide = true;
        run.gains = ColourGains{2, gain, 100, gain};
        reconstruct(outAny, rawAny, run);
        reconstruct(outClipped, rawClipped, run);
        EXPECT_EQ(bytesOf(outAny), bytesOf(outClipped)) << "gain " << gain;
        // And nothing leaves the 10-bit range.
        for (int y = 0; y < 21; ++y) {
            for (int x = 0; x < 37; ++x) {
                const Bgr p = pixelOf(outAny, x, y);
                ASSERT_LE(p.blue, 1023);
                ASSERT_LE(p.green, 1023);
                ASSERT_LE(p.red, 1023);
            }
        }
    }
}

TEST_F(DemosaicFormulas, NegativeGainGivesZeroAndHugeGainSaturates) {
    DibImage raw;
    makeRaw(raw, uniformMosaic(9, 9, 3), false);
    DibImage out;
    ASSERT_TRUE(out.create(9, 9, 24));
    Reconstruction run;
    run.gains = ColourGains{0, -40, 100, 2000000000};
    reconstruct(out, raw, run);
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 9; ++x) {
            const Bgr p = pixelOf(out, x, y);
            ASSERT_EQ(p.red, 0);
            ASSERT_EQ(p.blue, 255);
            ASSERT_EQ(p.green, 3);
        }
    }
}

TEST_F(DemosaicFormulas, KernelsRefuseArgumentsTheyCannotServe) {
    DibImage raw;
    makeRaw(raw, uniformMosaic(8, 8, 9), false);
    DibImage out16;
    ASSERT_TRUE(out16.create(8, 8, 16));
    ColourGains gains;
    // An 8-bit mosaic cannot go into a 16-bit image, nor a 10-bit kernel read bytes.
    EXPECT_EQ(ApplyKernel(out16, Demosaic8, raw, nullptr, 0, 0, &gains, 0), 0);
    DibImage out48;
    ASSERT_TRUE(out48.create(8, 8, 48));
    EXPECT_EQ(ApplyKernel(out48, Demosaic10, raw, nullptr, 0, 0, &gains, 0), 0);
    EXPECT_EQ(bytesOf(out48), std::vector<std::uint8_t>(out48.sizeBytes(), 0));
}

// ---- fast paths against the reference ---------------------------------------------------------

struct Path {
    bool avx2;
    int threads;
    bool frameKernel;
};

class DemosaicMatchesReference : public ::testing::Test {
protected:
    void TearDown() override {
        setWorkerThreadCount(0);
        restoreCpuFeatureLimit();
    }

    // Runs one kernel (or both) on a random destination and compares every byte with the
    // reference applied to a copy of the same destination.
    void check(const Mosaic &m, const Reconstruction &run, Region region, std::mt19937 &rng,
               const char *what) {
        DibImage raw;
        makeRaw(raw, m, run.wide);
        DibImage out;
        ASSERT_TRUE(out.create(m.width, m.height, static_cast<std::uint16_t>(run.outBits)));
        fillRandom(out, rng);
        if (run.fourthZero) {
            clearFourthSamples(out);
        }
        std::vector<std::uint8_t> expected = bytesOf(out);
        reference::referenceDemosaic(m, run.wide, run.gains.bayerMode, run.gains.redGain,
                                     run.gains.blueGain, region, expected.data(), out.stride(),
                                     out.bytesPerPixel());
        const ConversionKernel interior = run.wide ? Demosaic10 : Demosaic8;
        const ConversionKernel border = run.wide ? Demosaic10Border : Demosaic8Border;
        if (run.frameKernel) {
            const FrameReconstructionParams params{run.gains, run.fourthZero};
            ASSERT_EQ(ApplyKernel(out, run.wide ? Demosaic10Frame : Demosaic8Frame, raw, nullptr, 0,
                                  0, &params, 0),
                      1);
        }
        if (region != Region::Border && !run.frameKernel) {
            ASSERT_EQ(ApplyKernel(out, interior, raw, nullptr, 0, 0, &run.gains, 0), 1);
        }
        if (region != Region::Interior && !run.frameKernel) {
            ASSERT_EQ(ApplyKernel(out, border, raw, nullptr, 0, 0, &run.gains, 0), 1);
        }
        const std::vector<std::uint8_t> actual = bytesOf(out);
        if (actual != expected) {
            std::size_t i = 0;
            while (actual[i] == expected[i]) {
                ++i;
            }
            const int y = static_cast<int>(i / out.stride());
            const int x = static_cast<int>(i % out.stride()) / out.bytesPerPixel();
            FAIL() << what << ": " << m.width << "x" << m.height << " mode " << run.gains.bayerMode
                   << " gains " << run.gains.redGain << "/" << run.gains.blueGain << " out "
                   << run.outBits << " region " << static_cast<int>(region)
                   << ": first difference at pixel " << x << "," << y << " byte "
                   << i % out.bytesPerPixel() << ": " << int(actual[i]) << " instead of "
                   << int(expected[i]);
        }
    }
};

const int kSizes[][2] = {{1, 1},  {2, 3},  {3, 3},  {4, 4},   {5, 7},   {3, 8},  {8, 2},
                         {6, 5},  {7, 9},  {20, 6}, {21, 7},  {22, 5},  {36, 6}, {37, 9},
                         {38, 8}, {69, 5}, {70, 6}, {67, 35}, {131, 20}};

TEST_F(DemosaicMatchesReference, EveryModeSizeGainAndPath) {
    std::mt19937 rng(2024);
    const std::int32_t gains[][2] = {{100, 100}, {0, 400}, {800, 100}, {400, 800}, {137, 59}};
    const Path paths[] = {{true, 1, false}, {false, 1, false}, {true, 3, false}, {false, 2, false},
                          {true, 1, true},  {false, 4, true},  {true, 2, true}};
    for (const Path &path : paths) {
        limitCpuFeatures(path.avx2 ? kAllCpuFeatures : 0);
        setWorkerThreadCount(path.threads);
        for (bool wide : {false, true}) {
            for (const auto &size : kSizes) {
                for (int mode = 0; mode < 4; ++mode) {
                    for (const auto &gain : gains) {
                        const Mosaic m = randomMosaic(size[0], size[1], wide ? 1023 : 255, rng);
                        Reconstruction run;
                        run.wide = wide;
                        run.outBits = (mode & 1) != 0 ? (wide ? 64 : 32) : (wide ? 48 : 24);
                        run.gains = ColourGains{mode, gain[0], 100, gain[1]};
                        run.frameKernel = path.frameKernel;
                        // The one-sweep kernel also writes whole pixels where it may.
                        run.fourthZero = path.frameKernel && (mode & 1) != 0 && (size[0] & 1) != 0;
                        check(m, run, Region::All, rng, path.avx2 ? "avx2" : "plain");
                        if (HasFatalFailure() || HasFailure()) {
                            return;
                        }
                    }
                }
            }
        }
    }
}

TEST_F(DemosaicMatchesReference, InteriorAndBorderKernelsWriteOnlyTheirOwnPixels) {
    std::mt19937 rng(99);
    for (bool avx2 : {true, false}) {
        limitCpuFeatures(avx2 ? kAllCpuFeatures : 0);
        for (bool wide : {false, true}) {
            for (const auto &size : kSizes) {
                for (Region region : {Region::Interior, Region::Border}) {
                    const Mosaic m = randomMosaic(size[0], size[1], wide ? 1023 : 255, rng);
                    Reconstruction run;
                    run.wide = wide;
                    run.outBits = wide ? 64 : 32;
                    run.gains = ColourGains{3, 250, 100, 90};
                    check(m, run, region, rng, avx2 ? "avx2" : "plain");
                    if (HasFailure()) {
                        return;
                    }
                }
            }
        }
    }
}

TEST_F(DemosaicMatchesReference, ArbitraryWordsAndGainsBeyondTheFastRange) {
    // Any 16-bit word can arrive in the 10-bit modes, and stored settings can hold any gain: the
    // fast paths must still agree with the definition (which saturates both).
    std::mt19937 rng(5);
    const std::int32_t gains[][2] = {
        {1600, 6400}, {6399, 25599}, {25600, 51200}, {100000, -7}, {2147483647, -2147483647 - 1}};
    for (bool avx2 : {true, false}) {
        limitCpuFeatures(avx2 ? kAllCpuFeatures : 0);
        for (bool wide : {false, true}) {
            for (const auto &gain : gains) {
                for (int mode = 0; mode < 4; ++mode) {
                    const Mosaic m = randomMosaic(45, 13, wide ? 65535 : 255, rng);
                    Reconstruction run;
                    run.wide = wide;
                    run.outBits = wide ? 48 : 24;
                    run.gains = ColourGains{mode, gain[0], 100, gain[1]};
                    check(m, run, Region::All, rng, avx2 ? "avx2" : "plain");
                    if (HasFailure()) {
                        return;
                    }
                }
            }
        }
    }
}

TEST_F(DemosaicMatchesReference, LargeFrameOnManyThreads) {
    std::mt19937 rng(31);
    for (int threads : {1, 2, 5, 8}) {
        setWorkerThreadCount(threads);
        for (bool wide : {false, true}) {
            const Mosaic m = randomMosaic(517, 301, wide ? 1023 : 255, rng);
            Reconstruction run;
            run.wide = wide;
            run.outBits = wide ? 48 : 24;
            run.gains = ColourGains{threads & 3, 180, 100, 260};
            check(m, run, Region::All, rng, "threads");
            if (HasFailure()) {
                return;
            }
        }
    }
}

TEST_F(DemosaicMatchesReference, LargeFramesWithRowsAtEveryAlignment) {
    // Frames far larger than the caches, whose strides are not multiples of 32 bytes, so the rows
    // start at every alignment.
    std::mt19937 rng(77);
    setWorkerThreadCount(2);
    for (bool wide : {false, true}) {
        const Mosaic m =
            wide ? randomMosaic(1999, 1409, 1023, rng) : randomMosaic(2501, 2237, 255, rng);
        Reconstruction run;
        run.wide = wide;
        run.outBits = wide ? 48 : 24;
        run.gains = ColourGains{2, 100, 100, 333};
        check(m, run, Region::All, rng, "large");
        if (HasFailure()) {
            return;
        }
    }
}

TEST_F(DemosaicMatchesReference, OneSweepKernelStreamsFramesLargerThanTheCaches) {
    // Outputs beyond the streaming size, with odd widths (rows at every alignment), each pixel
    // size, whole pixels where the fourth samples are 0, and a different thread count each.
    struct Case {
        int width;
        int height;
        bool wide;
        int outBits;
        bool fourthZero;
        int threads;
    };
    const Case cases[] = {
        {2401, 2399, false, 24, false, 1}, {2101, 2099, false, 32, true, 2},
        {1701, 1699, true, 48, false, 3},  {1501, 1499, true, 64, true, 4},
        {1499, 1501, true, 64, false, 2},
    };
    std::mt19937 rng(4242);
    for (const Case &c : cases) {
        setWorkerThreadCount(c.threads);
        const Mosaic m = randomMosaic(c.width, c.height, c.wide ? 1023 : 255, rng);
        Reconstruction run;
        run.wide = c.wide;
        run.outBits = c.outBits;
        run.gains = ColourGains{c.threads & 3, 123, 100, 210};
        run.frameKernel = true;
        run.fourthZero = c.fourthZero;
        check(m, run, Region::All, rng, "streaming");
        if (HasFailure()) {
            return;
        }
    }
}

TEST(DemosaicRows, StreamingAndWholePixelRowsMatchThePlainRoutine) {
    // The vector row routines with streaming stores and whole-pixel writes, at every alignment of
    // the row start and with lengths around the step, against the plain routine.
    if (!hasCpuFeatures(kCpuAvx2)) {
        GTEST_SKIP() << "no AVX2 on this processor";
    }
    using namespace demosaic_detail;
    std::mt19937 rng(8);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int dstBytes : {3, 4, 6, 8}) {
        const bool wide = dstBytes >= 6;
        const int sampleBytes = wide ? 2 : 1;
        for (int width : {36, 37, 51, 66, 97, 130}) {
            constexpr int kRows = 6;
            std::vector<std::uint8_t> src(static_cast<std::size_t>(width) * sampleBytes * kRows);
            for (std::size_t i = 0; i < src.size(); i += sampleBytes) {
                const int v = wide ? byte(rng) * 4 + (byte(rng) & 3) : byte(rng);
                std::memcpy(&src[i], &v, sampleBytes);
            }
            // Word pixels always start on a word boundary.
            for (int offset = 0; offset < 32; offset += sampleBytes) {
                const std::size_t rowBytes = static_cast<std::size_t>(width) * dstBytes;
                const std::size_t size = kRows * rowBytes + 64;
                std::vector<std::uint8_t> actualBuffer(size);
                std::vector<std::uint8_t> expectedBuffer(size);
                // Both start on a 32-byte boundary plus the offset.
                auto start = [&](std::vector<std::uint8_t> &v) {
                    const auto misalignment = reinterpret_cast<std::uintptr_t>(v.data()) & 31;
                    return v.data() + (32 - misalignment) % 32 + offset;
                };
                std::uint8_t *actual = start(actualBuffer);
                std::uint8_t *expected = start(expectedBuffer);
                const std::size_t bytes = kRows * rowBytes;
                for (std::size_t i = 0; i < bytes; ++i) {
                    actual[i] = static_cast<std::uint8_t>(byte(rng));
                }
                // Fourth samples 0 (whole pixels may be written), the rest random.
                const bool four = dstBytes == 4 || dstBytes == 8;
                for (std::size_t p = 0; four && p < bytes; p += dstBytes) {
                    std::memset(actual + p + 3 * sampleBytes, 0, sampleBytes);
                }
                std::memcpy(expected, actual, bytes);
                Geometry g{};
                g.src = src.data();
                g.srcStride = static_cast<std::ptrdiff_t>(width) * sampleBytes;
                g.dstStride = static_cast<std::ptrdiff_t>(rowBytes);
                g.dstBytes = dstBytes;
                g.width = width;
                g.height = kRows;
                const int variant = offset / sampleBytes;
                g.rowPhase0 = variant & 1;
                g.colPhase0 = (variant >> 1) & 1;
                g.redFactor = offset < 16 ? 128 : 3000;
                g.blueFactor = 128;
                const int y = 2 + ((variant >> 2) & 1);
                g.dst = expected;
                Geometry fast = g;
                fast.dst = actual;
                fast.streaming = true;
                fast.wholePixels = four;
                if (wide) {
                    const RowWindow<std::uint16_t> w = rowWindow<std::uint16_t>(g, y);
                    rowPortable<std::uint16_t>(g, w, y, 2, width - 2);
                    rowAvx2Words(fast, w, y, 2, width - 2);
                } else {
                    const RowWindow<std::uint8_t> w = rowWindow<std::uint8_t>(g, y);
                    rowPortable<std::uint8_t>(g, w, y, 2, width - 2);
                    rowAvx2Bytes(fast, w, y, 2, width - 2);
                }
                finishStreaming();
                ASSERT_EQ(std::memcmp(actual, expected, bytes), 0)
                    << "pixel bytes " << dstBytes << " width " << width << " offset " << offset;
            }
        }
    }
}

}  // namespace
}  // namespace ostrel::imaging
