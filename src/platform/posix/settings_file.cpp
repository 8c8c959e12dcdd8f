// The Linux settings file that holds HKEY_CURRENT_USER: lock-free reads, locked atomic updates.
#include "platform/posix/settings_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <new>
#include <vector>

#include "platform/registry_text.h"

namespace ostrel::platform {

namespace {

constexpr const char *kRelativePath = "ostrel/Ostrel7100V3Sdk.reg";
// Far beyond any settings file; a larger file is not ours to read into memory or to replace.
constexpr off_t kMaxFileSize = 64 * 1024 * 1024;

// Threads of one process take this before the file lock: the lock is per open file, so it
// would also exclude them, but this keeps them from contending inside the kernel for nothing.
std::mutex gUpdateMutex;

RegistryStatus statusFromErrno(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
            return kRegistryAccessDenied;
        case ENOMEM:
            return kRegistryOutOfMemory;
        default:
            return kRegistryIoFailed;
    }
}

std::string homeFolder() {
    const char *home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return home;
    }
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd *found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return {};
}

std::string parentFolder(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Creates the folder and its missing parents (0700: the settings are the user's own).
int makeFolders(const std::string &folder) {
    struct stat st {};
    if (stat(folder.c_str(), &st) == 0) {
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    }
    if (errno != ENOENT) {
        return errno;
    }
    const std::string parent = parentFolder(folder);
    if (parent != folder) {
        if (const int error = makeFolders(parent); error != 0) {
            return error;
        }
    }
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return errno;
    }
    return 0;
}

// Reads the whole file; ENOENT when it does not exist.
int readWhole(const std::string &path, std::string &out) {
    out.clear();
    // Non-blocking, so that a path naming a pipe cannot hang the caller; a settings file is
    // a regular file or nothing.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return errno;
    }
    int error = 0;
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        error = errno;
    } else if (!S_ISREG(st.st_mode)) {
        error = EINVAL;
    } else if (st.st_size > kMaxFileSize) {
        error = EFBIG;
    } else {
        out.reserve(static_cast<std::size_t>(st.st_size));
        char chunk[8192];
        while (true) {
            const ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                error = errno;
                break;
            }
            if (n == 0) {
                break;
            }
            if (out.size() + static_cast<std::size_t>(n) > static_cast<std::size_t>(kMaxFileSize)) {
                error = EFBIG;
                break;
            }
            out.append(chunk, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return error;
}

int writeAll(int fd, const std::string &bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return errno;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// Replaces target with bytes: a temporary file in the same folder, flushed, renamed over it.
// Readers see the old file or the new one, never a mix; a failure leaves the old one.
int replaceAtomically(const std::string &target, const std::string &bytes, mode_t mode) {
    std::string temporary = target + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    int error = writeAll(fd, bytes);
    if (error == 0 && fchmod(fd, mode) != 0) {
        error = errno;
    }
    if (error == 0 && fsync(fd) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && rename(temporary.c_str(), target.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        unlink(temporary.c_str());
        return error;
    }
    // The rename itself reaches the disk with the folder.
    const int folder = ::open(parentFolder(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        fsync(folder);
        ::close(folder);
    }
    return 0;
}

// A settings file that is a symbolic link (kept in a dotfiles folder, say) is replaced at its
// target, so the link survives.
std::string resolveLink(const std::string &path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        return path;
    }
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) == nullptr) {
        return path;
    }
    return resolved;
}

class FileLock {
public:
    explicit FileLock(const std::string &path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            error_ = errno;
            return;
        }
        while (flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                error_ = errno;
                return;
            }
        }
    }
    ~FileLock() {
        if (fd_ >= 0) {
            ::close(fd_);  // releases the lock
        }
    }
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    int error() const { return error_; }

private:
    int fd_ = -1;
    int error_ = 0;
};

}  // namespace

std::string SettingsFile::userPath() {
    const char *explicitPath = std::getenv("OSTREL_SETTINGS_FILE");
    if (explicitPath != nullptr && explicitPath[0] != '\0') {
        return explicitPath;
    }
    std::string config;
    const char *xdg = std::getenv("XDG_CONFIG_HOME");
    // Relative values are to be ignored, as the base-directory convention says.
    if (xdg != nullptr && xdg[0] == '/') {
        config = xdg;
    } else {
        const std::string home = homeFolder();
        if (home.empty()) {
            return {};
        }
        config = home + "/.config";
    }
    return config + '/' + kRelativePath;
}

RegistryStatus SettingsFile::read(RegistryNode &top, bool *damaged) const {
    try {
        bool lost = false;
        if (!path_.empty()) {
            std::string bytes;
            const int error = readWhole(path_, bytes);
            if (error != 0 && error != ENOENT) {
                return statusFromErrno(error);
            }
            lost = !parseRegistryText(bytes, top);
        }
        if (damaged != nullptr) {
            *damaged = lost;
        }
        return kRegistryOk;
    } catch (const std::bad_alloc &) {
        return kRegistryOutOfMemory;
    }
}

RegistryStatus SettingsFile::update(const Change &change) {
    if (path_.empty()) {
        return kRegistryIoFailed;
    }
    try {
        std::lock_guard<std::mutex> processLock(gUpdateMutex);
        const std::string target = resolveLink(path_);
        if (const int error = makeFolders(parentFolder(target)); error != 0) {
            return statusFromErrno(error);
        }
        FileLock lock(target + ".lock");
        if (lock.error() != 0) {
            return statusFromErrno(lock.error());
        }
        std::string old;
        const int readError = readWhole(target, old);
        if (readError != 0 && readError != ENOENT) {
            return statusFromErrno(readError);
        }
        RegistryNode top;
        const bool damaged = !parseRegistryText(old, top);
        bool changed = false;
        const RegistryStatus status = change(top, changed);
        if (status != kRegistryOk || !changed) {
            return status;
        }
        mode_t mode = 0600;
        struct stat st {};
        if (readError == 0 && stat(target.c_str(), &st) == 0) {
            mode = st.st_mode & 07777;
        }
        if (damaged) {
            // Best effort: the copy is for the user to recover from by hand.
            (void)replaceAtomically(target + ".damaged", old, mode);
        }
        if (const int error = replaceAtomically(target, formatRegistryText(top), mode);
            error != 0) {
            return statusFromErrno(error);
        }
        return kRegistryOk;
    } catch (const std::bad_alloc &) {
        return kRegistryOutOfMemory;
    }
}

}  // namespace ostrel::platform
