// The capture thread, the frame ring, half-frame pairing and the pause protocol, on small
// emulated sensors.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "device/capture_thread.h"
#include "device_test_support.h"

namespace ostrel {
namespace {

using device::CaptureState;
using emulator::DriveRegion;
using emulator::ScriptedHalf;
using platform::camera::halfTag;
using testing::deliveredPicture;
using testing::matchingFrame;
using testing::ScopedCameras;
using testing::smallCamera;
using testing::SmallHalfFrameDevice;
using testing::SmallWholeFrameDevice;
using testing::waitUntil;

constexpr std::int32_t kWidth = 64;
constexpr std::int32_t kHeight = 32;
constexpr std::size_t kFrameBytes = kWidth * kHeight;

bool newFrame(device::CameraDevice &device) {
    return device.GetCaptureStatus() == device::kNewFrame;
}

// Runs a scripted sequence of halves through a continuous capture and returns the frames the
// device completed (their count) and the newest one.
struct ScriptResult {
    std::int32_t frames = 0;
};

ScriptResult runScript(const std::vector<ScriptedHalf> &halves) {
    ScopedCameras cameras(1, smallCamera(kWidth, kHeight));
    auto &camera = cameras.camera(0);
    camera.scriptHalves(halves);
    camera.limitHalves(static_cast<std::int64_t>(halves.size()));
    SmallHalfFrameDevice device(kWidth, kHeight);
    EXPECT_EQ(device.StartContinuousCapture(), device::kStartOk);
    EXPECT_TRUE(waitUntil([&] { return camera.counters().halvesSent == halves.size(); }));
    device.StopCapture();  // joins the thread: every half sent has been handled
    ScriptResult result;
    result.frames = device.framesCompleted();
    return result;
}

TEST(ContinuousCapture, DeliversTheScenesPicturesReordered) {
    ScopedCameras cameras(1, smallCamera(kWidth, kHeight));
    auto &camera = cameras.camera(0);
    SmallHalfFrameDevice device(kWidth, kHeight);
    ASSERT_EQ(device.StartContinuousCapture(), device::kStartOk);
    EXPECT_EQ(device.captureState(), CaptureState::Continuous);
    EXPECT_EQ(camera.counters().startCommands, 1u);

    std::vector<std::uint8_t> frame(kFrameBytes);
    std::vector<std::uint32_t> seen;
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(waitUntil([&] { return newFrame(device); }));
        ASSERT_EQ(device.GetLatestFrame(frame.data(), 0, 0, 1), 0);
        const auto sent = static_cast<std::uint32_t>(camera.counters().halvesSent / 2);
        const auto match = matchingFrame(camera, frame.data(), sent);
        ASSERT_TRUE(match.has_value()) << "pass " << i;
        seen.push_back(*match);
    }
    EXPECT_EQ(device.StopCapture(), 0);
    EXPECT_EQ(device.captureState(), CaptureState::Idle);
    // Frames only move forward, and the moving square makes consecutive frames differ.
    for (std::size_t i = 1; i < seen.size(); ++i) {
        EXPECT_GT(seen[i], seen[i - 1]);
    }
    EXPECT_NE(camera.renderPicture(0), camera.renderPicture(1));
}

TEST(ContinuousCapture, HalvesThatSplitARowAreJoinedRight) {
    // 31 rows: each half ends in the middle of row 15.
    ScopedCameras cameras(1, smallCamera(kWidth, 31));
    auto &camera = cameras.camera(0);
    camera.limitHalves(2);
    SmallHalfFrameDevice device(kWidth, 31);
    ASSERT_EQ(device.StartContinuousCapture(), device::kStartOk);
    ASSERT_TRUE(waitUntil([&] { return newFrame(device); }));
    std::vector<std::uint8_t> frame(kWidth * 31);
    ASSERT_EQ(device.GetLatestFrame(frame.data(), 0, 0, 1), 0);
    device.StopCapture();
    EXPECT_EQ(frame, deliveredPicture(camera, 0, 0x00, 0x0F));
}

TEST(ContinuousCapture, OneSidedReadoutIsCopiedAsItComes) {
    ScopedCameras cameras(1, smallCamera(kWidth, kHeight));
    auto &camera = cameras.camera(0);
    // Tell the camera to read one side only, then capture with a device that does not re-order.
    auto word = [&](std::uint16_t address, std::uint16_t value, SmallHalfFrameDevice &d) {
        ASSERT_EQ(d.WriteRegister(address, value), 1);
    };
    SmallHalfFrameDevice device(kWidth, kHeight, false);
    word(0x3000, 0, device);
    word(0x3001, 1, device);
    word(0x3000, 1, device);
    ASSERT_EQ(device.StartContinuousCapture(), device::kStartOk);
    ASSERT_TRUE(waitUntil([&] { return newFrame(device); }));
    std::vector<std::uint8_t> frame(kFrameBytes);
    ASSERT_EQ(device.GetLatestFrame(frame.data(), 0, 0, 1), 0);
    device.StopCapture();
    const auto sent = static_cast<std::uint32_t>(camera.counters().halvesSent / 2);
    EXPECT_TRUE(matchingFrame(camera, frame.data(), sent).has_value());
}

TEST(ContinuousCapture, MeasuresTheFrameRate) {
    ScopedCameras cameras(1, smallCamera(kWidth, kHeight));
    SmallHalfFrameDevice device(kWidth, kHeight);
    EXPECT_EQ(device.GetFrameRate(), 0.0f);
    ASSERT_EQ(device.StartContinuousCapture(), device::kStartOk);
    EXPECT_TRUE(waitUntil([&] { return device.GetFrameRate() > 0.0f; }));
    device.StopCapture();
}

TEST(ContinuousCapture, ALongExposureSlowsTheFrames) {
    ScopedCameras cameras(1, smallCamera(kWidth, kHeight), testing::StartExposure::PowerUp);
    SmallHalfFrameDevice device(kWidth, kHeight);
    ASSERT_EQ(device.WriteRegister(0x2004, 1), 1);  // 525 ms
    const auto began = std::chrono::steady_clock::now();
    ASSERT_EQ(device.StartContinuousCapture(), device::kStartOk);
    // Frames keep coming through the device's retried ready waits, but one exposure apart: the
    // third cannot be complete before 3 x 525 ms (a busy machine only makes it later).
    ASSERT_TRUE(waitUntil([&] { return device.framesCompleted() >= 3; }));
    EXPECT_GE(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(1576));
    device.StopCapture();
}

TEST(ContinuousCapture, StatusIsNewOnlyUntilTheFrameIsTaken) {
    ScopedCameras cameras(1, smallCamera(kWidth, kHeight));
    auto &camera = cameras.camera(0);
    camera.limitHalves(0);
    SmallHalfFrameDevice device(kWidth, kHeight);
    ASSERT_EQ(device.StartContinuousCapture(), device::kStartOk);
    EXPECT_EQ(device.GetCaptureStatus(), device::kNoNewFrame);
    camera.limitHalves(2);  // exactly one frame
    ASSERT_TRUE(waitUntil([&] { return newFrame(device); }));
    std::vector<std::uint8_t> frame(kFrameBytes);
    EXPECT_EQ(device.GetLatestFrame(frame.data(), 0, 0, 1), 0);
    EXPECT_EQ(device.GetCaptureStatus(), device::kNoNewFrame);
    EXPECT_EQ(frame, deliveredPicture(camera, 0, 0x00, 0x0F));
    camera.limitHalves(2);
    ASSERT_TRUE(waitUntil([&] { return newFrame(device); }));
    EXPECT_EQ(device.GetLatestFrame(frame.data(), 0, 0, 1), 0);
    EXPECT_EQ(frame, deliveredPicture(camera, 1, 0x10, 0x1F));
    device.StopCapture();
}

TEST(HalfPairing, MismatchedTagsNeverCompleteAFrame) {
    // First halves carry even tags and second halves odd ones, so no two ever pair up.
    std::vector<ScriptedHalf> halves;
    for (std::uint32_t f = 0; f < 20; ++f) {
        halves.push_back({f, false, halfTag(2 * f, false)});
        halves.push_back({f, true, halfTag(2 * f + 1, true)});
    }
    EXPECT_EQ(runScript(halves).frames, 0);
}

TEST(HalfPairing, ATransferWithOtherLowBitsChangesNothing) {
    ScopedCameras cameras(1, smallCamera(kWidth, kHeight));
    auto &camera = cameras.camera(0);
    // First half of frame 0, then a stray transfer carrying frame 5's second half, then the
    // matching second half: the frame is frame 0, untouched by the stray data.
    const std::vector<ScriptedHalf> halves = {
        {0, false, 0x00}, {5, true, 0x05}, {5, false, 0x01}, {0, true, 0x0F}};
    camera.scriptHalves(halves);
    camera.limitHalves(4);
    SmallHalfFrameDevice device(kWidth, kHeight);
    ASSERT_EQ(device.StartContinuousCapture(), device::kStartOk);
    ASSERT_TRUE(waitUntil([&] { return camera.counters().halvesSent == 4; }));
    ASSERT_TRUE(waitUntil([&] { return newFrame(device); }));
    std::vector<std::uint8_t> frame(kFrameBytes);
    EXPECT_EQ(device.GetLatestFrame(frame.data(), 0, 0, 1), 0);
    device.StopCapture();
    EXPECT_EQ(device.framesCompleted(), 1);
    EXPECT_EQ(frame, deliveredPicture(camera, 0, 0x00, 0x0F));
}

TEST(HalfPairing, TheLatestFirstHalfWithTheMatchingTagIsUsed) {
    ScopedCameras cameras(1, smallCamera(kWidth, kHeight));
    auto &camera = cameras.camera(0);
    // Two first halves with different tags, then a second half with the second one's tag.
    camera.scriptHalves({{3, false, 0x30}, {4, false, 0x40}, {4, true, 0x4F}});
    camera.limitHalves(3);
    SmallHalfFrameDevice device(kWidth, kHeight);
    ASSERT_EQ(device.StartContinuousCapture(), device::kStartOk);
    ASSERT_TRUE(waitUntil([&] { return newFrame(device); }));
    std::vector<std::uint8_t> frame(kFrameBytes);
    EXPECT_EQ(device.GetLatestFrame(frame.data(), 0, 0, 1), 0);
    EXPECT_EQ(frame, deliveredPicture(camera, 4, 0x40, 0x4F));

    // A second half whose tag matches a first half that was replaced completes nothing.
    camera.scriptHalves({{3, true, 0x3F}});
    camera.limitHalves(1);
    ASSERT_TRUE(waitUntil([&] { return camera.counters().halvesSent == 4; }));
    device.StopCapture();
    EXPECT_EQ(device.framesCompleted(), 1);
}

TEST(HalfPairing, ADroppedHalfLosesOnlyItsFrame) {
    ScopedCameras cameras(1, smallCamera(kWidth, kHeight));
    auto &camera = cameras.camera(0);
    camera.dropNextHalves(1);  // frame 0's first half never arrives
    camera.limitHalves(3);
    SmallHalfFrameDevice device(kWidth, kHeight);
    ASSERT_EQ(device.StartContinuousCapture(), device::kStartOk);
    ASSERT_TRUE(waitUntil([&] { return newFrame(device); }));
    std::vector<std::uint8_t> frame(kFrameBytes);
    EXPECT_EQ(device.GetLatestFrame(frame.data(), 0, 0, 1), 0);
    device.StopCapture();
    EXPECT_EQ(device.framesCompleted(), 1);
    EXPECT_EQ(frame, deliveredPicture(camera, 1, 0x10, 0x1F));
}

TEST(HalfPairing, SixteenFramesWrapTheTag) {
    std::vector<ScriptedHalf> halves;
    for (std::uint32_t f = 0; f < 18; ++f) {
        halves.push_back({f, false, halfTag(f, false)});
        halves.push_back({f, true, halfTag(f, true)});
    }
    EXPECT_EQ(halfTag(16, false), 0x00);
    EXPECT_EQ(halfTag(15, true), 0xFF);
    EXPECT_EQ(runScript(halves).frames, 18);
}

TEST(SingleCapture, EndsByItselfAfterOneFrame) {
    ScopedCameras cameras(1, smallCamera(kWidth, kHeight));
    auto &camera = cameras.camera(0);
    SmallHalfFrameDevice device(kWidth, kHeight);
    ASSERT_EQ(device.StartSingleCapture(), device::kStartOk);
    ASSERT_TRUE(waitUntil([&] { return device.captureState() == CaptureState::StopRequested; }));
    const auto halves = camera.counters().halvesSent;
    std::vector<std::uint8_t> frame(kFrameBytes);
    EXPECT_EQ(device.WaitSingleFrame(frame.data(), 0, 0, 1), 0);
    EXPECT_EQ(device.captureState(), CaptureState::Idle);
    EXPECT_EQ(frame, deliveredPicture(camera, 0, 0x00, 0x0F));
    EXPECT_EQ(halves, 2u);
    EXPECT_EQ(camera.counters().halvesSent, 2u);
    EXPECT_EQ(device.GetCaptureStatus(), device::kNoNewFrame);
}

TEST(SingleCapture, AWaitThatRunsOutEndsTheThreadAndCopiesSlotZero) {
    ScopedCameras cameras(1, smallCamera(kWidth, kHeight));
    auto &camera = cameras.camera(0);
    camera.setNeverReady(true);
    SmallHalfFrameDevice device(kWidth, kHeight);
    device.SetTransferTimeout(50);
    ASSERT_EQ(device.StartSingleCapture(), device::kStartOk);
    std::vector<std::uint8_t> frame(kFrameBytes, 0xAB);
    EXPECT_EQ(device.WaitSingleFrame(frame.data(), 0, 0, 1), 0);
    EXPECT_EQ(device.captureState(), CaptureState::Idle);
    EXPECT_EQ(frame, std::vector<std::uint8_t>(kFrameBytes, 0));  // the empty slot
    // The thread is gone: nobody polls the camera any more.
    const auto reads = camera.counters().statusReads;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(camera.counters().statusReads, reads);
    // And the next start works normally.
    camera.setNeverReady(false);
    device.SetTransferTimeout(3000);
    ASSERT_EQ(device.StartSingleCapture(), device::kStartOk);
    EXPECT_EQ(device.WaitSingleFrame(frame.data(), 0, 0, 1), 0);
    EXPECT_EQ(frame, deliveredPicture(camera, 0, 0x00, 0x0F));
}

TEST(SingleCapture, AStartAfterAnUnwaitedSingleFrameReplacesItsThread) {
    ScopedCameras cameras(1, smallCamera(kWidth, kHeight));
    SmallHalfFrameDevice device(kWidth, kHeight);
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(device.StartSingleCapture(), device::kStartOk);
    }
    ASSERT_EQ(device.StartContinuousCapture(), device::kStartOk);
    EXPECT_TRUE(waitUntil([&] { return newFrame(device); }));
    EXPECT_EQ(device.StopCapture(), 0);
}

