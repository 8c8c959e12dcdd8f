// The calls that change what an acquisition does, through the exported interface with two
// emulated cameras: where frames are delivered after close, stop and a joining recording;
// camera selection while an acquisition runs; the dialogs that cannot be shown yet; and one
// handle used from several threads at once, including a release while a call is running.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "OstrelSdk.h"
#include "support/camera_session.h"

namespace ostrel::integration {
namespace {

using Codes = std::vector<int>;
using Posted = std::vector<std::intptr_t>;
using Clock = std::chrono::steady_clock;

// Quarter size in 24-bit colour: 1644 x 1096 pixels.
constexpr int kFrameBytes = 1644 * 3 * 1096;
constexpr std::uint8_t kSentinel = 0x5A;

bool untouched(const std::vector<std::uint8_t> &buffer) {
    for (std::uint8_t byte : buffer) {
        if (byte != kSentinel) {
            return false;
        }
    }
    return true;
}

class ControlCalls : public ::testing::Test {
protected:
    ControlCalls() { useEmulatedCameras(); }
    ~ControlCalls() override {
        if (handle != 0) {
            Ostrel_Release(handle);
        }
    }
    void SetUp() override {
        store.plant(streamSettings(2, 2, 5));
        handle = Ostrel_Initialize(errors.window());
        ASSERT_NE(handle, 0u);
        ASSERT_EQ(history(handle), Codes{});
        (void)errors.take();
    }

