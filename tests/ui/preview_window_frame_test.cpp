// The preview's pictures: which image each colour mode shows and the exact bytes of the
// reductions into it, the scratch image's format and when it is re-made, and the flipped
// nearest-neighbour scaling into it.
#include <gtest/gtest.h>

#include <cstring>

#include "ui/preview_window_frame.h"

namespace ostrel::ui {
namespace {

using imaging::ColorMode;
using imaging::DibImage;

void setWord(DibImage &image, int x, int y, int channel, std::uint16_t value) {
    std::memcpy(image.row(y) + x * image.bytesPerPixel() + 2 * channel, &value, 2);
}

// Every image of the given size, as a context prepares them.
struct Images {
    DibImage image8, image16, image24, image32, image48, image64;

    Images(int width, int height) {
        EXPECT_TRUE(image8.create(width, height, 8));
        EXPECT_TRUE(image16.create(width, height, 16));
        EXPECT_TRUE(image24.create(width, height, 24));
        EXPECT_TRUE(image32.create(width, height, 32));
        EXPECT_TRUE(image48.create(width, height, 48));
        EXPECT_TRUE(image64.create(width, height, 64));
    }
    PreviewImages all() {
        return PreviewImages{&image8, &image16, &image24, &image32, &image48, &image64};
    }
};

TEST(PreviewDisplayImage, MonochromeAndColourOutputsAreShownAsTheyAre) {
    Images images(5, 3);
    images.image8.row(1)[2] = 77;
    const PreviewImages all = images.all();
    EXPECT_EQ(prepareDisplayImage(ColorMode::Mono8, all), &images.image8);
    EXPECT_EQ(images.image8.row(1)[2], 77);
    EXPECT_EQ(prepareDisplayImage(ColorMode::Bgr24, all), &images.image24);
}

TEST(PreviewDisplayImage, TenBitMonochromeIsReducedIntoImage8) {
    Images images(3, 2);
    const std::uint16_t words[2][3] = {{0x3FF, 0x004, 0x003}, {0x200, 0x1FC, 0x403}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            setWord(images.image16, x, y, 0, words[y][x]);
        }
    }
    ASSERT_EQ(prepareDisplayImage(ColorMode::Mono16, images.all()), &images.image8);
    const std::uint8_t expected[2][3] = {{255, 1, 0}, {128, 127, 0}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(images.image8.row(y)[x], expected[y][x]) << x << "," << y;
        }
    }
}

TEST(PreviewDisplayImage, ThirtyTwoBitColourLosesOnlyItsFourthByte) {
    Images images(2, 2);
    for (int i = 0; i < 4; ++i) {
        std::uint8_t *p = images.image32.row(i / 2) + (i % 2) * 4;
        p[0] = static_cast<std::uint8_t>(10 + i);
        p[1] = static_cast<std::uint8_t>(20 + i);
        p[2] = static_cast<std::uint8_t>(30 + i);
        p[3] = 99;
    }
    ASSERT_EQ(prepareDisplayImage(ColorMode::Bgr32, images.all()), &images.image24);
    for (int i = 0; i < 4; ++i) {
        const std::uint8_t *p = images.image24.row(i / 2) + (i % 2) * 3;
        EXPECT_EQ(p[0], 10 + i);
        EXPECT_EQ(p[1], 20 + i);
        EXPECT_EQ(p[2], 30 + i);
    }
}

TEST(PreviewDisplayImage, FortyEightAndSixtyFourBitColourAreReducedPerChannel) {
    for (ColorMode mode : {ColorMode::Bgr48, ColorMode::Bgr64}) {
        Images images(2, 1);
        DibImage &wide = mode == ColorMode::Bgr48 ? images.image48 : images.image64;
        setWord(wide, 0, 0, 0, 0x3FF);
        setWord(wide, 0, 0, 1, 0x100);
        setWord(wide, 0, 0, 2, 0x007);
        setWord(wide, 1, 0, 0, 0x0);
        setWord(wide, 1, 0, 1, 0x2A8);
        setWord(wide, 1, 0, 2, 0x3FC);
        if (mode == ColorMode::Bgr64) {
            setWord(wide, 0, 0, 3, 0x3FF);  // the fourth word is dropped
        }
        ASSERT_EQ(prepareDisplayImage(mode, images.all()), &images.image24);
        const std::uint8_t expected[6] = {255, 64, 1, 0, 170, 255};
        EXPECT_EQ(std::memcmp(images.image24.row(0), expected, 6), 0);
    }
}