TEST(StartAndStop, RepeatedManyTimesLeavesNothingRunning) {
    ScopedCameras cameras(1, smallCamera(kWidth, kHeight));
    SmallHalfFrameDevice device(kWidth, kHeight);
    std::vector<std::uint8_t> frame(kFrameBytes);
    for (int i = 0; i < 300; ++i) {
        ASSERT_EQ(device.StartContinuousCapture(), device::kStartOk);
        if (i % 10 == 0) {
            ASSERT_TRUE(waitUntil([&] { return newFrame(device); }));
            ASSERT_EQ(device.GetLatestFrame(frame.data(), 0, 0, 1), 0);
        }
        ASSERT_EQ(device.StopCapture(), 0);
        ASSERT_EQ(device.captureState(), CaptureState::Idle);
    }
    // After a stop there are no buffers to copy from.
    EXPECT_EQ(device.GetLatestFrame(frame.data(), 0, 0, 1), 1);
}

TEST(StartAndStop, AStartCommandThatCannotBeWrittenStartsNothing) {
    ScopedCameras cameras(1, smallCamera(kWidth, kHeight));
    auto &camera = cameras.camera(0);
    SmallHalfFrameDevice device(kWidth, kHeight);
    camera.failNextWrites(1);
    EXPECT_EQ(device.StartContinuousCapture(), device::kStartCommandNotWritten);
    EXPECT_EQ(device.captureState(), CaptureState::Idle);
    EXPECT_FALSE(camera.streaming());
    EXPECT_EQ(device.StopCapture(), 0);
    EXPECT_EQ(device.StartContinuousCapture(), device::kStartOk);
    EXPECT_TRUE(waitUntil([&] { return newFrame(device); }));
}