    // Waits until the stream has processed `count` more frames (seen through Ostrel_GetImage,
    // which takes each frame once), whether or not they are delivered anywhere.
    bool framesProcessed(int count) {
        std::vector<std::uint8_t> copy(kFrameBytes);
        const auto deadline = Clock::now() + std::chrono::seconds(120);
        (void)Ostrel_GetImage(handle, copy.data(), kFrameBytes, 1);
        for (int seen = 0; seen < count && Clock::now() < deadline;) {
            if (Ostrel_GetImage(handle, copy.data(), kFrameBytes, 1) == 1) {
                ++seen;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        }
        return Clock::now() < deadline;
    }

    std::filesystem::path scratchFolder() {
        const auto folder = std::filesystem::temp_directory_path() /
                            ("ostrel-control-" + std::to_string(handle) + "-" +
                             std::to_string(Clock::now().time_since_epoch().count()));
        std::filesystem::create_directories(folder);
        return folder;
    }

    SettingsSandbox store;
    Notifications errors;
    Notifications frames;
    CameraHandle handle = 0;
};

// ---- Where frames go after close, stop and a joining recording ------------------------------

struct PauseCase {
    const char *name;
    std::function<void(CameraHandle, const std::filesystem::path &)> pause;
    bool deliveryResumes;  // whether Ostrel_StartPreview delivers into the old buffer again
};

TEST_F(ControlCalls, CloseForgetsTheBufferAndWindowWhileStopKeepsThem) {
    const std::filesystem::path folder = scratchFolder();
    const PauseCase cases[] = {
        {"close", [](CameraHandle h, auto &) { EXPECT_EQ(Ostrel_Close(h), 1); }, false},
        {"stop", [](CameraHandle h, auto &) { EXPECT_EQ(Ostrel_StopPreview(h), 1); }, true},
        // A recording that joins the stream ends the delivery at once, stream still running.
        {"recording joins",
         [](CameraHandle h, const std::filesystem::path &f) {
             EXPECT_EQ(Ostrel_Record(h, (f / "joined.avi").string().c_str(), 100000, 0), 1);
         },
         false},
    };
    for (const PauseCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> buffer(kFrameBytes, kSentinel);
        ASSERT_EQ(Ostrel_CallBackPreview(handle, frames.window(), buffer.data(), kFrameBytes, 1),
                  1);
        ASSERT_FALSE(frames.waitForFrames(1).empty());
        c.pause(handle, folder);
        // The application takes its buffer back and marks it.
        std::fill(buffer.begin(), buffer.end(), kSentinel);
        (void)frames.take();
        EXPECT_EQ(Ostrel_StartPreview(handle), 1);
        if (c.deliveryResumes) {
            EXPECT_FALSE(frames.waitForFrames(2).empty());
            EXPECT_FALSE(untouched(buffer));
        } else {
            ASSERT_TRUE(framesProcessed(3));
            EXPECT_TRUE(untouched(buffer));
            EXPECT_TRUE(frames.take().empty());
        }
        EXPECT_EQ(Ostrel_Close(handle), 1);
        EXPECT_EQ(history(handle), Codes{});
    }
    EXPECT_EQ(failures(errors.take()), Posted{});
    std::filesystem::remove_all(folder);
}

// ---- Camera selection while an acquisition runs -----------------------------------------

struct AcquisitionCase {
    const char *name;
    std::function<int(CameraHandle, OstrelWindow, const std::filesystem::path &)> start;
    // Shows that the acquisition still works after the refused selection.
    std::function<bool()> stillRuns;
};

TEST_F(ControlCalls, ACameraIsSelectedOnlyWhileIdle) {
    char names[OSTREL_MAX_DEVICES * OSTREL_DEVICE_NAME_LENGTH];
    ASSERT_EQ(Ostrel_EnumDevice(handle, names), 2);
    const std::filesystem::path folder = scratchFolder();
    std::vector<std::uint8_t> buffer(kFrameBytes);
    const AcquisitionCase cases[] = {
        {"streaming",
         [&](CameraHandle h, OstrelWindow w, auto &) {
             return Ostrel_CallBackPreview(h, w, buffer.data(), kFrameBytes, 1);
         },
         [this] {
             (void)frames.take();
             return !frames.waitForFrames(3).empty();
         }},
        {"single-frame mode",
         [](CameraHandle h, OstrelWindow, auto &) { return Ostrel_Capture(h); },
         [&] { return Ostrel_SnapShot(handle, buffer.data(), kFrameBytes, 1) == 1; }},
        {"recording",
         [](CameraHandle h, OstrelWindow, const std::filesystem::path &f) {
             return Ostrel_Record(h, (f / "selection.avi").string().c_str(), 100000, 0);
         },
         [this] { return framesProcessed(3); }},
    };
    for (const AcquisitionCase &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.start(handle, frames.window(), folder), 1);
        EXPECT_EQ(Ostrel_SetDeviceNumber(handle, 1), 0);
        EXPECT_EQ(history(handle), Codes{1});
        EXPECT_EQ(failures(errors.take()), Posted{1});
        EXPECT_TRUE(c.stillRuns());
        EXPECT_EQ(Ostrel_StopPreview(handle), 1);
        EXPECT_EQ(history(handle), Codes{});
        (void)frames.take();
    }
    // Idle: the other camera is selected and streams.
    EXPECT_EQ(Ostrel_SetDeviceNumber(handle, 1), 1);
    ASSERT_EQ(Ostrel_CallBackPreview(handle, frames.window(), nullptr, 0, 1), 1);
    EXPECT_FALSE(frames.waitForFrames(2).empty());
    EXPECT_EQ(Ostrel_StopPreview(handle), 1);
    EXPECT_EQ(Ostrel_SetDeviceNumber(handle, 0), 1);
    EXPECT_EQ(history(handle), Codes{});
    std::filesystem::remove_all(folder);
}

// ---- Dialogs ----------------------------------------------------------------------------

#ifndef _WIN32
// Linux binds no window toolkit; on Windows the dialogs open (the dialog tests drive them).
TEST_F(ControlCalls, TheDialogsThatCannotBeShownReportNotSupported) {
    const std::pair<const char *, int (*)(CameraHandle, OstrelWindow)> dialogs[] = {
        {"camera", Ostrel_SetCameraDlg},
        {"image", Ostrel_SetImageDlg},
        {"analog", Ostrel_SetAnalogDlg},
    };
    for (const auto &[name, show] : dialogs) {
        SCOPED_TRACE(name);
        EXPECT_EQ(show(handle, OstrelWindow{}), 0);
        EXPECT_EQ(history(handle), Codes{OSTREL_ERROR_NOT_SUPPORTED});
        EXPECT_EQ(failures(errors.take()), Posted{OSTREL_ERROR_NOT_SUPPORTED});
    }
}
#endif

// ---- One handle, several threads ---------------------------------------------------------

TEST_F(ControlCalls, ControlCallsFromSeveralThreadsLeaveAWorkingContext) {
    constexpr int kRounds = 25;
    std::vector<std::uint8_t> buffer(kFrameBytes);
    const std::function<void(int)> callers[] = {
        [&](int) {
            (void)Ostrel_CallBackPreview(handle, frames.window(), buffer.data(), kFrameBytes, 1);
        },
        [&](int) { (void)Ostrel_StopPreview(handle); },
        [&](int) { (void)Ostrel_Close(handle); },
        [&](int) { (void)Ostrel_SnapShot(handle, nullptr, 0, 1); },
        [&](int round) {
            EXPECT_EQ(Ostrel_SetBrightness(handle, round), 1);
            EXPECT_EQ(Ostrel_SetGlobalGain(handle, 100 + round), 1);
            EXPECT_EQ(Ostrel_SetWaitTime(handle, 1 + round % 3), 1);
        },
    };
    std::vector<std::thread> threads;
    for (const auto &call : callers) {
        threads.emplace_back([&call] {
            for (int round = 0; round < kRounds; ++round) {
                call(round);
            }
        });
    }
    for (std::thread &thread : threads) {
        thread.join();
    }
    // Only refusals of "not possible now" (a snapshot while streaming) may have been recorded.
    for (int code : history(handle)) {
        EXPECT_EQ(code, OSTREL_ERROR_NO_CAMERA);
    }
    int ok = 0;
    EXPECT_EQ(Ostrel_GetBrightness(handle, &ok), kRounds - 1);
    EXPECT_EQ(Ostrel_GetGlobalGain(handle, &ok), 100 + kRounds - 1);
    // Every frame announced was a delivered one, and the context streams normally afterwards.
    EXPECT_EQ(Ostrel_StopPreview(handle), 1);
    std::vector<Notification> announced = frames.take();
    ASSERT_EQ(Ostrel_CallBackPreview(handle, frames.window(), buffer.data(), kFrameBytes, 1), 1);
    const std::vector<Notification> after = frames.waitForFrames(2);
    EXPECT_FALSE(after.empty());
    announced.insert(announced.end(), after.begin(), after.end());
    for (const Notification &n : announced) {
        EXPECT_EQ(n.message, static_cast<std::uint32_t>(OSTREL_MSG_FRAME));
        EXPECT_EQ(n.lParam, 0);
    }
    EXPECT_EQ(Ostrel_StopPreview(handle), 1);
    EXPECT_EQ(history(handle), Codes{});
}

// Whether a PNG file is whole: it ends with its IEND chunk.
bool wholePng(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    return bytes.size() > 12 && std::string(bytes.end() - 8, bytes.end() - 4) == "IEND";
}

struct SlowCall {
    const char *name;
    std::function<int(CameraHandle, const std::filesystem::path &)> call;
};

TEST_F(ControlCalls, AReleaseWaitsForTheCallsRunningOnOtherThreads) {
    const std::filesystem::path folder = scratchFolder();
    const SlowCall calls[] = {
        {"png save",
         [](CameraHandle h, const std::filesystem::path &f) {
             const int saved =
                 Ostrel_SaveImage(h, (f / "still.png").string().c_str(), OSTREL_FILE_PNG);
             EXPECT_TRUE(saved == 0 || wholePng(f / "still.png"));
             return saved;
         }},
        {"snapshot", [](CameraHandle h, auto &) { return Ostrel_SnapShot(h, nullptr, 0, 1); }},
        // Reading the exposure back waits for the sensor to settle.
        {"exposure read-back",
         [](CameraHandle h, auto &) { return Ostrel_GetExposureTime(h, nullptr); }},
    };
    for (const SlowCall &c : calls) {
        SCOPED_TRACE(c.name);
        if (handle == 0) {
            handle = Ostrel_Initialize(errors.window());
        }
        ASSERT_EQ(Ostrel_Capture(handle), 1);
        ASSERT_EQ(Ostrel_SnapShot(handle, nullptr, 0, 1), 1);
        std::atomic<int> completed{0};
        std::thread caller([&] {
            // Calls back to back until the handle is gone: the release lands inside one.
            while (completed.load() < 10000 && c.call(handle, folder) != 0) {
                completed.fetch_add(1);
            }
        });
        const auto deadline = Clock::now() + std::chrono::seconds(120);
        while (completed.load() == 0 && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_EQ(Ostrel_Release(handle), 1);
        caller.join();
        EXPECT_GE(completed.load(), 1);
        EXPECT_LT(completed.load(), 10000);
        EXPECT_EQ(c.call(handle, folder), 0);
        EXPECT_EQ(Ostrel_GetLastError(handle), 0);
        EXPECT_EQ(Ostrel_Release(handle), 0);
        handle = 0;
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace ostrel::integration
