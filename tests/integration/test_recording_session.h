// Helpers of the integration tests that record and save through the exported interface: a
// camera handle over one emulated 7100VRX with stored settings of the test's choosing, a scratch
// folder, error draining, frame copies, and (on Linux) ffprobe and ffmpeg as independent readers.
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

namespace ostrel::integration {

using output::test::le32;
using output::test::readFile;
using output::test::ScratchDir;

// The stored settings a camera handle starts from: colour mode code, subsampling, wait time and
// the effective window (before subsampling).
struct StreamSettings {
    int color = 2;
    int subsample = 2;
    int waitTime = 10;
    int width = 1292;  // 323 pixels after subsampling: 969-byte rows, padded in 24 bits
    int height = 968;  // 242
    // A camera takes at least its exposure time per frame: exposure 4029 is 50 ms (at most 20
    // frames a second instead of 2 at the default 100), and the highest gain makes up for the
    // light it loses, so the emulated scene looks as it does at the default exposure.
    int exposure = 4029;
    int gain = 1023;
};

inline int processedWidth(const StreamSettings &s) {
    return s.width >> s.subsample;
}
inline int processedHeight(const StreamSettings &s) {
    return s.height >> s.subsample;
}

inline int bitsOfColorCode(int color) {
    static const int kBits[] = {8, 16, 24, 32, 48, 64};
    return kBits[color];
}

inline int strideOf(int width, int bits) {
    return (width * (bits / 8) + 3) / 4 * 4;
}

inline void setVariable(const char *name, const char *value) {
#if defined(_WIN32)
    _putenv_s(name, value);
#else
    setenv(name, value, 1);
#endif
}

// Writes the settings key the library reads at Ostrel_Initialize: on Linux a settings file of
// the test's own (OSTREL_SETTINGS_FILE), on Windows the user's registry key.
inline void storeSettings(const ScratchDir &dir, const StreamSettings &s) {
    struct Value {
        const char *key;
        const char *name;
        int value;
    };
    const Value values[] = {
        {"", "Size", 0},
        {"", "Color", s.color},
        {"", "SubSample", s.subsample},
        {"", "WaitTime", s.waitTime},
        {"", "Clock", 0},
        {"\\Size_00", "TH", 6576},
        {"\\Size_00", "TV", 4384},
        {"\\Size_00", "EH", s.width},
        {"\\Size_00", "EV", s.height},
        {"\\Size_00", "EHS", 0},
        {"\\Size_00", "EVS", 0},
        {"\\Size_00", "Buf", 10},
        {"\\Gain", "Global", s.gain},
        {"\\Gain", "Exposure", s.exposure},
    };
    const std::string root = "Software\\Nembra\\Ostrel7100V3Sdk";
#if defined(_WIN32)
    (void)dir;
    RegDeleteTreeA(HKEY_CURRENT_USER, root.c_str());
    for (const Value &v : values) {
        HKEY key = nullptr;
        const std::string path = root + v.key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        const DWORD data = static_cast<DWORD>(v.value);
        RegSetValueExA(key, v.name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&data),
                       sizeof data);
        RegCloseKey(key);
    }
#else
    std::string text = "REGEDIT4\r\n";
    const char *section = nullptr;
    for (const Value &v : values) {
        if (section == nullptr || std::string(section) != v.key) {
            section = v.key;
            text += "\r\n[HKEY_CURRENT_USER\\" + root + section + "]\r\n";
        }
        char line[64];
        std::snprintf(line, sizeof line, "\"%s\"=dword:%08x\r\n", v.name,
                      static_cast<unsigned>(v.value));
        text += line;
    }
    const std::string path = dir.file("settings.reg");
    std::ofstream(path, std::ios::binary) << text;
    setVariable("OSTREL_SETTINGS_FILE", path.c_str());
#endif
}

// Takes every code out of the history, newest first.
inline std::vector<int> drainErrors(CameraHandle handle) {
    std::vector<int> codes;
    for (int code = Ostrel_GetLastError(handle); code != 0; code = Ostrel_GetLastError(handle)) {
        codes.push_back(code);
    }
    return codes;
}

// One camera handle over the first emulated camera, released at the end of the test.
class CameraSession {
public:
    explicit CameraSession(const StreamSettings &settings) : settings_(settings) {
        setVariable("OSTREL_EMULATED_CAMERAS", "2");  // as every integration test
        storeSettings(dir_, settings);
        handle_ = Ostrel_Initialize(OstrelWindow{});
    }
    ~CameraSession() {
        if (handle_ != 0) {
            Ostrel_Release(handle_);
        }
    }
    CameraSession(const CameraSession &) = delete;
    CameraSession &operator=(const CameraSession &) = delete;

    CameraHandle handle() const { return handle_; }
    const ScratchDir &dir() const { return dir_; }
    int width() const { return processedWidth(settings_); }
    int height() const { return processedHeight(settings_); }
    int bits() const { return bitsOfColorCode(settings_.color); }
    int stride() const { return strideOf(width(), bits()); }
    std::size_t frameSize() const { return static_cast<std::size_t>(stride()) * height(); }

    // Copies the next new frame (top row first); empty when none came within the time-out.
    std::vector<std::uint8_t> nextFrame(std::chrono::seconds timeout = std::chrono::seconds(60)) {
        std::vector<std::uint8_t> buffer(frameSize());
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (Ostrel_GetImage(handle_, buffer.data(), static_cast<int>(buffer.size()), 1) == 1) {
                return buffer;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return {};
    }

private:
    StreamSettings settings_;
    ScratchDir dir_;
    CameraHandle handle_ = 0;
};

// A recording is finished once its RIFF size has been patched to the file's length (on Windows
// the file cannot even be opened before: it is not shared while it is written). Reads the
// header only, so it can be asked often while a long recording grows.
inline bool isFinishedRecording(const std::string &path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        return false;
    }
    const std::streamoff size = in.tellg();
    std::uint8_t riff[4] = {};
    if (size < 240 || !in.seekg(4) || !in.read(reinterpret_cast<char *>(riff), 4)) {
        return false;
    }
    const std::uint32_t riffSize = static_cast<std::uint32_t>(
        riff[0] | riff[1] << 8 | riff[2] << 16 | static_cast<std::uint32_t>(riff[3]) << 24);
    return riffSize == static_cast<std::uint64_t>(size) - 8;
}

// The recorder patches the RIFF size first and the rest of the header right after it: a moment
// later the file is complete.
inline void settleFinishedRecording() {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

inline bool waitForFinishedRecording(const std::string &path,
                                     std::chrono::seconds timeout = std::chrono::seconds(120)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (isFinishedRecording(path)) {
            settleFinishedRecording();
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
