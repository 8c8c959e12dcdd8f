// The 7100VRX model: sizes, readout programming, gain and exposure with the pause protocol, and
// full-size captures through the emulated camera.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "device/device_7100vrx.h"
#include "device_test_support.h"

namespace ostrel {
namespace {

using device::CaptureState;
using device::Device7100VRX;
using emulator::DriveAccess;
using emulator::DriveRegion;
using platform::camera::Register;
using testing::matchingFrame;
using testing::ScopedCameras;
using testing::smallCamera;
using testing::waitUntil;

using Block = std::vector<std::uint8_t>;

std::vector<Block> commandBlocks(emulator::EmulatedCamera &camera) {
    std::vector<Block> blocks;
    for (const DriveAccess &access : camera.commands()) {
        blocks.push_back(
            {access.command[0], access.command[1], access.command[2], access.command[3]});
    }
    return blocks;
}

// The two blocks of a word register write.
std::vector<Block> wordWrite(std::uint16_t address, std::uint16_t value) {
    return {{0x20, 0x00, static_cast<std::uint8_t>(address >> 8),
             static_cast<std::uint8_t>(address & 0xFF)},
            {0x20, 0x01, static_cast<std::uint8_t>(value >> 8),
             static_cast<std::uint8_t>(value & 0xFF)}};
}

std::vector<Block> concat(std::initializer_list<std::vector<Block>> parts) {
    std::vector<Block> all;
    for (const auto &part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

std::vector<Block> readoutWrites(std::uint16_t subsample) {
    return concat({wordWrite(0x3000, 0), wordWrite(0x3001, 0), wordWrite(0x3002, subsample),
                   wordWrite(0x3000, 1)});
}

TEST(ModelSizes, FollowTheSubsampleMode) {
    ScopedCameras cameras(1, smallCamera());
    Device7100VRX device;
    struct Row {
        std::int32_t mode, frameBuffer, halfFrame, image;
    };
    const Row rows[] = {{0, 28829184, 14414848, 28829184},
                        {1, 7207424, 3603968, 7207296},
                        // Quarter and eighth size are made from the half-size readout.
                        {2, 1802240, 3603968, 1801824},
                        {3, 450560, 3603968, 451552},
                        {7, 28829184, 14414848, 28829184}};
    for (const Row &row : rows) {
        device.SetReadoutWindow(0, 0, 6576, 4384, row.mode);
        EXPECT_EQ(device.GetFrameBufferSize(), row.frameBuffer) << row.mode;
        EXPECT_EQ(device.GetHalfFrameSize(), row.halfFrame) << row.mode;
        EXPECT_EQ(device.GetImageSize(), row.image) << row.mode;
    }
}

TEST(ModelReadout, ProgramsTheCameraOnlyWhenTheModeChanges) {
    ScopedCameras cameras(1, smallCamera());
    auto &camera = cameras.camera(0);
    Device7100VRX device;
    // The first call after construction always programs the camera.
    EXPECT_EQ(device.SetReadoutWindow(0, 0, 6576, 4384, 0), 0);
    EXPECT_EQ(commandBlocks(camera), readoutWrites(0));
    camera.clearCommands();
    // The same mode, or another window, writes nothing.
    EXPECT_EQ(device.SetReadoutWindow(0, 0, 6576, 4384, 0), 0);
    EXPECT_EQ(device.SetReadoutWindow(16, 8, 640, 480, 0), 0);
    EXPECT_TRUE(camera.commands().empty());
    // Every subsampled mode sets 0x3002 to 1.
    for (const std::int32_t mode : {1, 2, 3}) {
        EXPECT_EQ(device.SetReadoutWindow(0, 0, 6576, 4384, mode), 0);
        EXPECT_EQ(commandBlocks(camera), readoutWrites(1)) << mode;
        camera.clearCommands();
    }
    EXPECT_EQ(device.SetReadoutWindow(0, 0, 6576, 4384, 0), 0);
    EXPECT_EQ(commandBlocks(camera), readoutWrites(0));
    EXPECT_EQ(camera.registerValue(Register::ReadoutUpdate), 1);
    EXPECT_EQ(camera.registerValue(Register::ReadoutSubsample), 0);
    EXPECT_EQ(camera.registerValue(Register::ReadoutSingleSided), 0);
}

TEST(ModelReadout, AModeOutOfRangeIsStoredButNotProgrammed) {
    ScopedCameras cameras(1, smallCamera());
    auto &camera = cameras.camera(0);
    Device7100VRX device;
    EXPECT_EQ(device.SetReadoutWindow(0, 0, 6576, 4384, 4), 1);
    EXPECT_EQ(device.SetReadoutWindow(0, 0, 6576, 4384, -1), 1);
    EXPECT_TRUE(camera.commands().empty());
    std::int32_t mode = 0;
    EXPECT_EQ(device.GetReadoutWindow(nullptr, nullptr, nullptr, nullptr, &mode), 0);
    EXPECT_EQ(mode, -1);
    // Coming back into range programs the camera.
    EXPECT_EQ(device.SetReadoutWindow(0, 0, 6576, 4384, 2), 0);
    EXPECT_EQ(commandBlocks(camera), readoutWrites(1));
}

TEST(ModelGainExposure, WriteTheirRegistersAndRememberTheValue) {
    ScopedCameras cameras(1, smallCamera());
    auto &camera = cameras.camera(0);
    Device7100VRX device;
    EXPECT_EQ(device.GetGain(), 0);
    std::int32_t exposure = -7;
    EXPECT_EQ(device.GetExposure(&exposure), 0);
    EXPECT_EQ(exposure, -7);

    // Only the low 16 bits of a gain are stored and written.
    EXPECT_EQ(device.SetGain(0x12345), 1);
    EXPECT_EQ(device.GetGain(), 0x2345);
    EXPECT_EQ(commandBlocks(camera), concat({wordWrite(0x3003, 1), wordWrite(0x0005, 0x2345)}));
    camera.clearCommands();

    EXPECT_EQ(device.SetExposure(4455), 1);
    EXPECT_EQ(device.GetExposure(&exposure), 1);
    EXPECT_EQ(exposure, 4455);
    EXPECT_EQ(commandBlocks(camera), wordWrite(0x2004, 4455));
    EXPECT_EQ(camera.registerValue(Register::Exposure), 4455);

    // A failed write is reported; the value is stored all the same.
    camera.failNextWrites(1);
    EXPECT_EQ(device.SetExposure(50), 0);
    EXPECT_EQ(device.GetExposure(&exposure), 1);
    EXPECT_EQ(exposure, 50);
}

TEST(ModelGainExposure, BrightnessOnTheCameraFollowsThem) {
    auto ordinaryLight = smallCamera();
    ordinaryLight.illumination = 1.0;
    ScopedCameras cameras(1, ordinaryLight, testing::StartExposure::PowerUp);
    auto &camera = cameras.camera(0);
    Device7100VRX device;
    EXPECT_DOUBLE_EQ(camera.response(), 1.0);
    ASSERT_EQ(device.SetGain(200), 1);
    EXPECT_DOUBLE_EQ(camera.response(), 2.0);
    ASSERT_EQ(device.SetExposure(2228), 1);
    // Exposure time 262.76 ms instead of 513.80 ms.
    EXPECT_NEAR(camera.response(), 2.0 * 262.76 / 513.80, 1e-3);
}

TEST(ModelStart, WritesGainAndExposureAgainAfterTheStart) {
    ScopedCameras cameras(1, smallCamera());
    auto &camera = cameras.camera(0);
    Device7100VRX device;
    // Nothing written before: the start alone, no invented values.
    EXPECT_EQ(device.StartContinuousCapture(), device::kStartOk);
    EXPECT_EQ(commandBlocks(camera), (std::vector<Block>{{0x10, 0, 0, 0}}));
    EXPECT_EQ(device.StopCapture(), 0);

    ASSERT_EQ(device.SetGain(300), 1);
    ASSERT_EQ(device.SetExposure(2000), 1);
    camera.clearCommands();
    EXPECT_EQ(device.StartContinuousCapture(), device::kStartOk);
    EXPECT_EQ(commandBlocks(camera), concat({{{0x10, 0, 0, 0}},
                                             wordWrite(0x3003, 1),
                                             wordWrite(0x0005, 300),
                                             wordWrite(0x2004, 2000)}));
    EXPECT_EQ(device.captureState(), CaptureState::Continuous);
    EXPECT_EQ(device.StopCapture(), 0);

    // Also after a start that failed.
    camera.clearCommands();
    camera.failNextWrites(1);
    EXPECT_EQ(device.StartContinuousCapture(), device::kStartCommandNotWritten);
    EXPECT_EQ(commandBlocks(camera),
              concat({wordWrite(0x3003, 1), wordWrite(0x0005, 300), wordWrite(0x2004, 2000)}));
    EXPECT_EQ(device.StopCapture(), 0);
}

TEST(ModelPause, RegisterWritesNeverInterleaveWithTheCaptureThread) {
    ScopedCameras cameras(1, smallCamera());
    auto &camera = cameras.camera(0);
    Device7100VRX device;
    ASSERT_EQ(device.StartContinuousCapture(), device::kStartOk);
    ASSERT_TRUE(waitUntil([&] { return camera.counters().halvesSent >= 4; }));
    for (int round = 0; round < 20; ++round) {
        camera.setAccessLogging(true);
        ASSERT_EQ(device.SetGain(100 + round), 1);
        ASSERT_EQ(device.SetExposure(1000 + round), 1);
        const std::vector<DriveAccess> log = camera.accesses();
        camera.setAccessLogging(false);
        // From the first block of the gain write to the last of the exposure write, only those
        // command blocks reach the drive.
        std::size_t first = log.size();
        std::size_t last = 0;
        std::size_t blocks = 0;
        for (std::size_t i = 0; i < log.size(); ++i) {
            if (log[i].region == DriveRegion::Command && log[i].write) {
                first = std::min(first, i);
                last = i;
                ++blocks;
            }
        }
        ASSERT_EQ(blocks, 6u);
        EXPECT_EQ(last - first + 1, 6u) << "round " << round;
    }
    // The capture goes on afterwards.
    const auto halves = camera.counters().halvesSent;
    EXPECT_TRUE(waitUntil([&] { return camera.counters().halvesSent > halves; }));
    EXPECT_EQ(device.StopCapture(), 0);
}

TEST(ModelPause, AnUnacknowledgedPauseWritesNothing) {
    auto config = smallCamera();
    config.statusReadLatency = std::chrono::milliseconds(2);
    ScopedCameras cameras(1, config);
    auto &camera = cameras.camera(0);
    Device7100VRX device;
    ASSERT_EQ(device.SetGain(40), 1);
    ASSERT_EQ(device.SetExposure(400), 1);
    ASSERT_EQ(device.StartContinuousCapture(), device::kStartOk);
    // The camera stops answering: the thread sits in a ready wait of 10000 slow status reads,
    // far longer than the three pauses below.
    device.SetTransferTimeout(10000);
    camera.setNeverReady(true);
    const auto reads = camera.counters().statusReads;
    ASSERT_TRUE(waitUntil([&] { return camera.counters().statusReads > reads + 2; }));
    camera.clearCommands();

    EXPECT_EQ(device.SetGain(41), 0);
    EXPECT_EQ(device.GetGain(), 40);
    EXPECT_EQ(device.SetExposure(401), 0);
    std::int32_t exposure = 0;
    EXPECT_EQ(device.GetExposure(&exposure), 1);
    EXPECT_EQ(exposure, 400);
    EXPECT_EQ(device.SetReadoutWindow(0, 0, 6576, 4384, 1), device::kReadoutPauseFailed);
    EXPECT_TRUE(camera.commands().empty());
    EXPECT_EQ(device.captureState(), CaptureState::Continuous);
    camera.disconnect();  // ends the ready wait at once
    EXPECT_EQ(device.StopCapture(), 0);
}

// Full-size pictures: the whole path at the sensor's real geometry.
class FullSizeCapture : public ::testing::Test {
protected:
    FullSizeCapture() : cameras_(1, fullSize()) {}

    static emulator::EmulatedCameraConfig fullSize() {
        emulator::EmulatedCameraConfig config;
        config.bandwidthBytesPerSecond = 0;
        return config;
    }

    // Captures a frame in `mode` and finds it among the camera's pictures, reduced to every
    // `step`-th cell of its readout.
    void captureAndCompare(std::int32_t mode, std::int32_t step = 1) {
        auto &camera = cameras_.camera(0);
        Device7100VRX device;
        ASSERT_EQ(device.SetReadoutWindow(0, 0, 6576, 4384, mode), 0);
        ASSERT_EQ(device.SetGain(100), 1);
        ASSERT_EQ(device.SetExposure(100), 1);
        ASSERT_EQ(device.StartContinuousCapture(), device::kStartOk);
        ASSERT_TRUE(waitUntil([&] { return device.GetCaptureStatus() == device::kNewFrame; }));
        const std::size_t bytes = static_cast<std::size_t>(camera.pictureWidth() / step) *
                                  static_cast<std::size_t>(camera.pictureHeight() / step);
        std::vector<std::uint8_t> frame(bytes + 4096, 0xEE);
        ASSERT_EQ(device.GetLatestFrame(frame.data(), 0, 0, 1), 0);
        const auto sent = static_cast<std::uint32_t>(camera.counters().halvesSent / 2);
        EXPECT_EQ(device.StopCapture(), 0);
        EXPECT_TRUE(matchingFrame(camera, frame.data(), sent, step).has_value());
        EXPECT_TRUE(std::all_of(frame.begin() + static_cast<std::ptrdiff_t>(bytes), frame.end(),
                                [](std::uint8_t b) { return b == 0xEE; }));
    }

    ScopedCameras cameras_;
};

TEST_F(FullSizeCapture, FullFrameEqualsTheScene) {
    captureAndCompare(0);
    EXPECT_EQ(cameras_.camera(0).pictureWidth(), 6576);
}

TEST_F(FullSizeCapture, HalfSizeFrameEqualsTheSubsampledScene) {
    captureAndCompare(1);
    EXPECT_EQ(cameras_.camera(0).pictureWidth(), 3288);
    EXPECT_EQ(cameras_.camera(0).pictureHeight(), 2192);
}

TEST_F(FullSizeCapture, QuarterAndEighthSizeAreTheHalfSizeSceneReduced) {
    // The camera sends its half-size readout; every 2nd or 4th cell of it makes 1644 x 1096 and
    // 822 x 548 pictures of the same scene.
    for (const auto &[mode, step] : {std::pair{2, 2}, std::pair{3, 4}}) {
        SCOPED_TRACE(mode);
        captureAndCompare(mode, step);
        EXPECT_EQ(cameras_.camera(0).pictureWidth() / step, 6576 >> mode);
        EXPECT_EQ(cameras_.camera(0).pictureHeight() / step, 4384 >> mode);
    }
}

}  // namespace
}  // namespace ostrel
