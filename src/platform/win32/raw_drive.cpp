// Raw drives on Windows: \\.\PhysicalDrive<n> through the file functions of the kernel.
#include "platform/raw_drive.h"

#include <windows.h>

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

}  // namespace

std::unique_ptr<RawDrive> openSystemRawDrive(int number) {
    if (number < 0 || number >= kMaxRawDrives) {
        return nullptr;
    }
    char path[32];
    std::snprintf(path, sizeof path, "\\\\.\\PhysicalDrive%d", number);
    const HANDLE handle =
        CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    return std::make_unique<Win32RawDrive>(handle);
}

}  // namespace ostrel::platform
