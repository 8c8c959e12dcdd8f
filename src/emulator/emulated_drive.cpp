// Positioned transfers on an emulated camera's drive.
#include "emulator/emulated_drive.h"

namespace ostrel::emulator {

bool EmulatedDrive::begin() {
    if (hook_) {
        hook_();
    }
    camera_->countDriveCall();
    return camera_->reaches(generation_);
}

bool EmulatedDrive::seek(std::uint64_t offset) {
    if (!begin() || !camera_->connected()) {
        return false;  // the device is gone
    }
    position_ = offset;
    return true;
}

bool EmulatedDrive::read(void *buffer, std::uint32_t length, std::uint32_t *bytesRead) {
    std::uint32_t done = 0;
    const bool ok = begin() && camera_->read(position_, buffer, length, &done);
    position_ += done;
    if (bytesRead != nullptr) {
        *bytesRead = done;
    }
    return ok;
}

bool EmulatedDrive::write(const void *data, std::uint32_t length) {
    if (!begin() || !camera_->write(position_, data, length)) {
        return false;
    }
    position_ += length;
    return true;
}

}  // namespace ostrel::emulator
