// The format kernels: row spreading and swapping, grey conversion, display scaling, reductions,
// copies and widenings, each checked on exact values (row order, channel order, padding and the
// bytes a kernel must leave alone).
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "imaging/apply_kernel.h"
#include "imaging/copy_kernels.h"
#include "imaging/dib_image.h"
#include "imaging/luma.h"
#include "imaging/reduce_kernels.h"
#include "imaging/scale_nearest.h"
#include "imaging/spread_rows.h"
#include "imaging/swap_rows.h"
#include "imaging/widen_kernels.h"
#include "imaging/worker_pool.h"

namespace ostrel::imaging {
namespace {

std::uint16_t wordAt(const DibImage &image, int x, int y, int channel) {
    std::uint16_t v;
    std::memcpy(&v, image.row(y) + x * image.bytesPerPixel() + 2 * channel, 2);
    return v;
}

void setWord(DibImage &image, int x, int y, int channel, std::uint16_t v) {
    std::memcpy(image.row(y) + x * image.bytesPerPixel() + 2 * channel, &v, 2);
}

void fillRandom(DibImage &image, std::mt19937 &rng) {
    std::uniform_int_distribution<int> dist(0, 255);
    for (std::size_t i = 0; i < image.sizeBytes(); ++i) {
        image.pixels()[i] = static_cast<std::uint8_t>(dist(rng));
    }
}

std::int32_t apply(DibImage &out, ConversionKernel kernel, const DibImage &in) {
    return ApplyKernel(out, kernel, in, nullptr, 0, 0, nullptr, 0);
}

TEST(SpreadRows, PackedRowsMoveToThePaddedStrideWithZeroPadding) {
    for (int sampleBytes : {1, 2}) {
        DibImage raw;
        ASSERT_TRUE(raw.create(5, 7, static_cast<std::uint16_t>(8 * sampleBytes)));
        // The device writes rows tightly packed from the start of the image.
        const int packed = 5 * sampleBytes;
        for (int i = 0; i < packed * 7; ++i) {
            raw.pixels()[i] = static_cast<std::uint8_t>(i + 1);
        }
        ASSERT_EQ(apply(raw, sampleBytes == 1 ? SpreadRows8 : SpreadRows16, raw), 1);
        for (int y = 0; y < 7; ++y) {
            for (int b = 0; b < raw.stride(); ++b) {
                const int expected = b < packed ? y * packed + b + 1 : 0;
                ASSERT_EQ(raw.row(y)[b], expected) << "row " << y << " byte " << b;
            }
        }
    }
}

TEST(SpreadRows, AlreadyAlignedRowsStayAsTheyAre) {
    DibImage raw;
    ASSERT_TRUE(raw.create(8, 3, 8));
    for (std::size_t i = 0; i < raw.sizeBytes(); ++i) {
        raw.pixels()[i] = static_cast<std::uint8_t>(i * 7);
    }
    ASSERT_EQ(apply(raw, SpreadRows8, raw), 1);
    for (std::size_t i = 0; i < raw.sizeBytes(); ++i) {
        ASSERT_EQ(raw.pixels()[i], static_cast<std::uint8_t>(i * 7));
    }
}

TEST(SwapRows, MirrorsRowsWithPaddingAndKeepsTheMiddleRowOfAnOddHeight) {
    for (int height : {1, 2, 5, 6, 101}) {
        for (int threads : {1, 3}) {
            setWorkerThreadCount(threads);
            DibImage image;
            ASSERT_TRUE(image.create(3, height, 8));  // stride 4: one padding byte per row
            for (int y = 0; y < height; ++y) {
                std::memset(image.row(y), y + 1, 4);
            }
            ASSERT_EQ(apply(image, SwapRows, image), 1);
            for (int y = 0; y < height; ++y) {
                for (int b = 0; b < 4; ++b) {
                    ASSERT_EQ(image.row(y)[b], height - y) << "height " << height << " row " << y;
                }
            }
        }
    }
    setWorkerThreadCount(0);
}

TEST(SwapRows, LongRowsAreExchangedWhole) {
    DibImage image;
    ASSERT_TRUE(image.create(3000, 3, 24));  // rows longer than the exchange chunk
    std::mt19937 rng(3);
    fillRandom(image, rng);
    const std::vector<std::uint8_t> top(image.row(0), image.row(0) + image.stride());
    const std::vector<std::uint8_t> bottom(image.row(2), image.row(2) + image.stride());
    ASSERT_EQ(apply(image, SwapRows, image), 1);
    EXPECT_EQ(std::vector<std::uint8_t>(image.row(0), image.row(0) + image.stride()), bottom);
    EXPECT_EQ(std::vector<std::uint8_t>(image.row(2), image.row(2) + image.stride()), top);
}

TEST(Luma24To8, WeightsGreen59Red30Blue11WithIntegerDivision) {
    DibImage colour;
    ASSERT_TRUE(colour.create(4, 2, 24));
    const std::uint8_t pixels[8][3] = {{0, 0, 0},   {255, 255, 255}, {0, 255, 0},  {0, 0, 255},
                                       {255, 0, 0}, {1, 2, 3},       {99, 1, 100}, {10, 20, 30}};
    for (int i = 0; i < 8; ++i) {
        std::memcpy(colour.row(i / 4) + 3 * (i % 4), pixels[i], 3);
    }
    DibImage grey;
    ASSERT_TRUE(grey.create(4, 2, 8));
    ASSERT_EQ(apply(grey, Luma24To8, colour), 1);
    const int expected[8] = {0, 255, 150, 76, 28, 2, 41, 21};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(grey.row(i / 4)[i % 4], expected[i]) << i;
    }
}

TEST(Luma24To8, MatchesTheDivisionForEveryPixelValueMix) {
    // Every (green, red) pair with a spread of blues, in one image, against plain division.
    DibImage colour;
    ASSERT_TRUE(colour.create(256, 256, 32));
    for (int g = 0; g < 256; ++g) {
        for (int r = 0; r < 256; ++r) {
            std::uint8_t *p = colour.row(g) + 4 * r;
            p[0] = static_cast<std::uint8_t>((g * 7 + r * 13) & 255);
            p[1] = static_cast<std::uint8_t>(g);
            p[2] = static_cast<std::uint8_t>(r);
        }
    }
    DibImage grey;
    ASSERT_TRUE(grey.create(256, 256, 8));
    ASSERT_EQ(apply(grey, Luma24To8, colour), 1);
    for (int g = 0; g < 256; ++g) {
        for (int r = 0; r < 256; ++r) {
            const int b = (g * 7 + r * 13) & 255;
            ASSERT_EQ(grey.row(g)[r], (59 * g + 30 * r + 11 * b) / 100) << g << "," << r;
        }
    }
}

TEST(ScaleNearest, FourByFourOntoTwoByTwoTakesRows3And1AndColumns0And2) {
    DibImage source;
    ASSERT_TRUE(source.create(4, 4, 8));
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            source.row(y)[x] = static_cast<std::uint8_t>(10 * y + x);
        }
    }
    DibImage scratch;
    ASSERT_TRUE(scratch.create(2, 2, 8));
    ASSERT_EQ(ApplyKernelScaled(scratch, ScaleNearest8, source), 1);
    EXPECT_EQ(scratch.row(0)[0], 30);
    EXPECT_EQ(scratch.row(0)[1], 32);
    EXPECT_EQ(scratch.row(1)[0], 10);
    EXPECT_EQ(scratch.row(1)[1], 12);
}