TEST(PreviewDisplayImage, NothingIsShownWithoutTheImagesTheModeNeeds) {
    Images images(4, 4);
    PreviewImages none;
    for (ColorMode mode : {ColorMode::Mono8, ColorMode::Mono16, ColorMode::Bgr24, ColorMode::Bgr32,
                           ColorMode::Bgr48, ColorMode::Bgr64}) {
        EXPECT_EQ(prepareDisplayImage(mode, none), nullptr);
    }
    // Image 32 empty (the mode changed after the images were made): nothing shown.
    images.image32.release();
    images.image24.row(0)[0] = 5;
    EXPECT_EQ(prepareDisplayImage(ColorMode::Bgr32, images.all()), nullptr);
    EXPECT_EQ(images.image24.row(0)[0], 5);
    // Sizes that differ: image 24 is left as it was rather than half overwritten.
    DibImage wide;
    ASSERT_TRUE(wide.create(8, 4, 48));
    PreviewImages mismatched = images.all();
    mismatched.image48 = &wide;
    EXPECT_EQ(prepareDisplayImage(ColorMode::Bgr48, mismatched), nullptr);
    EXPECT_EQ(images.image24.row(0)[0], 5);
}

TEST(PreviewScratchImage, FormatFollowsTheColourMode) {
    EXPECT_EQ(scratchBitCount(ColorMode::Mono8), 8);
    EXPECT_EQ(scratchBitCount(ColorMode::Mono16), 8);
    for (ColorMode mode :
         {ColorMode::Bgr24, ColorMode::Bgr32, ColorMode::Bgr48, ColorMode::Bgr64}) {
        EXPECT_EQ(scratchBitCount(mode), 24);
    }
}

TEST(PreviewScratchImage, IsMadeAgainOnlyWhenItsSizeOrFormatChanges) {
    DibImage scratch;
    ASSERT_TRUE(fitScratchImage(scratch, 30, 20, 8));
    EXPECT_EQ(scratch.width(), 30);
    EXPECT_EQ(scratch.height(), 20);
    EXPECT_EQ(scratch.bitCount(), 8);
    EXPECT_EQ(scratch.colourTable()[200].green, 200);  // grey table

    scratch.row(3)[4] = 42;
    const std::uint8_t *pixels = scratch.pixels();
    ASSERT_TRUE(fitScratchImage(scratch, 30, 20, 8));
    EXPECT_EQ(scratch.pixels(), pixels);
    EXPECT_EQ(scratch.row(3)[4], 42);  // kept, not cleared

    ASSERT_TRUE(fitScratchImage(scratch, 31, 20, 8));
    EXPECT_EQ(scratch.width(), 31);
    EXPECT_EQ(scratch.row(3)[4], 0);

    ASSERT_TRUE(fitScratchImage(scratch, 31, 20, 24));
    EXPECT_EQ(scratch.bitCount(), 24);

    EXPECT_FALSE(fitScratchImage(scratch, 0, 20, 24));
    EXPECT_TRUE(scratch.isEmpty());
}

TEST(PreviewScratchImage, ScalingSamplesNearestAndTurnsThePictureOver) {
    DibImage display;
    ASSERT_TRUE(display.create(4, 4, 8));
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            display.row(y)[x] = static_cast<std::uint8_t>(10 * y + x);
        }
    }
    DibImage scratch;
    ASSERT_TRUE(fitScratchImage(scratch, 2, 2, 8));
    ASSERT_TRUE(scaleIntoScratch(scratch, display));
    // Scratch row 0 takes source row 3, row 1 takes source row 1; columns 0 and 2.
    EXPECT_EQ(scratch.row(0)[0], 30);
    EXPECT_EQ(scratch.row(0)[1], 32);
    EXPECT_EQ(scratch.row(1)[0], 10);
    EXPECT_EQ(scratch.row(1)[1], 12);

    DibImage colour;
    ASSERT_TRUE(colour.create(2, 3, 24));
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 2; ++x) {
            std::uint8_t *p = colour.row(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(y);
            p[1] = static_cast<std::uint8_t>(x);
            p[2] = 200;
        }
    }
    ASSERT_TRUE(fitScratchImage(scratch, 4, 3, 24));
    ASSERT_TRUE(scaleIntoScratch(scratch, colour));
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            const std::uint8_t *p = scratch.row(y) + 3 * x;
            EXPECT_EQ(p[0], 2 - y) << x << "," << y;
            EXPECT_EQ(p[1], x / 2) << x << "," << y;
            EXPECT_EQ(p[2], 200);
        }
    }
}

TEST(PreviewScratchImage, ScalingRefusesFormatsThatDoNotMatch) {
    DibImage grey, colour, scratch;
    ASSERT_TRUE(grey.create(4, 4, 8));
    ASSERT_TRUE(colour.create(4, 4, 24));
    ASSERT_TRUE(scratch.create(2, 2, 24));
    EXPECT_FALSE(scaleIntoScratch(scratch, grey));
    EXPECT_TRUE(scaleIntoScratch(scratch, colour));
    DibImage empty;
    EXPECT_FALSE(scaleIntoScratch(empty, colour));
    EXPECT_FALSE(scaleIntoScratch(scratch, empty));
    DibImage wide, wideScratch;
    ASSERT_TRUE(wide.create(4, 4, 32));
    ASSERT_TRUE(wideScratch.create(2, 2, 32));
    EXPECT_FALSE(scaleIntoScratch(wideScratch, wide));
}

}  // namespace
}  // namespace ostrel::ui
