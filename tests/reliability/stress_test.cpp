// Hostile call patterns through the exported functions: starts and stops by the thousand,
// recordings started over and over while a stream runs, a release from another thread in the
// middle of streaming, recording and saving, eight contexts on eight cameras at once, and every
// setter and getter called from other threads while frames stream. Each ends with every frame
// accounted for, no unexpected code, and the threads and descriptors of the start. The sanitizer
// trees run fewer rounds (OSTREL_STRESS_DIVISOR).
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "OstrelSdk.h"
#include "reliability/avi_file_check.h"
#include "reliability/reliability_session.h"

namespace ostrel::reliability {
namespace {

using Codes = std::vector<std::intptr_t>;

// One handle over camera `index` (selected), with its own notification queues and buffer.
struct Client {
    explicit Client(int index = 0) {
        handle = Ostrel_Initialize(errors.window());
        if (handle != 0 && index != 0) {
            (void)Ostrel_SetDeviceNumber(handle, index);
        }
        if (handle != 0) {
            clearHistory(handle);
        }
        (void)errors.take();
    }
    ~Client() {
        if (handle != 0) {
            (void)Ostrel_Release(handle);
        }
    }
    int stream() {
        return Ostrel_CallBackPreview(handle, frames.window(), buffer.data(),
                                      static_cast<int>(buffer.size()), 1);
    }
    Notifications errors;
    Notifications frames;
    std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(kQuarterFrameBytes);
    CameraHandle handle = 0;
};

class Stress : public ::testing::Test {
protected:
    void plant() { store.plant(quarterSizeSettings()); }
    NothingLeftBehind leaks;
    integration::SettingsSandbox store;
};

TEST_F(Stress, AThousandStartsAndStopsLeaveTheStreamWhole) {
    Cameras cameras(1);
    plant();
    Client client;
    ASSERT_NE(client.handle, 0u);
    const int cycles = stressCount(1000);
    int failedStarts = 0;
    int failedStops = 0;
    for (int i = 0; i < cycles; ++i) {
        failedStarts += client.stream() != 1;
        failedStops += Ostrel_StopPreview(client.handle) != 1;
    }
    EXPECT_EQ(failedStarts, 0);
    EXPECT_EQ(failedStops, 0);
    // After all that, a stream still delivers whole frames and nothing was reported.
    ASSERT_EQ(client.stream(), 1);
    EXPECT_GE(deliveredFrames(client.frames.waitForFrames(3)), 3u);
    EXPECT_EQ(Ostrel_StopPreview(client.handle), 1);
    const std::vector<Notification> rest = client.frames.take();
    EXPECT_EQ(deliveredFrames(rest), rest.size()) << "a frame notification carried a failure";
    EXPECT_EQ(integration::failures(client.errors.take()), Codes{});
    EXPECT_EQ(integration::history(client.handle), std::vector<int>{});
}

TEST_F(Stress, RecordingsStartedOverAndOverWhileStreamingEachLeaveAFinishedFile) {
    Cameras cameras(1);
    plant();
    ScratchFolder folder;
    Client client;
    ASSERT_EQ(client.stream(), 1);
    const int cycles = stressCount(200);
    int unfinished = 0;
    int refused = 0;
    std::uint64_t frames = 0;
    std::string previous;
    for (int i = 0; i < cycles; ++i) {
        const std::string file = folder.file("take-" + std::to_string(i) + ".avi");
        // A new recording ends the one before: that file must be complete when this returns.
        refused += Ostrel_Record(client.handle, file.c_str(), 60000, 0) != 1;
        if (i % 20 == 0) {
            // Now and then a recording runs until a frame is in its file.
            EXPECT_TRUE(eventually([&] {
                std::error_code e;
                return std::filesystem::file_size(file, e) > kQuarterFrameBytes && !e;
            }));
        }
        if (!previous.empty()) {
            const AviFileCheck check = checkAviFile(previous);
            unfinished += !check.finished;
            frames += check.frames;
            EXPECT_TRUE(check.finished) << previous << ": " << check.problem;
            std::filesystem::remove(previous);
        }
        previous = file;
    }
    EXPECT_EQ(Ostrel_StopPreview(client.handle), 1);
    EXPECT_TRUE(checkAviFile(previous).finished);
    EXPECT_EQ(refused, 0);
    EXPECT_EQ(unfinished, 0);
    // Most recordings are ended before their first frame, but not those that waited for one.
    EXPECT_GT(frames, 0u);
    EXPECT_EQ(integration::failures(client.errors.take()), Codes{});
}

// A release while another thread streams, records or saves through the same handle: the
// other thread's calls fail cleanly once the release has begun, nothing crashes, and every
// thread of the context ends.
TEST_F(Stress, AReleaseFromAnotherThreadWhileStreamingRecordingAndSaving) {
    Cameras cameras(1);
    plant();
    ScratchFolder folder;
    const std::string recording = folder.file("released.avi");
    const std::string still = folder.file("released.bmp");
    struct Activity {
        const char *name;
        std::function<void(CameraHandle)> start;
        std::function<void(CameraHandle)> repeat;
    };
    const Activity activities[] = {
        {"streaming", [](CameraHandle) {},
         [](CameraHandle h) {
             std::vector<std::uint8_t> copy(kQuarterFrameBytes);
             (void)Ostrel_GetImage(h, copy.data(), static_cast<int>(copy.size()), 1);
         }},
        {"recording", [&](CameraHandle h) { (void)Ostrel_Record(h, recording.c_str(), 60000, 0); },
         [](CameraHandle h) { (void)Ostrel_Fps(h); }},
        {"saving", [](CameraHandle) {},
         [&](CameraHandle h) { (void)Ostrel_SaveImage(h, still.c_str(), 0); }},
    };
    const int rounds = stressCount(20);
    for (const Activity &activity : activities) {
        SCOPED_TRACE(activity.name);
        for (int round = 0; round < rounds; ++round) {
            Notifications frames;
            std::vector<std::uint8_t> buffer(kQuarterFrameBytes);
            const CameraHandle handle = Ostrel_Initialize(0);
            ASSERT_NE(handle, 0u);
            ASSERT_EQ(Ostrel_CallBackPreview(handle, frames.window(), buffer.data(),
                                             static_cast<int>(buffer.size()), 1),
                      1);
            ASSERT_GE(deliveredFrames(frames.waitForFrames(1)), 1u);
            activity.start(handle);
            std::atomic<bool> released{false};
            std::atomic<int> callsAfterRelease{0};
            std::thread worker([&] {
                while (!released.load()) {
                    activity.repeat(handle);
                }
                // Every call after the release fails with the failure value.
                callsAfterRelease += Ostrel_StartPreview(handle);
                callsAfterRelease += Ostrel_SaveImage(handle, still.c_str(), 0);
            });
            std::this_thread::sleep_for(std::chrono::milliseconds(20 + round % 7 * 10));
            EXPECT_EQ(Ostrel_Release(handle), 1);
            released = true;
            worker.join();
            EXPECT_EQ(callsAfterRelease.load(), 0);
            // Once the release has returned nothing more reaches the buffer's window.
            (void)frames.take();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            EXPECT_EQ(frames.take().size(), 0u);
        }
        if (activity.name == std::string("recording")) {
            EXPECT_TRUE(checkAviFile(recording).finished);
        }
    }
}

TEST_F(Stress, EightContextsOnEightCamerasStreamAtOnce) {
    constexpr int kCameras = 8;
    Cameras cameras(kCameras);
    plant();
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < kCameras; ++i) {
        clients.push_back(std::make_unique<Client>(i));
        ASSERT_NE(clients.back()->handle, 0u);
    }
    for (auto &client : clients) {
        ASSERT_EQ(client->stream(), 1);
    }
    const std::size_t wanted = static_cast<std::size_t>(stressCount(20));
    for (int i = 0; i < kCameras; ++i) {
        SCOPED_TRACE("camera " + std::to_string(i));
        EXPECT_GE(deliveredFrames(clients[i]->frames.waitForFrames(wanted)), wanted);
    }
    for (int i = 0; i < kCameras; ++i) {
        EXPECT_EQ(Ostrel_StopPreview(clients[i]->handle), 1);
        // Each context drove its own camera and no other.
        EXPECT_GT(cameras.camera(i).counters().startCommands, 0u) << "camera " << i;
        EXPECT_EQ(integration::failures(clients[i]->errors.take()), Codes{});
    }
}

// Every setter with a valid value and every getter, from two threads at full rate, while a
// third streams: no call fails, no code is recorded, and the stream keeps delivering.
TEST_F(Stress, EverySetterAndGetterFromOtherThreadsWhileStreaming) {
    Cameras cameras(1);
    plant();
    Client client;
    const CameraHandle h = client.handle;
    using Call = std::function<int()>;
    int ok = 0;
    const std::vector<Call> setters = {
        [h] { return Ostrel_SetBrightness(h, 10); },
        [h] { return Ostrel_SetContrast(h, -10); },
        [h] { return Ostrel_SetHue(h, 5); },
        [h] { return Ostrel_SetSaturation(h, 5); },
        [h] { return Ostrel_SetSharpness(h, 1); },
        [h] { return Ostrel_SetBayerGainRed(h, 110); },
        [h] { return Ostrel_SetBayerGainGreen(h, 100); },
        [h] { return Ostrel_SetBayerGainBlue(h, 90); },
        [h] { return Ostrel_SetGamma(h, 120); },
        [h] { return Ostrel_SetGlobalGain(h, 100); },
        [h] { return Ostrel_SetExposureTime(h, emulator::kShortestExposure); },
        [h] { return Ostrel_SetGrayGainR(h, 128); },
        [h] { return Ostrel_SetGrayOffsetB(h, 0); },
        [h] { return Ostrel_SetMirrorV(h, 0); },
        [h] { return Ostrel_SetMirrorH(h, 0); },
        [h] { return Ostrel_SetWaitTime(h, 0); },
        [h] { return Ostrel_SetAutoIris(h, 0); },
    };
    const std::vector<Call> getters = {
        [h, &ok] { return (void)Ostrel_GetBrightness(h, &ok), ok; },
        [h, &ok] { return (void)Ostrel_GetContrast(h, &ok), ok; },
        [h, &ok] { return (void)Ostrel_GetHue(h, &ok), ok; },
        [h, &ok] { return (void)Ostrel_GetGamma(h, &ok), ok; },
        [h, &ok] { return (void)Ostrel_GetGlobalGain(h, &ok), ok; },
        [h, &ok] { return (void)Ostrel_GetExposureTime(h, &ok), ok; },
        [h, &ok] { return (void)Ostrel_GetGrayGainR(h, &ok), ok; },
        [h] { return Ostrel_GetColorMode(h) == 24 ? 1 : 0; },
        [h] { return Ostrel_GetWaitTime(h) == 0 ? 1 : 0; },
        [h] { return Ostrel_Width(h) > 0 ? 1 : 0; },
        [h] { return Ostrel_Fps(h) >= 0 ? 1 : 0; },
    };
    ASSERT_EQ(client.stream(), 1);
    ASSERT_GE(deliveredFrames(client.frames.waitForFrames(1)), 1u);
    const int rounds = stressCount(2000);
    std::atomic<int> setterFailures{0};
    std::atomic<int> getterFailures{0};
    std::thread setting([&] {
        for (int i = 0; i < rounds; ++i) {
            setterFailures += setters[static_cast<std::size_t>(i) % setters.size()]() != 1;
        }
    });
    std::thread getting([&] {
        // The getters' flag `ok` belongs to this thread alone.
        for (int i = 0; i < rounds; ++i) {
            getterFailures += getters[static_cast<std::size_t>(i) % getters.size()]() != 1;
        }
    });
    setting.join();
    getting.join();
    EXPECT_EQ(setterFailures.load(), 0);
    EXPECT_EQ(getterFailures.load(), 0);
    EXPECT_GE(deliveredFrames(client.frames.waitForFrames(2)), 2u) << "streaming stopped";
    EXPECT_EQ(Ostrel_StopPreview(client.handle), 1);
    EXPECT_EQ(integration::history(client.handle), std::vector<int>{});
}

}  // namespace
}  // namespace ostrel::reliability
