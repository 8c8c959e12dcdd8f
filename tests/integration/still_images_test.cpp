// Still images through the exports over an emulated camera: after a snapshot, every file type
// read back by an independent decoder (libjpeg, libpng, libtiff, or the file's own layout for
// BMP and raw) holds the frame Ostrel_GetImage copies, in every colour mode; and the codes of
// the saves that cannot be made.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "integration/recording_files.h"
#include "output/decoders.h"

namespace ostrel::integration {
namespace {

using output::test::Decoded;
using output::test::le16;

enum FileType { kBmp = 0, kRaw = 1, kJpeg100 = 2, kJpeg70 = 3, kJpeg20 = 4, kPng = 5, kTiff = 6 };

// The frame a snapshot left, as Ostrel_GetImage copies it (top row first), with its format.
struct Frame {
    int width = 0;
    int height = 0;
    int bits = 0;
    int stride = 0;
    std::vector<std::uint8_t> bytes;

    const std::uint8_t *pixel(int x, int y) const {
        return bytes.data() + static_cast<std::size_t>(y) * stride + x * (bits / 8);
    }
    std::uint16_t word(int x, int y, int index) const {
        const std::uint8_t *p = pixel(x, y) + 2 * index;
        return static_cast<std::uint16_t>(p[0] | p[1] << 8);
    }
    // Channel c (0 red, 1 green, 2 blue, 3 the fourth) of a colour pixel, or the grey sample.
    std::uint16_t sample(int x, int y, int c) const {
        switch (bits) {
            case 8:
                return *pixel(x, y);
            case 16:
                return word(x, y, 0);
            case 24:
            case 32:
                return pixel(x, y)[c == 3 ? 3 : 2 - c];
            default:
                return word(x, y, c == 3 ? 3 : 2 - c);
        }
    }
    int channels() const {
        return bits == 8 || bits == 16 ? 1 : (bits == 32 || bits == 64 ? 4 : 3);
    }
};

class StillImages : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        StreamSettings settings;
        settings.color = GetParam();
        session_ = std::make_unique<CameraSession>(settings);
        handle_ = session_->handle();
        ASSERT_NE(handle_, 0u);
        (void)drainErrors(handle_);
        ASSERT_EQ(Ostrel_SnapShot(handle_, nullptr, 0, 1), 1);
        frame_.width = session_->width();
        frame_.height = session_->height();
        frame_.bits = session_->bits();
        frame_.stride = session_->stride();
        frame_.bytes = session_->nextFrame(std::chrono::seconds(5));
        ASSERT_EQ(frame_.bytes.size(), session_->frameSize());
        EXPECT_EQ(drainErrors(handle_), std::vector<int>{});
    }

    std::string save(const std::string &name, int fileType) {
        const std::string path = session_->dir().file(name);
        EXPECT_EQ(Ostrel_SaveImage(handle_, path.c_str(), fileType), 1) << name;
        return path;
    }

    // The frame's sample reduced to 8 bits as JPEG takes it (bits 2..9 of 10-bit words).
    int eightBitSample(int x, int y, int c) const {
        const int wide = frame_.sample(x, y, c);
        return frame_.bits == 8 || frame_.bits == 24 || frame_.bits == 32 ? wide
                                                                          : (wide >> 2) & 0xFF;
    }

    // The mean absolute difference in luma between a decoded picture and the frame. Colour JPEG
    // keeps chroma at half resolution, which the test chart's one-row colour stripes cannot
    // survive at any quality; luma keeps full resolution.
    double meanLumaError(const Decoded &d) const {
        auto luma = [](double r, double g, double b) { return 0.299 * r + 0.587 * g + 0.114 * b; };
        double total = 0;
        for (int y = 0; y < frame_.height; ++y) {
            for (int x = 0; x < frame_.width; ++x) {
                if (d.channels == 1) {
                    total += std::abs(static_cast<int>(d.at(x, y, 0)) - eightBitSample(x, y, 0));
                } else {
                    total += std::abs(luma(d.at(x, y, 0), d.at(x, y, 1), d.at(x, y, 2)) -
                                      luma(eightBitSample(x, y, 0), eightBitSample(x, y, 1),
                                           eightBitSample(x, y, 2)));
                }
            }
        }
        return total / (static_cast<double>(frame_.width) * frame_.height);
    }

    std::unique_ptr<CameraSession> session_;
    CameraHandle handle_ = 0;
    Frame frame_;
};

