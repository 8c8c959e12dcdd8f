// Every still format read back with its real decoder and compared with the image it came from:
// exactly for PNG and TIFF (with their widenings, channel order and fourth channel rules), within
// a tolerance for JPEG (with its reductions, qualities and progressive scans).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "output/decoders.h"
#include "output/save_image.h"
#include "output/test_files.h"
#include "output/test_images.h"

namespace ostrel::output {
namespace {

using test::ScratchDir;

constexpr std::int32_t kPng = static_cast<std::int32_t>(ImageFileType::Png);
constexpr std::int32_t kTiff = static_cast<std::int32_t>(ImageFileType::Tiff);

// The sample a PNG or TIFF file holds for channel c (in red, green, blue, fourth order) of a
// pixel whose stored samples (blue, green, red, fourth) come from image.
struct Expect16 {
    std::uint16_t bits;
    bool png;  // PNG: alpha = 255 - fourth byte / 65535; TIFF: fourth 0 / 65535
    std::uint16_t operator()(const imaging::DibImage &image, int x, int y, int c) const {
        auto stored = [&](int channel) { return test::sampleAt(image, x, y, channel); };
        switch (bits) {
            case 8:
                return stored(0);
            case 16:
                return static_cast<std::uint16_t>(stored(0) << 4);
            case 24:
                return stored(2 - c);
            case 32:
                return c < 3 ? stored(2 - c) : png ? std::uint16_t(255 - stored(3)) : 0;
            case 48:
                return static_cast<std::uint16_t>(stored(2 - c) << 6);
            case 64:
                return c < 3 ? static_cast<std::uint16_t>(stored(2 - c) << 6) : 65535;
        }
        return 0;
    }
};

struct FileFormat {
    int channels;
    int bitDepth;
};

FileFormat formatFor(std::uint16_t bits) {
    switch (bits) {
        case 8:
            return {1, 8};
        case 16:
            return {1, 16};
        case 24:
            return {3, 8};
        case 32:
            return {4, 8};
        case 48:
            return {3, 16};
        default:
            return {4, 16};
    }
}

void expectSamples(const test::Decoded &decoded, const imaging::DibImage &image, Expect16 expect) {
    ASSERT_TRUE(decoded.ok) << decoded.error;
    const FileFormat format = formatFor(image.bitCount());
    ASSERT_EQ(decoded.width, image.width());
    ASSERT_EQ(decoded.height, image.height());
    ASSERT_EQ(decoded.channels, format.channels);
    ASSERT_EQ(decoded.bitDepth, format.bitDepth);
    int mismatches = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            for (int c = 0; c < format.channels; ++c) {
                const std::uint16_t want = expect(image, x, y, c);
                if (decoded.at(x, y, c) != want && ++mismatches <= 5) {
                    ADD_FAILURE() << image.bitCount() << "-bit pixel (" << x << ", " << y
                                  << ") channel " << c << ": " << decoded.at(x, y, c)
                                  << ", expected " << want;
                }
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

class StillRoundTrip : public ::testing::TestWithParam<std::uint16_t> {};

TEST_P(StillRoundTrip, PngHoldsTheWidenedSamplesInRedGreenBlueOrder) {
    ScratchDir dir;
    const std::uint16_t bits = GetParam();
    imaging::DibImage image;
    ASSERT_TRUE(test::makePattern(image, 13, 7, bits));  // odd width: padded rows
    const std::string path = dir.file("picture.png");
    ASSERT_EQ(saveImage(path.c_str(), image, kPng), SaveResult::Saved);

    test::PngInfo info;
    const auto decoded = test::readPng(path, &info);
    expectSamples(decoded, image, Expect16{bits, true});
    const int colourType = bits <= 16 ? 0 : bits == 24 || bits == 48 ? 2 : 6;
    EXPECT_EQ(info.colourType, colourType);
    EXPECT_EQ(info.interlace, 0);
    EXPECT_EQ(info.chunks.front(), "IHDR");
    EXPECT_EQ(info.chunks.back(), "IEND");
    for (std::size_t i = 1; i + 1 < info.chunks.size(); ++i) {
        EXPECT_EQ(info.chunks[i], "IDAT");
    }
}

TEST_P(StillRoundTrip, TiffHoldsTheWidenedSamplesInRedGreenBlueOrder) {
    ScratchDir dir;
    const std::uint16_t bits = GetParam();
    imaging::DibImage image;
    ASSERT_TRUE(test::makePattern(image, 13, 7, bits));
    const std::string path = dir.file("picture.tif");
    ASSERT_EQ(saveImage(path.c_str(), image, kTiff), SaveResult::Saved);

    test::TiffInfo info;
    const auto decoded = test::readTiff(path, &info);
    expectSamples(decoded, image, Expect16{bits, false});
    EXPECT_EQ(info.photometric, bits <= 16 ? 1 : 2);
    EXPECT_EQ(info.compression, 1);
    EXPECT_EQ(info.strips, 1u);
    EXPECT_EQ(info.firstStripBytes, 13u * 7 * (bits / 8));
    EXPECT_FALSE(info.hasExtraSamples);
}

// A smooth picture, so that JPEG's error stays small: 8-bit values 20..200 (10-bit: times 4).
std::uint16_t smoothValue(std::uint16_t bits, int x, int y, int c) {
    const int v = 20 + 3 * x + 5 * y + 25 * c;
    return static_cast<std::uint16_t>(test::wordSamples(bits) ? v * 4 + (x + y) % 4 : v);
}

TEST_P(StillRoundTrip, JpegHoldsTheReducedPictureTopRowFirst) {
    ScratchDir dir;
    const std::uint16_t bits = GetParam();
    imaging::DibImage image;
    ASSERT_TRUE(image.create(24, 16, bits));
    test::fillImage(image, [bits](int x, int y, int c) { return smoothValue(bits, x, y, c); });
    const std::string path = dir.file("picture.jpg");
    ASSERT_EQ(saveImage(path.c_str(), image, static_cast<std::int32_t>(ImageFileType::Jpeg100)),
              SaveResult::Saved);

    test::JpegInfo info;
    const auto decoded = test::readJpeg(path, &info);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    const bool grey = bits == 8 || bits == 16;
    ASSERT_EQ(decoded.width, 24);
    ASSERT_EQ(decoded.height, 16);
    ASSERT_EQ(decoded.channels, grey ? 1 : 3);
    EXPECT_TRUE(info.progressive);
    EXPECT_EQ(info.firstLuminanceQuant, 1);  // quality 100
    int worst = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 24; ++x) {
            for (int c = 0; c < decoded.channels; ++c) {
                // The stored channel of file channel c (red first) and its 8-bit value.
                const int stored = grey ? 0 : 2 - c;
                int want = test::sampleAt(image, x, y, stored);
                if (test::wordSamples(bits)) {
                    want = (want >> 2) & 0xFF;
                }
                worst = std::max(worst, std::abs(decoded.at(x, y, c) - want));
            }
        }
    }
    // Quality 100 with 2 x 2 chroma subsampling on a smooth picture: a few levels at most. A
    // flipped picture or exchanged channels would be off by tens.
    EXPECT_LE(worst, 3);
}

INSTANTIATE_TEST_SUITE_P(EveryOutputFormat, StillRoundTrip,
                         ::testing::Values<std::uint16_t>(8, 16, 24, 32, 48, 64),
                         [](const auto &info) { return std::to_string(info.param) + "Bit"; });

TEST(StillValues, TopTenBitValueIsWidenedTo16368AndReducedTo255) {
    ScratchDir dir;
    imaging::DibImage image;
    ASSERT_TRUE(image.create(8, 8, 16));
    test::fillImage(image, [](int, int, int) { return std::uint16_t(1023); });
    const std::string png = dir.file("top.png");
    const std::string tif = dir.file("top.tif");
    const std::string jpg = dir.file("top.jpg");
    ASSERT_EQ(saveImage(png.c_str(), image, kPng), SaveResult::Saved);
    ASSERT_EQ(saveImage(tif.c_str(), image, kTiff), SaveResult::Saved);
    ASSERT_EQ(saveImage(jpg.c_str(), image, static_cast<std::int32_t>(ImageFileType::Jpeg100)),
              SaveResult::Saved);
    EXPECT_EQ(test::readPng(png).at(3, 4, 0), 16368);
    EXPECT_EQ(test::readTiff(tif).at(3, 4, 0), 16368);
    EXPECT_EQ(test::readJpeg(jpg).at(3, 4, 0), 255);
}

TEST(StillValues, ThirtyTwoBitFourthByteZeroIsOpaqueInPngAndZeroInTiff) {
    ScratchDir dir;
    imaging::DibImage image;
    ASSERT_TRUE(image.create(5, 3, 32));
    test::fillImage(image, [](int x, int y, int c) {
        return c == 3 ? std::uint16_t(0) : std::uint16_t(10 * x + y + 60 * c);
    });
    const std::string png = dir.file("opaque.png");
    const std::string tif = dir.file("opaque.tif");
    ASSERT_EQ(saveImage(png.c_str(), image, kPng), SaveResult::Saved);
    ASSERT_EQ(saveImage(tif.c_str(), image, kTiff), SaveResult::Saved);
    const auto fromPng = test::readPng(png);
    const auto fromTiff = test::readTiff(tif);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(fromPng.at(x, y, 3), 255);
            EXPECT_EQ(fromTiff.at(x, y, 3), 0);
            EXPECT_EQ(fromPng.at(x, y, 0), 10 * x + y + 120);  // red: the third stored byte
        }
    }
}

TEST(StillValues, JpegQualitiesDifferOnlyInTheirQuantisation) {
    ScratchDir dir;
    imaging::DibImage image;
    ASSERT_TRUE(test::makePattern(image, 32, 16, 24));
    const int types[3] = {2, 3, 4};
    const int dcQuant[3] = {1, 10, 40};  // the standard table's 16 scaled to 100, 70, 20
    std::uintmax_t previousSize = 0;
    for (int i = 0; i < 3; ++i) {
        const std::string path = dir.file("q" + std::to_string(types[i]) + ".jpg");
        ASSERT_EQ(saveImage(path.c_str(), image, types[i]), SaveResult::Saved);
        test::JpegInfo info;
        const auto decoded = test::readJpeg(path, &info);
        ASSERT_TRUE(decoded.ok) << decoded.error;
        EXPECT_TRUE(info.progressive) << types[i];
        EXPECT_EQ(info.firstLuminanceQuant, dcQuant[i]) << types[i];
        EXPECT_EQ(decoded.width, 32);
        const std::uintmax_t size = std::filesystem::file_size(path);
        if (i > 0) {
            EXPECT_LT(size, previousSize) << types[i];
        }
        previousSize = size;
    }
}

}  // namespace
}  // namespace ostrel::output
