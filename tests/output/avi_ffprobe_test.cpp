// A recording as an independent reader sees it: ffprobe counts the frames and reads size and
// rate, ffmpeg decodes the pixels (the frames are stored bottom row first).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "output/avi_writer.h"
#include "output/test_files.h"

namespace ostrel::output {
namespace {

#if defined(__linux__)

bool haveTool(const char *name) {
    const std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

std::string runAndRead(const std::string &command) {
    std::string out;
    if (FILE *pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            out.append(buffer, n);
        }
        pclose(pipe);
    }
    return out;
}

std::vector<std::uint8_t> framePixels(int width, int height, int frame) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<std::uint8_t>(i * 7 + frame * 31);
    }
    return pixels;
}

// Writes a recording of five frames at a measured 25 frames per second.
std::string writeRecording(const test::ScratchDir &dir, int width, int height) {
    const std::string path = dir.file("probe.avi");
    AviWriter writer;
    writer.setWidth(width);
    writer.setHeight(height);
    writer.setBitCount(24);
    writer.setRate(30);
    writer.setFrameCount(0);
    EXPECT_TRUE(writer.openRecording(path.c_str()));
    for (int f = 0; f < 5; ++f) {
        const auto pixels = framePixels(width, height, f);
        EXPECT_EQ(writer.writeFrame(pixels.data()), AviFrameResult::Written);
        writer.setFrameCount(writer.frameCount() + 1);
    }
    writer.setRate(2500);
    EXPECT_TRUE(writer.closeRecording());
    return path;
}

TEST(AviWriterReader, FfprobeSeesEveryFrameWithItsSizeAndRate) {
    if (!haveTool("ffprobe")) {
        GTEST_SKIP() << "ffprobe is not installed (Debian package ffmpeg); the AVI file was not "
                        "checked by an independent reader";
    }
    test::ScratchDir dir;
    const std::string path = writeRecording(dir, 16, 8);
    const std::string report = runAndRead(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=codec_name,width,height,pix_fmt,r_frame_rate,nb_frames,nb_read_frames "
        "-of default=noprint_wrappers=1 '" +
        path + "'");
    EXPECT_NE(report.find("codec_name=rawvideo\n"), std::string::npos) << report;
    EXPECT_NE(report.find("width=16\n"), std::string::npos) << report;
    EXPECT_NE(report.find("height=8\n"), std::string::npos) << report;
    EXPECT_NE(report.find("pix_fmt=bgr24\n"), std::string::npos) << report;
    EXPECT_NE(report.find("r_frame_rate=25/1\n"), std::string::npos) << report;
    EXPECT_NE(report.find("nb_frames=5\n"), std::string::npos) << report;
    EXPECT_NE(report.find("nb_read_frames=5\n"), std::string::npos) << report;
}

TEST(AviWriterReader, FfmpegDecodesTheFramesBottomRowFirst) {
    if (!haveTool("ffmpeg")) {
        GTEST_SKIP() << "ffmpeg is not installed (Debian package ffmpeg); the AVI pixels were "
                        "not decoded by an independent reader";
    }
    test::ScratchDir dir;
    const int width = 6, height = 4;
    const std::string path = writeRecording(dir, width, height);
    const std::string decoded =
        runAndRead("ffmpeg -v error -i '" + path + "' -f rawvideo -pix_fmt bgr24 -");
    const std::size_t rowBytes = width * 3;
    const std::size_t frameBytes = rowBytes * height;
    ASSERT_EQ(decoded.size(), 5 * frameBytes);
    for (int f = 0; f < 5; ++f) {
        const auto stored = framePixels(width, height, f);
        for (int row = 0; row < height; ++row) {
            // The decoder hands out the picture top row first: the last row stored.
            const std::string expected(
                reinterpret_cast<const char *>(stored.data()) + (height - 1 - row) * rowBytes,
                rowBytes);
            EXPECT_EQ(decoded.substr(f * frameBytes + row * rowBytes, rowBytes), expected)
                << "frame " << f << " row " << row;
        }
    }
}

#else

TEST(AviWriterReader, FfprobeSeesEveryFrameWithItsSizeAndRate) {
    GTEST_SKIP() << "ffprobe runs on the Linux build only; the AVI file is checked there";
}

#endif

}  // namespace
}  // namespace ostrel::output
