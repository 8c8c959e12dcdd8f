// Faults asked for through a small text file, so that a program which sees the library only
// through its exported functions can make an emulated camera misbehave while it runs, and can
// count what the library does to the camera meanwhile.
//
// Each line of the file names a camera (its index) and one fault:
//   0 gone      camera 0 is unplugged: every call on its drives fails; drives opened before
//               stay dead when the line goes away and the camera comes back
//   1 locked    the drive of camera 1 cannot be opened (in use, no access rights)
//   2 stalled   camera 2 never becomes ready (no image data is ever sent)
// A camera without a line is healthy; removing a line ends that fault. Other lines are ignored.
//
// The file is read again at most every few milliseconds, whenever a drive is opened or used.
// At the same moments the counts file (the path with ".calls" added) is rewritten when a count
// changed: one line "<camera> <drive calls>" per camera.
//
// Threads: poll may be called from any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "emulator/emulated_camera.h"

namespace ostrel::emulator {

// The faults one camera is asked to show.
struct CameraFaults {
    bool gone = false;
    bool locked = false;
    bool stalled = false;
    bool operator==(const CameraFaults &) const = default;
};

// The faults of cameras 0 .. cameraCount - 1 that a fault file's text asks for.
std::vector<CameraFaults> parseFaults(const std::string &text, std::size_t cameraCount);

class FaultFile {
public:
    FaultFile(std::string path, std::vector<std::shared_ptr<EmulatedCamera>> cameras);
    FaultFile(const FaultFile &) = delete;
    FaultFile &operator=(const FaultFile &) = delete;

    // Applies what the file asks for now and writes the counts, unless that was done less than
    // kPollInterval ago (or another thread is doing it).
    void poll();
    // The same at once, whenever it was last done.
    void pollNow();

    static constexpr std::chrono::milliseconds kPollInterval{5};

private:
    void applyLocked(const std::vector<CameraFaults> &wanted);
    void writeCountsLocked();

    const std::string path_;
    const std::vector<std::shared_ptr<EmulatedCamera>> cameras_;
    std::mutex mutex_;
    std::chrono::steady_clock::time_point lastPoll_{};
    std::vector<CameraFaults> applied_;
    std::vector<std::uint64_t> countsWritten_;
};

}  // namespace ostrel::emulator