TEST(StartAndStop, AThreadThatCannotBeStartedLeavesTheDeviceIdle) {
    ScopedCameras cameras(1, smallCamera(kWidth, kHeight));
    SmallHalfFrameDevice device(kWidth, kHeight);
    device::failNextCaptureThreadStarts(1);
    EXPECT_EQ(device.StartContinuousCapture(), device::kStartNoResources);
    EXPECT_EQ(device.captureState(), CaptureState::Idle);
    std::vector<std::uint8_t> frame(kFrameBytes);
    EXPECT_EQ(device.GetLatestFrame(frame.data(), 0, 0, 1), 1);  // no buffers left behind
    device::failNextCaptureThreadStarts(1);
    EXPECT_EQ(device.StartSingleCapture(), device::kStartNoResources);
    EXPECT_EQ(device.StartContinuousCapture(), device::kStartOk);
    EXPECT_TRUE(waitUntil([&] { return newFrame(device); }));
    device.StopCapture();
}

// Without an open drive (no camera found, or its drive could not be opened) no capture could
// ever deliver a frame: every start is refused and leaves no thread and no buffers.
TEST(StartAndStop, WithoutADriveNoCaptureStarts) {
    struct Case {
        const char *name;
        int cameras;
        bool refuseOpen;
    };
    for (const Case &c : {Case{"no camera", 0, false}, Case{"drive in use", 1, true}}) {
        SCOPED_TRACE(c.name);
        ScopedCameras cameras(c.cameras, smallCamera(kWidth, kHeight));
        if (c.refuseOpen) {
            cameras.camera(0).refuseOpens(true);
        }
        SmallHalfFrameDevice device(kWidth, kHeight);
        ASSERT_FALSE(device.isDriveOpen());
        EXPECT_EQ(device.StartContinuousCapture(), device::kStartNoDrive);
        EXPECT_EQ(device.captureState(), CaptureState::Idle);
        EXPECT_EQ(device.StartSingleCapture(), device::kStartNoDrive);
        EXPECT_EQ(device.captureState(), CaptureState::Idle);
        std::vector<std::uint8_t> frame(kFrameBytes);
        EXPECT_EQ(device.GetLatestFrame(frame.data(), 0, 0, 1), 1);  // no buffers
        EXPECT_EQ(device.StopCapture(), 0);
        if (c.refuseOpen) {
            cameras.camera(0).refuseOpens(false);
            ASSERT_EQ(device.SelectDevice(0), device::kSelectOk);
            ASSERT_EQ(device.StartContinuousCapture(), device::kStartOk);
            EXPECT_TRUE(waitUntil([&] { return newFrame(device); }));
            EXPECT_EQ(device.StopCapture(), 0);
        }
    }
}

