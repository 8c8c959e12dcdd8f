// Camera faults through the exported interface, with the emulated camera made to misbehave
// through its fault file: a camera that is unplugged while streaming ends the stream with code 13
// and leaves nothing polling it, a start without a camera drive fails with code 6 and leaves no
// thread, and a camera that never becomes ready is reported with code 8 for every transfer
// time-out. In each case the camera works again once it is back.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "OstrelSdk.h"
#include "integration/camera_faults.h"
#include "support/camera_session.h"

namespace ostrel::integration {
namespace {

using Codes = std::vector<int>;

constexpr std::size_t kFrameBytes = 1644 * 3 * 1096;  // 24 bits, quarter size

class CameraFaults : public ::testing::Test {
protected:
    CameraFaults() { useEmulatedCameras(); }
    ~CameraFaults() override {
        if (handle != 0) {
            Ostrel_Release(handle);
        }
        faults().clear();
    }
    static FaultFile &faults() { return FaultFile::instance(); }

    void open() {
        store.plant(streamSettings(2, 2, 5));
        handle = Ostrel_Initialize(errors.window());
        ASSERT_NE(handle, 0u);
        (void)history(handle);
        (void)errors.take();
    }
    void startCallbackStream() {
        ASSERT_EQ(Ostrel_CallBackPreview(handle, frames.window(), buffer.data(),
                                         static_cast<int>(buffer.size()), 1),
                  1);
    }
    // Collects frame notifications until `done` holds for what has come. Generously long: a
    // transfer time-out is 10000 status reads, which take seconds where waits are coarse.
    std::vector<Notification> waitForFrames(
        const std::function<bool(const std::vector<Notification> &)> &done) {
        std::vector<Notification> taken;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(300);
        while (!done(taken) && std::chrono::steady_clock::now() < end) {
            for (const Notification &n : frames.take()) {
                taken.push_back(n);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return taken;
    }
    // Frame notifications with this lParam (0: delivered frames).
    static std::size_t countOf(const std::vector<Notification> &notifications, int lParam) {
        std::size_t n = 0;
        for (const Notification &notification : notifications) {
            n += notification.message == OSTREL_MSG_FRAME && notification.lParam == lParam;
        }
        return n;
    }
    // Resumes after the camera is back: selects it again and streams frames into the buffer
    // (given again: a start that failed has let go of it).
    void expectStreamingAfterReselect() {
        ASSERT_EQ(Ostrel_SetDeviceNumber(handle, 0), 1);
        startCallbackStream();
        const auto resumed = waitForFrames([](const auto &n) { return countOf(n, 0) >= 2; });
        EXPECT_GE(countOf(resumed, 0), 2u);
        EXPECT_EQ(Ostrel_StopPreview(handle), 1);
        (void)frames.take();
    }

    SettingsSandbox store;
    Notifications errors;
    Notifications frames;
    std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(kFrameBytes);
    CameraHandle handle = 0;
};

TEST_F(CameraFaults, ACameraUnpluggedWhileStreamingEndsTheStreamWithThirteenAndIsLeftAlone) {
    open();
    startCallbackStream();
    ASSERT_GE(countOf(waitForFrames([](const auto &n) { return countOf(n, 0) >= 2; }), 0), 2u);
    const std::uint64_t callsBefore = faults().driveCalls(0);
    faults().set("0 gone\n");

    const auto ended = waitForFrames([](const auto &n) { return countOf(n, 13) >= 1; });
    ASSERT_EQ(countOf(ended, 13), 1u);
    for (const Notification &n : ended) {
        if (n.lParam != 0) {
            EXPECT_EQ(n.wParam, 0u);  // a failure carries no FrameInfo
        }
    }
    // The failing drive was retried at a bounded rate (a tight loop makes millions of calls).
    const std::uint64_t callsAtEnd = faults().driveCalls(0);
    EXPECT_LT(callsAtEnd - callsBefore, 10000u);
    // The stream has ended: nobody calls the drive any more, nothing more is posted.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_LE(faults().driveCalls(0) - callsAtEnd, 2u);
    EXPECT_TRUE(frames.take().empty());
    EXPECT_EQ(failures(errors.take()), std::vector<std::intptr_t>{13});
    EXPECT_EQ(history(handle), Codes{13});
    // The context is idle: single-frame mode is possible again, and so is leaving it.
    EXPECT_EQ(Ostrel_Capture(handle), 1);
    EXPECT_EQ(Ostrel_StopPreview(handle), 1);

    // Back again: the drive opened before it was unplugged stays dead, so a start without a
    // new selection is refused; selecting the camera again resumes the delivery.
    faults().clear();
    EXPECT_EQ(Ostrel_StartPreview(handle), 0);
    EXPECT_EQ(history(handle), Codes{6});
    expectStreamingAfterReselect();
    EXPECT_EQ(history(handle), Codes{});
}

// A camera that cannot be reached when the handle is made (unplugged, or its drive in use by
// another program) cannot stream: every start fails with code 6 and starts no thread.
TEST_F(CameraFaults, AStartWithoutACameraDriveFailsWithSixAndLeavesNoThread) {
    // Every emulated camera is out of reach: with only the first one gone, probing would find
    // the next camera and stream from it.
    for (const char *fault : {"0 gone\n1 gone\n", "0 locked\n1 locked\n"}) {
        SCOPED_TRACE(fault);
        faults().set(fault);
        open();
        // The first starts make the library's lasting threads (the image workers); a failed
        // start adds none of its own.
        int threads = -1;
        for (int round = 0; round < 3; ++round) {
            EXPECT_EQ(Ostrel_CallBackPreview(handle, frames.window(), buffer.data(),
                                             static_cast<int>(buffer.size()), 1),
                      0);
            EXPECT_EQ(history(handle), (Codes{8, 6}));
            EXPECT_TRUE(round < 2 || threadCount() == threads) << threadCount();
            EXPECT_EQ(Ostrel_StartPreview(handle), 0);
            EXPECT_EQ(history(handle), Codes{6});
            EXPECT_TRUE(round < 2 || threadCount() == threads) << threadCount();
            threads = threadCount();
        }
        EXPECT_EQ(Ostrel_SnapShot(handle, buffer.data(), static_cast<int>(buffer.size()), 1), 0);
        EXPECT_EQ(history(handle), Codes{8});
        EXPECT_TRUE(frames.take().empty());

        faults().clear();
        expectStreamingAfterReselect();
        EXPECT_EQ(Ostrel_Release(handle), 1);
        handle = 0;
    }
}

TEST_F(CameraFaults, ACameraThatNeverBecomesReadyIsReportedForEveryTimeOut) {
    open();
    startCallbackStream();
    ASSERT_GE(countOf(waitForFrames([](const auto &n) { return countOf(n, 0) >= 1; }), 0), 1u);
    faults().set("0 stalled\n");
    const auto stalled = waitForFrames([](const auto &n) { return countOf(n, 8) >= 2; });
    ASSERT_GE(countOf(stalled, 8), 2u);
    for (const Notification &n : stalled) {
        EXPECT_EQ(n.lParam == 0 || n.lParam == 8, true) << n.lParam;
        if (n.lParam == 8) {
            EXPECT_EQ(n.wParam, 0u);
        }
    }
    // Each time-out is also recorded and posted to the notification window.
    const std::vector<int> codes = history(handle);
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes, Codes(codes.size(), 8));
    const auto posted = failures(errors.take());
    ASSERT_FALSE(posted.empty());
    EXPECT_EQ(posted, std::vector<std::intptr_t>(posted.size(), 8));
    // The stream goes on and delivers again once the camera is ready.
    EXPECT_EQ(Ostrel_Capture(handle), 0);  // still streaming
    (void)history(handle);
    faults().clear();
    const auto resumed = waitForFrames([](const auto &n) { return countOf(n, 0) >= 2; });
    EXPECT_GE(countOf(resumed, 0), 2u);
    EXPECT_EQ(Ostrel_StopPreview(handle), 1);
}

}  // namespace
}  // namespace ostrel::integration
