// The bytes of the files written directly or without compression: the BMP headers, colour table
// and bottom-up rows, the raw dump with its padding, and the TIFF strip without padding.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "output/decoders.h"
#include "output/save_image.h"
#include "output/test_files.h"
#include "output/test_images.h"

namespace ostrel::output {
namespace {

using test::hexBytes;
using test::le16;
using test::le32;
using test::readFile;
using test::ScratchDir;

constexpr std::int32_t kBmp = static_cast<std::int32_t>(ImageFileType::Bmp);
constexpr std::int32_t kRaw = static_cast<std::int32_t>(ImageFileType::Raw);
constexpr std::int32_t kTiff = static_cast<std::int32_t>(ImageFileType::Tiff);

// Marks every padding byte at the end of each row, to see whether a file carries them.
void markPadding(imaging::DibImage &image, std::uint8_t mark) {
    const int used = image.width() * image.bytesPerPixel();
    for (int y = 0; y < image.height(); ++y) {
        for (int i = used; i < image.stride(); ++i) {
            image.row(y)[i] = static_cast<std::uint8_t>(mark + y);
        }
    }
}

std::vector<std::uint8_t> memoryRow(const imaging::DibImage &image, int row) {
    return {image.row(row), image.row(row) + image.stride()};
}

std::vector<std::uint8_t> fileSlice(const std::vector<std::uint8_t> &bytes, std::size_t at,
                                    std::size_t count) {
    return {bytes.begin() + static_cast<std::ptrdiff_t>(at),
            bytes.begin() + static_cast<std::ptrdiff_t>(at + count)};
}

TEST(BmpFile, TwentyFourBitHeaderIsExactAndRowsGoBottomFirstWithTheirPadding) {
    ScratchDir dir;
    imaging::DibImage image;
    ASSERT_TRUE(test::makePattern(image, 3, 2, 24));
    ASSERT_EQ(image.stride(), 12);
    markPadding(image, 0xA0);
    const std::string path = dir.file("rgb.bmp");
    ASSERT_EQ(saveImage(path.c_str(), image, kBmp), SaveResult::Saved);

    const auto bytes = readFile(path);
    ASSERT_EQ(bytes.size(), 54u + 2 * 12);
    EXPECT_EQ(fileSlice(bytes, 0, 54), hexBytes(R"(
        42 4D  4E 00 00 00  00 00  00 00  36 00 00 00   # BM, 78 bytes, reserved, data at 54
        28 00 00 00  03 00 00 00  02 00 00 00  01 00  18 00  # 40, 3 x 2, 1 plane, 24 bits
        00 00 00 00  00 00 00 00  00 00 00 00  00 00 00 00  00 00 00 00  00 00 00 00
    )"));
    EXPECT_EQ(fileSlice(bytes, 54, 12), memoryRow(image, 1));  // bottom of the picture first
    EXPECT_EQ(fileSlice(bytes, 66, 12), memoryRow(image, 0));
}

TEST(BmpFile, EightBitFileHasTheGreyTableAndDataAt1078) {
    ScratchDir dir;
    imaging::DibImage image;
    ASSERT_TRUE(test::makePattern(image, 5, 3, 8));
    ASSERT_EQ(image.stride(), 8);
    markPadding(image, 0xC0);
    const std::string path = dir.file("grey.bmp");
    ASSERT_EQ(saveImage(path.c_str(), image, kBmp), SaveResult::Saved);

    const auto bytes = readFile(path);
    ASSERT_EQ(bytes.size(), 1078u + 3 * 8);
    EXPECT_EQ(le32(bytes, 2), 1102u);
    EXPECT_EQ(le32(bytes, 10), 1078u);
    EXPECT_EQ(le32(bytes, 14), 40u);
    EXPECT_EQ(le32(bytes, 18), 5u);
    EXPECT_EQ(le32(bytes, 22), 3u);
    EXPECT_EQ(le16(bytes, 26), 1u);
    EXPECT_EQ(le16(bytes, 28), 8u);
    for (std::size_t at = 30; at < 54; ++at) {
        EXPECT_EQ(bytes[at], 0) << "header byte " << at;
    }
    for (int i = 0; i < 256; ++i) {
        const std::size_t at = 54 + 4 * static_cast<std::size_t>(i);
        EXPECT_EQ(fileSlice(bytes, at, 4),
                  (std::vector<std::uint8_t>{std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0}))
            << "colour " << i;
    }
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(fileSlice(bytes, 1078 + 8 * static_cast<std::size_t>(row), 8),
                  memoryRow(image, 2 - row))
            << "file row " << row;
    }
}

TEST(BmpFile, WideFormatsKeepTheirBitCountAndHaveNoColourTable) {
    ScratchDir dir;
    for (std::uint16_t bits : {16, 32, 48, 64}) {
        imaging::DibImage image;
        ASSERT_TRUE(test::makePattern(image, 3, 2, bits));
        const std::string path = dir.file("wide.bmp");
        ASSERT_EQ(saveImage(path.c_str(), image, kBmp), SaveResult::Saved);
        const auto bytes = readFile(path);
        const std::size_t stride = static_cast<std::size_t>(image.stride());
        ASSERT_EQ(bytes.size(), 54 + 2 * stride) << bits;
        EXPECT_EQ(le32(bytes, 2), 54 + 2 * stride);
        EXPECT_EQ(le32(bytes, 10), 54u);
        EXPECT_EQ(le16(bytes, 28), bits);
        EXPECT_EQ(fileSlice(bytes, 54, stride), memoryRow(image, 1)) << bits;
        EXPECT_EQ(fileSlice(bytes, 54 + stride, stride), memoryRow(image, 0)) << bits;
    }
}

TEST(BmpFile, FullSensorFrameGivesHeadersPlusEveryPaddedRow) {
    ScratchDir dir;
    imaging::DibImage image;
    ASSERT_TRUE(image.create(6576, 4384, 24));
    ASSERT_EQ(image.stride(), 19728);
    image.row(0)[0] = 0x5A;  // top-left pixel: the first byte of the file's last row
    const std::string path = dir.file("full.bmp");
    ASSERT_EQ(saveImage(path.c_str(), image, kBmp), SaveResult::Saved);

    const std::uint64_t expected = 54 + 4384ull * 19728;
    EXPECT_EQ(std::filesystem::file_size(path), expected);
    std::vector<std::uint8_t> head(54);
    std::uint8_t lastRowFirstByte = 0;
    {
        std::ifstream in(path, std::ios::binary);
        in.read(reinterpret_cast<char *>(head.data()), 54);
        in.seekg(static_cast<std::streamoff>(expected - 19728));
        in.read(reinterpret_cast<char *>(&lastRowFirstByte), 1);
    }
    EXPECT_EQ(le32(head, 2), expected);
    EXPECT_EQ(le32(head, 10), 54u);
    EXPECT_EQ(le32(head, 18), 6576u);
    EXPECT_EQ(le32(head, 22), 4384u);
    EXPECT_EQ(lastRowFirstByte, 0x5A);
}

TEST(BmpFile, ExistingLongerFileIsTruncated) {
    ScratchDir dir;
    const std::string path = dir.file("old.bmp");
    test::writeFile(path, std::vector<std::uint8_t>(10000, 0x77));
    imaging::DibImage image;
    ASSERT_TRUE(test::makePattern(image, 3, 2, 24));
    ASSERT_EQ(saveImage(path.c_str(), image, kBmp), SaveResult::Saved);
    EXPECT_EQ(readFile(path).size(), 78u);
}

TEST(RawFile, RowsKeepTheirPaddingAndMemoryOrder) {
    ScratchDir dir;
    imaging::DibImage image;
    ASSERT_TRUE(test::makePattern(image, 822, 2, 8));
    ASSERT_EQ(image.stride(), 824);
    markPadding(image, 0xE0);
    const std::string path = dir.file("dump.raw");
    ASSERT_EQ(saveImage(path.c_str(), image, kRaw), SaveResult::Saved);
    const auto bytes = readFile(path);
    ASSERT_EQ(bytes.size(), 2u * 824);
    EXPECT_EQ(fileSlice(bytes, 0, 824), memoryRow(image, 0));  // top row first
    EXPECT_EQ(fileSlice(bytes, 824, 824), memoryRow(image, 1));
    EXPECT_EQ(bytes[822], 0xE0);
    EXPECT_EQ(bytes[824 + 823], 0xE1);
}

TEST(RawFile, SixteenBitSamplesStayLittleEndianWords) {
    ScratchDir dir;
    imaging::DibImage image;
    ASSERT_TRUE(image.create(3, 2, 16));
    test::fillImage(image, [](int x, int y, int) { return std::uint16_t(0x0300 + x + 16 * y); });
    const std::string path = dir.file("words.raw");
    test::writeFile(path, std::vector<std::uint8_t>(100, 1));  // truncated by the save
    ASSERT_EQ(saveImage(path.c_str(), image, kRaw), SaveResult::Saved);
    EXPECT_EQ(readFile(path), hexBytes("00 03 01 03 02 03 00 00   10 03 11 03 12 03 00 00"));
}

TEST(TiffFile, RowsAreWrittenWithoutPaddingInOneStrip) {
    ScratchDir dir;
    imaging::DibImage image;
    ASSERT_TRUE(test::makePattern(image, 822, 3, 8));
    markPadding(image, 0xE0);
    const std::string path = dir.file("grey.tif");
    ASSERT_EQ(saveImage(path.c_str(), image, kTiff), SaveResult::Saved);

    test::TiffInfo info;
    const auto decoded = test::readTiff(path, &info);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(decoded.width, 822);
    EXPECT_EQ(decoded.height, 3);
    EXPECT_EQ(info.strips, 1u);
    EXPECT_EQ(info.firstStripBytes, 822u * 3);
    EXPECT_EQ(info.compression, 1);
    EXPECT_EQ(info.planar, 1);
    EXPECT_EQ(info.photometric, 1);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 822; ++x) {
            ASSERT_EQ(decoded.at(x, y, 0), test::sampleAt(image, x, y, 0)) << x << "," << y;
        }
    }
    // The rows follow each other in the file with nothing between them.
    const auto bytes = readFile(path);
    const std::vector<std::uint8_t> twoRows = [&] {
        std::vector<std::uint8_t> v(image.row(0), image.row(0) + 822);
        v.insert(v.end(), image.row(1), image.row(1) + 822);
        return v;
    }();
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), twoRows.begin(), twoRows.end()), bytes.end());
}

}  // namespace
}  // namespace ostrel::output
