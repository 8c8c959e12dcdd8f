// Raw drives on Linux: /dev/sd[a-p] (or files under OSTREL_DEV_ROOT) opened for direct I/O.
#include "platform/raw_drive.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace ostrel::platform {

namespace {

constexpr std::size_t kSectorSize = 512;
constexpr std::size_t kBounceAlignment = 4096;

struct AlignedFree {
    void operator()(void *p) const { std::free(p); }
};

class PosixRawDrive final : public RawDrive {
public:
    PosixRawDrive(int fd, bool direct, std::size_t alignment)
        : fd_(fd), direct_(direct), alignment_(alignment) {}
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
        return reinterpret_cast<std::uintptr_t>(buffer) % alignment_ == 0 &&
               length % alignment_ == 0 && position_ % alignment_ == 0;
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
        span.start = position_ / alignment_ * alignment_;
        const std::uint64_t end = (position_ + length + alignment_ - 1) / alignment_ * alignment_;
        span.size = static_cast<std::size_t>(end - span.start);
        void *memory = nullptr;
        if (posix_memalign(&memory, std::max(kBounceAlignment, alignment_),
                           std::max<std::size_t>(span.size, alignment_)) != 0) {
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
    std::size_t alignment_;
    std::uint64_t position_ = 0;
};

std::string devicePath(int number) {
    const char *root = std::getenv("OSTREL_DEV_ROOT");
    std::string path = (root != nullptr && root[0] != '\0') ? root : "/dev";
    path += "/sd";
    path += static_cast<char>('a' + number);
    return path;
}

}  // namespace

std::unique_ptr<RawDrive> openSystemRawDrive(int number) {
    if (number < 0 || number >= kMaxRawDrives) {
        return nullptr;
    }
    const std::string path = devicePath(number);
    bool direct = true;
    int fd = ::open(path.c_str(), O_RDWR | O_DIRECT | O_CLOEXEC);
    if (fd < 0 && errno == EINVAL) {
        // The file system cannot bypass its cache (tmpfs): a plain open still works.
        direct = false;
        fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    }
    if (fd < 0) {
        return nullptr;
    }
    std::size_t alignment = kSectorSize;
    struct stat info {};
    if (direct && ::fstat(fd, &info) == 0 && S_ISBLK(info.st_mode)) {
        int logical = 0;
        if (::ioctl(fd, BLKSSZGET, &logical) == 0 && logical > 0) {
            alignment = std::max<std::size_t>(alignment, static_cast<std::size_t>(logical));
        }
    }
    return std::make_unique<PosixRawDrive>(fd, direct, alignment);
}

}  // namespace ostrel::platform