// A drive that keeps failing (the camera gone) fails the capture after a few attempts spaced
// out in time; fewer failures in a row are ridden out and the frames go on.
TEST(StartAndStop, ADriveThatKeepsFailingFailsTheCaptureAfterBoundedRetries) {
    struct Case {
        const char *name;
        int failures;  // status reads that fail in a row; -1: the camera disappears
        bool captureFails;
    };
    const int limit = device::kDriveFailuresBeforeCaptureFails;
    for (const Case &c : {Case{"camera gone", -1, true}, Case{"failures to the limit", limit, true},
                          Case{"one failure short", limit - 1, false}}) {
        SCOPED_TRACE(c.name);
        ScopedCameras cameras(1, smallCamera(kWidth, kHeight));
        auto &camera = cameras.camera(0);
        SmallHalfFrameDevice device(kWidth, kHeight);
        ASSERT_EQ(device.StartContinuousCapture(), device::kStartOk);
        ASSERT_TRUE(waitUntil([&] { return device.framesCompleted() >= 2; }));
        if (c.failures < 0) {
            camera.disconnect();
        } else {
            camera.failNextReads(DriveRegion::Status, c.failures);
        }
        // From here on every attempt fails (until the injected failures are used up).
        const std::uint64_t callsBefore = camera.counters().driveCalls;
        if (c.captureFails) {
            ASSERT_TRUE(
                waitUntil([&] { return device.GetCaptureStatus() == device::kCaptureFailed; }));
            EXPECT_EQ(device.captureState(), CaptureState::TransferFailed);
            // One seek or read per attempt, a handful of attempts, then the thread has ended.
            const std::uint64_t calls = camera.counters().driveCalls - callsBefore;
            EXPECT_LE(calls, 3u * limit);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            EXPECT_EQ(camera.counters().driveCalls - callsBefore, calls);
        } else {
            const std::int32_t frames = device.framesCompleted();
            ASSERT_TRUE(waitUntil([&] { return device.framesCompleted() >= frames + 2; }));
            EXPECT_EQ(device.captureState(), CaptureState::Continuous);
        }
        EXPECT_EQ(device.takeTransferTimeouts(), 0);  // failures are not time-outs
        EXPECT_EQ(device.StopCapture(), 0);
        EXPECT_EQ(device.captureState(), CaptureState::Idle);
        // A camera that answers again (the same drive) captures again after a new start.
        camera.reconnect();
        ASSERT_EQ(device.StartContinuousCapture(), device::kStartOk);
        EXPECT_TRUE(waitUntil([&] { return newFrame(device); }));
        EXPECT_EQ(device.StopCapture(), 0);
    }
}

