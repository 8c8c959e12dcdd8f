// The emulated camera's side of the sectors: status, commands, registers, tagged half-frames,
// pacing and injected faults, driven through its drive as a device would.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "device/device_test_support.h"
#include "device/two_sided_readout.h"
#include "emulator/emulated_drive.h"
#include "emulator/test_chart_scene.h"

namespace ostrel::emulator {
namespace {

namespace camera = platform::camera;
using testing::smallCamera;
using testing::StartExposure;

constexpr std::int32_t kWidth = 64;
constexpr std::int32_t kHeight = 32;

// A small camera whose status reads, while it is not ready, wait up to 20 ms for a half to
// fall due: a status read right after the start or after a half then sees the next one due
// (at the shortest exposure), however fast the test runs.
EmulatedCameraConfig testCamera(std::int32_t width = kWidth, std::int32_t height = kHeight) {
    EmulatedCameraConfig config = smallCamera(width, height);
    config.statusReadLatency = std::chrono::milliseconds(20);
    return config;
}

// The same under the light of an ordinary scene (for the power-up exposure).
EmulatedCameraConfig plainCamera(std::int32_t width = kWidth, std::int32_t height = kHeight) {
    EmulatedCameraConfig config = testCamera(width, height);
    config.illumination = 1.0;
    return config;
}

// One camera and a drive open on it; at the shortest exposure unless asked otherwise, so that
// halves are due as soon as they are asked for.
class CameraUnderTest {
public:
    explicit CameraUnderTest(const EmulatedCameraConfig &config = testCamera(),
                             StartExposure exposure = StartExposure::Shortest)
        : set_(std::vector<EmulatedCameraConfig>{config}) {
        std::unique_ptr<platform::RawDrive> drive;
        EXPECT_TRUE(set_.open(0, drive));
        drive_ = std::move(drive);
        if (exposure == StartExposure::Shortest) {
            testing::presetRegister(camera(), camera::Register::Exposure, kShortestExposure);
        }
    }

    EmulatedCamera &camera() { return set_.camera(0); }
    platform::RawDrive &drive() { return *drive_; }

    std::vector<std::uint8_t> status() {
        std::vector<std::uint8_t> sector(512, 0xEE);
        EXPECT_TRUE(drive_->seek(camera::kStatusSectorOffset));
        EXPECT_TRUE(drive_->read(sector.data(), 512));
        return sector;
    }

    bool command(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
        std::uint8_t block[512] = {b0, b1, b2, b3};
        return drive_->seek(camera::kCommandSectorOffset) && drive_->write(block, 512);
    }

    void wordWrite(std::uint16_t address, std::uint16_t value) {
        EXPECT_TRUE(command(0x20, 0x00, address >> 8, address & 0xFF));
        EXPECT_TRUE(command(0x20, 0x01, value >> 8, value & 0xFF));
    }

