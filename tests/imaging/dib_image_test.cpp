// DibImage: header and colour table, stride, zero-filled memory, reuse of memory for the same
// format, release, format copy, and the block transfer through the grey table.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "imaging/dib_image.h"

namespace ostrel::imaging {
namespace {

bool allZero(const DibImage &image) {
    for (std::size_t i = 0; i < image.sizeBytes(); ++i) {
        if (image.pixels()[i] != 0) {
            return false;
        }
    }
    return true;
}

void expectReleased(const DibImage &image) {
    EXPECT_TRUE(image.isEmpty());
    EXPECT_EQ(image.pixels(), nullptr);
    EXPECT_EQ(image.width(), 0);
    EXPECT_EQ(image.height(), 0);
    EXPECT_EQ(image.stride(), 0);
    EXPECT_EQ(image.bitCount(), 0);
    EXPECT_FALSE(image.hasDeviceContext());
    EXPECT_EQ(image.header().size, 40u);
    EXPECT_EQ(image.header().width, 0);
    EXPECT_EQ(image.header().bitCount, 0);
}

TEST(DibImage, StrideIsWidthTimesBytesPerPixelRoundedUpTo4) {
    EXPECT_EQ(DibImage::strideFor(1, 8), 4);
    EXPECT_EQ(DibImage::strideFor(4, 8), 4);
    EXPECT_EQ(DibImage::strideFor(5, 8), 8);
    EXPECT_EQ(DibImage::strideFor(3, 16), 8);
    EXPECT_EQ(DibImage::strideFor(5, 24), 16);
    EXPECT_EQ(DibImage::strideFor(6576, 24), 19728);
    EXPECT_EQ(DibImage::strideFor(3, 32), 12);
    EXPECT_EQ(DibImage::strideFor(3, 48), 20);
    EXPECT_EQ(DibImage::strideFor(3, 64), 24);
    EXPECT_EQ(DibImage::strideFor(0, 24), 0);
    EXPECT_EQ(DibImage::strideFor(0x7fffffff, 64), 0);  // does not fit
}

TEST(DibImage, CreatedImageHasItsHeaderAndZeroedPixels) {
    for (std::uint16_t bits : {8, 16, 24, 32, 48, 64}) {
        DibImage image;
        ASSERT_TRUE(image.create(7, 5, bits)) << bits;
        EXPECT_FALSE(image.isEmpty());
        EXPECT_EQ(image.width(), 7);
        EXPECT_EQ(image.height(), 5);
        EXPECT_EQ(image.bitCount(), bits);
        EXPECT_EQ(image.bytesPerPixel(), bits / 8);
        EXPECT_EQ(image.stride(), DibImage::strideFor(7, bits));
        const BitmapInfoHeader &h = image.header();
        EXPECT_EQ(h.size, 40u);
        EXPECT_EQ(h.width, 7);
        EXPECT_EQ(h.height, 5);  // positive: bottom-up
        EXPECT_EQ(h.planes, 1);
        EXPECT_EQ(h.bitCount, bits);
        EXPECT_EQ(h.compression, 0u);
        EXPECT_EQ(h.sizeImage, 0u);
        EXPECT_EQ(h.xPelsPerMeter, 0);
        EXPECT_EQ(h.yPelsPerMeter, 0);
        EXPECT_EQ(h.clrUsed, 0u);
        EXPECT_EQ(h.clrImportant, 0u);
        EXPECT_TRUE(allZero(image)) << bits;
        // Sector-aligned memory (a section is page-aligned).
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(image.pixels()) % 512, 0u);
        // Every byte is writable, the last one included.
        image.pixels()[image.sizeBytes() - 1] = 0xAB;
    }
}

TEST(DibImage, DrawableFormatsHaveADeviceContextOnlyWhereTheSystemHasSections) {
    for (std::uint16_t bits : {8, 24, 32}) {
        DibImage image;
        ASSERT_TRUE(image.create(16, 9, bits));
#ifdef _WIN32
        EXPECT_TRUE(image.hasDeviceContext()) << bits;
        EXPECT_NE(image.deviceContext(), nullptr);
#else
        EXPECT_FALSE(image.hasDeviceContext()) << bits;
#endif
        image.release();
        EXPECT_FALSE(image.hasDeviceContext());
    }
}

TEST(DibImage, EightBitImageCarriesTheGreyTableOthersAnEmptyOne) {
    DibImage grey;
    ASSERT_TRUE(grey.create(3, 3, 8));
    for (int i = 0; i < 256; ++i) {
        const ColourEntry &e = grey.colourTable()[static_cast<std::size_t>(i)];
        ASSERT_EQ(e.blue, i);
        ASSERT_EQ(e.green, i);
        ASSERT_EQ(e.red, i);
        ASSERT_EQ(e.reserved, 0);
    }
    DibImage colour;
    ASSERT_TRUE(colour.create(3, 3, 24));
    EXPECT_EQ(colour.colourTable()[200].red, 0);
}

TEST(DibImage, CreationFailsForBadArgumentsAndKeepsTheImage) {
    DibImage image;
    ASSERT_TRUE(image.create(4, 4, 24));
    image.pixels()[0] = 9;
    EXPECT_FALSE(image.create(0, 4, 24));
    EXPECT_FALSE(image.create(4, -1, 24));
    EXPECT_FALSE(image.create(4, 4, 0));
    EXPECT_FALSE(image.create(4, 4, 12));
    EXPECT_EQ(image.width(), 4);
    EXPECT_EQ(image.pixels()[0], 9);

    DibImage empty;
    EXPECT_FALSE(empty.create(-3, 2, 8));
    expectReleased(empty);
}

TEST(DibImage, ImageTooLargeForMemoryFailsEmpty) {
    DibImage image;
    ASSERT_TRUE(image.create(4, 4, 8));
    // 0x7fffffff x 64 bits does not fit in a stride; 2^31 rows of 8 bytes does not fit in memory
    // that a 32-bit process can address either.
    EXPECT_FALSE(image.create(0x7fffffff, 1, 64));
    expectReleased(image);
    EXPECT_FALSE(image.create(0x10000, 0x10000, 64));
    expectReleased(image);
}

TEST(DibImage, SameFormatKeepsItsMemoryButClearsIt) {
    DibImage image;
    ASSERT_TRUE(image.create(640, 480, 24));
    const std::uint8_t *memory = image.pixels();
    std::memset(image.pixels(), 0x5A, image.sizeBytes());
    ASSERT_TRUE(image.create(640, 480, 24));
    EXPECT_EQ(image.pixels(), memory);
    EXPECT_TRUE(allZero(image));
    EXPECT_EQ(image.header().width, 640);

    // Another format: new size, cleared.
    ASSERT_TRUE(image.create(33, 17, 48));
    EXPECT_EQ(image.width(), 33);
    EXPECT_EQ(image.stride(), DibImage::strideFor(33, 48));
    EXPECT_EQ(image.header().bitCount, 48);
    EXPECT_TRUE(allZero(image));
}

TEST(DibImage, ReleaseClearsEveryField) {
    DibImage image;
    ASSERT_TRUE(image.create(9, 9, 8));
    image.release();
    expectReleased(image);
    EXPECT_EQ(image.colourTable()[255].red, 0);
    image.release();  // twice is harmless
    expectReleased(image);
}

TEST(DibImage, CopyFormatMakesTheSameFormat) {
    DibImage source;
    ASSERT_TRUE(source.create(21, 11, 32));
    DibImage copy;
    ASSERT_TRUE(copy.create(2, 2, 8));
    ASSERT_TRUE(copy.copyFormat(&source));
    EXPECT_EQ(copy.width(), 21);
    EXPECT_EQ(copy.height(), 11);
    EXPECT_EQ(copy.stride(), source.stride());
    EXPECT_EQ(copy.bitCount(), 32);
    EXPECT_NE(copy.pixels(), source.pixels());
    EXPECT_TRUE(allZero(copy));

    DibImage empty;
    EXPECT_FALSE(copy.copyFormat(&empty));
    EXPECT_FALSE(copy.copyFormat(nullptr));
    EXPECT_FALSE(copy.copyFormat(&copy));
    EXPECT_EQ(copy.width(), 21);  // kept
}

// Transfers work in device-context rows: row 0 is the top of the picture, the last memory row.
TEST(DibImageTransfer, GreyImageBecomesColourThroughItsTable) {
    for (std::uint16_t bits : {24, 32}) {
        DibImage grey;
        ASSERT_TRUE(grey.create(5, 3, 8));
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x) {
                grey.row(y)[x] = static_cast<std::uint8_t>(40 * y + 7 * x);
            }
        }
        DibImage colour;
        ASSERT_TRUE(colour.create(5, 3, bits));
        std::memset(colour.pixels(), 0xEE, colour.sizeBytes());
        ASSERT_TRUE(transferImage(colour, grey, nullptr, 0, 0));
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x) {
                const std::uint8_t *p = colour.row(y) + x * colour.bytesPerPixel();
                const int v = 40 * y + 7 * x;
                ASSERT_EQ(p[0], v);
                ASSERT_EQ(p[1], v);
                ASSERT_EQ(p[2], v);
                if (bits == 32) {
                    ASSERT_EQ(p[3], 0);
                }
            }
        }
    }
}

