// What the process holds right now, for checks that a long or hostile run leaves nothing behind:
// resident memory, threads and open file descriptors (Linux: from /proc/self).
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <unistd.h>

namespace ostrel::reliability {

struct ProcessUsage {
    std::uint64_t residentBytes = 0;
    int threads = 0;
    int descriptors = 0;
};

// The entries of a /proc folder, -1 when it cannot be read.
inline int countEntries(const char *folder) {
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error);
    if (error) {
        return -1;
    }
    int count = 0;
    for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
        if (error) {
            return -1;
        }
        ++count;
    }
    return count;
}

inline ProcessUsage processUsage() {
    ProcessUsage usage;
    std::ifstream statm("/proc/self/statm");
    std::uint64_t sizePages = 0;
    std::uint64_t residentPages = 0;
    if (statm >> sizePages >> residentPages) {
        usage.residentBytes = residentPages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
    }
    usage.threads = countEntries("/proc/self/task");
    // The iterator's own descriptor is open while it counts.
    const int fds = countEntries("/proc/self/fd");
    usage.descriptors = fds > 0 ? fds - 1 : fds;
    return usage;
}

}  // namespace ostrel::reliability
