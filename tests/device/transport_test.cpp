// Discovery, drive probing, register access and the bulk read's ready wait, against emulated
// cameras.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/device_7100vrx.h"
#include "device/disk_entry_match.h"
#include "device_test_support.h"
#include "platform/registry.h"

namespace ostrel {
namespace {

using device::Device7100VRX;
using emulator::DriveAccess;
using emulator::DriveRegion;
using testing::ScopedCameras;
using testing::smallCamera;
using testing::SmallHalfFrameDevice;

// A disk list served as written, for the cases the emulator's own list does not produce.
class FixedDiskList final : public platform::MachineKeySource {
public:
    explicit FixedDiskList(std::vector<platform::RegistryValue> values)
        : values_(std::move(values)) {}
    ~FixedDiskList() override { platform::setMachineKeySource(nullptr); }
    bool load(std::string_view path, std::vector<platform::RegistryValue> &values) override {
        if (path != "SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum") {
            return false;
        }
        values = values_;
        return true;
    }

private:
    std::vector<platform::RegistryValue> values_;
};

platform::RegistryValue textValue(const std::string &name, const std::string &text) {
    platform::RegistryValue v;
    v.name = name;
    v.type = platform::RegistryType::String;
    v.data.assign(text.begin(), text.end());
    v.data.push_back(0);
    return v;
}

platform::RegistryValue countValue(std::uint32_t count) {
    platform::RegistryValue v;
    v.name = "Count";
    v.type = platform::RegistryType::Dword;
    v.data = {static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(count >> 8),
              static_cast<std::uint8_t>(count >> 16), static_cast<std::uint8_t>(count >> 24)};
    return v;
}

const std::string kCameraEntry =
    "USBSTOR\\Disk&Ven_NEMBRA&Prod_USB3.0_7100VRX&Rev_1.00\\7&1c2d3e4f&0";

std::vector<std::uint8_t> commandBytes(const DriveAccess &access) {
    return {access.command[0], access.command[1], access.command[2], access.command[3]};
}

TEST(DiskEntryMatch, NeedsAllThreeWordsAndRefusesDs) {
    EXPECT_TRUE(device::isCameraDiskEntry(kCameraEntry, "7100VRX"));
    EXPECT_FALSE(device::isCameraDiskEntry(
        "USBSTOR\\Disk&Ven_NEMBRA&Prod_USB3.0_7100VRX_DS&Rev_1.00\\1&0", "7100VRX"));
    EXPECT_FALSE(device::isCameraDiskEntry(
        "USBSTOR\\Disk&Ven_NEMBRA&Prod_USB2.0_7100VRX&Rev_1.00\\1&0", "7100VRX"));
    EXPECT_FALSE(device::isCameraDiskEntry(
        "USBSTOR\\Disk&Ven_nembra&Prod_USB3.0_7100VRX&Rev_1.00\\1&0", "7100VRX"));
    EXPECT_FALSE(device::isCameraDiskEntry(kCameraEntry, "7200VRX"));
    EXPECT_TRUE(device::containsText("abc", ""));
    EXPECT_FALSE(device::containsText("ab", "abc"));
}

TEST(Discovery, CountsOnlyEntriesOfTheModelAndResetsTheIndex) {
    ScopedCameras cameras(2, smallCamera());
    cameras.set().setDiskEntries({
        kCameraEntry,
        "USBSTOR\\Disk&Ven_NEMBRA&Prod_USB3.0_7100VRX_DS&Rev_1.00\\1&0",  // "DS": not counted
        "SCSI\\Disk&Ven_ATA&Prod_Samsung_SSD_860&Rev_1B6Q\\4&2f45a9d8&0&000000",
        "USBSTOR\\Disk&Ven_NEMBRA&Prod_USB3.0_7200VRX&Rev_1.00\\2&0",  // another model
        "USBSTOR\\Disk&Ven_NEMBRA&Prod_USB3.0_7100VRX&Rev_2.00\\3&0",
    });
    SmallHalfFrameDevice device(64, 32);
    EXPECT_EQ(device.GetDeviceCount(), 2);
    EXPECT_EQ(device.IsValidDeviceIndex(0), 1);
    EXPECT_EQ(device.IsValidDeviceIndex(1), 1);
    EXPECT_EQ(device.IsValidDeviceIndex(2), 0);
    EXPECT_EQ(device.IsValidDeviceIndex(-1), 0);

    EXPECT_EQ(device.SelectDevice(1), device::kSelectOk);
    EXPECT_EQ(device.GetDeviceIndex(), 1);
    EXPECT_EQ(device.Enumerate("7100VRX"), platform::kRegistryOk);
    EXPECT_EQ(device.GetDeviceIndex(), 0);
}

TEST(Discovery, EmptyListMakesNoIndexValid) {
    ScopedCameras cameras(1, smallCamera());
    cameras.set().setDiskEntries({});
    SmallHalfFrameDevice device(64, 32);
    EXPECT_EQ(device.GetDeviceCount(), 0);
    EXPECT_FALSE(device.isDriveOpen());
    const int opensBefore = cameras.set().openCount(0);
    EXPECT_EQ(device.SelectDevice(0), device::kSelectFailed);
    EXPECT_EQ(cameras.set().openCount(0), opensBefore);  // the drives are not even tried
}

TEST(Discovery, SkipsUnreadableEntriesAndToleratesAHugeCount) {
    ScopedCameras cameras(1, smallCamera());
    // Entries 0 and 2 match; entry 1 is longer than the 256-byte read and so unreadable;
    // "Count" claims far more entries than exist.
    const std::string tooLong = kCameraEntry + std::string(300, 'x');
    FixedDiskList list({textValue("0", kCameraEntry), textValue("1", tooLong),
                        textValue("2", kCameraEntry), countValue(0x7FFFFFF0u)});
    platform::setMachineKeySource(&list);
    SmallHalfFrameDevice device(64, 32);
    EXPECT_EQ(device.GetDeviceCount(), 2);
}

TEST(Discovery, ACountOfZeroOrBelowCountsNothing) {
    ScopedCameras cameras(1, smallCamera());
    FixedDiskList zero({textValue("0", kCameraEntry), countValue(0)});
    platform::setMachineKeySource(&zero);
    SmallHalfFrameDevice device(64, 32);
    EXPECT_EQ(device.GetDeviceCount(), 0);

    FixedDiskList negative({textValue("0", kCameraEntry), countValue(0xFFFFFFFFu)});
    platform::setMachineKeySource(&negative);
    EXPECT_EQ(device.Enumerate("7100VRX"), platform::kRegistryOk);
    EXPECT_EQ(device.GetDeviceCount(), 0);
}

TEST(Probing, SkipsDrivesWithOtherIdentificationAndOrdersByDriveNumber) {
    auto wrongModel = smallCamera();
    wrongModel.modelId1 = 0x07;
    auto otherText = smallCamera();
    otherText.identification = "NEMBRA USB 3.0 Camerb V1.0";
    auto newerVersion = smallCamera();
    newerVersion.identification = "NEMBRA USB 3.0 Camera V9.7";
    ScopedCameras cameras({wrongModel, otherText, smallCamera(), newerVersion});
    cameras.set().placeCamera(0, 1);
    cameras.set().placeCamera(1, 3);
    cameras.set().placeCamera(2, 9);  // index 1: the higher drive number
    cameras.set().placeCamera(3, 4);  // index 0: the lower one, whatever the list order
    SmallHalfFrameDevice device(64, 32);
    ASSERT_EQ(device.GetDeviceCount(), 4);

    EXPECT_EQ(device.SelectDevice(0), device::kSelectOk);
    EXPECT_EQ(device.WriteByteRegister(0x1234, 0x40), 1);
    EXPECT_EQ(cameras.camera(3).byteRegister(0x1234), 0x40);
    EXPECT_EQ(cameras.camera(2).byteRegister(0x1234), 0);

    EXPECT_EQ(device.SelectDevice(1), device::kSelectOk);
    EXPECT_EQ(device.WriteByteRegister(0x1234, 0x41), 1);
    EXPECT_EQ(cameras.camera(2).byteRegister(0x1234), 0x41);

    // Only two drives carry the identification: index 2 is valid in the list but has no drive.
    EXPECT_EQ(device.SelectDevice(2), device::kSelectFailed);
    EXPECT_FALSE(device.isDriveOpen());
    // Nothing was ever written to the drives that are not cameras.
    EXPECT_TRUE(cameras.camera(0).commands().empty());
    EXPECT_TRUE(cameras.camera(1).commands().empty());
    // Every drive number was tried, and no drive stays open but the selected one.
    EXPECT_GE(cameras.set().openCount(15), 1);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(cameras.camera(i).openDrives(), 0) << i;
    }
}

TEST(Probing, SelectingAnotherCameraClosesThePreviousDrive) {
    ScopedCameras cameras(2, smallCamera());
    SmallHalfFrameDevice device(64, 32);
    ASSERT_TRUE(device.isDriveOpen());
    EXPECT_EQ(cameras.camera(0).openDrives(), 1);
    EXPECT_EQ(device.SelectDevice(1), device::kSelectOk);
    EXPECT_EQ(cameras.camera(0).openDrives(), 0);
    EXPECT_EQ(cameras.camera(1).openDrives(), 1);

    // An index equal to the count is refused without touching the drive.
    const int opens = cameras.set().openCount(0) + cameras.set().openCount(1);
    EXPECT_EQ(device.SelectDevice(2), device::kSelectFailed);
    EXPECT_EQ(cameras.set().openCount(0) + cameras.set().openCount(1), opens);
    EXPECT_EQ(cameras.camera(1).openDrives(), 1);

    EXPECT_EQ(device.CloseDrive(), 1);
    EXPECT_EQ(cameras.camera(1).openDrives(), 0);
}

// Records what each drive is opened for and passes the opens on to the emulated cameras; with
// a `standIn`, a drive opened for commands is served by that drive number instead (a disk that
// took the camera's number between its identification and its reopening).
class AccessLog final : public platform::RawDriveSource {
public:
    explicit AccessLog(emulator::EmulatedCameraSet &set, int standIn = -1)
        : set_(set), standIn_(standIn) {
        platform::setRawDriveSource(this);
    }
    ~AccessLog() override { platform::setRawDriveSource(&set_); }
    bool open(int number, std::unique_ptr<platform::RawDrive> &drive) override {
        return openFor(number, platform::RawDriveAccess::Control, drive);
    }
    bool openFor(int number, platform::RawDriveAccess access,
                 std::unique_ptr<platform::RawDrive> &drive) override {
        const bool control = access == platform::RawDriveAccess::Control;
        (control ? controlled : identified).push_back(number);
        return set_.openFor(control && standIn_ >= 0 ? standIn_ : number, access, drive);
    }
    std::vector<int> identified, controlled;

private:
    emulator::EmulatedCameraSet &set_;
    int standIn_;
};

TEST(Probing, OnlyTheIdentifiedCameraIsOpenedForWriting) {
    auto wrongModel = smallCamera();
    wrongModel.modelId1 = 0x07;
    ScopedCameras cameras({wrongModel, smallCamera(), smallCamera(), smallCamera()});
    cameras.set().placeCamera(0, 0);
    cameras.set().placeCamera(1, 2);
    cameras.set().placeCamera(2, 5);
    cameras.set().placeCamera(3, 9);
    SmallHalfFrameDevice device(64, 32);
    struct Case {
        int index, drive;
    };
    for (const Case c : {Case{1, 5}, Case{0, 2}, Case{2, 9}}) {
        AccessLog log(cameras.set());
        ASSERT_EQ(device.SelectDevice(c.index), device::kSelectOk) << c.index;
        // Every drive up to the camera was read first; only the camera was then opened again,
        // once, for commands.
        std::vector<int> probed;
        for (int d = 0; d <= c.drive; ++d) {
            probed.push_back(d);
        }
        EXPECT_EQ(log.identified, probed) << c.index;
        EXPECT_EQ(log.controlled, std::vector<int>{c.drive}) << c.index;
        EXPECT_EQ(device.WriteByteRegister(0x0101, 0x11), 1);
    }
    EXPECT_TRUE(cameras.camera(0).commands().empty());
}

TEST(Probing, ACameraThatIsGoneWhenReopenedIsNotSelected) {
    auto wrongModel = smallCamera();
    wrongModel.modelId1 = 0x07;
    ScopedCameras cameras({smallCamera(), wrongModel});
    SmallHalfFrameDevice device(64, 32);
    AccessLog log(cameras.set(), 1);  // drive 0 identifies, then drive 1 answers for it
    EXPECT_EQ(device.SelectDevice(0), device::kSelectFailed);
    EXPECT_FALSE(device.isDriveOpen());
    EXPECT_EQ(cameras.camera(0).openDrives() + cameras.camera(1).openDrives(), 0);
    EXPECT_TRUE(cameras.camera(1).commands().empty());
}

TEST(Registers, WordWriteSendsTheTwoCommandBlocks) {
    ScopedCameras cameras(1, smallCamera());
    SmallHalfFrameDevice device(64, 32);
    EXPECT_EQ(device.WriteRegister(0x2004, 0x1167), 1);
    const auto commands = cameras.camera(0).commands();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commandBytes(commands[0]), (std::vector<std::uint8_t>{0x20, 0x00, 0x20, 0x04}));
    EXPECT_EQ(commandBytes(commands[1]), (std::vector<std::uint8_t>{0x20, 0x01, 0x11, 0x67}));
    EXPECT_EQ(cameras.camera(0).registerValue(platform::camera::Register::Exposure), 0x1167);
    // Nothing is read back and the ready flag is not consulted.
    // The two status reads are the identification and its check on the drive reopened for
    // commands.
    EXPECT_EQ(cameras.camera(0).counters().statusReads, 2u);
}

