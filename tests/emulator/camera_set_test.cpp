// The emulated cameras as the process sees them: the disk list, the drives, and switching the
// emulator on from the environment.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "device/device_7100vrx.h"
#include "device/device_test_support.h"
#include "emulator/environment.h"
#include "platform/registry.h"

namespace ostrel::emulator {
namespace {

using testing::smallCamera;

void setEnvironment(const char *name, const char *value) {
#ifdef _WIN32
    _putenv_s(name, value == nullptr ? "" : value);
#else
    if (value == nullptr) {
        ::unsetenv(name);
    } else {
        ::setenv(name, value, 1);
    }
#endif
}

std::string readEntry(platform::RegistryKey &key, const char *name) {
    char text[256] = {};
    std::uint32_t size = sizeof text;
    if (key.query(name, nullptr, text, &size) != platform::kRegistryOk) {
        return "<unreadable>";
    }
    return text;
}

TEST(EmulatedDiskList, ListsOneMatchingEntryPerCamera) {
    testing::ScopedCameras cameras(3, smallCamera());
    platform::RegistryKey key;
    ASSERT_EQ(
        key.open(platform::RegistryRoot::LocalMachine,
                 "SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum", platform::RegistryAccess::Read),
        platform::kRegistryOk);
    std::uint32_t count = 0;
    std::uint32_t size = sizeof count;
    ASSERT_EQ(key.query("Count", nullptr, &count, &size), platform::kRegistryOk);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(readEntry(key, "0"),
              "USBSTOR\\Disk&Ven_NEMBRA&Prod_USB3.0_7100VRX&Rev_1.00\\EMULATED0000&0");
    EXPECT_EQ(readEntry(key, "2"),
              "USBSTOR\\Disk&Ven_NEMBRA&Prod_USB3.0_7100VRX&Rev_1.00\\EMULATED0002&0");
    EXPECT_EQ(readEntry(key, "3"), "<unreadable>");
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(EmulatedCameraSet::diskEntryFor(i).find("DS"), std::string::npos);
    }
}

TEST(EmulatedDrives, ServeEveryDriveNumberAndOpenNoOther) {
    EmulatedCameraSet set(2, smallCamera());
    std::unique_ptr<platform::RawDrive> drive;
    EXPECT_TRUE(set.open(1, drive));
    EXPECT_NE(drive, nullptr);
    EXPECT_EQ(set.camera(1).openDrives(), 1);
    drive.reset();
    EXPECT_EQ(set.camera(1).openDrives(), 0);
    // Drive numbers without a camera are served too: they fail to open.
    EXPECT_TRUE(set.open(2, drive));
    EXPECT_EQ(drive, nullptr);
    EXPECT_TRUE(set.open(15, drive));
    EXPECT_EQ(drive, nullptr);
    EXPECT_EQ(set.openCount(2), 1);
    // A camera that is gone cannot be opened.
    set.camera(0).disconnect();
    EXPECT_TRUE(set.open(0, drive));
    EXPECT_EQ(drive, nullptr);
    // Moved to another drive number.
    set.placeCamera(1, 7);
    EXPECT_TRUE(set.open(7, drive));
    EXPECT_NE(drive, nullptr);
    EXPECT_TRUE(set.open(1, drive));
    EXPECT_EQ(drive, nullptr);
}

TEST(EmulatedDrives, InstalledSetReplacesTheSystemsDrives) {
    {
        testing::ScopedCameras cameras(1, smallCamera());
        EXPECT_NE(platform::openRawDrive(0, platform::RawDriveAccess::Control, {}), nullptr);
        EXPECT_EQ(platform::openRawDrive(1, platform::RawDriveAccess::Control, {}), nullptr);
        EXPECT_EQ(installedEmulatedCameras().get(), &cameras.set());
    }
    EXPECT_EQ(installedEmulatedCameras(), nullptr);
    EXPECT_EQ(platform::rawDriveSource(), nullptr);
}

TEST(EmulatorEnvironment, ReadsTheCameraCountAndBandwidth) {
    // Unset or empty: the machine's drives.
    EXPECT_FALSE(emulatorSettingsFrom(nullptr, nullptr).has_value());
    EXPECT_FALSE(emulatorSettingsFrom("", "10").has_value());
    // Set to anything but 1..8: no cameras.
    for (const char *text : {"0", "9", "2x", "-1", "two", " ", "99999999999999999999"}) {
        const auto none = emulatorSettingsFrom(text, nullptr);
        ASSERT_TRUE(none.has_value()) << text;
        EXPECT_EQ(none->cameras, 0) << text;
    }

    auto settings = emulatorSettingsFrom("8", nullptr);
    ASSERT_TRUE(settings.has_value());
    EXPECT_EQ(settings->cameras, 8);
    EXPECT_DOUBLE_EQ(settings->bandwidthBytesPerSecond, 400e6);

    settings = emulatorSettingsFrom("1", "0");
    ASSERT_TRUE(settings.has_value());
    EXPECT_DOUBLE_EQ(settings->bandwidthBytesPerSecond, 0.0);
    settings = emulatorSettingsFrom("2", "125");
    EXPECT_DOUBLE_EQ(settings->bandwidthBytesPerSecond, 125e6);
    settings = emulatorSettingsFrom("2", "fast");
    EXPECT_DOUBLE_EQ(settings->bandwidthBytesPerSecond, 400e6);
}

TEST(EmulatorEnvironment, InstallsOnceFromTheEnvironment) {
    setEnvironment("OSTREL_EMULATED_CAMERAS", "3");
    setEnvironment("OSTREL_EMULATED_BANDWIDTH", "0");
    EXPECT_TRUE(installFromEnvironment());
    const auto set = installedEmulatedCameras();
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->size(), 3);
    // Later calls change nothing, whatever the environment says now.
    setEnvironment("OSTREL_EMULATED_CAMERAS", "5");
    EXPECT_TRUE(installFromEnvironment());
    EXPECT_EQ(installedEmulatedCameras(), set);
    setEnvironment("OSTREL_EMULATED_CAMERAS", nullptr);
    setEnvironment("OSTREL_EMULATED_BANDWIDTH", nullptr);

