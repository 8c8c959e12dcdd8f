// CameraDevice: discovery in the disk list, drive probing, the command and status sectors and
// the bulk image read.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "device/camera_device.h"
#include "device/disk_entry_match.h"
#include "platform/registry.h"

namespace ostrel::device {

namespace camera = platform::camera;

namespace {

constexpr std::string_view kDiskEnumKey = "SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum";
constexpr std::uint32_t kEntryBufferSize = 256;

// One past the highest entry number named in the key: numbered values beyond it cannot be read,
// so a damaged "Count" never makes discovery try billions of names.
std::int32_t entryNamesEnd(const platform::RegistryKey &key) {
    std::int64_t end = 0;
    std::string name;
    for (std::uint32_t i = 0; key.valueName(i, name) == platform::kRegistryOk; ++i) {
        if (name.empty() || name.size() > 10 || (name.size() > 1 && name[0] == '0')) {
            continue;
        }
        std::int64_t number = 0;
        bool digits = true;
        for (char c : name) {
            if (c < '0' || c > '9') {
                digits = false;
                break;
            }
            number = number * 10 + (c - '0');
        }
        if (digits && number < INT32_MAX && number + 1 > end) {
            end = number + 1;
        }
    }
    return static_cast<std::int32_t>(end);
}

}  // namespace

std::int32_t CameraDevice::Enumerate(std::string_view modelText) {
    deviceCount_ = 0;
    modelText_ = modelText;
    platform::RegistryKey key;
    const platform::RegistryStatus opened = key.open(platform::RegistryRoot::LocalMachine,
                                                     kDiskEnumKey, platform::RegistryAccess::Read);
    if (opened != platform::kRegistryOk) {
        deviceIndex_ = 0;
        return opened;
    }
    std::int32_t count = 0;
    std::uint32_t size = sizeof count;
    if (key.query("Count", nullptr, &count, &size) == platform::kRegistryOk && count > 0) {
        const std::int32_t end = std::min(count, entryNamesEnd(key));
        for (std::int32_t i = 0; i < end; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "%d", static_cast<int>(i));
            char entry[kEntryBufferSize] = {};
            std::uint32_t entrySize = kEntryBufferSize;
            if (key.query(name, nullptr, entry, &entrySize) != platform::kRegistryOk) {
                continue;
            }
            // The text ends at its terminator, or at the end of what was read.
            const std::size_t length = strnlen(entry, std::min(entrySize, kEntryBufferSize));
            if (isCameraDiskEntry(std::string_view(entry, length), modelText)) {
                ++deviceCount_;
            }
        }
    }
    const platform::RegistryStatus closed = key.close();
    deviceIndex_ = 0;
    return closed;
}

bool CameraDevice::isDriveOpen() const {
    std::lock_guard<std::mutex> guard(driveMutex_);
    return drive_ != nullptr;
}

bool CameraDevice::readStatusLocked() {
    return readStatusFrom(*drive_);
}

bool CameraDevice::readStatusFrom(platform::RawDrive &drive) {
    std::memset(statusSector_, 0, sizeof statusSector_);
    return drive.seek(camera::kStatusSectorOffset) &&
           drive.read(statusSector_, camera::kSectorSize);
}

bool CameraDevice::identifiesLocked(platform::RawDrive &drive) {
    return readStatusFrom(drive) &&
           std::memcmp(statusSector_, camera::kIdentificationText.data(),
                       camera::kIdentificationCompared) == 0 &&
           statusSector_[camera::kModelIdOffset] == identification_[0] &&
           statusSector_[camera::kModelIdOffset + 1] == identification_[1];
}

bool CameraDevice::writeCommandLocked(std::uint8_t opcode, std::uint8_t b1, std::uint8_t b2,
                                      std::uint8_t b3) {
    std::memset(commandSector_, 0, sizeof commandSector_);
    commandSector_[0] = opcode;
    commandSector_[1] = b1;
    commandSector_[2] = b2;
    commandSector_[3] = b3;
    return drive_->seek(camera::kCommandSectorOffset) &&
           drive_->write(commandSector_, camera::kSectorSize);
}

std::int32_t CameraDevice::OpenDrive() {
    std::lock_guard<std::recursive_mutex> control(controlMutex_);
    std::lock_guard<std::mutex> guard(driveMutex_);
    // Selecting another camera must not leave the previous drive open.
    drive_.reset();
    // Where the system tells which disk a drive is, only disks listed as cameras of the model
    // are tried at all.
    const platform::DiskEntryFilter mayBeCamera = [this](std::string_view entry) {
        return isCameraDiskEntry(entry, modelText_);
    };
    std::int32_t matches = 0;
    for (int number = 0; number < platform::kMaxRawDrives; ++number) {
        // Identify before anything is written, on a drive opened only for reading: it may be
        // any disk of the machine, and a disk once opened for writing is probed again by the
        // system when it is closed.
        std::unique_ptr<platform::RawDrive> probe =
            platform::openRawDrive(number, platform::RawDriveAccess::Identify, mayBeCamera);
        if (probe == nullptr || !identifiesLocked(*probe)) {
            continue;
        }
        if (matches++ != deviceIndex_) {
            continue;
        }
        // The camera: only now is it opened for commands. It must still be the camera (a disk
        // may have taken its number in between).
        probe.reset();
        drive_ = platform::openRawDrive(number, platform::RawDriveAccess::Control, mayBeCamera);
        if (drive_ != nullptr && identifiesLocked(*drive_)) {
            return 1;
        }
        drive_.reset();
        return 0;
    }
    return 0;
}

