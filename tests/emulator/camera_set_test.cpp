// The emulated cameras as the process sees them: the disk list, the drives, and switching the
// emulator on from the environment.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

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
    EXPECT_FALSE(emulatorSettingsFrom(nullptr, nullptr).has_value());
    EXPECT_FALSE(emulatorSettingsFrom("", "10").has_value());
    EXPECT_FALSE(emulatorSettingsFrom("0", nullptr).has_value());
    EXPECT_FALSE(emulatorSettingsFrom("9", nullptr).has_value());
    EXPECT_FALSE(emulatorSettingsFrom("2x", nullptr).has_value());
    EXPECT_FALSE(emulatorSettingsFrom("-1", nullptr).has_value());

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

}  // namespace
}  // namespace ostrel::emulator
