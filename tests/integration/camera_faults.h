// The emulator's fault file, seen from a test that reaches the library only through its exports:
// the test writes which camera misbehaves how ("0 gone", "0 locked", "0 stalled", one per line)
// and reads how many drive calls each camera has had. One file per test process, named in the
// environment before the library's first Ostrel_Initialize; every camera is healthy while it is
// empty. Also the number of threads of the process, to show that nothing was left running.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
// after windows.h, whose types it uses
#include <tlhelp32.h>
#else
#include <unistd.h>
#endif

namespace ostrel::integration {

class FaultFile {
public:
    // The file of this process; created empty at the first use.
    static FaultFile &instance() {
        static FaultFile file;
        return file;
    }
    const std::string &path() const { return path_; }

    // Replaces the faults asked for.
    void set(const std::string &text) { std::ofstream(path_, std::ios::binary) << text; }
    void clear() { set(""); }

    // The drive calls camera `camera` has had so far, as last reported (the report is renewed
    // while drives are used); 0 before the first report.
    std::uint64_t driveCalls(int camera) const {
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::ifstream in(path_ + ".calls", std::ios::binary);
            if (!in) {
                return 0;
            }
            std::ostringstream text;
            text << in.rdbuf();
            std::istringstream lines(text.str());
            int index = -1;
            std::uint64_t calls = 0;
            while (lines >> index >> calls) {
                if (index == camera) {
                    return calls;
                }
            }
            // Caught while being rewritten: read again.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return 0;
    }

    FaultFile(const FaultFile &) = delete;
    FaultFile &operator=(const FaultFile &) = delete;

private:
    FaultFile() {
        std::random_device random;
        path_ = (std::filesystem::temp_directory_path() /
                 ("ostrel-faults-" + std::to_string(random()) + std::to_string(random())))
                    .string();
        clear();
    }
    ~FaultFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
        std::filesystem::remove(path_ + ".calls", ignored);
    }
    std::string path_;
};

// The threads the process runs now.
inline int threadCount() {
#if defined(_WIN32)
    const DWORD self = GetCurrentProcessId();
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return -1;
    }
    int count = 0;
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        count += entry.th32OwnerProcessID == self ? 1 : 0;
    }
    CloseHandle(snapshot);
    return count;
#else
    int count = 0;
    std::error_code error;
    for (auto it = std::filesystem::directory_iterator("/proc/self/task", error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        ++count;
    }
    return count;
#endif
}

}  // namespace ostrel::integration