TEST(StartAndStop, AStopEndsAReadyWaitOnASilentCamera) {
    // Each status read takes 2 ms and the camera never becomes ready: the whole wait would be
    // 10000 reads, and a stop that waited for it would take 20 seconds.
    auto config = smallCamera(kWidth, kHeight);
    config.statusReadLatency = std::chrono::milliseconds(2);
    ScopedCameras cameras(1, config);
    auto &camera = cameras.camera(0);
    camera.setNeverReady(true);
    SmallHalfFrameDevice device(kWidth, kHeight);
    device.SetTransferTimeout(10000);
    const auto probeReads = camera.counters().statusReads;
    ASSERT_EQ(device.StartContinuousCapture(), device::kStartOk);
    ASSERT_TRUE(waitUntil([&] { return camera.counters().statusReads > probeReads; }));
    EXPECT_EQ(device.StopCapture(), 0);
    EXPECT_LT(camera.counters().statusReads - probeReads, 5000u);
    EXPECT_EQ(device.takeTransferTimeouts(), 0);  // cut short, not run out
}

// A camera that stays silent is not a failing drive: each ready wait that runs out is counted
// for the caller to report, and the capture goes on and delivers once the camera is ready.
TEST(StartAndStop, ReadyWaitsThatRunOutAreCountedAndTheCaptureGoesOn) {
    ScopedCameras cameras(1, smallCamera(kWidth, kHeight));
    auto &camera = cameras.camera(0);
    camera.setNeverReady(true);
    SmallHalfFrameDevice device(kWidth, kHeight);
    device.SetTransferTimeout(5);
    ASSERT_EQ(device.StartContinuousCapture(), device::kStartOk);
    std::int32_t timeouts = 0;
    ASSERT_TRUE(waitUntil([&] {
        timeouts += device.takeTransferTimeouts();
        return timeouts >= 3;
    }));
    EXPECT_EQ(device.captureState(), CaptureState::Continuous);
    EXPECT_EQ(device.GetCaptureStatus(), device::kNoNewFrame);
    // Each wait took exactly the transfer time-out in status reads.
    EXPECT_GE(camera.counters().statusReads, static_cast<std::uint64_t>(5 * timeouts));
    camera.setNeverReady(false);
    ASSERT_TRUE(waitUntil([&] { return newFrame(device); }));
    // Time-outs nobody took do not carry over to the next capture.
    camera.setNeverReady(true);
    const auto reads = camera.counters().statusReads;
    ASSERT_TRUE(waitUntil([&] { return camera.counters().statusReads >= reads + 20; }));
    EXPECT_EQ(device.StopCapture(), 0);
    camera.setNeverReady(false);
    // A wait far longer than a frame period, so the new capture cannot run out of one of its
    // own before the count is read, however the threads are scheduled.
    device.SetTransferTimeout(10000);
    ASSERT_EQ(device.StartContinuousCapture(), device::kStartOk);
    EXPECT_EQ(device.takeTransferTimeouts(), 0);
    EXPECT_EQ(device.StopCapture(), 0);
}