TEST(Registers, FailedFirstStepSendsNoValue) {
    ScopedCameras cameras(1, smallCamera(), testing::StartExposure::PowerUp);
    SmallHalfFrameDevice device(64, 32);
    cameras.camera(0).failNextWrites(1);
    EXPECT_EQ(device.WriteRegister(0x2004, 7), 0);
    EXPECT_TRUE(cameras.camera(0).commands().empty());
    EXPECT_EQ(cameras.camera(0).registerValue(platform::camera::Register::Exposure), 100);
}

TEST(Registers, ByteAndWordFormsOverByteRegisters) {
    ScopedCameras cameras(1, smallCamera());
    SmallHalfFrameDevice device(64, 32);
    auto &camera = cameras.camera(0);
    camera.setNeverReady(true);

    EXPECT_EQ(device.WriteWordRegister(0x4410, 0xBEEF), 1);
    EXPECT_EQ(camera.byteRegister(0x4410), 0xBE);
    EXPECT_EQ(camera.byteRegister(0x4411), 0xEF);
    const auto commands = camera.commands();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commandBytes(commands[0]), (std::vector<std::uint8_t>{0x20, 0x44, 0x10, 0xBE}));
    EXPECT_EQ(commandBytes(commands[1]), (std::vector<std::uint8_t>{0x20, 0x44, 0x11, 0xEF}));

    // A read returns byte 257 of the status sector at once, without any ready wait.
    const auto readsBefore = camera.counters().statusReads;
    std::uint8_t byte = 0;
    EXPECT_EQ(device.ReadByteRegister(0x4411, &byte), 1);
    EXPECT_EQ(byte, 0xEF);
    EXPECT_EQ(camera.counters().statusReads, readsBefore + 1);
    EXPECT_EQ(commandBytes(camera.commands().back()),
              (std::vector<std::uint8_t>{0x21, 0x44, 0x11, 0x00}));

    std::uint16_t word = 0;
    EXPECT_EQ(device.ReadWordRegister(0x4410, &word), 1);
    EXPECT_EQ(word, 0xBEEF);

    // A failed read leaves the result untouched; the word read fails if either half does.
    byte = 0x77;
    camera.failNextReads(DriveRegion::Status, 1);
    EXPECT_EQ(device.ReadByteRegister(0x4410, &byte), 0);
    EXPECT_EQ(byte, 0x77);
    word = 0x1234;
    camera.failNextReads(DriveRegion::Status, 1);
    EXPECT_EQ(device.ReadWordRegister(0x4410, &word), 0);
    EXPECT_EQ(word, 0x1234);

    // Both byte writes of a word are attempted even when the first fails.
    camera.failNextWrites(1);
    EXPECT_EQ(device.WriteWordRegister(0x4420, 0x0102), 0);
    EXPECT_EQ(camera.byteRegister(0x4420), 0);
    EXPECT_EQ(camera.byteRegister(0x4421), 0x02);
}

