// Recording through the exported interface over an emulated camera: the file a running stream
// leaves behind, its frame count and rate, what an independent reader decodes from it, how a
// recording ends, and the codes of the calls that are refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "integration/recording_files.h"

namespace ostrel::integration {
namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The picture a recorded frame holds, top row first as a decoder hands it out: blue, green, red
// bytes reduced from the output image (a frame copied top row first) as the recorder converts.
std::vector<std::uint8_t> recordedPicture(const std::vector<std::uint8_t> &output, int width,
                                          int height, int bits) {
    const int stride = strideOf(width, bits);
    std::vector<std::uint8_t> picture;
    picture.reserve(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t *row = output.data() + static_cast<std::size_t>(y) * stride;
        for (int x = 0; x < width; ++x) {
            auto word = [&](int channel) {
                const std::uint8_t *p = row + x * (bits / 8) + channel * 2;
                return static_cast<std::uint8_t>(((p[0] | p[1] << 8) >> 2) & 0xFF);
            };
            switch (bits) {
                case 8:
                    picture.insert(picture.end(), 3, row[x]);
                    break;
                case 16:
                    picture.insert(picture.end(), 3, word(0));
                    break;
                case 24:
                case 32:
                    picture.insert(picture.end(), row + x * (bits / 8), row + x * (bits / 8) + 3);
                    break;
                default:  // 48, 64
                    picture.push_back(word(0));
                    picture.push_back(word(1));
                    picture.push_back(word(2));
                    break;
            }
        }
    }
    return picture;
}

// The test chart's moving square runs along a track from 78 % of the height down; every row
// above it shows the same in every frame.
int stillRows(int height) {
    return height * 70 / 100;
}
// The camera tags each half-frame in its first sample, so the top-left corner of every frame
// differs a little (through the colour reconstruction, in the first two rows).
constexpr int kTaggedRows = 2;

TEST(RecordingWhileStreaming, WritesTheStreamsFramesAtTheMeasuredRateAndStreamingGoesOn) {
    CameraSession session(StreamSettings{});
    const CameraHandle h = session.handle();
    ASSERT_NE(h, 0u);
    (void)drainErrors(h);
    ASSERT_EQ(Ostrel_StartPreview(h), 1);
    ASSERT_FALSE(session.nextFrame().empty());

    const std::string path = session.dir().file("stream.avi");
    const int durationMs = 3000;
    const Clock::time_point started = Clock::now();
    ASSERT_EQ(Ostrel_Record(h, path.c_str(), durationMs, 0), 1);

    // Count the frames the stream converts while the recording runs.
    std::vector<std::uint8_t> buffer(session.frameSize());
    int streamed = 0;
    bool finished = false;
    Clock::time_point lastCheck = Clock::now();
    while (!finished && secondsSince(started) < 120) {
        if (Ostrel_GetImage(h, buffer.data(), static_cast<int>(buffer.size()), 1) == 1) {
            ++streamed;
        }
        if (Clock::now() - lastCheck > std::chrono::milliseconds(50)) {
            finished = isFinishedRecording(path);
            lastCheck = Clock::now();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const double elapsed = secondsSince(started);
    ASSERT_TRUE(finished) << "the recording never finished";
    // The duration counts from the first recorded frame, so the file cannot end sooner.
    EXPECT_GE(elapsed, durationMs / 1000.0 - 0.05);

    const std::vector<std::uint8_t> file = readFile(path);
    const RecordingHeader header = readRecordingHeader(file);
    EXPECT_EQ(header.width, session.width());
    EXPECT_EQ(header.height, session.height());
    const std::uint32_t f = static_cast<std::uint32_t>(session.width() * session.height() * 3);
    EXPECT_EQ(file.size(), 232 + header.frames * (8 + f) + 8 + 16 * header.frames);
    ASSERT_GT(header.frames, 0u);
    ASSERT_GT(streamed, 0);

    // About one recorded frame per streamed frame, at the stream's rate (a busy machine may
    // make the recorder or this counter miss some).
    const double streamRate = streamed / elapsed;
    const double closingRate = 1e6 / header.microSecPerFrame;
    EXPECT_GE(header.frames, streamed / 2.0) << "streamed " << streamed;
    EXPECT_LE(header.frames, streamed * 2.0 + 2) << "streamed " << streamed;
    EXPECT_GT(closingRate, streamRate / 2) << "stream rate " << streamRate;
    EXPECT_LT(closingRate, streamRate * 2) << "stream rate " << streamRate;
    EXPECT_GT(header.frames, closingRate * durationMs / 1000.0 / 2);
    EXPECT_LT(header.frames, closingRate * durationMs / 1000.0 * 2 + 2);
    // Both frame times come from the same measured rate.
    EXPECT_NEAR(header.streamScale, 10.0 * header.microSecPerFrame, 10.0);

    // Streaming goes on after the recording.
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(session.nextFrame().empty()) << "no frame after the recording";
    }
    EXPECT_EQ(Ostrel_StopPreview(h), 1);
    EXPECT_EQ(drainErrors(h), std::vector<int>{});
    // Stopping touched the finished file no more.
    EXPECT_EQ(readFile(path), file);
}

#if defined(__linux__)
class RecordingReadBack : public ::testing::TestWithParam<int> {};

std::map<std::string, std::string> probeStream(const std::string &path) {
    const std::string out = runAndRead(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=codec_name,width,height,nb_read_frames,time_base -of "
        "default=noprint_wrappers=1 '" +
        path + "'");
    std::map<std::string, std::string> fields;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) {
            fields[line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    return fields;
}

double fraction(const std::string &text) {
    const auto slash = text.find('/');
    if (slash == std::string::npos) {
        return std::stod(text);
    }
    return std::stod(text.substr(0, slash)) / std::stod(text.substr(slash + 1));
}

TEST_P(RecordingReadBack, AReaderCountsTheFramesAndDecodesTheConvertedOutputImage) {
    if (!haveTool("ffprobe") || !haveTool("ffmpeg")) {
        GTEST_SKIP() << "ffprobe and ffmpeg are not installed";
    }
    StreamSettings settings;
    settings.color = GetParam();
    CameraSession session(settings);
    const CameraHandle h = session.handle();
    ASSERT_NE(h, 0u);
    (void)drainErrors(h);

    // Record starts the stream itself.
    const std::string path = session.dir().file("read back.avi");
    ASSERT_EQ(Ostrel_Record(h, path.c_str(), 700, 0), 1);
    ASSERT_TRUE(waitForFinishedRecording(path));
    const std::vector<std::uint8_t> output = session.nextFrame();
    ASSERT_FALSE(output.empty());
    EXPECT_EQ(Ostrel_StopPreview(h), 1);
    EXPECT_EQ(drainErrors(h), std::vector<int>{});

    const RecordingHeader header = readRecordingHeader(readFile(path));
    ASSERT_GT(header.frames, 0u);
    const auto probed = probeStream(path);
    EXPECT_EQ(probed.count("codec_name") ? probed.at("codec_name") : "", "rawvideo");
    EXPECT_EQ(probed.count("width") ? probed.at("width") : "", std::to_string(session.width()));
    EXPECT_EQ(probed.count("height") ? probed.at("height") : "", std::to_string(session.height()));
    EXPECT_EQ(probed.count("nb_read_frames") ? probed.at("nb_read_frames") : "",
              std::to_string(header.frames));
    // The stream's time base is the header's scale over its rate, exactly (a reader's guessed
    // frame rate snaps to a nearby standard rate when a short recording holds few frames).
    ASSERT_TRUE(probed.count("time_base"));
    EXPECT_NEAR(1.0 / fraction(probed.at("time_base")), 1e7 / header.streamScale,
                1e7 / header.streamScale * 1e-6);

    // The first frame, decoded by ffmpeg top row first, against the output image converted as
    // the recorder converts it (the rows above the moving square are the same in every frame).
    const std::vector<std::uint8_t> decoded = [&] {
        const std::string out = runAndRead("ffmpeg -v error -i '" + path +
                                           "' -frames:v 1 -f rawvideo -pix_fmt bgr24 -");
        return std::vector<std::uint8_t>(out.begin(), out.end());
    }();
    const int w = session.width();
    const int hgt = session.height();
    ASSERT_EQ(decoded.size(), static_cast<std::size_t>(w) * hgt * 3);
    const std::vector<std::uint8_t> expected = recordedPicture(output, w, hgt, session.bits());
    const std::size_t rowBytes = static_cast<std::size_t>(w) * 3;
    const auto first = static_cast<std::ptrdiff_t>(kTaggedRows * rowBytes);
    const auto last = static_cast<std::ptrdiff_t>(stillRows(hgt) * rowBytes);
    const auto mismatch =
        std::mismatch(decoded.begin() + first, decoded.begin() + last, expected.begin() + first);
    EXPECT_EQ(mismatch.first - decoded.begin(), last)
        << "first difference in row " << (mismatch.first - decoded.begin()) / rowBytes;
    // And the picture is not uniform (a blank frame would pass the comparison above).
    EXPECT_NE(std::count(expected.begin() + first, expected.begin() + last, expected[first]),
              last - first);
}

INSTANTIATE_TEST_SUITE_P(EveryColorMode, RecordingReadBack, ::testing::Range(0, 6),
                         [](const ::testing::TestParamInfo<int> &info) {
                             return std::to_string(bitsOfColorCode(info.param)) + "Bits";
                         });
#endif

TEST(RecordingEnds, AStopOrAReleaseFinishesTheFileWithEveryFrameRecorded) {
    CameraSession session(StreamSettings{});
    const CameraHandle h = session.handle();
    ASSERT_NE(h, 0u);
    (void)drainErrors(h);

    const std::string stopped = session.dir().file("stopped.avi");
    ASSERT_EQ(Ostrel_Record(h, stopped.c_str(), 600'000, 0), 1);
    for (int i = 0; i < 5; ++i) {
        ASSERT_FALSE(session.nextFrame().empty());
    }
    ASSERT_EQ(Ostrel_StopPreview(h), 1);
    // Finished by the time the stop returns.
    ASSERT_TRUE(isFinishedRecording(stopped));
    const std::vector<std::uint8_t> file = readFile(stopped);
    const RecordingHeader header = readRecordingHeader(file);
    EXPECT_GE(header.frames, 1u);
    const std::uint32_t f = static_cast<std::uint32_t>(session.width() * session.height() * 3);
    const std::size_t indexAt = 232 + header.frames * (8 + f);
    ASSERT_EQ(file.size(), indexAt + 8 + 16 * header.frames);
    EXPECT_EQ(output::test::fourccAt(file, indexAt), "idx1");
    EXPECT_EQ(le32(file, 224), 4 + header.frames * (8 + f));
    EXPECT_GT(header.microSecPerFrame, 0u);

    // Close ends a recording the same way (here one shown in a preview window).
    const std::string closed = session.dir().file("closed.avi");
    ASSERT_EQ(Ostrel_Record(h, closed.c_str(), 600'000, 1), 1);
    ASSERT_FALSE(session.nextFrame().empty());
    EXPECT_EQ(Ostrel_Close(h), 1);
    EXPECT_TRUE(isFinishedRecording(closed));

    // And so does the release of the handle.
    const std::string released = session.dir().file("released.avi");
    ASSERT_EQ(Ostrel_Record(h, released.c_str(), 600'000, 0), 1);
    ASSERT_FALSE(session.nextFrame().empty());
    EXPECT_EQ(drainErrors(h), std::vector<int>{});
    EXPECT_EQ(Ostrel_Release(h), 1);
    EXPECT_TRUE(isFinishedRecording(released));
}

TEST(RecordingRefused, ANullOrEmptyNameFailsWithCode9AndStartsNothing) {
    CameraSession session(StreamSettings{});
    const CameraHandle h = session.handle();
    ASSERT_NE(h, 0u);
    (void)drainErrors(h);

    EXPECT_EQ(Ostrel_Record(h, nullptr, 1000, 0), 0);
    EXPECT_EQ(drainErrors(h), std::vector<int>{OSTREL_ERROR_INVALID_ARGUMENT});
    EXPECT_EQ(Ostrel_Record(h, "", 1000, 1), 0);
    EXPECT_EQ(drainErrors(h), std::vector<int>{OSTREL_ERROR_INVALID_ARGUMENT});
    EXPECT_EQ(Ostrel_RecordW(h, nullptr, 1000, 0), 0);
    EXPECT_EQ(drainErrors(h), std::vector<int>{OSTREL_ERROR_INVALID_ARGUMENT});
    EXPECT_EQ(Ostrel_RecordW(h, L"", 1000, 0), 0);
    EXPECT_EQ(drainErrors(h), std::vector<int>{OSTREL_ERROR_INVALID_ARGUMENT});

    // Nothing streams: single-frame mode can still be entered (it cannot while streaming).
    EXPECT_EQ(Ostrel_Capture(h), 1);
    EXPECT_EQ(drainErrors(h), std::vector<int>{});
}

TEST(RecordingRefused, SingleFrameModeFailsWithCode1AndCreatesNoFile) {
    CameraSession session(StreamSettings{});
    const CameraHandle h = session.handle();
    ASSERT_NE(h, 0u);
    (void)drainErrors(h);
    ASSERT_EQ(Ostrel_Capture(h), 1);
    ASSERT_EQ(Ostrel_SnapShot(h, nullptr, 0, 1), 1);

    const std::string path = session.dir().file("single.avi");
    EXPECT_EQ(Ostrel_Record(h, path.c_str(), 1000, 0), 0);
    EXPECT_EQ(drainErrors(h), std::vector<int>{OSTREL_ERROR_NO_CAMERA});
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(RecordingRefused, AFileThatCannotBeCreatedFailsWithCode12AndEndsTheStream) {
    CameraSession session(StreamSettings{});
    const CameraHandle h = session.handle();
    ASSERT_NE(h, 0u);
    (void)drainErrors(h);
    ASSERT_EQ(Ostrel_StartPreview(h), 1);

    const std::string path = session.dir().file("missing folder/x.avi");
    EXPECT_EQ(Ostrel_Record(h, path.c_str(), 1000, 0), 0);
    EXPECT_EQ(drainErrors(h), std::vector<int>{OSTREL_ERROR_SETTINGS_STORE});
    // The failed record closed the stream: single-frame mode is allowed again.
    EXPECT_EQ(Ostrel_Capture(h), 1);
    EXPECT_EQ(drainErrors(h), std::vector<int>{});
}

TEST(RecordingRefused, AWideNameTooLongForTheNameBufferFailsWithCode12) {
    CameraSession session(StreamSettings{});
    const CameraHandle h = session.handle();
    ASSERT_NE(h, 0u);
    (void)drainErrors(h);

    // 1023 bytes with the terminator fit; 1024 do not.
    const std::wstring tooLong(1024, L'a');
    EXPECT_EQ(Ostrel_RecordW(h, tooLong.c_str(), 1000, 0), 0);
    EXPECT_EQ(drainErrors(h), std::vector<int>{OSTREL_ERROR_SETTINGS_STORE});
    EXPECT_EQ(Ostrel_Capture(h), 1);  // nothing was started
}

TEST(RecordingWide, AWideNameRecordsIntoTheFileItNames) {
    CameraSession session(StreamSettings{});
    const CameraHandle h = session.handle();
    ASSERT_NE(h, 0u);
    (void)drainErrors(h);

    // The scratch folder's name is plain ASCII; the file's is not.
    const std::string folder = session.dir().path().string();
    const std::wstring wide = std::wstring(folder.begin(), folder.end()) + L"/aufnahme-\u00fc.avi";
#if defined(_WIN32)
    const std::filesystem::path path(wide);
#else
    const std::filesystem::path path(folder + "/aufnahme-\xc3\xbc.avi");  // UTF-8
#endif
    ASSERT_EQ(Ostrel_RecordW(h, wide.c_str(), 300, 0), 1);
    ASSERT_TRUE(waitForFinishedRecording(path));
    const std::vector<std::uint8_t> file = readFileAt(path);
    ASSERT_GE(file.size(), 240u);
    EXPECT_EQ(le32(file, 4), file.size() - 8);
    EXPECT_GT(readRecordingHeader(file).frames, 0u);
    EXPECT_EQ(Ostrel_StopPreview(h), 1);
    EXPECT_EQ(drainErrors(h), std::vector<int>{});
}

}  // namespace
}  // namespace ostrel::integration
