// The AVI recording file byte for byte: the header laid down at open, the frame chunks, the index
// and the values patched at close, the unfinished file, the size limit and the no-file writer.
#include <gtest/gtest.h>

#include <cstdio>
#include <numeric>

#include "output/avi_writer.h"
#include "output/test_files.h"

namespace ostrel::output {
namespace {

using test::fourccAt;
using test::hexBytes;
using test::le16;
using test::le32;
using test::readFile;
using test::ScratchDir;

// A 2 × 2 recording opened at 30 frames per second and closed at 2.5 (rate 250), with no frame.
const char *const kEmpty2x2Listing = R"(
    52 49 46 46  E8 00 00 00  41 56 49 20              # RIFF, 232, "AVI "
    4C 49 53 54  C8 00 00 00  68 64 72 6C              # LIST, 200, hdrl
    61 76 69 68  38 00 00 00                           # avih, 56
    80 1A 06 00  90 01 00 00  00 00 00 00  10 00 01 00 # 400000 us, 20*20, 0, flags
    00 00 00 00  00 00 00 00  01 00 00 00  14 00 00 00 # frames 0, initial 0, 1 stream, 20
    02 00 00 00  02 00 00 00                           # 2 x 2
    00 00 00 00  00 00 00 00  00 00 00 00  00 00 00 00 # reserved
    4C 49 53 54  7C 00 00 00  73 74 72 6C              # LIST, 124, strl
    73 74 72 68  40 00 00 00                           # strh, 64
    76 69 64 73  44 49 42 20  00 00 00 00  00 00 00 00 # vids, "DIB ", flags, priority, language
    00 00 00 00  00 09 3D 00  80 96 98 00  00 00 00 00 # initial, scale 4000000, 10000000, start
    00 00 00 00  14 00 00 00  00 00 00 00  00 00 00 00 # length 0, buffer 20, quality, sample
    00 00 00 00  00 00 00 00  00 00 00 00  00 00 00 00 # frame rectangle, rest of strh
    73 74 72 66  28 00 00 00                           # strf, 40
    28 00 00 00  02 00 00 00  02 00 00 00  01 00 18 00 # 40, 2, 2, 1 plane, 24 bits
    00 00 00 00  00 00 00 00  00 00 00 00  00 00 00 00 # compression .. vertical resolution
    00 00 00 00  00 00 00 00                           # colours
    4C 49 53 54  04 00 00 00  6D 6F 76 69              # LIST, 4, movi
    69 64 78 31  00 00 00 00                           # idx1, 0
)";

// The same with one frame of pixels 1..12.
const char *const kOneFrame2x2Listing = R"(
    52 49 46 46  0C 01 00 00  41 56 49 20              # RIFF, 268, "AVI "
    4C 49 53 54  C8 00 00 00  68 64 72 6C
    61 76 69 68  38 00 00 00
    80 1A 06 00  90 01 00 00  00 00 00 00  10 00 01 00
    01 00 00 00  00 00 00 00  01 00 00 00  14 00 00 00 # frames 1
    02 00 00 00  02 00 00 00
    00 00 00 00  00 00 00 00  00 00 00 00  00 00 00 00
    4C 49 53 54  7C 00 00 00  73 74 72 6C
    73 74 72 68  40 00 00 00
    76 69 64 73  44 49 42 20  00 00 00 00  00 00 00 00
    00 00 00 00  00 09 3D 00  80 96 98 00  00 00 00 00
    01 00 00 00  14 00 00 00  00 00 00 00  00 00 00 00 # length 1
    00 00 00 00  00 00 00 00  00 00 00 00  00 00 00 00
    73 74 72 66  28 00 00 00
    28 00 00 00  02 00 00 00  02 00 00 00  01 00 18 00
    00 00 00 00  00 00 00 00  00 00 00 00  00 00 00 00
    00 00 00 00  00 00 00 00
    4C 49 53 54  18 00 00 00  6D 6F 76 69              # LIST, 24, movi
    30 30 64 62  0C 00 00 00                           # 00db, 12
    01 02 03 04  05 06 07 08  09 0A 0B 0C
    69 64 78 31  10 00 00 00                           # idx1, 16
    30 30 64 62  10 00 00 00  04 00 00 00  0C 00 00 00 # 00db, key frame, offset 4, 12
)";