TEST(Registers, EveryDriveOperationFailsWithoutADrive) {
    ScopedCameras cameras(0, smallCamera());
    SmallHalfFrameDevice device(64, 32);
    EXPECT_FALSE(device.isDriveOpen());
    std::uint8_t byte = 9;
    std::uint16_t word = 9;
    std::uint8_t buffer[512];
    EXPECT_EQ(device.WriteRegister(1, 2), 0);
    EXPECT_EQ(device.WriteByteRegister(0x4000, 2), 0);
    EXPECT_EQ(device.ReadByteRegister(0x4000, &byte), 0);
    EXPECT_EQ(device.WriteWordRegister(0x4000, 2), 0);
    EXPECT_EQ(device.ReadWordRegister(0x4000, &word), 0);
    EXPECT_EQ(device.ReadBulk(buffer, sizeof buffer), 0);
    EXPECT_EQ(byte, 9);
    EXPECT_EQ(word, 9);
}

TEST(BulkRead, AnUnansweredReadyWaitMakesExactlyTheTimeOutInStatusReads) {
    ScopedCameras cameras(1, smallCamera());
    SmallHalfFrameDevice device(64, 32);
    auto &camera = cameras.camera(0);
    camera.setNeverReady(true);
    std::vector<std::uint8_t> buffer(1024, 0x55);
    for (const std::int32_t timeout : {1, 25, 3000}) {
        device.SetTransferTimeout(timeout);
        const auto before = camera.counters();
        EXPECT_EQ(device.ReadBulk(buffer.data(), 1024), 0);
        const auto after = camera.counters();
        EXPECT_EQ(after.statusReads - before.statusReads, static_cast<std::uint64_t>(timeout));
        EXPECT_EQ(after.dataReads, before.dataReads);  // nothing read from the data window
    }
    EXPECT_EQ(buffer[0], 0x55);
}