TEST(WholeFrameCapture, ReadsFramesAndFailsForGoodOnAFailedRead) {
    ScopedCameras cameras(1, smallCamera(kWidth, kHeight));
    auto &camera = cameras.camera(0);
    SmallWholeFrameDevice device(kWidth, kHeight);
    ASSERT_EQ(device.StartContinuousCapture(), device::kStartOk);
    ASSERT_TRUE(waitUntil([&] { return device.framesCompleted() >= 3; }));
    camera.failNextReads(DriveRegion::Data, 1);
    ASSERT_TRUE(waitUntil([&] { return device.GetCaptureStatus() == device::kCaptureFailed; }));
    EXPECT_EQ(device.captureState(), CaptureState::TransferFailed);
    // The thread has ended: pausing finds nothing to pause.
    EXPECT_EQ(device.PauseCapture(), 0);
    EXPECT_EQ(device.StopCapture(), 0);
    EXPECT_EQ(device.captureState(), CaptureState::Idle);
}

TEST(WholeFrameCapture, WithoutADriveStartsNothing) {
    ScopedCameras cameras(0, smallCamera(kWidth, kHeight));
    SmallWholeFrameDevice device(kWidth, kHeight);
    EXPECT_EQ(device.StartContinuousCapture(), device::kStartNoDrive);
    EXPECT_EQ(device.captureState(), CaptureState::Idle);
    EXPECT_EQ(device.StopCapture(), 0);
}