const std::uint8_t kPixels2x2[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};

void prepare(AviWriter &writer, std::int32_t width, std::int32_t height, std::uint32_t fps) {
    writer.setWidth(width);
    writer.setHeight(height);
    writer.setBitCount(24);
    writer.setRate(fps);
    writer.setFrameCount(0);
}

// Writes one frame as the recording does: the owner counts the frames it wrote.
AviFrameResult recordFrame(AviWriter &writer, const std::uint8_t *pixels) {
    const AviFrameResult result = writer.writeFrame(pixels);
    if (result == AviFrameResult::Written) {
        writer.setFrameCount(writer.frameCount() + 1);
    }
    return result;
}

bool finish(AviWriter &writer, std::uint32_t rateHundredths) {
    writer.setRate(rateHundredths);
    return writer.closeRecording();
}

TEST(AviWriterLayout, EmptyRecordingIsTheGolden240ByteFile) {
    ScratchDir dir;
    AviWriter writer;
    prepare(writer, 2, 2, 30);
    ASSERT_TRUE(writer.openRecording(dir.file("empty.avi").c_str()));
    EXPECT_TRUE(writer.isOpen());
    EXPECT_TRUE(finish(writer, 250));
    EXPECT_FALSE(writer.isOpen());

    const auto bytes = readFile(dir.file("empty.avi"));
    ASSERT_EQ(bytes.size(), 240u);
    EXPECT_EQ(bytes, hexBytes(kEmpty2x2Listing));
}

TEST(AviWriterLayout, OneFrameOfTwoByTwoIsTheGoldenFile) {
    ScratchDir dir;
    AviWriter writer;
    prepare(writer, 2, 2, 30);
    ASSERT_TRUE(writer.openRecording(dir.file("one.avi").c_str()));
    EXPECT_EQ(writer.frameBytes(), 12u);
    EXPECT_EQ(recordFrame(writer, kPixels2x2), AviFrameResult::Written);
    EXPECT_EQ(writer.moviSize(), 24u);
    EXPECT_EQ(writer.riffSize(), 244u);  // the index is not counted before close
    EXPECT_TRUE(finish(writer, 250));

    const auto bytes = readFile(dir.file("one.avi"));
    ASSERT_EQ(bytes.size(), 276u);
    EXPECT_EQ(bytes, hexBytes(kOneFrame2x2Listing));
}