TEST(DibImageTransfer, RectangleAndOffsetAreInPictureRowsAndClipped) {
    DibImage grey;
    ASSERT_TRUE(grey.create(4, 4, 8));
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            grey.row(y)[x] = static_cast<std::uint8_t>(10 * y + x + 1);
        }
    }
    DibImage colour;
    ASSERT_TRUE(colour.create(4, 4, 24));
    // Picture rows 0..1 of the source are memory rows 3 and 2; columns 1..2. They land at picture
    // (x 2, y 3): picture row 3 is memory row 0, and only column 2..3 and one row fit.
    const KernelRect rect{1, 0, 3, 2};
    ASSERT_TRUE(transferImage(colour, grey, &rect, 2, 3));
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            int expected = 0;
            if (y == 0 && x >= 2) {
                expected = 10 * 3 + (x - 1) + 1;
            }
            ASSERT_EQ(colour.row(y)[3 * x], expected) << x << "," << y;
        }
    }
    const KernelRect outside{0, 0, 2, 2};
    EXPECT_FALSE(transferImage(colour, grey, &outside, 4, 0));
    DibImage empty;
    EXPECT_FALSE(transferImage(empty, grey, nullptr, 0, 0));
}

TEST(DibImageTransfer, EqualFormatsCopyAndOtherPairsAreRefused) {
    DibImage a;
    ASSERT_TRUE(a.create(3, 2, 48));
    for (std::size_t i = 0; i < a.sizeBytes(); ++i) {
        a.pixels()[i] = static_cast<std::uint8_t>(i * 3 + 1);
    }
    DibImage b;
    ASSERT_TRUE(b.create(3, 2, 48));
    ASSERT_TRUE(transferImage(b, a, nullptr, 0, 0));
    EXPECT_EQ(std::memcmp(a.pixels(), b.pixels(), 3 * 6), 0);
    EXPECT_EQ(std::memcmp(a.row(1), b.row(1), 3 * 6), 0);
    DibImage c;
    ASSERT_TRUE(c.create(3, 2, 8));
    EXPECT_FALSE(transferImage(c, a, nullptr, 0, 0));
}

}  // namespace
}  // namespace ostrel::imaging