TEST(ScaleNearest, EnlargingRepeatsPixelsAndClampsIntoTheSource) {
    DibImage source;
    ASSERT_TRUE(source.create(3, 2, 24));
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            std::uint8_t *p = source.row(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(100 * y + x);
            p[1] = static_cast<std::uint8_t>(p[0] + 1);
            p[2] = static_cast<std::uint8_t>(p[0] + 2);
        }
    }
    DibImage scratch;
    ASSERT_TRUE(scratch.create(7, 5, 24));
    ASSERT_EQ(ApplyKernelScaled(scratch, ScaleNearest24, source), 1);
    // fx = 3/7 and fy = 2/5 in single precision.
    const float fx = 3.0f / 7.0f;
    const float fy = 2.0f / 5.0f;
    for (int i = 0; i < 5; ++i) {
        for (int j = 0; j < 7; ++j) {
            const int sy = 2 - 1 - std::min(static_cast<int>(fy * static_cast<float>(i)), 1);
            const int sx = std::min(static_cast<int>(fx * static_cast<float>(j)), 2);
            const std::uint8_t *p = scratch.row(i) + 3 * j;
            ASSERT_EQ(p[0], 100 * sy + sx) << i << "," << j;
            ASSERT_EQ(p[1], 100 * sy + sx + 1);
            ASSERT_EQ(p[2], 100 * sy + sx + 2);
        }
    }
    // Row 0 of the scratch image is the source's last memory row.
    EXPECT_EQ(scratch.row(0)[0], 100);
    EXPECT_EQ(scratch.row(4)[0], 0);
}

