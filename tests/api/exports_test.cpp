// The exported frame end to end on the process registry: handles from Ostrel_Initialize, their
// release, the error history through Ostrel_GetLastError and the notifications, the shared
// unsupported and zeroing entry points, and the settings exports on a context with no camera.
#include "OstrelSdk.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "context/notification_queue.h"

namespace {

using ostrel::testing::NotificationQueue;
using Codes = std::vector<std::intptr_t>;

OstrelWindow asWindow(ostrel::platform::WindowHandle window) {
#ifdef _WIN32
    return reinterpret_cast<OstrelWindow>(window);
#else
    return window;
#endif
}

std::vector<int> drain(CameraHandle handle) {
    std::vector<int> codes;
    for (int code = Ostrel_GetLastError(handle); code != 0; code = Ostrel_GetLastError(handle)) {
        codes.push_back(code);
    }
    return codes;
}

// An open context whose notifications go to a queue of the test; whatever its initialisation
// reported is taken out first, so each test starts from an empty history and an empty queue.
class OpenContext : public ::testing::Test {
protected:
    void SetUp() override {
        handle = Ostrel_Initialize(asWindow(queue.window()));
        ASSERT_NE(handle, 0u);
        // Every code initialisation recorded was also posted, in the same order.
        std::vector<int> recorded = drain(handle);
        Codes posted = queue.takeErrorCodes();
        ASSERT_EQ(posted.size(), recorded.size());
        for (std::size_t i = 0; i < recorded.size(); ++i) {
            EXPECT_EQ(posted[posted.size() - 1 - i], recorded[i]);
        }
    }
    void TearDown() override {
        EXPECT_EQ(Ostrel_Release(handle), 1);
        EXPECT_EQ(NotificationQueue::takeThreadErrorCodes(), Codes{});
    }

    NotificationQueue queue;
    CameraHandle handle = 0;
};

TEST(LibraryFrame, DllVersionIsAConstantThatNeedsNoContext) {
    EXPECT_EQ(Ostrel_GetDllVersion(), 20317465);
    EXPECT_EQ(Ostrel_GetDllVersion(), 0x01360519);
    const CameraHandle handle = Ostrel_Initialize(0);
    EXPECT_EQ(Ostrel_GetDllVersion(), 20317465);
    EXPECT_EQ(Ostrel_Release(handle), 1);
}

TEST(LibraryFrame, ReleasingTwiceGivesOneThenZero) {
    const CameraHandle handle = Ostrel_Initialize(0);
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(Ostrel_Release(handle), 1);
    EXPECT_EQ(Ostrel_Release(handle), 0);
    EXPECT_EQ(Ostrel_GetLastError(handle), 0);
    EXPECT_EQ(Ostrel_GetColorMode(handle), -1);
}

TEST(LibraryFrame, HandlesOpenedTogetherAreDistinctAndEachIsFound) {
    std::vector<CameraHandle> handles;
    for (int i = 0; i < 8; ++i) {
        handles.push_back(Ostrel_Initialize(0));
    }
    std::set<CameraHandle> unique(handles.begin(), handles.end());
    EXPECT_EQ(unique.size(), handles.size());
    EXPECT_EQ(unique.count(0), 0u);
    // Each one answers as its own context, whatever order they are used in.
    for (std::size_t i = 0; i < handles.size(); ++i) {
        ASSERT_EQ(Ostrel_SetWaitTime(handles[i], static_cast<int>(100 + i)), 1);
    }
    for (std::size_t i = handles.size(); i-- > 0;) {
        EXPECT_EQ(Ostrel_GetWaitTime(handles[i]), static_cast<int>(100 + i));
    }
    for (CameraHandle h : handles) {
        EXPECT_EQ(Ostrel_Release(h), 1);
    }
}

TEST(LibraryFrame, ContextsOpenedAndReleasedOnSeveralThreadsNeverShareAHandle) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 25;
    std::vector<std::vector<CameraHandle>> made(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                made[t].push_back(Ostrel_Initialize(0));
                (void)drain(made[t].back());
            }
        });
    }
    for (std::thread &thread : threads) {
        thread.join();
    }
    std::set<CameraHandle> unique;
    for (const auto &handles : made) {
        unique.insert(handles.begin(), handles.end());
    }
    EXPECT_EQ(unique.size(), static_cast<std::size_t>(kThreads * kPerThread));
    EXPECT_EQ(unique.count(0), 0u);
    threads.clear();
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (CameraHandle h : made[t]) {
                EXPECT_EQ(Ostrel_Release(h), 1);
            }
        });
    }
    for (std::thread &thread : threads) {
        thread.join();
    }
    for (CameraHandle h : unique) {
        EXPECT_EQ(Ostrel_Release(h), 0);
    }
}

TEST(LibraryFrame, WithoutANotificationWindowCodesAreRecordedButNotPosted) {
    const CameraHandle handle = Ostrel_Initialize(0);
    (void)drain(handle);
    EXPECT_EQ(Ostrel_SetColorMode(handle, 12), 0);
    EXPECT_EQ(NotificationQueue::takeThreadErrorCodes(), Codes{});
    EXPECT_EQ(drain(handle), std::vector<int>{9});
    EXPECT_EQ(Ostrel_Release(handle), 1);
}

