// Raw drives on Linux: the disks whose sysfs identity may be a camera's, found under /dev (or
// OSTREL_DEV_ROOT) by their kernel names and opened for direct I/O.
#include "platform/raw_drive.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/posix/sysfs_disks.h"

namespace ostrel::platform {

namespace {

constexpr std::size_t kSectorSize = 512;
constexpr std::size_t kBounceAlignment = 4096;

struct AlignedFree {
    void operator()(void *p) const { std::free(p); }
};

class PosixRawDrive final : public RawDrive {
public:
    PosixRawDrive(int fd, bool direct) : fd_(fd), direct_(direct) {}
    ~PosixRawDrive() override { ::close(fd_); }

    bool seek(std::uint64_t offset) override {
        if (offset > static_cast<std::uint64_t>(INT64_MAX)) {
            return false;
        }
        position_ = offset;
        return true;
    }

    bool read(void *buffer, std::uint32_t length, std::uint32_t *bytesRead) override {
        std::uint32_t done = 0;
        const bool ok = isAligned(buffer, length) ? readAll(buffer, position_, length, done)
                                                  : readBounced(buffer, length, done);
        position_ += done;
        if (bytesRead != nullptr) {
            *bytesRead = done;
        }
        return ok;
    }

    bool write(const void *data, std::uint32_t length) override {
        const bool ok = isAligned(data, length) ? writeAll(data, position_, length)
                                                : writeBounced(data, length);
        if (ok) {
            position_ += length;
        }
        return ok;
    }

private:
    bool isAligned(const void *buffer, std::uint32_t length) const {
        if (!direct_) {
            return true;
        }
        return reinterpret_cast<std::uintptr_t>(buffer) % kSectorSize == 0 &&
               length % kSectorSize == 0 && position_ % kSectorSize == 0;
    }

    // pread until the whole length is in or the end of the drive is reached.
    bool readAll(void *buffer, std::uint64_t offset, std::size_t length,
                 std::uint32_t &done) const {
        auto *out = static_cast<std::uint8_t *>(buffer);
        std::size_t total = 0;
        while (total < length) {
            const ssize_t n =
                ::pread(fd_, out + total, length - total, static_cast<off_t>(offset + total));
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return false;
            }
            if (n == 0) {
                break;
            }
            total += static_cast<std::size_t>(n);
        }
        done = static_cast<std::uint32_t>(total);
        return true;
    }

    bool writeAll(const void *data, std::uint64_t offset, std::size_t length) const {
        const auto *in = static_cast<const std::uint8_t *>(data);
        std::size_t total = 0;
        while (total < length) {
            const ssize_t n =
                ::pwrite(fd_, in + total, length - total, static_cast<off_t>(offset + total));
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return false;
            }
            if (n == 0) {
                return false;
            }
            total += static_cast<std::size_t>(n);
        }
        return true;
    }

    // The aligned span covering [position, position + length) and a buffer for it.
    struct Span {
        std::uint64_t start = 0;
        std::size_t size = 0;
        std::unique_ptr<std::uint8_t, AlignedFree> memory;
    };

    bool makeSpan(std::uint32_t length, Span &span) const {
        span.start = position_ / kSectorSize * kSectorSize;
        const std::uint64_t end =
            (position_ + length + kSectorSize - 1) / kSectorSize * kSectorSize;
        span.size = static_cast<std::size_t>(end - span.start);
        void *memory = nullptr;
        if (posix_memalign(&memory, kBounceAlignment,
                           std::max<std::size_t>(span.size, kSectorSize)) != 0) {
            return false;
        }
        std::memset(memory, 0, span.size);
        span.memory.reset(static_cast<std::uint8_t *>(memory));
        return true;
    }

    bool readBounced(void *buffer, std::uint32_t length, std::uint32_t &done) const {
        Span span;
        if (!makeSpan(length, span)) {
            return false;
        }
        std::uint32_t got = 0;
        if (!readAll(span.memory.get(), span.start, span.size, got)) {
            return false;
        }
        const std::size_t skip = static_cast<std::size_t>(position_ - span.start);
        const std::size_t available = got > skip ? got - skip : 0;
        const std::size_t n = std::min<std::size_t>(available, length);
        std::memcpy(buffer, span.memory.get() + skip, n);
        done = static_cast<std::uint32_t>(n);
        return true;
    }

    bool writeBounced(const void *data, std::uint32_t length) const {
        Span span;
        if (!makeSpan(length, span)) {
            return false;
        }
        // Keep the bytes around the written range: read the covering sectors first.
        std::uint32_t got = 0;
        if (!readAll(span.memory.get(), span.start, span.size, got)) {
            return false;
        }
        const std::size_t skip = static_cast<std::size_t>(position_ - span.start);
        std::memcpy(span.memory.get() + skip, data, length);
        return writeAll(span.memory.get(), span.start, span.size);
    }