TEST(Reduce, TenBitSamplesKeepBits2To9InOrderAndFlipped) {
    DibImage mono;
    ASSERT_TRUE(mono.create(3, 2, 16));
    const std::uint16_t values[6] = {0, 3, 4, 1023, 0x0FFC, 0xABCD};
    for (int i = 0; i < 6; ++i) {
        setWord(mono, i % 3, i / 3, 0, values[i]);
    }
    DibImage grey;
    ASSERT_TRUE(grey.create(3, 2, 8));
    ASSERT_EQ(apply(grey, Reduce16To8, mono), 1);
    const int reduced[6] = {0, 0, 1, 255, 255, 0xF3};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(grey.row(i / 3)[i % 3], reduced[i]) << i;
    }
    ASSERT_EQ(apply(grey, Reduce16To8Flipped, mono), 1);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(grey.row(1 - i / 3)[i % 3], reduced[i]) << i;
    }
}

TEST(Reduce, ColourWordsReduceEachChannelFrom48And64Bits) {
    for (std::uint16_t bits : {48, 64}) {
        DibImage wide;
        ASSERT_TRUE(wide.create(2, 2, bits));
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 2; ++x) {
                for (int c = 0; c < 3; ++c) {
                    setWord(wide, x, y, c,
                            static_cast<std::uint16_t>(400 * y + 100 * x + 4 * c + 1));
                }
                if (bits == 64) {
                    setWord(wide, x, y, 3, 0xFFFF);
                }
            }
        }
        DibImage out;
        ASSERT_TRUE(out.create(2, 2, 24));
        for (bool flipped : {false, true}) {
            ASSERT_EQ(apply(out, flipped ? Reduce48To24Flipped : Reduce48To24, wide), 1);
            for (int y = 0; y < 2; ++y) {
                const int sy = flipped ? 1 - y : y;
                for (int x = 0; x < 2; ++x) {
                    for (int c = 0; c < 3; ++c) {
                        ASSERT_EQ(out.row(y)[3 * x + c],
                                  ((400 * sy + 100 * x + 4 * c + 1) >> 2) & 255)
                            << bits << " " << flipped << " " << x << "," << y << " " << c;
                    }
                }
            }
        }
    }
}

TEST(CopyKernels, ThirtyTwoToTwentyFourDropsTheFourthByte) {
    DibImage in;
    ASSERT_TRUE(in.create(3, 2, 32));
    for (std::size_t i = 0; i < in.sizeBytes(); ++i) {
        in.pixels()[i] = static_cast<std::uint8_t>(i + 1);
    }
    DibImage out;
    ASSERT_TRUE(out.create(3, 2, 24));
    ASSERT_EQ(apply(out, Copy32To24, in), 1);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            for (int c = 0; c < 3; ++c) {
                ASSERT_EQ(out.row(y)[3 * x + c], in.row(y)[4 * x + c]);
            }
        }
        EXPECT_EQ(out.row(y)[9], 0);  // padding untouched
        EXPECT_EQ(out.row(y)[10], 0);
        EXPECT_EQ(out.row(y)[11], 0);
    }
}