TEST_F(OpenContext, LastErrorReturnsTheNewestCodeAndRemovesIt) {
    EXPECT_EQ(Ostrel_GetLastError(handle), 0);
    EXPECT_EQ(Ostrel_SetColorMode(handle, 7), 0);  // 9
    EXPECT_EQ(Ostrel_StartPreview(handle), 0);     // 2, then 1: no camera is connected
    EXPECT_EQ(Ostrel_GetLastError(handle), 1);
    EXPECT_EQ(Ostrel_GetLastError(handle), 2);
    EXPECT_EQ(Ostrel_GetLastError(handle), 9);
    EXPECT_EQ(Ostrel_GetLastError(handle), 0);
    EXPECT_EQ(queue.takeErrorCodes(), (Codes{9, 2, 1}));
}

TEST_F(OpenContext, TwentyOneCodesLeaveTheTwentyNewest) {
    for (int i = 0; i < 11; ++i) {
        ASSERT_EQ(Ostrel_SetColorMode(handle, 1), 0);  // 9
    }
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(Ostrel_StartPreview(handle), 0);  // 2, then 1
    }
    std::vector<int> expected;
    for (int i = 0; i < 5; ++i) {
        expected.insert(expected.end(), {1, 2});
    }
    expected.insert(expected.end(), 10, 9);
    EXPECT_EQ(drain(handle), expected);
    EXPECT_EQ(queue.takeErrorCodes().size(), 21u);
}

TEST_F(OpenContext, UnsupportedFunctionsPostElevenWithoutRecordingIt) {
    int value = 77;
    const std::vector<std::function<int()>> calls = {
        [&] { return Ostrel_Fps(handle); },
        [&] { return Ostrel_GetCameraType(handle); },
        [&] { return Ostrel_SetCameraType(handle, 1); },
        [&] { return Ostrel_SetCaptureWindow(handle, 0, 0, 640, 480); },
        [&] { return Ostrel_SetCaptureWindowEx(handle, 0, 0, 640, 480, 1); },
        [&] { return Ostrel_GetCaptureWindowEx(handle, &value, &value, &value, &value, &value); },
        [&] { return Ostrel_GetIOPort(handle, &value); },
        [&] { return Ostrel_SetIOPort(handle, 1); },
        [&] { return Ostrel_SetCrossbar(handle, 1); },
        [&] { return Ostrel_SetHalfClock(handle, 1); },
        [&] { return Ostrel_SetSamplingRate(handle, 1); },
        [&] { return Ostrel_SetSubSample(handle, 1); },
        [&] { return Ostrel_Trigger(handle); },
    };
    ASSERT_EQ(Ostrel_SetColorMode(handle, 3), 0);
    (void)queue.takeErrorCodes();
    for (const auto &call : calls) {
        EXPECT_EQ(call(), 0);
    }
    EXPECT_EQ(value, 77);
    EXPECT_EQ(queue.takeErrorCodes(), Codes(calls.size(), 11));
    // The history holds only what was recorded before.
    EXPECT_EQ(drain(handle), std::vector<int>{9});
}

TEST_F(OpenContext, ZeroingGettersWriteZeroAndReportNothing) {
    int halfClock = 5;
    int samplingRate = 6;
    int videoFormat = 7;
    EXPECT_EQ(Ostrel_GetHalfClock(handle, &halfClock), 0);
    EXPECT_EQ(Ostrel_GetSamplingRate(handle, &samplingRate), 0);
    EXPECT_EQ(Ostrel_GetVideoFormat(handle, &videoFormat), 0);
    EXPECT_EQ(Ostrel_GetVideoFormat(handle, nullptr), 0);
    EXPECT_EQ(halfClock, 0);
    EXPECT_EQ(samplingRate, 0);
    EXPECT_EQ(videoFormat, 0);
    EXPECT_EQ(queue.takeErrorCodes(), Codes{});
    EXPECT_EQ(drain(handle), std::vector<int>{});
}

TEST_F(OpenContext, ColourModeSpeaksInBitsPerPixel) {
    EXPECT_EQ(Ostrel_SetColorMode(handle, 48), 1);
    EXPECT_EQ(Ostrel_GetColorMode(handle), 48);
    EXPECT_EQ(Ostrel_SetColorMode(handle, 12), 0);
    EXPECT_EQ(Ostrel_GetColorMode(handle), 48);
    EXPECT_EQ(drain(handle), std::vector<int>{9});
    EXPECT_EQ(queue.takeErrorCodes(), Codes{9});
}

TEST_F(OpenContext, GettersWithoutCameraOrWithFixedResults) {
    EXPECT_EQ(Ostrel_GetSubSample(handle), 0);
    for (int any : {0, 1, -1, INT_MAX}) {
        EXPECT_EQ(Ostrel_GetStatus(handle, any), 0);
    }
    EXPECT_EQ(Ostrel_SetWaitTime(handle, -1), 0);
    EXPECT_EQ(Ostrel_SetWaitTime(handle, 33), 1);
    EXPECT_EQ(Ostrel_GetWaitTime(handle), 33);
    EXPECT_EQ(Ostrel_Width(handle), 6576);
    EXPECT_EQ(Ostrel_Height(handle), 4384);
    EXPECT_EQ(drain(handle), std::vector<int>{});
    EXPECT_EQ(queue.takeErrorCodes(), Codes{});
}