TEST(BulkRead, ReadsTheDataWindowOnceReady) {
    ScopedCameras cameras(1, smallCamera());
    SmallHalfFrameDevice device(64, 32);
    auto &camera = cameras.camera(0);
    std::vector<std::uint8_t> buffer(1024, 0);
    // Before the start command the camera is never ready.
    device.SetTransferTimeout(5);
    EXPECT_EQ(device.ReadBulk(buffer.data(), 1024), 0);
    // A failed status read ends the wait at once.
    camera.failNextReads(DriveRegion::Status, 1);
    const auto before = camera.counters().statusReads;
    EXPECT_EQ(device.ReadBulk(buffer.data(), 1024), 0);
    EXPECT_EQ(camera.counters().statusReads, before);
}

TEST(TransferTimeout, AcceptsOneToTenThousand) {
    ScopedCameras cameras(0, smallCamera());
    SmallHalfFrameDevice device(64, 32);
    EXPECT_EQ(device.GetTransferTimeout(), 3000);
    device.SetTransferTimeout(0);
    device.SetTransferTimeout(-5);
    device.SetTransferTimeout(10001);
    EXPECT_EQ(device.GetTransferTimeout(), 3000);
    device.SetTransferTimeout(1);
    EXPECT_EQ(device.GetTransferTimeout(), 1);
    device.SetTransferTimeout(10000);
    EXPECT_EQ(device.GetTransferTimeout(), 10000);
}

TEST(Model, ConstructionFindsAndOpensCameraZero) {
    ScopedCameras cameras(2, smallCamera());
    Device7100VRX device;
    EXPECT_EQ(device.GetDeviceCount(), 2);
    EXPECT_EQ(device.GetDeviceIndex(), 0);
    EXPECT_TRUE(device.isDriveOpen());
    EXPECT_EQ(cameras.camera(0).openDrives(), 1);
    std::int32_t x = -1, y = -1, w = -1, h = -1, mode = -1;
    EXPECT_EQ(device.GetReadoutWindow(&x, &y, &w, &h, &mode), 0);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(w, 6576);
    EXPECT_EQ(h, 4384);
    EXPECT_EQ(mode, 0);
}

TEST(Model, ConstructionWithoutCamerasLeavesTheDriveClosed) {
    ScopedCameras cameras(0, smallCamera());
    Device7100VRX device;
    EXPECT_EQ(device.GetDeviceCount(), 0);
    EXPECT_FALSE(device.isDriveOpen());
    EXPECT_EQ(device.SetGain(100), 0);
    EXPECT_EQ(device.GetGain(), 100);  // stored before the write was tried
}

}  // namespace
}  // namespace ostrel