TEST(CopyKernels, Copy24FlippedReversesRowsFrom24And32Bits) {
    for (std::uint16_t bits : {24, 32}) {
        DibImage in;
        ASSERT_TRUE(in.create(5, 4, bits));
        std::mt19937 rng(bits);
        fillRandom(in, rng);
        DibImage out;
        ASSERT_TRUE(out.create(5, 4, 24));
        ASSERT_EQ(apply(out, Copy24Flipped, in), 1);
        const int step = bits / 8;
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 5; ++x) {
                for (int c = 0; c < 3; ++c) {
                    ASSERT_EQ(out.row(y)[3 * x + c], in.row(3 - y)[step * x + c]);
                }
            }
        }
    }
}

TEST(CopyKernels, SwapRedBlue24ExchangesBytes0And2InOrder) {
    for (std::uint16_t bits : {24, 32}) {
        DibImage in;
        ASSERT_TRUE(in.create(4, 3, bits));
        std::mt19937 rng(bits + 1);
        fillRandom(in, rng);
        DibImage out;
        ASSERT_TRUE(out.create(4, 3, 24));
        ASSERT_EQ(apply(out, SwapRedBlue24, in), 1);
        const int step = bits / 8;
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 4; ++x) {
                const std::uint8_t *p = in.row(y) + step * x;
                const std::uint8_t *q = out.row(y) + 3 * x;
                ASSERT_EQ(q[0], p[2]);
                ASSERT_EQ(q[1], p[1]);
                ASSERT_EQ(q[2], p[0]);
            }
        }
    }
}

TEST(CopyKernels, CopyRowsFlippedCopiesWholeRowsOfTheSmallerStride) {
    DibImage in;
    ASSERT_TRUE(in.create(5, 3, 8));  // stride 8
    std::mt19937 rng(17);
    fillRandom(in, rng);
    DibImage same;
    ASSERT_TRUE(same.create(5, 3, 8));
    ASSERT_EQ(apply(same, CopyRowsFlipped, in), 1);
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(std::memcmp(same.row(y), in.row(2 - y), 8), 0) << y;  // padding included
    }
    // Into an image with a shorter stride only its stride is written in each row.
    DibImage narrow;
    ASSERT_TRUE(narrow.create(3, 3, 8));  // stride 4
    ASSERT_EQ(apply(narrow, CopyRowsFlipped, in), 1);
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(std::memcmp(narrow.row(y), in.row(2 - y), 4), 0) << y;
    }
}

TEST(CopyKernels, CopyRowsFlippedFromAColumnOnNeverPassesTheRowEnd) {
    DibImage in;
    ASSERT_TRUE(in.create(6, 2, 8));  // stride 8
    for (std::size_t i = 0; i < in.sizeBytes(); ++i) {
        in.pixels()[i] = static_cast<std::uint8_t>(i + 1);
    }
    DibImage out;
    ASSERT_TRUE(out.create(6, 2, 8));
    // Columns 3..5 at x = 0: bytes 3..7 of each source row (to the end of its stride).
    const KernelRect rect{3, 0, 6, 2};
    ASSERT_EQ(ApplyKernel(out, CopyRowsFlipped, in, &rect, 0, 0, nullptr, 0), 1);
    for (int y = 0; y < 2; ++y) {
        for (int b = 0; b < 8; ++b) {
            const int expected = b < 5 ? in.row(1 - y)[3 + b] : 0;
            ASSERT_EQ(out.row(y)[b], expected) << y << " " << b;
        }
    }
}