TEST_F(OpenContext, AutoIrisAndExposureTimeSetTheirOkFlag) {
    int ok = 0;
    EXPECT_EQ(Ostrel_SetAutoIris(handle, 2), 1);
    EXPECT_EQ(Ostrel_GetAutoIris(handle, &ok), 2);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Ostrel_GetAutoIris(handle, nullptr), 2);
    EXPECT_EQ(Ostrel_SetAutoIris(handle, 9), 0);
    EXPECT_EQ(Ostrel_GetAutoIris(handle, nullptr), 2);
    ok = 0;
    EXPECT_GT(Ostrel_GetRealExposureTime(handle, &ok), 0);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(queue.takeErrorCodes(), Codes{9});
    EXPECT_EQ(drain(handle), std::vector<int>{});
}

TEST_F(OpenContext, RegisterReadIsUnsupportedAndZeroesItsOutValue) {
    int value = 99;
    EXPECT_EQ(Ostrel_ReadRegister(handle, 3, &value), 0);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(Ostrel_ReadRegister(handle, 3, nullptr), 0);
    EXPECT_EQ(queue.takeErrorCodes(), (Codes{1, 1}));
    EXPECT_EQ(drain(handle), std::vector<int>{});
}

// Every context has its camera device object, connected camera or not: the settings that live
// in the context work without a camera.
TEST_F(OpenContext, MirrorsAreStoredWithoutAConnectedCamera) {
    EXPECT_EQ(Ostrel_SetMirrorV(handle, 1), 1);
    EXPECT_EQ(Ostrel_GetMirrorV(handle), 1);
    EXPECT_EQ(Ostrel_SetMirrorH(handle, 1), 1);
    EXPECT_EQ(Ostrel_GetMirrorH(handle), 1);
    EXPECT_EQ(drain(handle), std::vector<int>{});
    EXPECT_EQ(queue.takeErrorCodes(), Codes{});
}

TEST_F(OpenContext, FilterValuesWithoutAConnectedCameraAreStored) {
    int ok = 0;
    EXPECT_EQ(Ostrel_SetBrightness(handle, 10), 1);
    EXPECT_EQ(Ostrel_GetFilterValue(handle, OSTREL_FILTER_BRIGHTNESS, &ok), 10);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Ostrel_SetColorGainBlue(handle, 10), 0);  // not supported: 9
    EXPECT_EQ(drain(handle), (std::vector<int>{9}));
    EXPECT_EQ(queue.takeErrorCodes(), (Codes{9}));
}

TEST_F(OpenContext, CameraInfoIsFilledWithoutAConnectedCamera) {
    CameraInfo info{};
    info.size = OSTREL_CAMERA_INFO_SIZE;
    EXPECT_EQ(Ostrel_GetCameraInfo(handle, &info), 1);
    EXPECT_EQ(info.sensorWidth, 6576);
    EXPECT_EQ(drain(handle), std::vector<int>{});
    EXPECT_EQ(queue.takeErrorCodes(), Codes{});
}

TEST_F(OpenContext, CloseSucceedsWithoutAConnectedCamera) {
    EXPECT_EQ(Ostrel_Close(handle), 1);
    EXPECT_EQ(drain(handle), std::vector<int>{});
    EXPECT_EQ(queue.takeErrorCodes(), Codes{});
}

TEST(UnregisteredHandle, LeavesOutArgumentsAlone) {
    const CameraHandle released = Ostrel_Initialize(0);
    ASSERT_EQ(Ostrel_Release(released), 1);
    for (CameraHandle handle : {released, CameraHandle{0}, CameraHandle{0xDEADBEEF}}) {
        int value = 42;
        EXPECT_EQ(Ostrel_GetVideoFormat(handle, &value), 0);
        EXPECT_EQ(Ostrel_GetFilterValue(handle, 1, &value), 0);
        EXPECT_EQ(Ostrel_GetBrightness(handle, &value), 0);
        EXPECT_EQ(Ostrel_GetAutoIris(handle, &value), 0);
        EXPECT_EQ(Ostrel_ReadRegister(handle, 0, &value), 0);
        EXPECT_EQ(Ostrel_GetRealExposureTime(handle, &value), 0);
        EXPECT_EQ(value, 42);
        EXPECT_EQ(Ostrel_GetColorMode(handle), -1);
        EXPECT_EQ(Ostrel_GetSubSample(handle), -1);
        EXPECT_EQ(Ostrel_GetWaitTime(handle), -1);
        EXPECT_EQ(Ostrel_Close(handle), 0);
        EXPECT_EQ(Ostrel_Fps(handle), 0);
    }
    EXPECT_EQ(NotificationQueue::takeThreadErrorCodes(), Codes{});
}

}  // namespace