TEST(AviWriterLayout, ChunksAndIndexFollowEachOtherForSeveralFrames) {
    ScratchDir dir;
    AviWriter writer;
    prepare(writer, 4, 3, 30);
    ASSERT_TRUE(writer.openRecording(dir.file("three.avi").c_str()));
    const std::uint32_t frame = 4 * 3 * 3;
    std::vector<std::uint8_t> pixels(frame);
    for (int i = 0; i < 3; ++i) {
        std::iota(pixels.begin(), pixels.end(), static_cast<std::uint8_t>(i * 50));
        ASSERT_EQ(recordFrame(writer, pixels.data()), AviFrameResult::Written);
    }
    ASSERT_TRUE(finish(writer, 3000));

    const auto bytes = readFile(dir.file("three.avi"));
    const std::size_t chunk = 8 + frame;
    ASSERT_EQ(bytes.size(), 232 + 3 * chunk + 8 + 3 * 16);
    EXPECT_EQ(le32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(le32(bytes, 224), 4 + 3 * chunk);
    EXPECT_EQ(le32(bytes, 48), 3u);
    EXPECT_EQ(le32(bytes, 140), 3u);
    EXPECT_EQ(le32(bytes, 32), 33333u);    // 100,000,000 / 3000
    EXPECT_EQ(le32(bytes, 128), 333333u);  // 1,000,000,000 / 3000
    for (std::size_t i = 0; i < 3; ++i) {
        const std::size_t at = 232 + i * chunk;
        EXPECT_EQ(fourccAt(bytes, at), "00db");
        EXPECT_EQ(le32(bytes, at + 4), frame);
        EXPECT_EQ(bytes[at + 8], i * 50);
        EXPECT_EQ(bytes[at + 8 + frame - 1], static_cast<std::uint8_t>(i * 50 + frame - 1));
    }
    const std::size_t index = 232 + 3 * chunk;
    EXPECT_EQ(fourccAt(bytes, index), "idx1");
    EXPECT_EQ(le32(bytes, index + 4), 48u);
    for (std::size_t i = 0; i < 3; ++i) {
        const std::size_t entry = index + 8 + 16 * i;
        EXPECT_EQ(fourccAt(bytes, entry), "00db");
        EXPECT_EQ(le32(bytes, entry + 4), 0x10u);
        EXPECT_EQ(le32(bytes, entry + 8), 4 + i * chunk);
        EXPECT_EQ(le32(bytes, entry + 12), frame);
    }
}

TEST(AviWriterLayout, FullSensorSizeHeaderCarriesTheBufferSizeAndMeasuredRate) {
    ScratchDir dir;
    AviWriter writer;
    prepare(writer, 6576, 4384, 30);
    ASSERT_TRUE(writer.openRecording(dir.file("full.avi").c_str()));
    EXPECT_EQ(writer.frameBytes(), 86'487'552u);
    ASSERT_TRUE(finish(writer, 250));

    const auto bytes = readFile(dir.file("full.avi"));
    ASSERT_EQ(bytes.size(), 240u);
    EXPECT_EQ(le32(bytes, 36), 171'909'184u);  // 86,487,560 squared, kept to 32 bits
    EXPECT_EQ(le32(bytes, 60), 86'487'560u);
    EXPECT_EQ(le32(bytes, 144), 86'487'560u);
    EXPECT_EQ(le32(bytes, 64), 6576u);
    EXPECT_EQ(le32(bytes, 68), 4384u);
    EXPECT_EQ(le32(bytes, 184), 6576u);
    EXPECT_EQ(le32(bytes, 188), 4384u);
    EXPECT_EQ(le32(bytes, 32), 400'000u);
    EXPECT_EQ(le32(bytes, 128), 4'000'000u);
    EXPECT_EQ(le32(bytes, 132), 10'000'000u);
}

TEST(AviWriterLayout, BitCountHasNoEffectOnTheStream) {
    ScratchDir dir;
    AviWriter writer;
    prepare(writer, 2, 2, 30);
    writer.setBitCount(8);
    ASSERT_TRUE(writer.openRecording(dir.file("eight.avi").c_str()));
    EXPECT_EQ(writer.frameBytes(), 12u);
    EXPECT_EQ(recordFrame(writer, kPixels2x2), AviFrameResult::Written);
    ASSERT_TRUE(finish(writer, 250));
    EXPECT_EQ(readFile(dir.file("eight.avi")), hexBytes(kOneFrame2x2Listing));
}

TEST(AviWriterRates, ZeroRatesAreWrittenAsTheSmallestRateNeverAsADivisor) {
    ScratchDir dir;
    AviWriter writer;
    prepare(writer, 2, 2, 0);
    ASSERT_TRUE(writer.openRecording(dir.file("slow.avi").c_str()));
    EXPECT_EQ(recordFrame(writer, kPixels2x2), AviFrameResult::Written);
    writer.reset();  // leave the provisional header to look at
    auto bytes = readFile(dir.file("slow.avi"));
    EXPECT_EQ(le32(bytes, 32), 1'000'000u);  // as 1 frame per second
    EXPECT_EQ(le32(bytes, 128), 10'000'000u);

    prepare(writer, 2, 2, 30);
    ASSERT_TRUE(writer.openRecording(dir.file("slow.avi").c_str()));
    EXPECT_EQ(recordFrame(writer, kPixels2x2), AviFrameResult::Written);
    EXPECT_TRUE(finish(writer, 0));  // less than one frame per 100 seconds measures as 0
    bytes = readFile(dir.file("slow.avi"));
    EXPECT_EQ(le32(bytes, 32), 100'000'000u);  // as 0.01 frames per second
    EXPECT_EQ(le32(bytes, 128), 1'000'000'000u);
    EXPECT_EQ(le32(bytes, 132), 10'000'000u);
    EXPECT_EQ(le32(bytes, 48), 1u);
}

TEST(AviWriterLifecycle, ResetLeavesTheProvisionalHeaderAndNoIndex) {
    ScratchDir dir;
    AviWriter writer;
    prepare(writer, 2, 2, 30);
    ASSERT_TRUE(writer.openRecording(dir.file("cut.avi").c_str()));
    EXPECT_EQ(recordFrame(writer, kPixels2x2), AviFrameResult::Written);
    writer.reset();
    EXPECT_FALSE(writer.isOpen());
    EXPECT_EQ(writer.indexEntries(), 0u);
    EXPECT_EQ(writer.riffSize(), 0u);

    const auto bytes = readFile(dir.file("cut.avi"));
    ASSERT_EQ(bytes.size(), 232u + 20u);
    EXPECT_EQ(le32(bytes, 4), 0u);          // RIFF size not yet patched
    EXPECT_EQ(le32(bytes, 224), 0u);        // movi size not yet patched
    EXPECT_EQ(le32(bytes, 48), 0u);         // frames as at open
    EXPECT_EQ(le32(bytes, 32), 33'333u);    // 1,000,000 / 30
    EXPECT_EQ(le32(bytes, 128), 333'333u);  // 10,000,000 / 30
    EXPECT_EQ(fourccAt(bytes, 232), "00db");
}

TEST(AviWriterLifecycle, SecondOpenDropsTheFirstFileUnfinishedAndStartsAfresh) {
    ScratchDir dir;
    AviWriter writer;
    prepare(writer, 2, 2, 30);
    ASSERT_TRUE(writer.openRecording(dir.file("first.avi").c_str()));
    EXPECT_EQ(recordFrame(writer, kPixels2x2), AviFrameResult::Written);
    writer.setFrameCount(0);
    ASSERT_TRUE(writer.openRecording(dir.file("second.avi").c_str()));
    EXPECT_EQ(writer.indexEntries(), 0u);
    EXPECT_EQ(recordFrame(writer, kPixels2x2), AviFrameResult::Written);
    ASSERT_TRUE(finish(writer, 250));

    EXPECT_EQ(readFile(dir.file("first.avi")).size(), 252u);
    EXPECT_EQ(le32(readFile(dir.file("first.avi")), 4), 0u);
    EXPECT_EQ(readFile(dir.file("second.avi")), hexBytes(kOneFrame2x2Listing));
}

TEST(AviWriterLifecycle, StoppedRecordingIsFinishedWithEveryFrameItWrote) {
    // A recording interrupted after two frames is closed by its owner with the rate so far.
    ScratchDir dir;
    AviWriter writer;
    prepare(writer, 2, 2, 30);
    ASSERT_TRUE(writer.openRecording(dir.file("stopped.avi").c_str()));
    EXPECT_EQ(recordFrame(writer, kPixels2x2), AviFrameResult::Written);
    EXPECT_EQ(recordFrame(writer, kPixels2x2), AviFrameResult::Written);
    ASSERT_TRUE(writer.isOpen());
    ASSERT_TRUE(finish(writer, 150));

    const auto bytes = readFile(dir.file("stopped.avi"));
    ASSERT_EQ(bytes.size(), 232u + 2 * 20 + 8 + 2 * 16);
    EXPECT_EQ(le32(bytes, 48), 2u);
    EXPECT_EQ(le32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(fourccAt(bytes, 272), "idx1");
    EXPECT_EQ(le32(bytes, 272 + 8 + 16 + 8), 24u);  // second frame's chunk offset
}

TEST(AviWriterLifecycle, ExistingFileIsTruncated) {
    ScratchDir dir;
    test::writeFile(dir.file("old.avi"), std::vector<std::uint8_t>(5000, 0xEE));
    AviWriter writer;
    prepare(writer, 2, 2, 30);
    ASSERT_TRUE(writer.openRecording(dir.file("old.avi").c_str()));
    ASSERT_TRUE(finish(writer, 250));
    EXPECT_EQ(readFile(dir.file("old.avi")), hexBytes(kEmpty2x2Listing));
}

TEST(AviWriterLifecycle, DestroyingAnOpenWriterClosesItsFile) {
    ScratchDir dir;
    {
        AviWriter writer;
        prepare(writer, 2, 2, 30);
        ASSERT_TRUE(writer.openRecording(dir.file("dropped.avi").c_str()));
        EXPECT_EQ(recordFrame(writer, kPixels2x2), AviFrameResult::Written);
    }
    // The file is closed: it can be removed and its frame reached the disk.
    EXPECT_EQ(readFile(dir.file("dropped.avi")).size(), 252u);
    EXPECT_TRUE(std::filesystem::remove(dir.file("dropped.avi")));
}

#if defined(_WIN32)
TEST(AviWriterLifecycle, RecordingFileIsNotSharedWhileOpen) {
    ScratchDir dir;
    const std::string path = dir.file("busy.avi");
    AviWriter writer;
    prepare(writer, 2, 2, 30);
    ASSERT_TRUE(writer.openRecording(path.c_str()));
    EXPECT_FALSE(std::ifstream(path, std::ios::binary).is_open());
    ASSERT_TRUE(finish(writer, 250));
    EXPECT_TRUE(std::ifstream(path, std::ios::binary).is_open());
}
#endif

TEST(AviWriterFailures, MissingFolderFailsAndLeavesNothingOpen) {
    ScratchDir dir;
    AviWriter writer;
    prepare(writer, 2, 2, 30);
    EXPECT_FALSE(writer.openRecording(dir.file("no-such-folder/x.avi").c_str()));
    EXPECT_FALSE(writer.isOpen());
    EXPECT_FALSE(writer.openRecording(nullptr));
    EXPECT_FALSE(writer.openRecording(""));
    EXPECT_FALSE(std::filesystem::exists(dir.file("no-such-folder")));
}

TEST(AviWriterFailures, WithoutAFileFramesAreCountedButNothingIsWritten) {
    AviWriter writer;
    prepare(writer, 2, 2, 30);
    EXPECT_EQ(writer.writeFrame(kPixels2x2), AviFrameResult::NoFile);
    EXPECT_EQ(writer.writeFrame(kPixels2x2), AviFrameResult::NoFile);
    EXPECT_EQ(writer.indexEntries(), 2u);
    EXPECT_FALSE(writer.closeRecording());
    EXPECT_EQ(writer.indexEntries(), 0u);
    EXPECT_EQ(writer.riffSize(), 0u);
}

TEST(AviWriterFailures, UnusableSizesAreRefusedAtOpen) {
    ScratchDir dir;
    AviWriter writer;
    prepare(writer, 0, 2, 30);
    EXPECT_FALSE(writer.openRecording(dir.file("a.avi").c_str()));
    prepare(writer, 2, -2, 30);
    EXPECT_FALSE(writer.openRecording(dir.file("a.avi").c_str()));
    prepare(writer, 65536, 65536, 30);  // 12 GiB per frame: no chunk size holds it
    EXPECT_FALSE(writer.openRecording(dir.file("a.avi").c_str()));
    EXPECT_FALSE(writer.isOpen());
}

TEST(AviWriterSizeLimit, FrameThatWouldPassTheLimitIsRefusedAndTheFileStaysWhole) {
    ScratchDir dir;
    // Exactly room for one 2 × 2 frame: the finished file's RIFF size is 268.
    AviWriter writer(268);
    prepare(writer, 2, 2, 30);
    ASSERT_TRUE(writer.openRecording(dir.file("limit.avi").c_str()));
    EXPECT_EQ(recordFrame(writer, kPixels2x2), AviFrameResult::Written);
    EXPECT_EQ(recordFrame(writer, kPixels2x2), AviFrameResult::SizeLimit);
    EXPECT_EQ(recordFrame(writer, kPixels2x2), AviFrameResult::SizeLimit);
    EXPECT_EQ(writer.indexEntries(), 1u);
    EXPECT_EQ(writer.frameCount(), 1u);
    ASSERT_TRUE(finish(writer, 250));
    EXPECT_EQ(readFile(dir.file("limit.avi")), hexBytes(kOneFrame2x2Listing));

    AviWriter tight(267);  // one byte short: not even the first frame fits
    prepare(tight, 2, 2, 30);
    ASSERT_TRUE(tight.openRecording(dir.file("tight.avi").c_str()));
    EXPECT_EQ(recordFrame(tight, kPixels2x2), AviFrameResult::SizeLimit);
    ASSERT_TRUE(finish(tight, 250));
    EXPECT_EQ(readFile(dir.file("tight.avi")), hexBytes(kEmpty2x2Listing));
}

#if defined(__linux__)
const char *const kNullDevice = "/dev/null";
#elif defined(_WIN32)
const char *const kNullDevice = "NUL";
#endif

TEST(AviWriterSizeLimit, FullSizeRecordingStopsBeforeFourGibibytes) {
    // Forty-nine full frames and their index fit the 32-bit RIFF size, the fiftieth would not.
    // Written to the null device, so no disk space is used.
    std::vector<std::uint8_t> frame(6576u * 4384u * 3u);
    AviWriter writer;
    prepare(writer, 6576, 4384, 30);
    ASSERT_TRUE(writer.openRecording(kNullDevice));
    for (int i = 0; i < 49; ++i) {
        ASSERT_EQ(recordFrame(writer, frame.data()), AviFrameResult::Written) << "frame " << i;
    }
    EXPECT_EQ(recordFrame(writer, frame.data()), AviFrameResult::SizeLimit);
    EXPECT_EQ(writer.riffSize(), 224u + 49u * 86'487'560u);
    EXPECT_EQ(writer.moviSize(), 4u + 49u * 86'487'560u);
    EXPECT_TRUE(finish(writer, 250));
}

#if defined(__linux__)
TEST(AviWriterFailures, FrameTheDiskDoesNotTakeIsReportedAndNotCounted) {
    AviWriter writer;
    prepare(writer, 800, 600, 30);  // larger than the stream buffer: the write reaches the device
    ASSERT_TRUE(writer.openRecording("/dev/full"));
    std::vector<std::uint8_t> frame(writer.frameBytes(), 7);
    EXPECT_EQ(recordFrame(writer, frame.data()), AviFrameResult::WriteFailed);
    EXPECT_EQ(writer.indexEntries(), 0u);
    EXPECT_EQ(writer.frameCount(), 0u);
    EXPECT_EQ(writer.riffSize(), 224u);
    EXPECT_FALSE(finish(writer, 250));
    EXPECT_FALSE(writer.isOpen());
}
#endif

}  // namespace
}  // namespace ostrel::output
