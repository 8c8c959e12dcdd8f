// The recorder on its own: frames that the test converts into an output image itself, a clock the
// test sets, and the AVI file read back field by field.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "context/context_thread.h"
#include "context/recording_control.h"
#include "imaging/dib_image.h"
#include "output/test_files.h"

namespace ostrel::context {
namespace {

using imaging::DibImage;
using output::test::fourccAt;
using output::test::le32;
using output::test::readFile;
using output::test::ScratchDir;

constexpr std::size_t kHeaderBytes = 232;  // up to the first frame chunk
constexpr std::size_t kMicroSecPerFrameAt = 32;
constexpr std::size_t kTotalFramesAt = 48;
constexpr std::size_t kStreamScaleAt = 128;
constexpr std::size_t kStreamLengthAt = 140;
constexpr std::size_t kMoviSizeAt = 224;

// A clock the test moves by hand.
struct ManualClock {
    std::atomic<std::uint32_t> ms{0};
    RecordingClock function() {
        return [this] { return ms.load(); };
    }
};

// The capture side of the test: an output image, its frame lock and the recorder it feeds.
class RecorderTest : public ::testing::Test {
protected:
    RecordingOptions options(std::uint64_t maxRiffSize = output::AviWriter::kMaxRiffSize) {
        RecordingOptions o;
        o.clock = clock.function();
        o.pollMs = 1;
        o.maxRiffSize = maxRiffSize;
        return o;
    }

    RecordingControl::ErrorSink sink() {
        return [this](ErrorCode code) {
            std::lock_guard<std::mutex> lock(codesMutex);
            codes.push_back(static_cast<std::int32_t>(code));
        };
    }
    std::vector<std::int32_t> reportedCodes() {
        std::lock_guard<std::mutex> lock(codesMutex);
        return codes;
    }

    // A 24-bit picture whose pixel (x, y) (y = 0 the top row) holds the bytes of pixelOf.
    static std::uint8_t pixelOf(int frame, int x, int y, int channel) {
        return static_cast<std::uint8_t>(frame * 50 + x * 7 + y * 13 + channel * 3 + 1);
    }
    void makeImage(int width, int height) { ASSERT_TRUE(image.create(width, height, 24)); }
    void paint(int frame) {
        std::lock_guard<std::mutex> lock(frameLock);
        for (int y = 0; y < image.height(); ++y) {
            std::uint8_t *row = image.row(y);
            for (int x = 0; x < image.width(); ++x) {
                for (int c = 0; c < 3; ++c) {
                    row[x * 3 + c] = pixelOf(frame, x, y, c);
                }
            }
        }
    }