TEST(WholeFrameCapture, SingleFrameLandsInSlotZero) {
    ScopedCameras cameras(1, smallCamera(kWidth, kHeight));
    auto &camera = cameras.camera(0);
    SmallWholeFrameDevice device(kWidth, kHeight);
    ASSERT_EQ(device.StartSingleCapture(), device::kStartOk);
    std::vector<std::uint8_t> frame(kFrameBytes);
    EXPECT_EQ(device.WaitSingleFrame(frame.data(), 0, 0, 1), 0);
    // A whole-frame read takes one transfer: the camera's first half as it comes off the
    // sensor (pairs from both ends of each row, nothing re-ordered), then zeros.
    const auto picture = camera.renderPicture(0);
    EXPECT_EQ(frame[0], 0x00);
    EXPECT_EQ(frame[1], picture[kWidth - 1]);
    EXPECT_EQ(frame[2], picture[1]);
    EXPECT_EQ(frame[3], picture[kWidth - 2]);
    EXPECT_EQ(frame[kWidth + 1], picture[2 * kWidth - 1]);
    EXPECT_EQ(camera.counters().halvesSent, 1u);
    EXPECT_EQ(std::vector<std::uint8_t>(frame.begin() + kFrameBytes / 2, frame.end()),
              std::vector<std::uint8_t>(kFrameBytes / 2, 0));
}

TEST(PauseProtocol, PausesOnlyAContinuousCapture) {
    ScopedCameras cameras(1, smallCamera(kWidth, kHeight));
    auto &camera = cameras.camera(0);
    SmallHalfFrameDevice device(kWidth, kHeight);
    EXPECT_EQ(device.PauseCapture(), 0);
    EXPECT_EQ(device.ResumeCapture(0), 0);
    EXPECT_EQ(device.captureState(), CaptureState::Idle);

    ASSERT_EQ(device.StartContinuousCapture(), device::kStartOk);
    ASSERT_TRUE(waitUntil([&] { return device.framesCompleted() >= 2; }));
    const std::int32_t token = device.PauseCapture();
    ASSERT_EQ(token, 1);
    EXPECT_EQ(device.captureState(), CaptureState::Paused);
    // While paused the thread stays out of the drive.
    const auto before = camera.counters();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto after = camera.counters();
    EXPECT_EQ(after.statusReads, before.statusReads);
    EXPECT_EQ(after.dataReads, before.dataReads);
    // A second pauser finds nothing to pause.
    EXPECT_EQ(device.PauseCapture(), 0);
    EXPECT_EQ(device.ResumeCapture(token), token);
    EXPECT_EQ(device.captureState(), CaptureState::Continuous);
    const std::int32_t frames = device.framesCompleted();
    EXPECT_TRUE(waitUntil([&] { return device.framesCompleted() > frames; }));
    device.StopCapture();
    // Resuming after a stop does not bring the capture back.
    EXPECT_EQ(device.ResumeCapture(1), 1);
    EXPECT_EQ(device.captureState(), CaptureState::Idle);
}

TEST(PauseProtocol, AThreadInALongReadyWaitDoesNotAcknowledgeInTime) {
    // Each status read takes 2 ms and the camera is never ready: one ready wait of 10000 reads
    // outlasts the pause's one second.
    auto config = smallCamera(kWidth, kHeight);
    config.statusReadLatency = std::chrono::milliseconds(2);
    ScopedCameras cameras(1, config);
    auto &camera = cameras.camera(0);
    camera.setNeverReady(true);
    SmallHalfFrameDevice device(kWidth, kHeight);
    device.SetTransferTimeout(10000);
    const auto probeReads = camera.counters().statusReads;
    ASSERT_EQ(device.StartContinuousCapture(), device::kStartOk);
    ASSERT_TRUE(waitUntil([&] { return camera.counters().statusReads > probeReads; }));
    EXPECT_EQ(device.PauseCapture(), -1);
    EXPECT_EQ(device.captureState(), CaptureState::Continuous);
    camera.disconnect();  // ends the ready wait at once
    device.StopCapture();
}

