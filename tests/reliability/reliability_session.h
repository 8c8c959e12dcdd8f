// What the fault and stress tests share: emulated cameras installed for one test and reachable
// directly (to make them misbehave), a settings store of the test's own with small, fast
// streaming settings, handles opened through the exported functions, notification queues, and
// the threads and descriptors of the process counted before and after.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "OstrelSdk.h"
#include "emulator/emulated_camera.h"
#include "emulator/emulated_camera_set.h"
#include "support/camera_session.h"
#include "reliability/process_usage.h"

namespace ostrel::reliability {

using integration::Notification;
using integration::Notifications;

// Quarter-size 24-bit frames (1644 x 1096), the smallest the camera offers: it sends its
// subsampled readout and the host keeps every second cell.
inline constexpr int kQuarterWidth = 6576 / 4;
inline constexpr int kQuarterHeight = 4384 / 4;
inline constexpr std::size_t kQuarterFrameBytes =
    static_cast<std::size_t>((kQuarterWidth * 3 + 3) / 4 * 4) * kQuarterHeight;

// How many times a stress loop runs: the count asked for, divided by OSTREL_STRESS_DIVISOR (the
// sanitizer trees set it; slower by an order of magnitude), never below 1.
inline int stressCount(int count) {
    const char *text = std::getenv("OSTREL_STRESS_DIVISOR");
    const int divisor = text != nullptr ? std::atoi(text) : 1;
    return divisor > 1 ? std::max(1, count / divisor) : count;
}

// Polls until the condition holds; false after a generous limit.
template <typename Condition>
bool eventually(Condition condition, std::chrono::seconds limit = std::chrono::seconds(120)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Emulated full-size cameras installed for the test, each sending as fast as it is asked at its
// shortest exposure; their threads, drives and settings are gone when it ends.
class Cameras {
public:
    explicit Cameras(int count) {
        emulator::EmulatedCameraConfig config;
        config.bandwidthBytesPerSecond = 0;
        config.statusReadLatency = std::chrono::microseconds(0);
        config.illumination = emulator::kShortExposureIllumination;
        set_ = std::make_shared<emulator::EmulatedCameraSet>(count, config);
        emulator::installEmulatedCameras(set_);
    }
    ~Cameras() { emulator::installEmulatedCameras(nullptr); }
    Cameras(const Cameras &) = delete;
    Cameras &operator=(const Cameras &) = delete;
    emulator::EmulatedCamera &camera(int index) { return set_->camera(index); }

private:
    std::shared_ptr<emulator::EmulatedCameraSet> set_;
};

// The stored settings of a small stream: quarter size, 24-bit, no pause, shortest exposure.
inline std::vector<integration::StoredValue> quarterSizeSettings() {
    std::vector<integration::StoredValue> values = integration::streamSettings(2, 2, 0);
    for (integration::StoredValue &v : values) {
        if (v.name == "Exposure") {
            v.value = emulator::kShortestExposure;
        } else if (v.name == "Global") {
            v.value = 100;
        }
    }
    return values;
}

// A test's folder for files it writes, removed at its end.
class ScratchFolder {
public:
    ScratchFolder() {
        path_ = std::filesystem::temp_directory_path() /
                ("ostrel-reliability-" + std::to_string(::getpid()) + "-" +
                 std::to_string(counter()++));
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;
    std::string file(const std::string &name) const { return (path_ / name).string(); }

private:
    static int &counter() {
        static int n = 0;
        return n;
    }
    std::filesystem::path path_;
};

// Checks at its end that the process holds no more threads or descriptors than at its start:
// every thread the library started has ended and every drive and file it opened is closed.
class NothingLeftBehind {
public:
    NothingLeftBehind() : before_(processUsage()) {}
    ~NothingLeftBehind() {
        // Threads end a moment after they are joined elsewhere (the worker pool's, say).
        ProcessUsage now;
        eventually(
            [&] {
                now = processUsage();
                return now.threads <= before_.threads && now.descriptors <= before_.descriptors;
            },
            std::chrono::seconds(30));
        EXPECT_LE(now.threads, before_.threads) << "threads left running";
        EXPECT_LE(now.descriptors, before_.descriptors) << "descriptors left open";
    }
    NothingLeftBehind(const NothingLeftBehind &) = delete;
    NothingLeftBehind &operator=(const NothingLeftBehind &) = delete;

private:
    ProcessUsage before_;
};

// Frames delivered (lParam 0) among notifications.
inline std::size_t deliveredFrames(const std::vector<Notification> &notifications) {
    std::size_t n = 0;
    for (const Notification &x : notifications) {
        n += x.message == OSTREL_MSG_FRAME && x.lParam == 0 ? 1 : 0;
    }
    return n;
}

// Empties a handle's error history.
inline void clearHistory(CameraHandle handle) {
    for (int i = 0; i < 20; ++i) {
        (void)Ostrel_GetLastError(handle);
    }
}

}  // namespace ostrel::reliability