    // Converts a frame as the capture thread would, at the given time, and waits until the
    // recorder has taken it (or has ended).
    void feed(RecordingControl &recorder, int frame, std::uint32_t atMs) {
        clock.ms.store(atMs);
        const std::uint32_t before = recorder.framesWritten();
        paint(frame);
        recorder.frameConverted();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (recorder.framesWritten() == before && recorder.isRecording() &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    // The bytes a recorded frame must hold: blue, green, red, bottom row of the picture first,
    // rows packed.
    std::vector<std::uint8_t> expectedFrame(int frame) const {
        std::vector<std::uint8_t> bytes;
        for (int y = image.height() - 1; y >= 0; --y) {
            for (int x = 0; x < image.width(); ++x) {
                for (int c = 0; c < 3; ++c) {
                    bytes.push_back(pixelOf(frame, x, y, c));
                }
            }
        }
        return bytes;
    }

    std::uint32_t frameBytes() const {
        return static_cast<std::uint32_t>(image.width() * image.height() * 3);
    }

    // Checks that the file is a finished recording of the given frames at the given rate.
    void expectFinishedFile(const std::string &path, const std::vector<int> &frames,
                            std::uint32_t rate) {
        const std::vector<std::uint8_t> file = readFile(path);
        const std::uint32_t f = frameBytes();
        const std::size_t count = frames.size();
        const std::size_t indexAt = kHeaderBytes + count * (8 + f);
        ASSERT_EQ(file.size(), indexAt + 8 + 16 * count);
        EXPECT_EQ(le32(file, 4), file.size() - 8);
        EXPECT_EQ(le32(file, kMoviSizeAt), 4 + count * (8 + f));
        EXPECT_EQ(le32(file, kTotalFramesAt), count);
        EXPECT_EQ(le32(file, kStreamLengthAt), count);
        EXPECT_EQ(le32(file, kMicroSecPerFrameAt), 100'000'000u / rate);
        EXPECT_EQ(le32(file, kStreamScaleAt), 1'000'000'000u / rate);
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t chunk = kHeaderBytes + i * (8 + f);
            EXPECT_EQ(fourccAt(file, chunk), "00db");
            EXPECT_EQ(le32(file, chunk + 4), f);
            const std::vector<std::uint8_t> pixels(file.begin() + chunk + 8,
                                                   file.begin() + chunk + 8 + f);
            EXPECT_EQ(pixels, expectedFrame(frames[i])) << "frame " << i;
            EXPECT_EQ(le32(file, indexAt + 8 + 16 * i + 8), 4 + i * (8 + f));
        }
        EXPECT_EQ(fourccAt(file, indexAt), "idx1");
        EXPECT_EQ(le32(file, indexAt + 4), 16 * count);
    }

    ScratchDir dir;
    ManualClock clock;
    DibImage image;
    std::mutex frameLock;
    std::mutex codesMutex;
    std::vector<std::int32_t> codes;
};

TEST(RecordingClosingRate, IsHundredthsOfAFramePerSecondAndNeverZero) {
    EXPECT_EQ(RecordingControl::closingRate(52, 5100), 1019u);
    EXPECT_EQ(RecordingControl::closingRate(3, 200), 1500u);
    // Fewer than one frame per 100 seconds: the smallest rate, never a zero divisor.
    EXPECT_EQ(RecordingControl::closingRate(1, 100'001), 1u);
    EXPECT_EQ(RecordingControl::closingRate(2, 200'001), 1u);
    // Long recordings: frames × 100000 no longer fits 32 bits.
    EXPECT_EQ(RecordingControl::closingRate(50'000, 2'000'000), 2500u);
    EXPECT_EQ(RecordingControl::closingRate(0xFFFFFFFFu, 1), 0xFFFFFFFFu);
    // Nothing measured: the nominal 30 frames per second.
    EXPECT_EQ(RecordingControl::closingRate(0, 1000), 3000u);
    EXPECT_EQ(RecordingControl::closingRate(4, 0), 3000u);
}

TEST_F(RecorderTest, EndsWhenTheDurationHasPassedAndFinishesTheFile) {
    makeImage(5, 3);  // rows of 15 bytes, padded to 16 in the image, packed in the file
    const std::string path = dir.file("duration.avi");
    RecordingControl recorder(options());
    // The clock wraps during the recording: the duration counts by unsigned difference.
    clock.ms.store(0xFFFFFFC0u);
    ASSERT_EQ(recorder.start(path.c_str(), 250, image, frameLock, sink()), RecordingStart::Started);
    EXPECT_TRUE(recorder.isRecording());
    feed(recorder, 0, 0xFFFFFFC0u);  // the first frame starts the clock
    feed(recorder, 1, 0xFFFFFFC0u + 100);
    feed(recorder, 2, 0xFFFFFFC0u + 200);
    feed(recorder, 3, 0xFFFFFFC0u + 250);  // not yet past the duration
    EXPECT_TRUE(recorder.isRecording());
    feed(recorder, 4, 0xFFFFFFC0u + 300);  // past it: this frame is the last
    recorder.waitUntilEnded();
    EXPECT_FALSE(recorder.isRecording());

    const RecordingSummary summary = recorder.lastRecording();
    EXPECT_EQ(summary.end, RecordingEnd::DurationPassed);
    EXPECT_EQ(summary.frames, 5u);
    EXPECT_EQ(summary.rate, 5u * 100'000 / 300);
    EXPECT_TRUE(summary.finished);
    expectFinishedFile(path, {0, 1, 2, 3, 4}, 5 * 100'000 / 300);

    // Frames converted after the end reach no file.
    paint(5);
    recorder.frameConverted();
    recorder.stop();
    EXPECT_EQ(recorder.lastRecording().frames, 5u);
    expectFinishedFile(path, {0, 1, 2, 3, 4}, 5 * 100'000 / 300);
    EXPECT_TRUE(reportedCodes().empty());
}

TEST_F(RecorderTest, ARecordingTooSlowToMeasureStillGetsANonZeroRate) {
    makeImage(4, 2);
    const std::string path = dir.file("slow.avi");
    RecordingControl recorder(options());
    ASSERT_EQ(recorder.start(path.c_str(), 100'000, image, frameLock, sink()),
              RecordingStart::Started);
    feed(recorder, 0, 1000);
    feed(recorder, 1, 1000 + 200'001);  // two frames in 200 s: 0.01 frames per second
    recorder.waitUntilEnded();
    EXPECT_EQ(recorder.lastRecording().rate, 1u);
    expectFinishedFile(path, {0, 1}, 1);
}

TEST_F(RecorderTest, AnEarlyStopFinishesTheFileWithTheRateMeasuredSoFar) {
    makeImage(5, 3);
    const std::string path = dir.file("stopped.avi");
    RecordingControl recorder(options());
    ASSERT_EQ(recorder.start(path.c_str(), 60'000, image, frameLock, sink()),
              RecordingStart::Started);
    feed(recorder, 0, 1000);
    feed(recorder, 1, 1040);
    feed(recorder, 2, 1080);
    clock.ms.store(1200);
    recorder.stop();
    EXPECT_FALSE(recorder.isRecording());
    const RecordingSummary summary = recorder.lastRecording();
    EXPECT_EQ(summary.end, RecordingEnd::Stopped);
    EXPECT_EQ(summary.frames, 3u);
    EXPECT_EQ(summary.rate, 1500u);
    EXPECT_TRUE(summary.finished);
    expectFinishedFile(path, {0, 1, 2}, 1500);
    EXPECT_TRUE(reportedCodes().empty());
}

TEST_F(RecorderTest, AStopBeforeAnyFrameLeavesAnEmptyFinishedRecording) {
    makeImage(6, 4);
    const std::string path = dir.file("empty.avi");
    {
        RecordingControl recorder(options());
        ASSERT_EQ(recorder.start(path.c_str(), 5000, image, frameLock, sink()),
                  RecordingStart::Started);
        // Destroyed while recording: the destructor stops and finishes.
    }
    const std::vector<std::uint8_t> file = readFile(path);
    ASSERT_EQ(file.size(), 240u);
    EXPECT_EQ(le32(file, 4), 232u);
    EXPECT_EQ(le32(file, kMoviSizeAt), 4u);
    expectFinishedFile(path, {}, RecordingControl::kNominalClosingRate);
}

TEST_F(RecorderTest, TheSizeLimitEndsTheRecordingWithEveryFrameBeforeIt) {
    makeImage(5, 3);  // 53-byte chunks: the finished file holds two within a RIFF size of 400
    const std::string path = dir.file("limit.avi");
    RecordingControl recorder(options(400));
    ASSERT_EQ(recorder.start(path.c_str(), 60'000, image, frameLock, sink()),
              RecordingStart::Started);
    feed(recorder, 0, 1000);
    feed(recorder, 1, 1100);
    feed(recorder, 2, 1200);  // refused: the file would pass the limit
    recorder.waitUntilEnded();
    EXPECT_FALSE(recorder.isRecording());
    const RecordingSummary summary = recorder.lastRecording();
    EXPECT_EQ(summary.end, RecordingEnd::SizeLimit);
    EXPECT_EQ(summary.frames, 2u);
    EXPECT_EQ(summary.rate, 2u * 100'000 / 200);
    EXPECT_TRUE(summary.finished);
    expectFinishedFile(path, {0, 1}, 1000);
    EXPECT_TRUE(reportedCodes().empty());

    // The stream goes on: the frame lock is free and frames keep being converted.
    for (int frame = 3; frame < 6; ++frame) {
        paint(frame);
        recorder.frameConverted();
    }
    recorder.stop();
    expectFinishedFile(path, {0, 1}, 1000);
}

#if defined(__linux__)
TEST_F(RecorderTest, AFailedWriteEndsTheRecordingAndReportsIt) {
    // Frames larger than the file's stream buffer reach the device at once, which refuses them.
    makeImage(640, 600);
    RecordingControl recorder(options());
    ASSERT_EQ(recorder.start("/dev/full", 60'000, image, frameLock, sink()),
              RecordingStart::Started);
    feed(recorder, 0, 1000);
    recorder.waitUntilEnded();
    EXPECT_FALSE(recorder.isRecording());
    const RecordingSummary summary = recorder.lastRecording();
    EXPECT_EQ(summary.end, RecordingEnd::WriteFailed);
    EXPECT_EQ(summary.frames, 0u);
    EXPECT_FALSE(summary.finished);
    EXPECT_EQ(reportedCodes(), std::vector<std::int32_t>{12});
    recorder.stop();
}
#endif

TEST_F(RecorderTest, FailedStartsLeaveNothingRunningOrOpen) {
    makeImage(4, 4);
    RecordingControl recorder(options());

    const std::string missingFolder = dir.file("no-such-folder/x.avi");
    EXPECT_EQ(recorder.start(missingFolder.c_str(), 1000, image, frameLock, sink()),
              RecordingStart::FileNotCreated);
    EXPECT_FALSE(recorder.isRecording());

    DibImage empty;
    const std::string unused = dir.file("unused.avi");
    EXPECT_EQ(recorder.start(unused.c_str(), 1000, empty, frameLock, sink()),
              RecordingStart::NoImage);
    EXPECT_FALSE(std::filesystem::exists(unused));

    // The file was created before the thread failed: it is left an empty, finished recording.
    const std::string noThread = dir.file("no-thread.avi");
    failNextContextThreadStarts(1);
    EXPECT_EQ(recorder.start(noThread.c_str(), 1000, image, frameLock, sink()),
              RecordingStart::ThreadNotStarted);
    failNextContextThreadStarts(0);
    EXPECT_FALSE(recorder.isRecording());
    expectFinishedFile(noThread, {}, RecordingControl::kNominalClosingRate);
    recorder.waitUntilEnded();  // no thread to wait for
    recorder.stop();

    // The recorder is usable again afterwards.
    const std::string works = dir.file("works.avi");
    ASSERT_EQ(recorder.start(works.c_str(), 60'000, image, frameLock, sink()),
              RecordingStart::Started);
    feed(recorder, 7, 500);
    clock.ms.store(600);
    recorder.stop();
    expectFinishedFile(works, {7}, 1000);
    EXPECT_TRUE(reportedCodes().empty());
}

TEST_F(RecorderTest, ANewStartFinishesTheRecordingThatStillRuns) {
    makeImage(3, 2);
    const std::string first = dir.file("first.avi");
    const std::string second = dir.file("second.avi");
    RecordingControl recorder(options());
    ASSERT_EQ(recorder.start(first.c_str(), 60'000, image, frameLock, sink()),
              RecordingStart::Started);
    feed(recorder, 0, 1000);
    feed(recorder, 1, 1050);
    clock.ms.store(1100);
    ASSERT_EQ(recorder.start(second.c_str(), 60'000, image, frameLock, sink()),
              RecordingStart::Started);
    expectFinishedFile(first, {0, 1}, 2000);
    feed(recorder, 2, 2000);
    clock.ms.store(2010);
    recorder.stop();
    expectFinishedFile(second, {2}, 10'000);
}

TEST_F(RecorderTest, RecordsWhileAnotherThreadKeepsConvertingFrames) {
    // A real clock and a capture thread that converts frames as fast as it can: every frame in
    // the file must be one whole frame (never half of one and half of the next).
    makeImage(33, 17);
    const std::string path = dir.file("busy.avi");
    RecordingOptions busy;
    busy.pollMs = 1;
    RecordingControl recorder(busy);
    ASSERT_EQ(recorder.start(path.c_str(), 200, image, frameLock, sink()), RecordingStart::Started);
    std::atomic<bool> capturing{true};
    std::thread capture([&] {
        for (int frame = 0; capturing.load(); frame = (frame + 1) % 5) {
            paint(frame);
            recorder.frameConverted();
        }
    });
    recorder.waitUntilEnded();
    capturing.store(false);
    capture.join();
    recorder.stop();

    const RecordingSummary summary = recorder.lastRecording();
    EXPECT_EQ(summary.end, RecordingEnd::DurationPassed);
    ASSERT_GE(summary.frames, 2u);
    const std::vector<std::uint8_t> file = readFile(path);
    const std::uint32_t f = frameBytes();
    ASSERT_EQ(file.size(), kHeaderBytes + summary.frames * (8 + f) + 8 + 16 * summary.frames);
    for (std::uint32_t i = 0; i < summary.frames; ++i) {
        const std::size_t at = kHeaderBytes + i * (8 + f) + 8;
        const std::vector<std::uint8_t> pixels(file.begin() + at, file.begin() + at + f);
        bool whole = false;
        for (int frame = 0; frame < 5 && !whole; ++frame) {
            whole = pixels == expectedFrame(frame);
        }
        EXPECT_TRUE(whole) << "frame " << i;
    }
}

}  // namespace
}  // namespace ostrel::context
