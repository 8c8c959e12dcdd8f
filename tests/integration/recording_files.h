// Reading back what the integration tests record and save through the exported interface: when
// a recording is finished, its header fields, whole files, and (on Linux) ffprobe and ffmpeg as
// independent readers.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "OstrelSdk.h"
#include "output/test_files.h"
#include "support/camera_session.h"

namespace ostrel::integration {

using output::test::le32;
using output::test::readFile;
using output::test::ScratchDir;

// Whether this process still has the file open. The recorder closes the file only after the
// last patch of its header, so a recording that is no longer held open is complete. On Windows
// the recorder does not share the file while it writes it: opening it succeeds only after that.
inline bool heldOpen(const std::filesystem::path &path) {
#if defined(__linux__)
    std::error_code error;
    const std::filesystem::path target = std::filesystem::canonical(path, error);
    if (error) {
        return false;
    }
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        std::error_code unreadable;  // a descriptor closed while the folder is read
        if (std::filesystem::read_symlink(entry.path(), unreadable) == target) {
            return true;
        }
    }
    return false;
#else
    (void)path;
    return false;
#endif
}

// A recording is finished once its RIFF size has been patched to the file's length and the
// recorder has closed the file. Reads the header only, so it can be asked often while a long
// recording grows.
inline bool isFinishedRecording(const std::filesystem::path &path) {
    std::uint8_t riff[4] = {};
    std::streamoff size = 0;
    {
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        if (!in) {
            return false;
        }
        size = in.tellg();
        if (size < 240 || !in.seekg(4) || !in.read(reinterpret_cast<char *>(riff), 4)) {
            return false;
        }
    }
    const std::uint32_t riffSize = static_cast<std::uint32_t>(
        riff[0] | riff[1] << 8 | riff[2] << 16 | static_cast<std::uint32_t>(riff[3]) << 24);
    // The size first: once it is patched the recorder is closing the file, so not holding it
    // open afterwards means it is closed rather than not yet opened.
    return riffSize == static_cast<std::uint64_t>(size) - 8 && !heldOpen(path);
}

inline bool waitForFinishedRecording(const std::filesystem::path &path,
                                     std::chrono::seconds timeout = std::chrono::seconds(120)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (isFinishedRecording(path)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// Reads a whole file named by a path in the system's own form (wide on Windows).
inline std::vector<std::uint8_t> readFileAt(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The header fields of a finished recording.
struct RecordingHeader {
    std::uint32_t frames = 0;
    std::uint32_t microSecPerFrame = 0;
    std::uint32_t streamScale = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t frameBytes = 0;
};

inline RecordingHeader readRecordingHeader(const std::vector<std::uint8_t> &file) {
    RecordingHeader h;
    h.microSecPerFrame = le32(file, 32);
    h.frames = le32(file, 48);
    h.width = static_cast<std::int32_t>(le32(file, 64));
    h.height = static_cast<std::int32_t>(le32(file, 68));
    h.streamScale = le32(file, 128);
    h.frameBytes = le32(file, 236);  // the first chunk's size (or "idx1"'s when there is none)
    return h;
}

#if defined(__linux__)
inline bool haveTool(const char *name) {
    const std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

inline std::string runAndRead(const std::string &command) {
    std::string out;
    if (FILE *pipe = popen(command.c_str(), "r")) {
        char buffer[65536];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            out.append(buffer, n);
        }
        pclose(pipe);
    }
    return out;
}
#endif

}  // namespace ostrel::integration