    // A read of the data window after one status read, as a device reads it once the ready
    // flag is up (whether it came up or not).
    std::vector<std::uint8_t> data(std::size_t length) {
        (void)status();
        std::vector<std::uint8_t> bytes(length, 0xEE);
        EXPECT_TRUE(drive_->seek(camera::kDataWindowOffset));
        EXPECT_TRUE(drive_->read(bytes.data(), static_cast<std::uint32_t>(length)));
        return bytes;
    }

private:
    EmulatedCameraSet set_;
    std::unique_ptr<platform::RawDrive> drive_;
};

TEST(EmulatedStatus, IdentifiesTheModelAndRaisesReadyAfterTheStart) {
    CameraUnderTest c;
    std::vector<std::uint8_t> status = c.status();
    EXPECT_EQ(std::memcmp(status.data(), "NEMBRA USB 3.0 Camera V1.0", 26), 0);
    EXPECT_EQ(status[26], 0xC0);
    EXPECT_EQ(status[27], 0x06);
    EXPECT_EQ(status[256], 0);
    EXPECT_EQ(status[257], 0);
    // Every other byte is zero.
    status[26] = status[27] = 0;
    std::memset(status.data(), 0, 26);
    EXPECT_EQ(status, std::vector<std::uint8_t>(512, 0));

    ASSERT_TRUE(c.command(0x10, 0, 0, 0));
    EXPECT_TRUE(c.camera().streaming());
    EXPECT_EQ(c.status()[256], 1);
    EXPECT_EQ(c.camera().counters().statusReads, 2u);
}

TEST(EmulatedStatus, ReadyOnlyWhileAHalfIsDue) {
    CameraUnderTest c;
    ASSERT_TRUE(c.command(0x10, 0, 0, 0));
    ASSERT_EQ(c.status()[256], 1);
    c.camera().setNeverReady(true);
    EXPECT_EQ(c.status()[256], 0);
    c.camera().setNeverReady(false);
    EXPECT_EQ(c.status()[256], 1);
    // At 100 bytes a second the next 1024-byte half is ten seconds away.
    c.camera().setBandwidth(100);
    c.data(1024);
    EXPECT_EQ(c.status()[256], 0);
    // A read of the data window meanwhile gets no half: its first byte marks neither half.
    const auto idle = c.data(1024);
    EXPECT_EQ(idle[0], kIdleDataMark);
    EXPECT_EQ(c.camera().counters().idleDataReads, 1u);
    EXPECT_EQ(c.camera().counters().halvesSent, 1u);
    // A new start makes the first half due after its own transfer time.
    c.camera().setBandwidth(0);
    ASSERT_TRUE(c.command(0x10, 0, 0, 0));
    EXPECT_EQ(c.status()[256], 1);
}

TEST(EmulatedHalves, ComeTaggedInTwoSidedOrder) {
    CameraUnderTest c;
    ASSERT_TRUE(c.command(0x10, 0, 0, 0));
    const std::size_t half = kWidth * kHeight / 2;
    for (std::uint32_t frame = 0; frame < 18; ++frame) {
        // Transfers longer than a half are padded with zeros.
        const auto first = c.data(half + 512);
        const auto second = c.data(half + 512);
        ASSERT_EQ(first[0], camera::halfTag(frame, false)) << frame;
        ASSERT_EQ(second[0], camera::halfTag(frame, true)) << frame;
        EXPECT_EQ(std::vector<std::uint8_t>(first.begin() + half, first.end()),
                  std::vector<std::uint8_t>(512, 0));
        // Both halves together, re-ordered, are the picture with the tags in it.
        std::vector<std::uint8_t> readout(first.begin(), first.begin() + half);
        readout.insert(readout.end(), second.begin(), second.begin() + half);
        std::vector<std::uint8_t> picture(readout.size());
        device::reorderTwoSidedReference(readout.data(), picture.data(), kHeight, kWidth / 2,
                                         kWidth);
        ASSERT_EQ(picture, testing::deliveredPicture(c.camera(), frame, first[0], second[0]))
            << frame;
    }
    EXPECT_EQ(c.camera().counters().halvesSent, 36u);
    // A new start begins again at frame 0.
    ASSERT_TRUE(c.command(0x10, 0, 0, 0));
    EXPECT_EQ(c.data(half)[0], 0x00);
}

TEST(EmulatedHalves, ShortTransfersTakeTheStartOfAHalf) {
    CameraUnderTest c;
    ASSERT_TRUE(c.command(0x10, 0, 0, 0));
    const auto first = c.data(512);  // of 1024
    const auto second = c.data(512);
    EXPECT_EQ(first[0], 0x00);
    EXPECT_EQ(second[0], 0x0F);
    EXPECT_EQ(c.camera().counters().halvesSent, 2u);
}

TEST(EmulatedCommands, WordRegistersTakeTheAddressThenTheValue) {
    CameraUnderTest c(plainCamera(), StartExposure::PowerUp);
    EXPECT_EQ(c.camera().registerValue(camera::Register::Gain), 100);
    EXPECT_EQ(c.camera().registerValue(camera::Register::Exposure), 100);
    c.wordWrite(0x2004, 0x0ABC);
    EXPECT_EQ(c.camera().registerValue(camera::Register::Exposure), 0x0ABC);
    // A value without its address step, and an address the camera does not know, do nothing.
    ASSERT_TRUE(c.command(0x20, 0x01, 0x00, 0x07));
    EXPECT_EQ(c.camera().registerValue(camera::Register::Exposure), 0x0ABC);
    c.wordWrite(0x7777, 5);
    for (const auto &info : camera::kRegisterMap) {
        EXPECT_NE(c.camera().registerValue(info.id), 5) << info.name;
    }
    // Unknown opcodes are refused.
    EXPECT_FALSE(c.command(0x99, 0x20, 0x04, 0x01));
    EXPECT_EQ(c.camera().registerValue(camera::Register::Exposure), 0x0ABC);
    EXPECT_EQ(c.camera().commands().size(), 5u);
    EXPECT_EQ(c.camera().counters().protocolFaults, 1u);
}

TEST(EmulatedCommands, ByteRegistersAnswerInTheStatusSector) {
    CameraUnderTest c;
    ASSERT_TRUE(c.command(0x20, 0x12, 0x34, 0x56));
    ASSERT_TRUE(c.command(0x20, 0xFF, 0xFF, 0x01));
    EXPECT_EQ(c.camera().byteRegister(0x1234), 0x56);
    EXPECT_EQ(c.camera().byteRegister(0xFFFF), 0x01);
    ASSERT_TRUE(c.command(0x21, 0x12, 0x34, 0x00));
    EXPECT_EQ(c.status()[257], 0x56);
    EXPECT_EQ(c.status()[257], 0x56);  // stays until the next read request
    ASSERT_TRUE(c.command(0x21, 0x00, 0x10, 0x00));
    EXPECT_EQ(c.status()[257], 0);
    // The last block can be read back from the command sector.
    std::vector<std::uint8_t> block(512);
    ASSERT_TRUE(c.drive().seek(camera::kCommandSectorOffset));
    ASSERT_TRUE(c.drive().read(block.data(), 512));
    EXPECT_EQ(block[0], 0x21);
    EXPECT_EQ(block[2], 0x10);
}

TEST(EmulatedCommands, ReadoutChangesApplyWhenLatched) {
    CameraUnderTest c;
    EXPECT_EQ(c.camera().pictureWidth(), kWidth);
    c.wordWrite(0x3000, 0);
    c.wordWrite(0x3002, 1);
    EXPECT_EQ(c.camera().pictureWidth(), kWidth);
    c.wordWrite(0x3000, 1);
    EXPECT_EQ(c.camera().pictureWidth(), kWidth / 2);
    EXPECT_EQ(c.camera().pictureHeight(), kHeight / 2);
    ASSERT_TRUE(c.command(0x10, 0, 0, 0));
    // Subsampled halves are a quarter of the size.
    const std::size_t half = (kWidth / 2) * (kHeight / 2) / 2;
    const auto first = c.data(512);
    EXPECT_EQ(std::vector<std::uint8_t>(first.begin() + half, first.end()),
              std::vector<std::uint8_t>(512 - half, 0));
}

TEST(EmulatedCommands, GainTakesEffectOnlyWhenEnabled) {
    CameraUnderTest c(plainCamera(), StartExposure::PowerUp);
    c.wordWrite(0x0005, 200);
    EXPECT_EQ(c.camera().registerValue(camera::Register::Gain), 200);
    EXPECT_DOUBLE_EQ(c.camera().response(), 1.0);
    c.wordWrite(0x3003, 1);
    c.wordWrite(0x0005, 200);
    EXPECT_DOUBLE_EQ(c.camera().response(), 2.0);
    // Values beyond the camera's ranges are clamped.
    c.wordWrite(0x0005, 5000);
    EXPECT_DOUBLE_EQ(c.camera().response(), 10.23);
    c.wordWrite(0x0005, 100);
    c.wordWrite(0x2004, 0);
    EXPECT_DOUBLE_EQ(c.camera().response(),
                     camera::exposureTimeMicroseconds(1) / camera::exposureTimeMicroseconds(100));
}

TEST(EmulatedBrightness, FollowsExposureAndGain) {
    // A sensor big enough for roomy chart patches; patch 19 is the light grey (200).
    CameraUnderTest big(plainCamera(640, 480), StartExposure::PowerUp);
    const SceneRect patch = TestChartScene::chartPatch(19, 640, 480);
    const std::size_t at = static_cast<std::size_t>(patch.top + 2) * 640 + patch.left + 2;
    EXPECT_EQ(big.camera().renderPicture(0)[at], 200);
    big.wordWrite(0x2004, 2228);
    // 200 x 262.76 / 513.80 = 102.28
    EXPECT_EQ(big.camera().renderPicture(0)[at], 102);
    big.wordWrite(0x2004, 4455);
    EXPECT_EQ(big.camera().renderPicture(0)[at], 0);
    big.wordWrite(0x2004, 100);
    big.wordWrite(0x3003, 1);
    big.wordWrite(0x0005, 1023);
    EXPECT_EQ(big.camera().renderPicture(0)[at], 255);
    big.wordWrite(0x0005, 0);
    const auto dark = big.camera().renderPicture(0);
    EXPECT_EQ(dark, std::vector<std::uint8_t>(dark.size(), 0));
}

TEST(EmulatedFaults, ReadsWritesAndDisappearance) {
    CameraUnderTest c;
    std::vector<std::uint8_t> sector(512);
    c.camera().failNextReads(DriveRegion::Status, 2);
    ASSERT_TRUE(c.drive().seek(camera::kStatusSectorOffset));
    EXPECT_FALSE(c.drive().read(sector.data(), 512));
    EXPECT_FALSE(c.drive().read(sector.data(), 512));
    ASSERT_TRUE(c.drive().seek(camera::kStatusSectorOffset));
    EXPECT_TRUE(c.drive().read(sector.data(), 512));

    c.camera().failNextWrites(1);
    EXPECT_FALSE(c.command(0x10, 0, 0, 0));
    EXPECT_FALSE(c.camera().streaming());
    EXPECT_TRUE(c.command(0x10, 0, 0, 0));

    c.camera().disconnectAfterHalves(3);
    c.data(1024);
    c.data(1024);
    c.data(1024);
    EXPECT_TRUE(c.camera().connected());
    ASSERT_TRUE(c.drive().seek(camera::kDataWindowOffset));
    EXPECT_FALSE(c.drive().read(sector.data(), 512));
    EXPECT_FALSE(c.camera().connected());
    EXPECT_FALSE(c.drive().seek(camera::kStatusSectorOffset));
    EXPECT_FALSE(c.command(0x10, 0, 0, 0));

    c.camera().reconnect();
    EXPECT_TRUE(c.camera().connected());
    EXPECT_FALSE(c.camera().streaming());
    EXPECT_EQ(c.status()[256], 0);
}

TEST(EmulatedFaults, ScriptedDroppedAndLimitedHalves) {
    CameraUnderTest c;
    ASSERT_TRUE(c.command(0x10, 0, 0, 0));
    c.camera().scriptHalves({{7, true, 0x35}, {2, false, 0xA0}});
    EXPECT_EQ(c.data(1024)[0], 0x35);
    EXPECT_EQ(c.data(1024)[0], 0xA0);
    // Then the regular sequence goes on where it was.
    EXPECT_EQ(c.data(1024)[0], 0x00);
    c.camera().dropNextHalves(2);
    EXPECT_EQ(c.data(1024)[0], 0x1F);  // 0x0F and 0x10 were dropped
    c.camera().limitHalves(1);
    EXPECT_EQ(c.status()[256], 1);
    EXPECT_EQ(c.data(1024)[0], 0x20);
    EXPECT_EQ(c.status()[256], 0);
    EXPECT_EQ(c.data(1024)[0], kIdleDataMark);
    c.camera().limitHalves(-1);
    EXPECT_EQ(c.data(1024)[0], 0x2F);
}

TEST(EmulatedFaults, AccessLogRecordsEveryRegion) {
    CameraUnderTest c;
    c.camera().setAccessLogging(true);
    c.status();
    ASSERT_TRUE(c.command(0x10, 0, 0, 0));
    c.data(1024);  // a status read, then the data
    const auto log = c.camera().accesses();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].region, DriveRegion::Status);
    EXPECT_EQ(log[1].region, DriveRegion::Command);
    EXPECT_TRUE(log[1].write);
    EXPECT_EQ(log[1].command[0], 0x10);
    EXPECT_EQ(log[2].region, DriveRegion::Status);
    EXPECT_EQ(log[3].region, DriveRegion::Data);
}

