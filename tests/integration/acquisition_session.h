// Helpers of the acquisition tests against the shared library, through the public header only:
// emulated cameras switched on through the environment, a settings store of the test's own
// (a settings file on Linux, the user's key in the test prefix's registry on Windows) with
// values planted before Ostrel_Initialize, and a place to receive notifications (a library
// message queue on Linux, a message-only window on Windows).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "OstrelSdk.h"
#include "integration/camera_faults.h"

namespace ostrel::integration {

inline void setVariable(const char *name, const char *value) {
#if defined(_WIN32)
    _putenv_s(name, value);
#else
    setenv(name, value, 1);
#endif
}

// One value under the settings key: subkey ("" for the key itself), name, 32-bit value.
struct StoredValue {
    std::string subkey;
    std::string name;
    std::int32_t value;
};

// A camera takes at least its exposure time per frame: exposure 4029 is 50 ms (at most 20
// frames a second instead of 2 at the default 100), and the highest gain makes up for the light
// it loses, so the emulated scene looks as it does at the default exposure.
inline constexpr int kStreamExposure = 4029;
inline constexpr int kStreamGain = 1023;

// The main values, the size entry and the analog group the library reads at Ostrel_Initialize.
inline std::vector<StoredValue> streamSettings(int color, int subsample, int waitTime,
                                               int width = 6576, int height = 4384) {
    return {{"", "Size", 0},
            {"", "Color", color},
            {"", "SubSample", subsample},
            {"", "WaitTime", waitTime},
            {"", "Clock", 0},
            {"Size_00", "TH", 6576},
            {"Size_00", "TV", 4384},
            {"Size_00", "EH", width},
            {"Size_00", "EV", height},
            {"Size_00", "EHS", 0},
            {"Size_00", "EVS", 0},
            {"Size_00", "Buf", 10},
            {"Gain", "Global", kStreamGain},
            {"Gain", "Exposure", kStreamExposure}};
}

constexpr const char *kSettingsKey = "Software\\Nembra\\Ostrel7100V3Sdk";

// The settings store of one test: empty at the start, gone at the end.
class SettingsStore {
public:
    SettingsStore() {
#if defined(_WIN32)
        RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
#else
        std::random_device random;
        const auto base = std::filesystem::temp_directory_path();
        for (int attempt = 0; folder_.empty() && attempt < 100; ++attempt) {
            const auto candidate = base / ("ostrel-acquisition-" + std::to_string(random()) +
                                           std::to_string(random()));
            if (std::filesystem::create_directory(candidate)) {
                folder_ = candidate.string();
            }
        }
        setVariable("OSTREL_SETTINGS_FILE", file().c_str());
#endif
    }
    ~SettingsStore() {
#if defined(_WIN32)
        RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
#else
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
#endif
    }
    SettingsStore(const SettingsStore &) = delete;
    SettingsStore &operator=(const SettingsStore &) = delete;

    // Replaces the stored settings with these values.
    void plant(const std::vector<StoredValue> &values) {
#if defined(_WIN32)
        RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
        for (const StoredValue &v : values) {
            const std::string path =
                std::string(kSettingsKey) + (v.subkey.empty() ? "" : "\\" + v.subkey);
            HKEY key = nullptr;
            ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                      KEY_ALL_ACCESS, nullptr, &key, nullptr),
                      ERROR_SUCCESS);
            const DWORD data = static_cast<DWORD>(v.value);
            ASSERT_EQ(RegSetValueExA(key, v.name.c_str(), 0, REG_DWORD,
                                     reinterpret_cast<const BYTE *>(&data), sizeof data),
                      ERROR_SUCCESS);
            RegCloseKey(key);
        }
#else
        // The text form of a registry export, one section per key.
        std::string text = "REGEDIT4\r\n";
        std::vector<std::string> sections;
        for (const StoredValue &v : values) {
            bool seen = false;
            for (const std::string &s : sections) {
                seen = seen || s == v.subkey;
            }
            if (!seen) {
                sections.push_back(v.subkey);
            }
        }
        for (const std::string &section : sections) {
            text += "\r\n[HKEY_CURRENT_USER\\" + std::string(kSettingsKey) +
                    (section.empty() ? "" : "\\" + section) + "]\r\n";
            for (const StoredValue &v : values) {
                if (v.subkey == section) {
                    char line[96];
                    std::snprintf(line, sizeof line, "\"%s\"=dword:%08x\r\n", v.name.c_str(),
                                  static_cast<unsigned>(v.value));
                    text += line;
                }
            }
        }
        std::ofstream(file(), std::ios::binary) << text;
#endif
    }

    // Whether the settings key exists.
    bool exists() const {
#if defined(_WIN32)
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
            return false;
        }
        RegCloseKey(key);
        return true;
#else
        return std::filesystem::exists(file());
#endif
    }

private:
#if !defined(_WIN32)
    std::string file() const {
        return folder_ + "/settings.reg";
    }
    std::string folder_;
#endif
};

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
    setVariable("OSTREL_EMULATED_CAMERAS", kEmulatedCameras);
    setVariable("OSTREL_EMULATED_FAULTS", FaultFile::instance().path().c_str());
}

}  // namespace ostrel::integration
