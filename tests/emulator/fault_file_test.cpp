// Faults asked for through the fault file, and what an unplugged camera does to its drives.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "device/device_test_support.h"
#include "emulator/emulated_camera_set.h"
#include "emulator/fault_file.h"
#include "platform/camera_protocol.h"

namespace ostrel::emulator {
namespace {

using testing::smallCamera;

// A fault file of the test's own, removed (with its counts file) at the end.
class ScratchFaultFile {
public:
    ScratchFaultFile() {
        std::random_device random;
        path_ = (std::filesystem::temp_directory_path() /
                 ("ostrel-fault-test-" + std::to_string(random()) + std::to_string(random())))
                    .string();
        write("");
    }
    ~ScratchFaultFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
        std::filesystem::remove(path_ + ".calls", ignored);
    }
    const std::string &path() const { return path_; }
    void write(const std::string &text) const { std::ofstream(path_, std::ios::binary) << text; }
    std::string counts() const {
        std::ifstream in(path_ + ".calls", std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    std::string path_;
};

bool readsStatus(platform::RawDrive &drive) {
    std::uint8_t sector[platform::camera::kSectorSize];
    return drive.seek(platform::camera::kStatusSectorOffset) &&
           drive.read(sector, sizeof sector, nullptr);
}

TEST(FaultFileText, NamesACameraAndAFaultPerLine) {
    struct Case {
        const char *text;
        std::vector<CameraFaults> expected;  // cameras 0..2
    };
    const CameraFaults none;
    const CameraFaults gone{true, false, false};
    const CameraFaults locked{false, true, false};
    const CameraFaults stalled{false, false, true};
    const CameraFaults goneAndStalled{true, false, true};
    const Case cases[] = {
        {"", {none, none, none}},
        {"0 gone\n", {gone, none, none}},
        {"2 locked\r\n1 stalled", {none, stalled, locked}},
        {"1 gone\n1 stalled\n", {none, goneAndStalled, none}},
        // Cameras that do not exist, unknown faults and malformed lines are ignored.
        {"3 gone\n-1 gone\n0 asleep\n0 gone now\nx gone\n0\n", {none, none, none}},
        {"  0   locked  \n", {locked, none, none}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(parseFaults(c.text, 3), c.expected) << c.text;
    }
}

TEST(FaultFileEffects, UnplugsLocksAndStallsCamerasAndBringsThemBack) {
    ScratchFaultFile file;
    EmulatedCameraSet set(3, smallCamera());
    // The shortest exposure makes a healthy camera's first frame due at once after the start.
    testing::presetRegister(set.camera(2), platform::camera::Register::Exposure,
                   emulator::kShortestExposure);
    std::unique_ptr<platform::RawDrive> before;
    ASSERT_TRUE(set.open(0, before));
    ASSERT_NE(before, nullptr);

    file.write("0 gone\n1 locked\n2 stalled\n");
    set.useFaultFile(file.path());
    std::unique_ptr<platform::RawDrive> drive;
    EXPECT_TRUE(set.open(0, drive));
    EXPECT_EQ(drive, nullptr);  // unplugged
    EXPECT_FALSE(readsStatus(*before));
    EXPECT_TRUE(set.open(1, drive));
    EXPECT_EQ(drive, nullptr);  // in use
    EXPECT_TRUE(set.camera(1).connected());
    ASSERT_TRUE(set.open(2, drive));
    ASSERT_NE(drive, nullptr);
    std::uint8_t start[platform::camera::kSectorSize] = {platform::camera::kOpcodeStart};
    ASSERT_TRUE(drive->seek(platform::camera::kCommandSectorOffset));
    ASSERT_TRUE(drive->write(start, sizeof start));
    std::uint8_t status[platform::camera::kSectorSize] = {};
    ASSERT_TRUE(drive->seek(platform::camera::kStatusSectorOffset));
    ASSERT_TRUE(drive->read(status, sizeof status, nullptr));
    EXPECT_EQ(status[platform::camera::kReadyFlagOffset], 0);  // never ready

    // Every camera healthy again (the next open reads the file at once); the drive opened
    // before the unplugging stays dead, as a removed disk's handle does.
    file.write("");
    EXPECT_TRUE(set.open(0, drive));
    ASSERT_NE(drive, nullptr);
    EXPECT_TRUE(readsStatus(*drive));
    EXPECT_FALSE(readsStatus(*before));
    EXPECT_TRUE(set.open(1, drive));
    EXPECT_NE(drive, nullptr);
    EXPECT_TRUE(set.open(2, drive));
    ASSERT_TRUE(drive->seek(platform::camera::kCommandSectorOffset));
    ASSERT_TRUE(drive->write(start, sizeof start));
    // Ready once its (shortest) exposure has passed.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    do {
        ASSERT_TRUE(drive->seek(platform::camera::kStatusSectorOffset));
        ASSERT_TRUE(drive->read(status, sizeof status, nullptr));
    } while (status[platform::camera::kReadyFlagOffset] != platform::camera::kReadyFlagSet &&
             std::chrono::steady_clock::now() < end);
    EXPECT_EQ(status[platform::camera::kReadyFlagOffset], platform::camera::kReadyFlagSet);
}

TEST(FaultFileEffects, ReportsEveryCamerasDriveCalls) {
    ScratchFaultFile file;
    EmulatedCameraSet set(2, smallCamera());
    set.useFaultFile(file.path());
    std::unique_ptr<platform::RawDrive> drive;
    ASSERT_TRUE(set.open(1, drive));
    ASSERT_NE(drive, nullptr);
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(readsStatus(*drive));  // a seek and a read each
    }
    EXPECT_EQ(set.camera(1).counters().driveCalls, 10u);
    EXPECT_EQ(set.camera(0).counters().driveCalls, 0u);
    // The report is renewed at the next open (and while drives are used).
    std::unique_ptr<platform::RawDrive> other;
    ASSERT_TRUE(set.open(0, other));
    EXPECT_EQ(file.counts(), "0 0\n1 10\n");
}

// A camera that stops answering for a moment keeps its drives; one that is unplugged does not.
TEST(EmulatedFaults, DrivesOutliveADisconnectButNotAnUnplugging) {
    struct Case {
        const char *name;
        bool unplug;
        bool oldDriveWorksAfterwards;
    };
    for (const Case &c : {Case{"disconnect", false, true}, Case{"unplug", true, false}}) {
        SCOPED_TRACE(c.name);
        EmulatedCameraSet set(1, smallCamera());
        std::unique_ptr<platform::RawDrive> drive;
        ASSERT_TRUE(set.open(0, drive));
        ASSERT_NE(drive, nullptr);
        if (c.unplug) {
            set.camera(0).unplug();
        } else {
            set.camera(0).disconnect();
        }
        EXPECT_FALSE(set.camera(0).connected());
        EXPECT_FALSE(readsStatus(*drive));
        std::uint8_t block[platform::camera::kSectorSize] = {};
        EXPECT_FALSE(drive->write(block, sizeof block));
        set.camera(0).reconnect();
        EXPECT_EQ(readsStatus(*drive), c.oldDriveWorksAfterwards);
        std::unique_ptr<platform::RawDrive> fresh;
        ASSERT_TRUE(set.open(0, fresh));
        ASSERT_NE(fresh, nullptr);
        EXPECT_TRUE(readsStatus(*fresh));
    }
}

}  // namespace
}  // namespace ostrel::emulator