    int fd_;
    bool direct_;
    std::uint64_t position_ = 0;
};

// The device file of a disk: its kernel name, where "!" stands for a folder ("cciss!c0d0").
std::string devicePath(const std::string &name) {
    const char *root = std::getenv("OSTREL_DEV_ROOT");
    std::string path = (root != nullptr && root[0] != '\0') ? root : "/dev";
    path += '/';
    for (const char c : name) {
        path += c == '!' ? '/' : c;
    }
    return path;
}

// The sysfs facts about one disk that decide whether its device file may be opened.
struct DiskFacts {
    bool sectorSizeKnown = false;  // queue/logical_block_size was readable
    unsigned long sectorSize = 0;
    bool numberKnown = false;  // the "dev" attribute (major:minor) was readable
    dev_t number = 0;
};

DiskFacts diskFacts(const std::string &name) {
    DiskFacts facts;
    const std::string folder = sysfsRoot() + "/block/" + name;
    std::string text;
    if (readSysfsAttribute(folder + "/queue/logical_block_size", text)) {
        char *end = nullptr;
        errno = 0;
        const unsigned long size = std::strtoul(text.c_str(), &end, 10);
        facts.sectorSizeKnown = true;
        // Text that is not a number is no size: the disk is refused.
        facts.sectorSize = (errno == 0 && end != text.c_str() && *end == '\0') ? size : 0;
    }
    unsigned int major = 0;
    unsigned int minor = 0;
    char extra = 0;
    if (readSysfsAttribute(folder + "/dev", text) &&
        std::sscanf(text.c_str(), "%u:%u%c", &major, &minor, &extra) == 2) {
        facts.numberKnown = true;
        facts.number = makedev(major, minor);
    }
    return facts;
}

// Whether a device file is the disk sysfs described: a block device with the disk's own number,
// or a plain file standing in for one in tests, which has no sectors of its own, so sysfs must
// have given its size. Nothing else is opened: opening a pipe could block, a terminal has
// effects of its own.
bool isDiskNode(const struct stat &node, const DiskFacts &facts) {
    if (S_ISBLK(node.st_mode)) {
        return !facts.numberKnown || node.st_rdev == facts.number;
    }
    return S_ISREG(node.st_mode) && facts.sectorSizeKnown;
}

// Whether an open device file is still that disk (it may have been replaced since it was
// looked at) and, for a real device, has 512-byte logical sectors.
bool isUsableDisk(int fd, const DiskFacts &facts) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !isDiskNode(info, facts)) {
        return false;
    }
    int logical = 0;
    return !S_ISBLK(info.st_mode) ||
           (::ioctl(fd, BLKSSZGET, &logical) == 0 && logical == static_cast<int>(kSectorSize));
}

}  // namespace

std::unique_ptr<RawDrive> openSystemRawDrive(int number, RawDriveAccess access,
                                             const DiskEntryFilter &mayBeCamera) {
    if (number < 0 || number >= kMaxRawDrives || !mayBeCamera) {
        return nullptr;
    }
    // Drive n is the n-th disk that may be a camera: no other disk is ever opened, and the
    // numbers of the cameras do not move when other disks come and go.
    std::vector<SysfsDisk> candidates;
    for (SysfsDisk &disk : sysfsDisks()) {
        if (mayBeCamera(disk.entry)) {
            candidates.push_back(std::move(disk));
        }
    }
    if (static_cast<std::size_t>(number) >= candidates.size()) {
        return nullptr;
    }
    const std::string &name = candidates[static_cast<std::size_t>(number)].name;
    const DiskFacts facts = diskFacts(name);
    // A disk sysfs gives another sector size is not even opened.
    if (facts.sectorSizeKnown && facts.sectorSize != kSectorSize) {
        return nullptr;
    }
    const std::string path = devicePath(name);
    struct stat node {};
    if (::stat(path.c_str(), &node) != 0 || !isDiskNode(node, facts)) {
        return nullptr;
    }
    const int mode = access == RawDriveAccess::Control ? O_RDWR : O_RDONLY;
    bool direct = true;
    int fd = ::open(path.c_str(), mode | O_DIRECT | O_CLOEXEC);
    if (fd < 0 && errno == EINVAL) {
        // The file system cannot bypass its cache (tmpfs): a plain open still works.
        direct = false;
        fd = ::open(path.c_str(), mode | O_CLOEXEC);
    }
    if (fd < 0) {
        return nullptr;
    }
    if (!isUsableDisk(fd, facts)) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<PosixRawDrive>(fd, direct);
}

}  // namespace ostrel::platform