TEST(EmulatedStatus, AReadyWaitOnASlowCameraEndsWhenAHalfFallsDue) {
    auto config = smallCamera(kWidth, kHeight);
    config.statusReadLatency = std::chrono::milliseconds(20);
    config.bandwidthBytesPerSecond = 1024 * 1000;  // a 1024-byte half every millisecond
    CameraUnderTest c(config);
    ASSERT_TRUE(c.command(0x10, 0, 0, 0));
    int polls = 0;
    while (c.status()[256] != 1) {
        ++polls;
        ASSERT_LT(polls, 1000);
    }
    EXPECT_EQ(c.data(1024)[0], 0x00);
}

// What a raw disk and the camera refuse: each transfer of the table on a fresh camera, with
// whether it succeeds, the fault it leaves and whether a command in it took effect. Before,
// every one of these was taken, so a device that wrote 4-byte command blocks or read 258-byte
// status sectors passed.
TEST(EmulatedProtocol, RefusesWhatARawDiskOrTheCameraWouldRefuse) {
    enum class Op { Read, Write };
    struct Case {
        const char *what;
        Op op;
        std::uint64_t offset;
        std::uint32_t length;
        std::vector<std::uint8_t> head;  // the first bytes written; the rest are zero
        std::optional<ProtocolFault> fault;
    };
    constexpr std::uint64_t kStatus = camera::kStatusSectorOffset;
    constexpr std::uint64_t kCommand = camera::kCommandSectorOffset;
    constexpr std::uint64_t kData = camera::kDataWindowOffset;
    using enum ProtocolFault;
    const std::vector<Case> cases = {
        {"status sector", Op::Read, kStatus, 512, {}, std::nullopt},
        {"258-byte status read", Op::Read, kStatus, 258, {}, UnalignedTransfer},
        {"status read off the sector boundary", Op::Read, kStatus + 2, 512, {}, UnalignedTransfer},
        {"two data sectors", Op::Read, kData, 1024, {}, std::nullopt},
        {"100-byte data read", Op::Read, kData, 100, {}, UnalignedTransfer},
        {"a sector elsewhere", Op::Read, 0, 512, {}, std::nullopt},
        {"start block", Op::Write, kCommand, 512, {0x10}, std::nullopt},
        {"4-byte start block", Op::Write, kCommand, 4, {0x10}, UnalignedTransfer},
        {"start block off the boundary", Op::Write, kCommand + 4, 512, {0x10}, UnalignedTransfer},
        {"two sectors from the command sector",
         Op::Write,
         kCommand,
         1024,
         {0x10},
         WriteOutsideCommandSector},
        {"write to the status sector", Op::Write, kStatus, 512, {0x10}, WriteOutsideCommandSector},
        {"write to the data window", Op::Write, kData, 512, {0x10}, WriteOutsideCommandSector},
        {"write to sector 0", Op::Write, 0, 512, {0x10}, WriteOutsideCommandSector},
        {"unknown opcode", Op::Write, kCommand, 512, {0x99, 0x20, 0x04, 0x01}, MalformedCommand},
        {"start with an argument", Op::Write, kCommand, 512, {0x10, 0, 0, 1}, MalformedCommand},
        {"read request with a value",
         Op::Write,
         kCommand,
         512,
         {0x21, 0x12, 0x34, 1},
         MalformedCommand},
        {"byte in the block's tail", Op::Write, kCommand, 512,
         std::vector<std::uint8_t>{0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7}, MalformedCommand},
        {"byte register write", Op::Write, kCommand, 512, {0x20, 0x12, 0x34, 0x56}, std::nullopt},
        {"byte register read request",
         Op::Write,
         kCommand,
         512,
         {0x21, 0x12, 0x34, 0},
         std::nullopt},
    };
    for (const Case &t : cases) {
        SCOPED_TRACE(t.what);
        CameraUnderTest c;
        std::vector<std::uint8_t> bytes(std::max<std::uint32_t>(t.length, 1024), 0);
        std::copy(t.head.begin(), t.head.end(), bytes.begin());
        ASSERT_TRUE(c.drive().seek(t.offset));
        const bool ok = t.op == Op::Read ? c.drive().read(bytes.data(), t.length)
                                         : c.drive().write(bytes.data(), t.length);
        EXPECT_EQ(ok, !t.fault.has_value());
        const std::vector<ProtocolFaultRecord> faults = c.camera().protocolFaults();
        ASSERT_EQ(faults.size(), t.fault ? 1u : 0u);
        EXPECT_EQ(c.camera().counters().protocolFaults, faults.size());
        if (t.fault) {
            EXPECT_EQ(faults[0].fault, *t.fault);
            EXPECT_EQ(faults[0].write, t.op == Op::Write);
            EXPECT_EQ(faults[0].offset, t.offset);
            EXPECT_EQ(faults[0].length, t.length);
            if (t.op == Op::Write) {
                EXPECT_EQ(faults[0].command[0], t.head[0]);
            }
            // A refused block does nothing, and only accepted ones are in the command log.
            EXPECT_FALSE(c.camera().streaming());
            EXPECT_EQ(c.camera().byteRegister(0x1234), 0);
            EXPECT_TRUE(c.camera().commands().empty());
        }
    }
    // The log keeps the first faults and the counter counts them all.
    CameraUnderTest c;
    std::uint8_t block[512] = {0x10};
    for (std::size_t i = 0; i < EmulatedCamera::kFaultLogLimit + 5; ++i) {
        ASSERT_TRUE(c.drive().seek(camera::kCommandSectorOffset));
        EXPECT_FALSE(c.drive().write(block, 4));
    }
    EXPECT_EQ(c.camera().protocolFaults().size(), EmulatedCamera::kFaultLogLimit);
    EXPECT_EQ(c.camera().counters().protocolFaults, EmulatedCamera::kFaultLogLimit + 5);
    c.camera().clearProtocolFaults();
    EXPECT_TRUE(c.camera().protocolFaults().empty());
}