TEST_P(StillImages, BmpAndRawHoldTheFrameByteForByte) {
    const Frame &f = frame_;
    EXPECT_EQ(readFile(save("frame.raw", kRaw)), f.bytes);

    const std::vector<std::uint8_t> bmp = readFile(save("frame.bmp", kBmp));
    const std::uint32_t offset = f.bits == 8 ? 1078 : 54;
    ASSERT_EQ(bmp.size(), offset + f.bytes.size());
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(le32(bmp, 2), bmp.size());
    EXPECT_EQ(le32(bmp, 10), offset);
    EXPECT_EQ(le32(bmp, 18), static_cast<std::uint32_t>(f.width));
    EXPECT_EQ(le32(bmp, 22), static_cast<std::uint32_t>(f.height));
    EXPECT_EQ(le16(bmp, 28), f.bits);
    if (f.bits == 8) {
        for (std::uint32_t i = 0; i < 256; ++i) {
            EXPECT_EQ(le32(bmp, 54 + 4 * i), i | i << 8 | i << 16) << "colour " << i;
        }
    }
    // Bottom row first.
    for (int row = 0; row < f.height; ++row) {
        const auto fileRow = bmp.begin() + offset + static_cast<std::ptrdiff_t>(row) * f.stride;
        const auto frameRow =
            f.bytes.begin() + static_cast<std::ptrdiff_t>(f.height - 1 - row) * f.stride;
        ASSERT_TRUE(std::equal(fileRow, fileRow + f.stride, frameRow)) << "file row " << row;
    }
}

TEST_P(StillImages, PngAndTiffDecodeToTheFrameWidenedAsTheirFormatsHoldIt) {
    const Frame &f = frame_;
    const Decoded png = output::test::readPng(save("frame.png", kPng));
    const Decoded tiff = output::test::readTiff(save("frame.tif", kTiff));
    ASSERT_TRUE(png.ok) << png.error;
    ASSERT_TRUE(tiff.ok) << tiff.error;
    for (const Decoded *d : {&png, &tiff}) {
        ASSERT_EQ(d->width, f.width);
        ASSERT_EQ(d->height, f.height);
        ASSERT_EQ(d->channels, f.channels());
        ASSERT_EQ(d->bitDepth, f.bits == 8 || f.bits == 24 || f.bits == 32 ? 8 : 16);
    }
    // 10-bit words are shifted up to fill 16 bits: by 4 in grey, by 6 in colour.
    const int shift = f.bits == 16 ? 4 : (f.bits >= 48 ? 6 : 0);
    int wrong = 0;
    for (int y = 0; y < f.height && wrong < 5; ++y) {
        for (int x = 0; x < f.width; ++x) {
            for (int c = 0; c < std::min(f.channels(), 3); ++c) {
                const std::uint16_t expected =
                    static_cast<std::uint16_t>(f.sample(x, y, c) << shift);
                if (png.at(x, y, c) != expected || tiff.at(x, y, c) != expected) {
                    ADD_FAILURE() << "(" << x << ", " << y << ") channel " << c << ": png "
                                  << png.at(x, y, c) << ", tiff " << tiff.at(x, y, c) << ", frame "
                                  << expected;
                    ++wrong;
                }
            }
            if (f.channels() == 4) {
                // The fourth byte or word is never written (0): PNG makes it opaque, TIFF keeps
                // a fourth sample of 0 (32 bits) or full scale (64 bits).
                const std::uint16_t opaque = f.bits == 32 ? 255 : 65535;
                const std::uint16_t tiffFourth = f.bits == 32 ? 0 : 65535;
                if (png.at(x, y, 3) != opaque || tiff.at(x, y, 3) != tiffFourth) {
                    ADD_FAILURE() << "(" << x << ", " << y << ") fourth: png " << png.at(x, y, 3)
                                  << ", tiff " << tiff.at(x, y, 3);
                    ++wrong;
                }
            }
        }
    }
}

TEST_P(StillImages, JpegDecodesCloseToTheFrameAndLosesMoreAtLowerQuality) {
    double errors[3] = {};
    const int types[3] = {kJpeg100, kJpeg70, kJpeg20};
    for (int i = 0; i < 3; ++i) {
        output::test::JpegInfo info;
        const Decoded d =
            output::test::readJpeg(save("frame" + std::to_string(i) + ".jpg", types[i]), &info);
        ASSERT_TRUE(d.ok) << d.error;
        ASSERT_EQ(d.width, frame_.width);
        ASSERT_EQ(d.height, frame_.height);
        ASSERT_EQ(d.channels, frame_.channels() == 1 ? 1 : 3);
        EXPECT_TRUE(info.progressive);
        errors[i] = meanLumaError(d);
    }
    EXPECT_LT(errors[0], 1.0);
    EXPECT_LT(errors[1], 10.0);
    EXPECT_LT(errors[2], 25.0);
    EXPECT_LT(errors[0], errors[1]);
    EXPECT_LT(errors[1], errors[2]);
}

