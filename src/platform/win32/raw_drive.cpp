// Raw drives on Windows: \\.\PhysicalDrive<n> through the file functions of the kernel.
#include "platform/raw_drive.h"

#include <windows.h>
#include <winioctl.h>

#include <cstdio>

namespace ostrel::platform {

namespace {

class Win32RawDrive final : public RawDrive {
public:
    explicit Win32RawDrive(HANDLE handle) : handle_(handle) {}
    ~Win32RawDrive() override { CloseHandle(handle_); }

    bool seek(std::uint64_t offset) override {
        LONG high = static_cast<LONG>(offset >> 32);
        const DWORD low =
            SetFilePointer(handle_, static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
        return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
    }

    bool read(void *buffer, std::uint32_t length, std::uint32_t *bytesRead) override {
        DWORD done = 0;
        const BOOL ok = ReadFile(handle_, buffer, length, &done, nullptr);
        if (bytesRead != nullptr) {
            *bytesRead = ok ? done : 0;
        }
        return ok != FALSE;
    }

    bool write(const void *data, std::uint32_t length) override {
        DWORD done = 0;
        return WriteFile(handle_, data, length, &done, nullptr) != FALSE;
    }

private:
    HANDLE handle_;
};

// The drive's logical sector size as the disk driver reports it; false where it cannot be asked
// (a driver without the geometry requests).
bool querySectorSize(HANDLE handle, DWORD &bytesPerSector) {
    DISK_GEOMETRY_EX extended{};
    DWORD returned = 0;
    if (DeviceIoControl(handle, IOCTL_DISK_GET_DRIVE_GEOMETRY_EX, nullptr, 0, &extended,
                        sizeof extended, &returned, nullptr) != FALSE &&
        returned >= sizeof extended.Geometry) {
        bytesPerSector = extended.Geometry.BytesPerSector;
        return true;
    }
    DISK_GEOMETRY geometry{};
    if (DeviceIoControl(handle, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry,
                        sizeof geometry, &returned, nullptr) != FALSE &&
        returned >= sizeof geometry) {
        bytesPerSector = geometry.BytesPerSector;
        return true;
    }
    return false;
}

}  // namespace

// The disk list's entries do not name drive numbers here, so every physical drive is a
// candidate: the read-only identification keeps other disks safe.
std::unique_ptr<RawDrive> openSystemRawDrive(int number, RawDriveAccess access,
                                             const DiskEntryFilter &) {
    if (number < 0 || number >= kMaxRawDrives) {
        return nullptr;
    }
    char path[32];
    std::snprintf(path, sizeof path, "\\\\.\\PhysicalDrive%d", number);
    const DWORD rights =
        access == RawDriveAccess::Control ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
    const HANDLE handle = CreateFileA(path, rights, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    // On a drive of larger sectors a 512-byte command write is refused or, worse, turned into
    // a rewrite of the sectors around it: such a drive is not a camera.
    DWORD bytesPerSector = 0;
    if (querySectorSize(handle, bytesPerSector) && bytesPerSector != 512) {
        CloseHandle(handle);
        return nullptr;
    }
    return std::make_unique<Win32RawDrive>(handle);
}

}  // namespace ostrel::platform
