// Reading the fault file, applying it to the cameras and writing the counts file.
#include "emulator/fault_file.h"

#include <cstdio>
#include <sstream>
#include <utility>

namespace ostrel::emulator {

namespace {

// The whole file, or nothing when it cannot be read (no faults then).
std::string readText(const std::string &path) {
    std::string text;
    if (std::FILE *file = std::fopen(path.c_str(), "rb")) {
        char chunk[512];
        std::size_t n = 0;
        while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0 && text.size() < 65536) {
            text.append(chunk, n);
        }
        std::fclose(file);
    }
    return text;
}

}  // namespace

std::vector<CameraFaults> parseFaults(const std::string &text, std::size_t cameraCount) {
    std::vector<CameraFaults> faults(cameraCount);
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        long index = -1;
        std::string fault;
        std::string extra;
        if (!(words >> index >> fault) || (words >> extra) || index < 0 ||
            static_cast<std::size_t>(index) >= cameraCount) {
            continue;
        }
        CameraFaults &camera = faults[static_cast<std::size_t>(index)];
        if (fault == "gone") {
            camera.gone = true;
        } else if (fault == "locked") {
            camera.locked = true;
        } else if (fault == "stalled") {
            camera.stalled = true;
        }
    }
    return faults;
}

FaultFile::FaultFile(std::string path, std::vector<std::shared_ptr<EmulatedCamera>> cameras)
    : path_(std::move(path)),
      cameras_(std::move(cameras)),
      applied_(cameras_.size()),
      countsWritten_(cameras_.size(), ~std::uint64_t{0}) {}

void FaultFile::poll() {
    std::unique_lock<std::mutex> lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock()) {
        return;  // another thread is at it
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPoll_ < kPollInterval) {
        return;
    }
    lastPoll_ = now;
    applyLocked(parseFaults(readText(path_), cameras_.size()));
    writeCountsLocked();
}

void FaultFile::pollNow() {
    std::lock_guard<std::mutex> lock(mutex_);
    lastPoll_ = std::chrono::steady_clock::now();
    applyLocked(parseFaults(readText(path_), cameras_.size()));
    writeCountsLocked();
}

void FaultFile::applyLocked(const std::vector<CameraFaults> &wanted) {
    for (std::size_t i = 0; i < cameras_.size(); ++i) {
        EmulatedCamera &camera = *cameras_[i];
        const CameraFaults &want = wanted[i];
        CameraFaults &have = applied_[i];
        if (want.gone != have.gone) {
            if (want.gone) {
                camera.unplug();
            } else {
                camera.reconnect();
            }
        }
        if (want.locked != have.locked) {
            camera.refuseOpens(want.locked);
        }
        if (want.stalled != have.stalled) {
            camera.setNeverReady(want.stalled);
        }
        have = want;
    }
}

void FaultFile::writeCountsLocked() {
    std::vector<std::uint64_t> counts;
    for (const auto &camera : cameras_) {
        counts.push_back(camera->counters().driveCalls);
    }
    if (counts == countsWritten_) {
        return;
    }
    std::string text;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        text += std::to_string(i) + " " + std::to_string(counts[i]) + "\n";
    }
    if (std::FILE *file = std::fopen((path_ + ".calls").c_str(), "wb")) {
        const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
        if (std::fclose(file) == 0 && written) {
            countsWritten_ = std::move(counts);
        }
    }
}

}  // namespace ostrel::emulator
