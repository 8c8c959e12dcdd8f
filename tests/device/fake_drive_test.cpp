// Linux discovery and drive access over a fake system: a sysfs tree and plain files standing in
// for /dev/sd*, laid out in a temporary folder. No real drive is ever opened.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "device/device_7100vrx.h"
#include "emulator/emulated_camera_set.h"
#include "platform/camera_protocol.h"
#include "platform/posix/system_machine_keys.h"
#include "platform/raw_drive.h"

namespace ostrel {
namespace {

namespace fs = std::filesystem;
namespace camera = platform::camera;

constexpr std::size_t kDriveBytes = camera::kDataWindowOffset + 4096;

void writeText(const fs::path &path, const std::string &text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::uint8_t> readBytes(const fs::path &path, std::uint64_t offset, std::size_t count) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    std::vector<std::uint8_t> bytes(count);
    in.read(reinterpret_cast<char *>(bytes.data()), static_cast<std::streamsize>(count));
    return bytes;
}

// A drive file: zeros, with a status sector carrying the text and model bytes when given.
void writeDrive(const fs::path &path, const std::string &identification, std::uint8_t id0,
                std::uint8_t id1) {
    std::vector<char> bytes(kDriveBytes, 0);
    if (!identification.empty()) {
        std::memcpy(bytes.data() + camera::kStatusSectorOffset, identification.data(),
                    identification.size());
        bytes[camera::kStatusSectorOffset + camera::kModelIdOffset] = static_cast<char>(id0);
        bytes[camera::kStatusSectorOffset + camera::kModelIdOffset + 1] = static_cast<char>(id1);
    }
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class FakeSystem : public ::testing::Test {
protected:
    void SetUp() override {
        emulator::installEmulatedCameras(nullptr);
        char pattern[] = "/tmp/ostrel-fake-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
        sys_ = root_ / "sys";
        dev_ = root_ / "dev";

        // sda: a SATA disk; sdb, sdc, sdd: USB disks of the maker (sdd's entry says "DS");
        // loop0: no inquiry data at all.
        addDisk("sda", "pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0", "ATA     ",
                "Samsung SSD 860 ", "1B6Q");
        addDisk("sdb", "pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host3/target3:0:0/3:0:0:0",
                "NEMBRA  ", "USB3.0 7100VRX  ", "1.00");
        addDisk("sdc", "pci0000:00/0000:00:14.0/usb2/2-2/2-2:1.0/host4/target4:0:0/4:0:0:0",
                "NEMBRA  ", "USB3.0 7100VRX  ", "1.00");
        addDisk("sdd", "pci0000:00/0000:00:14.0/usb2/2-3/2-3:1.0/host5/target5:0:0/5:0:0:0",
                "NEMBRA  ", "USB3.0 7100VRX DS", "1.00");
        fs::create_directories(sys_ / "block" / "loop0");

        writeDrive(dev_ / "sda", "", 0, 0);
        writeDrive(dev_ / "sdb", "NEMBRA USB 3.0 Camera V1.0", 0xC0, 0x06);
        writeDrive(dev_ / "sdc", "NEMBRA USB 3.0 Camera V1.0", 0xC0, 0x07);
        writeDrive(dev_ / "sdd", "NEMBRA USB 3.0 Camera V2.3", 0xC0, 0x06);

        ::setenv("OSTREL_SYSFS_ROOT", sys_.c_str(), 1);
        ::setenv("OSTREL_DEV_ROOT", dev_.c_str(), 1);
    }

    void TearDown() override {
        ::unsetenv("OSTREL_SYSFS_ROOT");
        ::unsetenv("OSTREL_DEV_ROOT");
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    void addDisk(const std::string &name, const std::string &devicePath, const std::string &vendor,
                 const std::string &model, const std::string &revision) {
        const fs::path device = sys_ / "devices" / devicePath;
        writeText(device / "vendor", vendor + "\n");
        writeText(device / "model", model + "\n");
        writeText(device / "rev", revision + "\n");
        fs::create_directories(sys_ / "block" / name);
        fs::create_directory_symlink(device, sys_ / "block" / name / "device");
    }

    fs::path root_, sys_, dev_;
};

std::string valueText(const std::vector<platform::RegistryValue> &values, const std::string &name) {
    for (const auto &v : values) {
        if (v.name == name) {
            return std::string(v.data.begin(), v.data.end());
        }
    }
    return "<missing>";
}

TEST_F(FakeSystem, DiskListIsWrittenLikeTheWindowsOne) {
    std::vector<platform::RegistryValue> values;
    ASSERT_TRUE(
        platform::loadSystemMachineKey("SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum", values));
    using namespace std::string_literals;
    EXPECT_EQ(valueText(values, "0"), "SCSI\\Disk&Ven_ATA&Prod_Samsung_SSD_860&Rev_1B6Q\\sda&0\0"s);
    EXPECT_EQ(valueText(values, "1"),
              "USBSTOR\\Disk&Ven_NEMBRA&Prod_USB3.0_7100VRX&Rev_1.00\\sdb&0\0"s);
    EXPECT_EQ(valueText(values, "3"),
              "USBSTOR\\Disk&Ven_NEMBRA&Prod_USB3.0_7100VRX_DS&Rev_1.00\\sdd&0\0"s);
    EXPECT_EQ(valueText(values, "4"), "<missing>");  // loop0 has no inquiry data
    EXPECT_EQ(valueText(values, "Count"), "\x04\0\0\0"s);
    // Other keys are not served; the path compares without case.
    EXPECT_FALSE(
        platform::loadSystemMachineKey("SYSTEM\\CurrentControlSet\\Services\\Disk", values));
    EXPECT_TRUE(
        platform::loadSystemMachineKey("system\\currentcontrolset\\services\\disk\\enum", values));
}

TEST_F(FakeSystem, ModelFindsItsCameraAmongTheFiles) {
    device::Device7100VRX device;
    // sdb and sdc are listed as cameras; sdd's entry carries "DS".
    EXPECT_EQ(device.GetDeviceCount(), 2);
    ASSERT_TRUE(device.isDriveOpen());

    // Camera 0 is sdb (sda has no status sector): a register write lands there as the exact
    // command block, and nothing else of the drive changes.
    const auto statusBefore = readBytes(dev_ / "sdb", camera::kStatusSectorOffset, 512);
    ASSERT_EQ(device.WriteByteRegister(0x4A5B, 0x6C), 1);
    std::vector<std::uint8_t> expected(512, 0);
    expected[0] = 0x20;
    expected[1] = 0x4A;
    expected[2] = 0x5B;
    expected[3] = 0x6C;
    EXPECT_EQ(readBytes(dev_ / "sdb", camera::kCommandSectorOffset, 512), expected);
    ASSERT_EQ(device.SetGain(0x0123), 1);
    expected = std::vector<std::uint8_t>(512, 0);
    expected[0] = 0x20;
    expected[1] = 0x01;
    expected[2] = 0x01;
    expected[3] = 0x23;
    EXPECT_EQ(readBytes(dev_ / "sdb", camera::kCommandSectorOffset, 512), expected);
    ASSERT_EQ(device.SetExposure(4455), 1);
    expected[2] = 0x11;
    expected[3] = 0x67;
    EXPECT_EQ(readBytes(dev_ / "sdb", camera::kCommandSectorOffset, 512), expected);
    EXPECT_EQ(readBytes(dev_ / "sdb", camera::kStatusSectorOffset, 512), statusBefore);
    // The probe never wrote to the drives that are not cameras.
    EXPECT_EQ(readBytes(dev_ / "sda", camera::kCommandSectorOffset, 512),
              std::vector<std::uint8_t>(512, 0));
    EXPECT_EQ(readBytes(dev_ / "sdc", camera::kCommandSectorOffset, 512),
              std::vector<std::uint8_t>(512, 0));

    // Camera 1 is the next drive that identifies itself (sdd; sdc has other model bytes):
    // the probe does not look at the list.
    ASSERT_EQ(device.SelectDevice(1), device::kSelectOk);
    ASSERT_EQ(device.WriteRegister(0x2004, 0x0102), 1);
    EXPECT_EQ(readBytes(dev_ / "sdd", camera::kCommandSectorOffset, 4),
              (std::vector<std::uint8_t>{0x20, 0x01, 0x01, 0x02}));

    // Byte 257 of the file's status sector is what a byte register read returns.
    std::fstream file(dev_ / "sdd", std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(
        static_cast<std::streamoff>(camera::kStatusSectorOffset + camera::kRegisterValueOffset));
    file.put(static_cast<char>(0x9E));
    file.close();
    std::uint8_t value = 0;
    EXPECT_EQ(device.ReadByteRegister(0x0042, &value), 1);
    EXPECT_EQ(value, 0x9E);
    EXPECT_EQ(readBytes(dev_ / "sdd", camera::kCommandSectorOffset, 4),
              (std::vector<std::uint8_t>{0x21, 0x00, 0x42, 0x00}));
}

TEST_F(FakeSystem, ReadyFlagInTheFileLetsABulkReadThrough) {
    device::Device7100VRX device;
    ASSERT_TRUE(device.isDriveOpen());
    std::vector<std::uint8_t> buffer(1024, 0xEE);
    device.SetTransferTimeout(3);
    EXPECT_EQ(device.ReadBulk(buffer.data(), 1024), 0);  // byte 256 is 0: never ready

    std::fstream file(dev_ / "sdb", std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(static_cast<std::streamoff>(camera::kStatusSectorOffset + camera::kReadyFlagOffset));
    file.put(1);
    file.seekp(static_cast<std::streamoff>(camera::kDataWindowOffset));
    file.write("\x10\x20\x30", 3);
    file.close();
    EXPECT_EQ(device.ReadBulk(buffer.data(), 1024), 1);
    EXPECT_EQ(buffer[0], 0x10);
    EXPECT_EQ(buffer[2], 0x30);
    // The file ends after 4096 bytes of data: a longer read still succeeds, as ReadFile does.
    std::vector<std::uint8_t> big(8192);
    EXPECT_EQ(device.ReadBulk(big.data(), 8192), 1);
}

TEST_F(FakeSystem, RawDriveHandlesUnalignedBuffersAndPositions) {
    auto drive = platform::openSystemRawDrive(1);
    ASSERT_NE(drive, nullptr);
    EXPECT_EQ(platform::openSystemRawDrive(5), nullptr);  // no sdf
    EXPECT_EQ(platform::openSystemRawDrive(16), nullptr);

    std::vector<std::uint8_t> storage(600);
    std::uint8_t *unaligned = storage.data() + 3;
    std::uint32_t got = 0;
    ASSERT_TRUE(drive->seek(camera::kStatusSectorOffset));
    ASSERT_TRUE(drive->read(unaligned, 512, &got));
    EXPECT_EQ(got, 512u);
    EXPECT_EQ(std::memcmp(unaligned, "NEMBRA USB 3.0 Camera", 21), 0);

    // A write of a few bytes in the middle of a sector keeps its neighbours.
    ASSERT_TRUE(drive->seek(camera::kStatusSectorOffset + 7));
    ASSERT_TRUE(drive->write("xyz", 3));
    EXPECT_EQ(
        readBytes(dev_ / "sdb", camera::kStatusSectorOffset, 12),
        (std::vector<std::uint8_t>{'N', 'E', 'M', 'B', 'R', 'A', ' ', 'x', 'y', 'z', ' ', '3'}));
    // The position advances with each transfer.
    ASSERT_TRUE(drive->seek(camera::kStatusSectorOffset));
    ASSERT_TRUE(drive->read(unaligned, 3, &got));
    ASSERT_TRUE(drive->read(unaligned, 4, &got));
    EXPECT_EQ(std::memcmp(unaligned, "BRA ", 4), 0);
    // Reading at the end of the drive gives what is there.
    ASSERT_TRUE(drive->seek(kDriveBytes - 100));
    ASSERT_TRUE(drive->read(unaligned, 512, &got));
    EXPECT_EQ(got, 100u);
}

TEST_F(FakeSystem, DrivesOnAFileSystemWithoutDirectIoStillOpen) {
    const fs::path shm = "/dev/shm";
    if (!fs::is_directory(shm)) {
        GTEST_SKIP() << "no tmpfs at /dev/shm";
    }
    char pattern[] = "/dev/shm/ostrel-fake-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path dir = pattern;
    writeDrive(dir / "sda", "NEMBRA USB 3.0 Camera V1.0", 0xC0, 0x06);
    ::setenv("OSTREL_DEV_ROOT", dir.c_str(), 1);
    auto drive = platform::openSystemRawDrive(0);
    ASSERT_NE(drive, nullptr);
    std::vector<std::uint8_t> status(512);
    EXPECT_TRUE(drive->seek(camera::kStatusSectorOffset));
    EXPECT_TRUE(drive->read(status.data(), 512));
    EXPECT_EQ(status[camera::kModelIdOffset], 0xC0);
    drive.reset();
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

}  // namespace
}  // namespace ostrel

#endif  // _WIN32
