// Chooses between an installed drive source (the camera emulator) and the system's drives.
#include "platform/raw_drive.h"

#include <atomic>

namespace ostrel::platform {

namespace {

std::atomic<RawDriveSource *> installedSource{nullptr};

}  // namespace

std::unique_ptr<RawDrive> openRawDrive(int number, RawDriveAccess access,
                                       const DiskEntryFilter &mayBeCamera) {
    if (number < 0 || number >= kMaxRawDrives) {
        return nullptr;
    }
    if (RawDriveSource *source = installedSource.load()) {
        std::unique_ptr<RawDrive> drive;
        if (source->openFor(number, access, drive)) {
            return drive;
        }
    }
    return openSystemRawDrive(number, access, mayBeCamera);
}

void setRawDriveSource(RawDriveSource *source) {
    installedSource.store(source);
}

RawDriveSource *rawDriveSource() {
    return installedSource.load();
}

}  // namespace ostrel::platform