TEST(CopyKernels, Copy32InvertFourthCopiesThreeBytesAndInvertsTheFourth) {
    DibImage in;
    ASSERT_TRUE(in.create(2, 2, 32));
    for (std::size_t i = 0; i < in.sizeBytes(); ++i) {
        in.pixels()[i] = static_cast<std::uint8_t>(i * 11);
    }
    DibImage out;
    ASSERT_TRUE(out.create(2, 2, 32));
    ASSERT_EQ(apply(out, Copy32InvertFourth, in), 1);
    for (std::size_t i = 0; i < in.sizeBytes(); ++i) {
        const int expected = i % 4 == 3 ? 255 - in.pixels()[i] : in.pixels()[i];
        ASSERT_EQ(out.pixels()[i], expected) << i;
    }
}

TEST(Widen, MonochromeShiftsBy4) {
    DibImage in;
    ASSERT_TRUE(in.create(4, 1, 16));
    const std::uint16_t values[4] = {0, 1, 1023, 512};
    for (int x = 0; x < 4; ++x) {
        setWord(in, x, 0, 0, values[x]);
    }
    DibImage out;
    ASSERT_TRUE(out.create(4, 1, 16));
    ASSERT_EQ(apply(out, Widen16Mono, in), 1);
    EXPECT_EQ(wordAt(out, 0, 0, 0), 0);
    EXPECT_EQ(wordAt(out, 1, 0, 0), 16);
    EXPECT_EQ(wordAt(out, 2, 0, 0), 16368);
    EXPECT_EQ(wordAt(out, 3, 0, 0), 8192);
}

TEST(Widen, ColourShiftsBy6WithOrWithoutSwapAndAlpha) {
    struct Case {
        ConversionKernel kernel;
        std::uint16_t bits;
        bool swap;
        bool alpha;
    };
    const Case cases[] = {{Widen48, 48, false, false},
                          {Widen48Alpha, 64, false, true},
                          {Widen48SwapRedBlue, 48, true, false},
                          {Widen48SwapRedBlueAlpha, 64, true, true}};
    for (const Case &c : cases) {
        DibImage in;
        ASSERT_TRUE(in.create(3, 2, c.bits));
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 3; ++x) {
                setWord(in, x, y, 0, static_cast<std::uint16_t>(1023 - x));   // blue
                setWord(in, x, y, 1, static_cast<std::uint16_t>(500 + y));    // green
                setWord(in, x, y, 2, static_cast<std::uint16_t>(x + 3 * y));  // red
                if (c.bits == 64) {
                    setWord(in, x, y, 3, 77);
                }
            }
        }
        DibImage out;
        ASSERT_TRUE(out.create(3, 2, c.bits));
        ASSERT_EQ(apply(out, c.kernel, in), 1);
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 3; ++x) {
                const std::uint16_t blue = static_cast<std::uint16_t>((1023 - x) << 6);
                const std::uint16_t red = static_cast<std::uint16_t>((x + 3 * y) << 6);
                ASSERT_EQ(wordAt(out, x, y, 0), c.swap ? red : blue);
                ASSERT_EQ(wordAt(out, x, y, 1), static_cast<std::uint16_t>((500 + y) << 6));
                ASSERT_EQ(wordAt(out, x, y, 2), c.swap ? blue : red);
                if (c.alpha) {
                    ASSERT_EQ(wordAt(out, x, y, 3), 65535);
                }
            }
        }
        EXPECT_EQ(wordAt(out, 0, 0, 0), c.swap ? 0 : 65472);  // 1023 becomes 65472
    }
}

TEST(FormatKernels, RefuseNullPointersAndEmptyRectangles) {
    KernelArgs args;
    EXPECT_EQ(Reduce16To8(args), 0);
    EXPECT_EQ(Copy32To24(args), 0);
    EXPECT_EQ(Widen48(args), 0);
    EXPECT_EQ(SwapRows(args), 0);
    EXPECT_EQ(SpreadRows8(args), 0);
    EXPECT_EQ(Luma24To8(args), 0);
    ScaledKernelArgs scaled;
    EXPECT_EQ(ScaleNearest24(scaled), 0);
}

}  // namespace
}  // namespace ostrel::imaging