TEST(EmulatedPacing, AFrameTakesAtLeastTheExposureTime) {
    CameraUnderTest c(plainCamera(), StartExposure::PowerUp);
    const struct {
        std::uint16_t exposure;
        std::int64_t micros;
    } times[] = {{1, 525477}, {100, 513798}, {2228, 262760}, {4455, 44}, {0, 525477}};
    for (const auto &t : times) {
        c.wordWrite(0x2004, t.exposure);  // 0 is clamped to 1
        EXPECT_EQ(c.camera().exposureTime().count(), t.micros) << t.exposure;
    }
    // At the longest exposure at most one frame can start within a second (the second is due
    // after 1.05 s), however fast the device asks; it is measured here as an upper bound only.
    const auto began = std::chrono::steady_clock::now();
    ASSERT_TRUE(c.command(0x10, 0, 0, 0));
    std::uint64_t firstHalvesInTime = 0;
    while (c.camera().counters().halvesSent < 4) {
        const std::uint8_t tag = c.data(512)[0];
        if (std::chrono::steady_clock::now() - began < std::chrono::seconds(1) &&
            (tag & 0x0F) == camera::kFirstHalfMark) {
            ++firstHalvesInTime;
        }
    }
    EXPECT_LE(firstHalvesInTime, 1u);
}

TEST(EmulatedPacing, AShorterExposureEndsTheWaitAndBandwidthStillApplies) {
    CameraUnderTest c(testCamera(), StartExposure::PowerUp);
    ASSERT_TRUE(c.command(0x10, 0, 0, 0));
    // The first frame waits for its half-second exposure, unless the shortest exposure is
    // written meanwhile: that one is over at once.
    c.wordWrite(0x2004, kShortestExposure);
    EXPECT_EQ(c.status()[256], 1);
    EXPECT_EQ(c.data(1024)[0], 0x00);
    EXPECT_EQ(c.data(1024)[0], 0x0F);
    // At one byte a second the next 1024-byte half is due in 17 minutes, whatever the exposure.
    c.camera().setBandwidth(1);
    EXPECT_EQ(c.data(1024)[0], 0x10);
    EXPECT_EQ(c.data(1024)[0], kIdleDataMark);
    EXPECT_EQ(c.camera().counters().halvesSent, 3u);
}

}  // namespace
}  // namespace ostrel::emulator
