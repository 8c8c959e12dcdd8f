// The raw drive service: a physical disk drive opened by its number and used by positioned
// sector transfers, which is how the library reaches a camera that presents itself as a disk.
//
// A drive is opened twice over its life as a camera: first read-only, to identify it by its
// status sector (it may be any disk of the machine), then read-write once it has shown itself
// to be the camera. A disk that is not a camera is therefore never opened for writing: closing
// a disk that was open for writing makes the system (udev) probe it again. A drive whose logical
// sector is not 512 bytes is never a camera and does not open.
//
// Windows: drive n is "\\.\PhysicalDrive<n>", opened with read access to identify it and read
// and write access for the camera, shared read and write, OPEN_EXISTING; SetFilePointer from the
// beginning, ReadFile, WriteFile. Its disk list entries name no drive numbers, so every drive
// number is tried; the sector size is asked with IOCTL_DISK_GET_DRIVE_GEOMETRY(_EX).
// Linux: only the disks whose own disk list entry (made from their sysfs identity) passes the
// caller's filter are numbered, in the order the kernel names them, and no other disk is ever
// opened: drive n is the n-th of them, whatever its name (sdb, sdq, sdaa). The sector size comes
// from sysfs (queue/logical_block_size) and, for a real device, from the BLKSSZGET ioctl. A drive
// is opened with O_DIRECT so every status read reaches the device and never the page cache (a
// plain open where the file system refuses O_DIRECT, e.g. a tmpfs file standing in for a drive);
// pread and pwrite at the drive's position, through a sector-aligned bounce buffer when the
// caller's buffer is not aligned. Device files are found in /dev unless OSTREL_DEV_ROOT names
// another folder, and sysfs under OSTREL_SYSFS_ROOT, so tests can use plain files.
//
// A RawDriveSource installed with setRawDriveSource is asked first for every open; the camera
// emulator serves its cameras this way, and then no physical drive is opened at all.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

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

// What a drive is opened for.
enum class RawDriveAccess {
    Identify,  // reading only: the drive may be any disk of the machine
    Control,   // reading and writing: the drive has identified itself as the camera
};

// Says from a disk's entry in the system's disk list whether the disk may be a camera.
using DiskEntryFilter = std::function<bool(std::string_view entry)>;

// Serves drives in place of the system's. open() returns false when it does not serve the
// number (the system's drive is opened then), true when it does, with drive set to the open
// drive or left null when that drive cannot be opened. openFor() is what the library calls; a
// source whose drives behave the same for both kinds of access need only implement open().
class RawDriveSource {
public:
    virtual ~RawDriveSource() = default;
    virtual bool open(int number, std::unique_ptr<RawDrive> &drive) = 0;
    virtual bool openFor(int number, RawDriveAccess access, std::unique_ptr<RawDrive> &drive) {
        (void)access;
        return open(number, drive);
    }
};

// Opens drive `number` (0 .. kMaxRawDrives - 1) for `access` through the installed source, else
// the system's drive; the system numbers only disks that `mayBeCamera` accepts where its disk
// list tells which disk a drive is (Linux). Null when it cannot be opened (no such drive, in use,
// no access rights, not 512-byte sectors). Any thread.
std::unique_ptr<RawDrive> openRawDrive(int number, RawDriveAccess access,
                                       const DiskEntryFilter &mayBeCamera);

// Opens the system's own drive, bypassing any source. Any thread.
std::unique_ptr<RawDrive> openSystemRawDrive(int number, RawDriveAccess access,
                                             const DiskEntryFilter &mayBeCamera);

// Installs a source asked before the system for every open; null restores the system alone.
// The source must outlive its installation. Any thread; opens already made are not affected.
void setRawDriveSource(RawDriveSource *source);

// The source installed now (null for none). Any thread.
RawDriveSource *rawDriveSource();

}  // namespace ostrel::platform
