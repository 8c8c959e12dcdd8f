// Linux discovery and drive access over a fake system: a sysfs tree and plain files standing in
// for /dev/sd*, laid out in a temporary folder. No real drive is ever opened.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "device/device_7100vrx.h"
#include "device/disk_entry_match.h"
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

// Watches a folder for opens of its files and for closes of files that were open for writing
// (which is what makes udev probe a disk again).
class OpenWatch {
public:
    explicit OpenWatch(const fs::path &folder) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (fd_ >= 0) {
            ::inotify_add_watch(fd_, folder.c_str(), IN_OPEN | IN_CLOSE_WRITE);
        }
    }
    ~OpenWatch() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    bool ready() const { return fd_ >= 0; }
    // The system merges repeated events, so only whether each happened is known.
    struct Events {
        bool opened = false;
        bool closedAfterWriting = false;
    };
    // What happened to each file since the last call.
    std::map<std::string, Events> collect() {
        std::map<std::string, Events> events;
        alignas(inotify_event) char buffer[8192];
        ssize_t n = 0;
        while ((n = ::read(fd_, buffer, sizeof buffer)) > 0) {
            for (ssize_t at = 0; at < n;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
                Events &e = events[event->len > 0 ? event->name : ""];
                e.opened |= (event->mask & IN_OPEN) != 0;
                e.closedAfterWriting |= (event->mask & IN_CLOSE_WRITE) != 0;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return events;
    }

private:
    int fd_;
};

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

const std::string kCameraText = "NEMBRA USB 3.0 Camera V1.0";

// The filter the 7100VRX device probes with.
bool mayBe7100(std::string_view entry) {
    return device::isCameraDiskEntry(entry, camera::kModelText);
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

        // sda: a SATA disk; sdb, sdc, sdd, sdk, sdq, sdaa: USB disks of the maker (sdd's entry
        // says "DS", sdk has 4096-byte sectors); loop0: no inquiry data at all.
        addDisk("sda", "ata1/host0/target0:0:0/0:0:0:0", "ATA     ", "Samsung SSD 860 ", "1B6Q");
        addDisk("sdb", "usb2/2-1/2-1:1.0/host3/target3:0:0/3:0:0:0", "NEMBRA  ", "USB3.0 7100VRX  ",
                "1.00");
        addDisk("sdc", "usb2/2-2/2-2:1.0/host4/target4:0:0/4:0:0:0", "NEMBRA  ", "USB3.0 7100VRX  ",
                "1.00");
        addDisk("sdd", "usb2/2-3/2-3:1.0/host5/target5:0:0/5:0:0:0", "NEMBRA  ",
                "USB3.0 7100VRX DS", "1.00");
        addDisk("sdk", "usb2/2-4/2-4:1.0/host6/target6:0:0/6:0:0:0", "NEMBRA  ", "USB3.0 7100VRX  ",
                "1.00", "4096");
        addDisk("sdq", "usb3/3-1/3-1:1.0/host7/target7:0:0/7:0:0:0", "NEMBRA  ", "USB3.0 7100VRX  ",
                "1.00");
        addDisk("sdaa", "usb3/3-2/3-2:1.0/host8/target8:0:0/8:0:0:0", "NEMBRA  ",
                "USB3.0 7100VRX  ", "1.00");
        fs::create_directories(sys_ / "block" / "loop0");

        writeDrive(dev_ / "sda", "", 0, 0);
        writeDrive(dev_ / "sdb", kCameraText, 0xC0, 0x06);
        writeDrive(dev_ / "sdc", kCameraText, 0xC0, 0x07);
        writeDrive(dev_ / "sdd", "NEMBRA USB 3.0 Camera V2.3", 0xC0, 0x06);
        writeDrive(dev_ / "sdk", kCameraText, 0xC0, 0x06);
        writeDrive(dev_ / "sdq", kCameraText, 0xC0, 0x06);
        writeDrive(dev_ / "sdaa", "NEMBRA USB 3.0 Camera V1.1", 0xC0, 0x06);

        ::setenv("OSTREL_SYSFS_ROOT", sys_.c_str(), 1);
        ::setenv("OSTREL_DEV_ROOT", dev_.c_str(), 1);
    }

    void TearDown() override {
        ::unsetenv("OSTREL_SYSFS_ROOT");
        ::unsetenv("OSTREL_DEV_ROOT");
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    void addDisk(const std::string &name, const std::string &port, const std::string &vendor,
                 const std::string &model, const std::string &revision,
                 const std::string &sectorSize = "512") {
        const bool usb = port.rfind("usb", 0) == 0;
        const fs::path device =
            sys_ / "devices/pci0000:00" / (usb ? "0000:00:14.0" : "0000:00:17.0") / port;
        writeText(device / "vendor", vendor + "\n");
        writeText(device / "model", model + "\n");
        writeText(device / "rev", revision + "\n");
        fs::create_directories(sys_ / "block" / name);
        fs::create_directory_symlink(device, sys_ / "block" / name / "device");
        writeText(sys_ / "block" / name / "queue/logical_block_size", sectorSize + "\n");
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
    // In the kernel's order of names: sdaa comes after sdq; loop0 has no inquiry data.
    EXPECT_EQ(valueText(values, "5"),
              "USBSTOR\\Disk&Ven_NEMBRA&Prod_USB3.0_7100VRX&Rev_1.00\\sdq&0\0"s);
    EXPECT_EQ(valueText(values, "6"),
              "USBSTOR\\Disk&Ven_NEMBRA&Prod_USB3.0_7100VRX&Rev_1.00\\sdaa&0\0"s);
    EXPECT_EQ(valueText(values, "7"), "<missing>");
    EXPECT_EQ(valueText(values, "Count"), "\x07\0\0\0"s);
    // Other keys are not served; the path compares without case.
    EXPECT_FALSE(
        platform::loadSystemMachineKey("SYSTEM\\CurrentControlSet\\Services\\Disk", values));
    EXPECT_TRUE(
        platform::loadSystemMachineKey("system\\currentcontrolset\\services\\disk\\enum", values));
}

TEST_F(FakeSystem, ModelFindsItsCameraAmongTheFiles) {
    device::Device7100VRX device;
    // sdb, sdc, sdk, sdq and sdaa are listed as cameras; sdd's entry carries "DS".
    EXPECT_EQ(device.GetDeviceCount(), 5);
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

    // Camera 1 is the next listed drive that identifies itself: sdq (sdc has other model
    // bytes, sdk larger sectors, and sdd, which identifies itself, is not listed as a camera).
    ASSERT_EQ(device.SelectDevice(1), device::kSelectOk);
    ASSERT_EQ(device.WriteRegister(0x2004, 0x0102), 1);
    EXPECT_EQ(readBytes(dev_ / "sdq", camera::kCommandSectorOffset, 4),
              (std::vector<std::uint8_t>{0x20, 0x01, 0x01, 0x02}));
    EXPECT_EQ(readBytes(dev_ / "sdd", camera::kCommandSectorOffset, 4),
              std::vector<std::uint8_t>(4, 0));

    // Byte 257 of the file's status sector is what a byte register read returns.
    std::fstream file(dev_ / "sdq", std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(
        static_cast<std::streamoff>(camera::kStatusSectorOffset + camera::kRegisterValueOffset));
    file.put(static_cast<char>(0x9E));
    file.close();
    std::uint8_t value = 0;
    EXPECT_EQ(device.ReadByteRegister(0x0042, &value), 1);
    EXPECT_EQ(value, 0x9E);
    EXPECT_EQ(readBytes(dev_ / "sdq", camera::kCommandSectorOffset, 4),
              (std::vector<std::uint8_t>{0x21, 0x00, 0x42, 0x00}));

    // Camera 2 is sdaa, a name of four letters; there is no camera 3.
    ASSERT_EQ(device.SelectDevice(2), device::kSelectOk);
    ASSERT_EQ(device.WriteByteRegister(0x0001, 0x02), 1);
    EXPECT_EQ(readBytes(dev_ / "sdaa", camera::kCommandSectorOffset, 4),
              (std::vector<std::uint8_t>{0x20, 0x00, 0x01, 0x02}));
    EXPECT_EQ(device.SelectDevice(3), device::kSelectFailed);
    EXPECT_FALSE(device.isDriveOpen());
}

TEST_F(FakeSystem, ProbingOpensOnlyListedDisksAndWritesOnlyToTheSelectedCamera) {
    OpenWatch watch(dev_);
    ASSERT_TRUE(watch.ready());
    {
        device::Device7100VRX device;  // the construction selects camera 0, sdb
        ASSERT_TRUE(device.isDriveOpen());
        ASSERT_EQ(device.SelectDevice(1), device::kSelectOk);  // sdq
        ASSERT_EQ(device.SelectDevice(2), device::kSelectOk);  // sdaa
        EXPECT_EQ(device.SelectDevice(3), device::kSelectFailed);
    }
    const std::map<std::string, OpenWatch::Events> events = watch.collect();
    struct Expected {
        const char *file;
        bool opened;
        bool openedForWriting;
    };
    for (const Expected &e :
         {Expected{"sda", false, false},  // not listed as a camera
          Expected{"sdd", false, false},  // listed, but "DS"
          Expected{"sdk", false, false},  // 4096-byte sectors
          Expected{"sdc", true, false},   // read: another model
          Expected{"sdb", true, true}, Expected{"sdq", true, true}, Expected{"sdaa", true, true}}) {
        const auto found = events.find(e.file);
        const OpenWatch::Events seen = found != events.end() ? found->second : OpenWatch::Events{};
        EXPECT_EQ(seen.opened, e.opened) << e.file;
        EXPECT_EQ(seen.closedAfterWriting, e.openedForWriting) << e.file;
    }
}

TEST_F(FakeSystem, OnlyADiskFileWithKnown512ByteSectorsOpens) {
    enum class Node { File, Missing, Pipe, Folder };
    struct Case {
        const char *disk;
        const char *sectorSize;  // null: sysfs does not say
        Node node;
        bool opens;
    };
    int row = 0;
    for (const Case &c :
         {Case{"sdb", "512", Node::File, true},
          Case{"cciss!c0d0", "512", Node::File, true},  // dev/cciss/c0d0
          Case{"sdb", "4096", Node::File, false}, Case{"sdb", "520x", Node::File, false},
          Case{"sdb", "", Node::File, false}, Case{"sdb", nullptr, Node::File, false},
          Case{"sdb", "512", Node::Missing, false},
          Case{"sdb", "512", Node::Pipe, false},  // opening it would block
          Case{"sdb", "512", Node::Folder, false}}) {
        sys_ = root_ / std::to_string(++row) / "sys";
        dev_ = root_ / std::to_string(row) / "dev";
        addDisk(c.disk, "usb2/2-1/2-1:1.0/host3/target3:0:0/3:0:0:0", "NEMBRA", "USB3.0 7100VRX",
                "1.00", c.sectorSize ? c.sectorSize : "");
        if (c.sectorSize == nullptr) {
            fs::remove(sys_ / "block" / c.disk / "queue/logical_block_size");
        }
        std::string file = c.disk;
        std::replace(file.begin(), file.end(), '!', '/');
        fs::create_directories((dev_ / file).parent_path());
        if (c.node == Node::File) {
            writeDrive(dev_ / file, kCameraText, 0xC0, 0x06);
        } else if (c.node == Node::Pipe) {
            ASSERT_EQ(::mkfifo((dev_ / file).c_str(), 0600), 0);
        } else if (c.node == Node::Folder) {
            fs::create_directories(dev_ / file);
        }
        ::setenv("OSTREL_SYSFS_ROOT", sys_.c_str(), 1);
        ::setenv("OSTREL_DEV_ROOT", dev_.c_str(), 1);
        auto drive = platform::openSystemRawDrive(0, platform::RawDriveAccess::Identify, mayBe7100);
        EXPECT_EQ(drive != nullptr, c.opens) << row;
    }
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
    auto drive = platform::openSystemRawDrive(0, platform::RawDriveAccess::Control, mayBe7100);
    ASSERT_NE(drive, nullptr);

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
    writeDrive(dir / "sdb", kCameraText, 0xC0, 0x06);
    ::setenv("OSTREL_DEV_ROOT", dir.c_str(), 1);
    auto drive = platform::openSystemRawDrive(0, platform::RawDriveAccess::Control, mayBe7100);
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
