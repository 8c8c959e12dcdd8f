// The raw drive service: a physical disk drive opened by its number and used by positioned
// sector transfers, which is how the library reaches a camera that presents itself as a disk.
//
// Windows: CreateFileA("\\.\PhysicalDrive<n>", read and write access, shared read and write,
// OPEN_EXISTING), SetFilePointer from the beginning, ReadFile, WriteFile.
// Linux: drive n is /dev/sd<letter n> (a..p), opened O_RDWR | O_DIRECT so every status read
// reaches the device and never the page cache (a plain open where the file system refuses
// O_DIRECT, e.g. a tmpfs file standing in for a drive); pread and pwrite at the drive's position,
// through a sector-aligned bounce buffer when the caller's buffer is not aligned. The folder of the
// device files is /dev unless OSTREL_DEV_ROOT names another, so tests can use plain files.
//
// A RawDriveSource installed with setRawDriveSource is asked first for every open; the camera
// emulator serves its cameras this way, and then no physical drive is opened at all.
#pragma once

#include <cstdint>
#include <memory>

namespace ostrel::platform {

// The highest drive number the library probes is kMaxRawDrives - 1.
inline constexpr int kMaxRawDrives = 16;

// One open drive with its own file position. Closes itself when destroyed. An object is used by
// one thread at a time; callers that share one serialise each seek with its transfer.
class RawDrive {
public:
    RawDrive() = default;
    virtual ~RawDrive() = default;
    RawDrive(const RawDrive &) = delete;
    RawDrive &operator=(const RawDrive &) = delete;

    // Sets the position, in bytes from the start of the drive. False when the system refuses.
    [[nodiscard]] virtual bool seek(std::uint64_t offset) = 0;
    // Reads up to length bytes at the position into buffer and advances the position by what
    // was read. True when the read call succeeded, also when it ended early at the end of the
    // drive (as ReadFile does); bytesRead, when given, receives the count.
    [[nodiscard]] virtual bool read(void *buffer, std::uint32_t length,
                                    std::uint32_t *bytesRead = nullptr) = 0;
    // Writes length bytes at the position and advances it. True when the write call succeeded.
    [[nodiscard]] virtual bool write(const void *data, std::uint32_t length) = 0;
};

// Serves drives in place of the system's. open() returns false when it does not serve the
// number (the system's drive is opened then), true when it does, with drive set to the open
// drive or left null when that drive cannot be opened.
class RawDriveSource {
public:
    virtual ~RawDriveSource() = default;
    virtual bool open(int number, std::unique_ptr<RawDrive> &drive) = 0;
};

// Opens drive `number` (0 .. kMaxRawDrives - 1) through the installed source, else the system.
// Null when it cannot be opened (no such drive, in use, no access rights). Any thread.
std::unique_ptr<RawDrive> openRawDrive(int number);

// Opens the system's own drive, bypassing any source. Any thread.
std::unique_ptr<RawDrive> openSystemRawDrive(int number);

// Installs a source asked before the system for every open; null restores the system alone.
// The source must outlive its installation. Any thread; opens already made are not affected.
void setRawDriveSource(RawDriveSource *source);

// The source installed now (null for none). Any thread.
RawDriveSource *rawDriveSource();

}  // namespace ostrel::platform
