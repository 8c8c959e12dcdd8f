// The TIFF file compared byte for byte with the one libtiff writes when it is handed the whole
// converted picture as strip 0 in one call: same directory, same single strip, same samples,
// also for pictures large enough to be converted and appended in several bands.
#include <gtest/gtest.h>

#include <cstring>

#include <tiffio.h>

#include "output/save_image.h"
#include "output/test_files.h"
#include "output/test_images.h"

namespace ostrel::output {
namespace {

int quiet(TIFF *, void *, const char *, const char *, va_list) {
    return 1;
}

// The packed samples of the file: red first, 16-bit values widened, fourth sample 0 (32-bit) or
// 65535 (64-bit), no row padding.
std::vector<std::uint8_t> expectedStrip(const imaging::DibImage &image) {
    const int bits = image.bitCount();
    const int channels = test::storedChannels(image.bitCount());
    const bool words = test::wordSamples(image.bitCount());
    std::vector<std::uint8_t> strip;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            for (int c = 0; c < channels; ++c) {
                const int from = channels >= 3 && c < 3 ? 2 - c : c;
                std::uint32_t v = test::sampleAt(image, x, y, from);
                if (bits == 16)
                    v <<= 4;
                if (bits == 48 || (bits == 64 && c < 3))
                    v <<= 6;
                if (bits == 64 && c == 3)
                    v = 65535;
                if (bits == 32 && c == 3)
                    v = 0;
                strip.push_back(static_cast<std::uint8_t>(v));
                if (words) {
                    strip.push_back(static_cast<std::uint8_t>(v >> 8));
                }
            }
        }
    }
    return strip;
}

bool writeReference(const std::string &path, const imaging::DibImage &image) {
    const int bits = image.bitCount();
    const std::uint16_t samples = static_cast<std::uint16_t>(test::storedChannels(bits));
    const std::uint16_t bitsPerSample = test::wordSamples(bits) ? 16 : 8;
    const std::uint16_t photometric = samples == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB;
    auto strip = expectedStrip(image);
    TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, quiet, nullptr);
    TIFF *tiff = TIFFOpenExt(path.c_str(), "w", options);
    TIFFOpenOptionsFree(options);
    if (tiff == nullptr) {
        return false;
    }
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(image.width()));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(image.height()));
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, bitsPerSample);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
    const tmsize_t size = static_cast<tmsize_t>(strip.size());
    const bool ok = TIFFWriteEncodedStrip(tiff, 0, strip.data(), size) == size;
    TIFFClose(tiff);
    return ok;
}

struct Case {
    int width;
    int height;
    std::uint16_t bits;
};

class TiffReference : public ::testing::TestWithParam<Case> {};

TEST_P(TiffReference, FileIsTheOneLibtiffWritesForTheWholeStripAtOnce) {
    const Case c = GetParam();
    test::ScratchDir dir;
    imaging::DibImage image;
    ASSERT_TRUE(test::makePattern(image, c.width, c.height, c.bits));
    const std::string ours = dir.file("ours.tif");
    const std::string reference = dir.file("reference.tif");
    ASSERT_EQ(saveImage(ours.c_str(), image, static_cast<std::int32_t>(ImageFileType::Tiff)),
              SaveResult::Saved);
    ASSERT_TRUE(writeReference(reference, image));
    const auto oursBytes = test::readFile(ours);
    const auto referenceBytes = test::readFile(reference);
    ASSERT_EQ(oursBytes.size(), referenceBytes.size());
    EXPECT_TRUE(oursBytes == referenceBytes);
}

INSTANTIATE_TEST_SUITE_P(SmallAndBanded, TiffReference,
                         ::testing::Values(Case{822, 3, 8}, Case{13, 7, 16},
                                           Case{1000, 400, 24},  // 1.2 MB: 2 bands
                                           Case{513, 700, 32}, Case{31, 5, 48},
                                           Case{700, 300, 64}),  // 1.7 MB: 2 bands
                         [](const auto &info) {
                             return std::to_string(info.param.width) + "x" +
                                    std::to_string(info.param.height) + "x" +
                                    std::to_string(info.param.bits);
                         });

}  // namespace
}  // namespace ostrel::output