std::int32_t CameraDevice::CloseDrive() {
    std::lock_guard<std::recursive_mutex> control(controlMutex_);
    StopCapture();
    std::lock_guard<std::mutex> guard(driveMutex_);
    drive_.reset();
    return 1;
}

std::int32_t CameraDevice::ReadBulk(void *buffer, std::int32_t length) {
    const std::int32_t polls = transferTimeout_.load();
    bool ready = false;
    for (std::int32_t i = 0; i < polls && !ready; ++i) {
        if (state_.load() == static_cast<std::int32_t>(CaptureState::StopRequested)) {
            return 0;  // a stop does not wait for a silent camera's whole time-out
        }
        std::lock_guard<std::mutex> guard(driveMutex_);
        if (drive_ == nullptr || !readStatusLocked()) {
            return 0;
        }
        ready = statusSector_[camera::kReadyFlagOffset] == camera::kReadyFlagSet;
    }
    if (!ready) {
        readyWaitRanOut_.store(true);
        return 0;
    }
    std::lock_guard<std::mutex> guard(driveMutex_);
    if (drive_ == nullptr || length < 0 || !drive_->seek(camera::kDataWindowOffset)) {
        return 0;
    }
    return drive_->read(buffer, static_cast<std::uint32_t>(length)) ? 1 : 0;
}

std::int32_t CameraDevice::WriteRegister(std::uint16_t address, std::uint16_t value) {
    std::lock_guard<std::mutex> guard(driveMutex_);
    if (drive_ == nullptr) {
        return 0;
    }
    // Both steps under one lock: a write from another thread between them would give this
    // value to that thread's address.
    if (!writeCommandLocked(camera::kOpcodeWrite, camera::kWordWriteAddressStep,
                            static_cast<std::uint8_t>(address >> 8),
                            static_cast<std::uint8_t>(address & 0xFF))) {
        return 0;
    }
    return writeCommandLocked(camera::kOpcodeWrite, camera::kWordWriteValueStep,
                              static_cast<std::uint8_t>(value >> 8),
                              static_cast<std::uint8_t>(value & 0xFF))
               ? 1
               : 0;
}

std::int32_t CameraDevice::WriteByteRegister(std::uint16_t address, std::uint8_t value) {
    std::lock_guard<std::mutex> guard(driveMutex_);
    if (drive_ == nullptr) {
        return 0;
    }
    return writeCommandLocked(camera::kOpcodeWrite, static_cast<std::uint8_t>(address >> 8),
                              static_cast<std::uint8_t>(address & 0xFF), value)
               ? 1
               : 0;
}

std::int32_t CameraDevice::ReadByteRegister(std::uint16_t address, std::uint8_t *value) {
    std::lock_guard<std::mutex> guard(driveMutex_);
    if (drive_ == nullptr) {
        return 0;
    }
    if (!writeCommandLocked(camera::kOpcodeRead, static_cast<std::uint8_t>(address >> 8),
                            static_cast<std::uint8_t>(address & 0xFF), 0) ||
        !readStatusLocked()) {
        return 0;
    }
    if (value != nullptr) {
        *value = statusSector_[camera::kRegisterValueOffset];
    }
    return 1;
}

std::int32_t CameraDevice::WriteWordRegister(std::uint16_t address, std::uint16_t value) {
    const std::int32_t high = WriteByteRegister(address, static_cast<std::uint8_t>(value >> 8));
    const std::int32_t low = WriteByteRegister(static_cast<std::uint16_t>(address + 1),
                                               static_cast<std::uint8_t>(value & 0xFF));
    return (high != 0 && low != 0) ? 1 : 0;
}

std::int32_t CameraDevice::ReadWordRegister(std::uint16_t address, std::uint16_t *value) {
    std::uint8_t high = 0;
    std::uint8_t low = 0;
    const std::int32_t gotHigh = ReadByteRegister(address, &high);
    const std::int32_t gotLow = ReadByteRegister(static_cast<std::uint16_t>(address + 1), &low);
    if (gotHigh == 0 || gotLow == 0) {
        return 0;
    }
    if (value != nullptr) {
        *value = static_cast<std::uint16_t>(high * 256 + low);
    }
    return 1;
}

bool CameraDevice::writeStartCommand() {
    std::lock_guard<std::mutex> guard(driveMutex_);
    if (drive_ == nullptr) {
        return true;  // no camera: the start goes on without a command
    }
    return writeCommandLocked(camera::kOpcodeStart, 0, 0, 0);
}

}  // namespace ostrel::device