TEST(SubsampleModes, EveryCopyStaysWithinItsBuffers) {
    // The camera sends full frames whatever the device expects: in every mode the device reads
    // its own transfer size, assembles and re-orders within its buffers and copies out exactly
    // (width / d) x (height / d) bytes.
    ScopedCameras cameras(1, smallCamera(128, 64));
    SmallHalfFrameDevice device(128, 64);
    for (const std::int32_t mode : {1, 2, 3, 0, 17, 18, 9}) {
        device.setSubsampleMode(mode);
        ASSERT_EQ(device.StartContinuousCapture(), device::kStartOk) << mode;
        ASSERT_TRUE(waitUntil([&] { return newFrame(device); })) << mode;
        std::vector<std::uint8_t> frame(128 * 64 + 64, 0xEE);
        ASSERT_EQ(device.GetLatestFrame(frame.data(), 0, 0, 1), 0);
        const std::size_t d = mode == 1 || mode == 17   ? 2
                              : mode == 2 || mode == 18 ? 4
                              : mode == 3               ? 8
                                                        : 1;
        const std::size_t copied = (128 / d) * (64 / d);
        for (std::size_t i = copied; i < frame.size(); ++i) {
            ASSERT_EQ(frame[i], 0xEE) << "mode " << mode << " byte " << i;
        }
        ASSERT_EQ(device.StopCapture(), 0);
    }
}

// Where readout picture index `index` lands in a picture reduced to every `step`-th cell, or -1
// when it is not kept.
std::int64_t reducedIndex(std::int32_t index, std::int32_t step) {
    return (index / 2) % step != 0 ? -1 : index / 2 / step * 2 + index % 2;
}

TEST(SubsampleModes, EverySampleIsTheScenesAtItsPlaceWithTheMosaicPhaseKept) {
    // In modes 1..3 the camera sends its one subsampled readout; the device makes quarter and
    // eighth size from it. Sample (x, y) at divisor d must be the sensor's sample
    // (x / 2 x 2d + x % 2, y / 2 x 2d + y % 2): whole cells, so the colour mosaic keeps its phase.
    // The first byte of each half carries its tag instead.
    struct Case {
        std::int32_t width, height, mode;
        bool twoSided;
    };
    const Case cases[] = {{128, 64, 0, true}, {128, 64, 1, true},  {128, 64, 2, true},
                          {128, 64, 3, true}, {128, 64, 2, false}, {120, 44, 3, false},
                          {136, 72, 3, true}, {128, 38, 2, true},  {128, 38, 3, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " mode " << c.mode
                                          << (c.twoSided ? " two-sided" : " one-sided"));
        auto config = smallCamera(c.width, c.height);
        config.scene = std::make_shared<testing::PositionScene>();
        ScopedCameras cameras(1, config);
        auto &camera = cameras.camera(0);
        SmallHalfFrameDevice device(c.width, c.height, c.twoSided);
        ASSERT_TRUE(device.programReadout(c.mode));
        ASSERT_EQ(device.StartContinuousCapture(), device::kStartOk);
        ASSERT_TRUE(waitUntil([&] { return newFrame(device); }));
        const std::int32_t d = 1 << c.mode;
        const std::int32_t w = c.width / d;
        const std::int32_t h = c.height / d;
        std::vector<std::uint8_t> frame(static_cast<std::size_t>(w) * h + 64, 0xEE);
        ASSERT_EQ(device.GetLatestFrame(frame.data(), 0, 0, 1), 0);
        ASSERT_EQ(device.StopCapture(), 0);

        std::vector<std::uint8_t> expected(frame.size(), 0xEE);
        for (std::int32_t y = 0; y < h; ++y) {
            for (std::int32_t x = 0; x < w; ++x) {
                expected[static_cast<std::size_t>(y) * w + x] =
                    testing::PositionScene::sampleAt(x / 2 * 2 * d + x % 2, y / 2 * 2 * d + y % 2);
            }
        }
        const std::uint32_t tagged = frame[0] >> 4;
        expected[0] = halfTag(tagged, false);
        const std::int32_t readoutWidth = camera.pictureWidth();
        const std::int32_t step = d * readoutWidth / c.width;
        const auto second = static_cast<std::int32_t>(camera.secondHalfTagIndex());
        const std::int64_t sx = reducedIndex(second % readoutWidth, step);
        const std::int64_t sy = reducedIndex(second / readoutWidth, step);
        if (sx >= 0 && sy >= 0 && sx < w && sy < h) {
            expected[static_cast<std::size_t>(sy * w + sx)] = halfTag(tagged, true);
        }
        EXPECT_EQ(frame, expected);
    }
}

}  // namespace
}  // namespace ostrel
