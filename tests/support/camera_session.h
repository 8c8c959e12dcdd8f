// The tests of the exported interface, through the public header only: emulated cameras switched
// on through the environment, stored settings of the test's choosing planted in a settings
// sandbox before Ostrel_Initialize, a camera handle over them with a scratch folder, a place to
// receive notifications (a library message queue on Linux, a message-only window on Windows),
// and the error codes a handle has collected.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "OstrelSdk.h"
#include "integration/camera_faults.h"
#include "output/test_files.h"
#include "support/environment.h"
#include "support/settings_sandbox.h"

namespace ostrel::integration {

using ostrel::testing::SettingsSandbox;
using ostrel::testing::StoredValue;

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

// The main values, the size entry and the analog group the library reads at Ostrel_Initialize.
inline std::vector<StoredValue> storedValues(const StreamSettings &s) {
    return {{"", "Size", 0},
            {"", "Color", s.color},
            {"", "SubSample", s.subsample},
            {"", "WaitTime", s.waitTime},
            {"", "Clock", 0},
            {"Size_00", "TH", 6576},
            {"Size_00", "TV", 4384},
            {"Size_00", "EH", s.width},
            {"Size_00", "EV", s.height},
            {"Size_00", "EHS", 0},
            {"Size_00", "EVS", 0},
            {"Size_00", "Buf", 10},
            {"Gain", "Global", s.gain},
            {"Gain", "Exposure", s.exposure}};
}

// The stored values of a full-sensor window unless another size is given.
inline std::vector<StoredValue> streamSettings(int color, int subsample, int waitTime,
                                               int width = 6576, int height = 4384) {
    StreamSettings s;
    s.color = color;
    s.subsample = subsample;
    s.waitTime = waitTime;
    s.width = width;
    s.height = height;
    return storedValues(s);
}

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

// One notification.
struct Notification {
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

// Where a test receives notifications; take() gets what has arrived so far.
class Notifications {
public:
#if defined(_WIN32)
    Notifications()
        : window_(CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                  nullptr)) {}
    ~Notifications() {
        DestroyWindow(window_);
    }
    OstrelWindow window() const {
        return window_;
    }
    std::vector<Notification> take() {
        std::vector<Notification> taken;
        MSG msg;
        while (PeekMessageA(&msg, window_, OSTREL_MSG_FRAME, OSTREL_MSG_ERROR, PM_REMOVE)) {
            taken.push_back({msg.message, static_cast<std::uintptr_t>(msg.wParam),
                             static_cast<std::intptr_t>(msg.lParam)});
        }
        return taken;
    }

private:
    HWND window_;
#else
    Notifications() : queue_(Ostrel_CreateMessageQueue()) {}
    ~Notifications() {
        Ostrel_DestroyMessageQueue(queue_);
    }
    OstrelWindow window() const {
        return queue_;
    }
    std::vector<Notification> take() {
        std::vector<Notification> taken;
        OstrelMessage message;
        while (Ostrel_WaitMessage(queue_, &message, 0) == 1) {
            taken.push_back({message.message, message.wParam, message.lParam});
        }
        return taken;
    }

private:
    OstrelWindow queue_;
#endif

public:
    Notifications(const Notifications &) = delete;
    Notifications &operator=(const Notifications &) = delete;

    // Waits (generously) until `count` frame notifications have arrived; returns all taken.
    std::vector<Notification> waitForFrames(std::size_t count) {
        std::vector<Notification> taken;
        std::size_t frames = 0;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (frames < count && std::chrono::steady_clock::now() < end) {
            for (const Notification &n : take()) {
                taken.push_back(n);
                frames += n.message == OSTREL_MSG_FRAME ? 1 : 0;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return taken;
    }
};

// The error codes among notifications, without the auto-iris idle code 0 of every frame.
inline std::vector<std::intptr_t> failures(const std::vector<Notification> &notifications) {
    std::vector<std::intptr_t> codes;
    for (const Notification &n : notifications) {
        if (n.message == OSTREL_MSG_ERROR && n.lParam != 0) {
            codes.push_back(n.lParam);
        }
    }
    return codes;
}

// Every code in the history, newest first, without the idle zeros (the history holds 20).
inline std::vector<int> history(CameraHandle handle) {
    std::vector<int> codes;
    for (int i = 0; i < 20; ++i) {
        const int code = Ostrel_GetLastError(handle);
        if (code != 0) {
            codes.push_back(code);
        }
    }
    return codes;
}

// The emulated cameras of every integration test, the same in all of them because the library
// reads the variables once, at its first Ostrel_Initialize in the process: two, so that camera
// selection can be tested (contexts use the first unless they select another), with the
// process's fault file.
inline constexpr const char *kEmulatedCameras = "2";
inline void useEmulatedCameras() {
    testing::setVariable("OSTREL_EMULATED_CAMERAS", kEmulatedCameras);
    testing::setVariable("OSTREL_EMULATED_FAULTS", FaultFile::instance().path().c_str());
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
        useEmulatedCameras();
        sandbox_.plant(storedValues(settings));
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
    const output::test::ScratchDir &dir() const { return dir_; }
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
    SettingsSandbox sandbox_;  // outlives the handle: its release saves the settings
    output::test::ScratchDir dir_;
    CameraHandle handle_ = 0;
};

}  // namespace ostrel::integration