    // The cameras are found and stream without pacing.
    testing::SmallHalfFrameDevice device(6576, 4384);
    EXPECT_EQ(device.GetDeviceCount(), 3);
    EXPECT_TRUE(device.isDriveOpen());
    installEmulatedCameras(nullptr);
}

// The machine's own disks as the library would find them without the emulator: on Linux a
// sysfs tree and a file standing in for /dev/sda, listed and identified as a 7100VRX. Windows
// has no stand-in for its physical drives, so there the checks go through the drive source.
class MachineWithACamera {
public:
    MachineWithACamera() {
#ifndef _WIN32
        char pattern[] = "/tmp/ostrel-machine-XXXXXX";
        EXPECT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
        const std::filesystem::path device = root_ / "sys/devices/usb1/1-1/host0/0:0:0:0";
        std::filesystem::create_directories(device);
        std::ofstream(device / "vendor") << "NEMBRA  \n";
        std::ofstream(device / "model") << "USB3.0 7100VRX  \n";
        std::ofstream(device / "rev") << "1.00\n";
        std::filesystem::create_directories(root_ / "sys/block/sda");
        std::filesystem::create_directory_symlink(device, root_ / "sys/block/sda/device");
        std::filesystem::create_directories(root_ / "sys/block/sda/queue");
        std::ofstream(root_ / "sys/block/sda/queue/logical_block_size") << "512\n";
        std::vector<char> drive(platform::camera::kDataWindowOffset + 4096, 0);
        const std::string_view text = platform::camera::kIdentificationText;
        char *status = drive.data() + platform::camera::kStatusSectorOffset;
        std::memcpy(status, text.data(), text.size());
        status[platform::camera::kModelIdOffset] = static_cast<char>(platform::camera::kModelId0);
        status[platform::camera::kModelIdOffset + 1] =
            static_cast<char>(platform::camera::kModelId1);
        std::filesystem::create_directories(root_ / "dev");
        std::ofstream(root_ / "dev/sda", std::ios::binary)
            .write(drive.data(), static_cast<std::streamsize>(drive.size()));
        ::setenv("OSTREL_SYSFS_ROOT", (root_ / "sys").c_str(), 1);
        ::setenv("OSTREL_DEV_ROOT", (root_ / "dev").c_str(), 1);
#endif
    }
    ~MachineWithACamera() {
#ifndef _WIN32
        ::unsetenv("OSTREL_SYSFS_ROOT");
        ::unsetenv("OSTREL_DEV_ROOT");
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
#endif
    }
    static constexpr int kCameras =
#ifdef _WIN32
        0;
#else
        1;
#endif

private:
    std::filesystem::path root_;
};

TEST(EmulatorEnvironment, ASetCameraCountKeepsTheMachinesDrivesOutOfReach) {
    installEmulatedCameras(nullptr);
    MachineWithACamera machine;
    {
        // Unset or empty: the machine's drives are used (on Linux its camera is found).
        EXPECT_EQ(installFromVariables(nullptr, nullptr), nullptr);
        EXPECT_EQ(installFromVariables("", "0"), nullptr);
        EXPECT_EQ(platform::rawDriveSource(), nullptr);
        device::Device7100VRX device;
        EXPECT_EQ(device.GetDeviceCount(), MachineWithACamera::kCameras);
        EXPECT_EQ(device.isDriveOpen(), MachineWithACamera::kCameras > 0);
    }
    const struct {
        const char *text;
        int cameras;
    } cases[] = {{"1", 1},  {"3", 3},   {"8", 8},  {"0", 0},   {"9", 0},
                 {"-1", 0}, {"two", 0}, {"2x", 0}, {"1.5", 0}, {" ", 0}};
    for (const auto &t : cases) {
        SCOPED_TRACE(t.text);
        const std::shared_ptr<EmulatedCameraSet> set = installFromVariables(t.text, "0");
        ASSERT_NE(set, nullptr);
        EXPECT_EQ(set->size(), t.cameras);
        EXPECT_EQ(installedEmulatedCameras(), set);
        // Every drive number is served by the emulator: the system's drives are never opened.
        ASSERT_EQ(platform::rawDriveSource(), set.get());
        for (int number = 0; number < platform::kMaxRawDrives; ++number) {
            std::unique_ptr<platform::RawDrive> drive;
            EXPECT_TRUE(set->open(number, drive));
            EXPECT_EQ(drive != nullptr, number < t.cameras) << number;
        }
        // A device sees the emulated cameras alone, none at all for a count it cannot use.
        device::Device7100VRX device;
        EXPECT_EQ(device.GetDeviceCount(), t.cameras);
        EXPECT_EQ(device.isDriveOpen(), t.cameras > 0);
        if (t.cameras > 0) {
            EXPECT_EQ(set->camera(0).openDrives(), 1);
        }
        installEmulatedCameras(nullptr);
    }
}

}  // namespace
}  // namespace ostrel::emulator