TEST_P(StillImages, AWideNameSavesTheSameFile) {
    const std::string narrow = save("narrow.png", kPng);
    const std::string folder = session_->dir().path().string();
    const std::wstring wide = std::wstring(folder.begin(), folder.end()) + L"/wide.png";
    EXPECT_EQ(Ostrel_SaveImageW(handle_, wide.c_str(), kPng), 1);
    EXPECT_EQ(readFile(session_->dir().file("wide.png")), readFile(narrow));
    EXPECT_EQ(drainErrors(handle_), std::vector<int>{});
}

INSTANTIATE_TEST_SUITE_P(EveryColorMode, StillImages, ::testing::Range(0, 6),
                         [](const ::testing::TestParamInfo<int> &info) {
                             return std::to_string(bitsOfColorCode(info.param)) + "Bits";
                         });

TEST(StillImageRefusals, SavesThatCannotBeMadeReportWhatTheCallerCanMend) {
    CameraSession session(StreamSettings{});
    const CameraHandle h = session.handle();
    ASSERT_NE(h, 0u);
    (void)drainErrors(h);
    const std::string path = session.dir().file("early.bmp");

    // No frame yet: nothing to save.
    EXPECT_EQ(Ostrel_SaveImage(h, path.c_str(), kBmp), 0);
    EXPECT_EQ(drainErrors(h), std::vector<int>{OSTREL_ERROR_NO_CAMERA});
    EXPECT_FALSE(std::filesystem::exists(path));

    ASSERT_EQ(Ostrel_SnapShot(h, nullptr, 0, 1), 1);
    (void)drainErrors(h);
    // Unknown file types fail without a code and write nothing.
    EXPECT_EQ(Ostrel_SaveImage(h, path.c_str(), 7), 0);
    EXPECT_EQ(Ostrel_SaveImage(h, path.c_str(), -1), 0);
    EXPECT_FALSE(std::filesystem::exists(path));
    // A file that cannot be created: the writer's failure, no code.
    const std::string missing = session.dir().file("no folder/x.png");
    EXPECT_EQ(Ostrel_SaveImage(h, missing.c_str(), kPng), 0);
    EXPECT_EQ(drainErrors(h), std::vector<int>{});

    // A wide name that does not fit the 1024-byte name buffer: code 1, nothing written.
    const std::wstring tooLong(1024, L'n');
    EXPECT_EQ(Ostrel_SaveImageW(h, tooLong.c_str(), kBmp), 0);
    EXPECT_EQ(drainErrors(h), std::vector<int>{OSTREL_ERROR_NO_CAMERA});
    EXPECT_EQ(Ostrel_SaveImageW(h, nullptr, kBmp), 0);
    EXPECT_EQ(drainErrors(h), std::vector<int>{OSTREL_ERROR_NO_CAMERA});
}

TEST(StillImagesWhileStreaming, SavesWhileTheStreamRunsArePicturesOfTheStreamsSize) {
    StreamSettings settings;
    settings.color = 4;  // 48 bits: the slowest conversion, the widest window for a torn frame
    CameraSession session(settings);
    const CameraHandle h = session.handle();
    ASSERT_NE(h, 0u);
    (void)drainErrors(h);
    ASSERT_EQ(Ostrel_StartPreview(h), 1);
    ASSERT_FALSE(session.nextFrame().empty());
    // Every save is one complete picture of the stream's size.
    for (int i = 0; i < 5; ++i) {
        const std::string path = session.dir().file("streamed" + std::to_string(i) + ".tif");
        ASSERT_EQ(Ostrel_SaveImage(h, path.c_str(), kTiff), 1);
        const Decoded d = output::test::readTiff(path);
        ASSERT_TRUE(d.ok) << d.error;
        EXPECT_EQ(d.width, session.width());
        EXPECT_EQ(d.height, session.height());
    }
    EXPECT_EQ(Ostrel_StopPreview(h), 1);
    EXPECT_EQ(drainErrors(h), std::vector<int>{});
}

}  // namespace
}  // namespace ostrel::integration
