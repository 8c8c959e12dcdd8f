// A long run of what a production line does all day, on one emulated camera at full size:
// stream 24-bit frames into the application's buffer for a while, stop, record an AVI file for a
// few seconds, stop, check the file, and again, for the minutes asked for. At the start and
// about every minute (always between two cycles, when nothing streams) it prints the resident
// memory, the threads and descriptors of the process, the frames the camera sent, the capture
// thread took and the application received, the recordings made and the errors seen.
//
//   soak_run MINUTES WORK-FOLDER
//
// Exit status 0 when the run was clean: no error notification, every frame taken while
// delivering was delivered once, every recording finished and readable, the threads and
// descriptors between cycles the same at the end as after the first minute, and all of them
// given back by the release.
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "OstrelSdk.h"
#include "api/handle_registry.h"
#include "context/camera_context.h"
#include "emulator/emulated_camera.h"
#include "emulator/emulated_camera_set.h"
#include "platform/registry.h"
#include "reliability/avi_file_check.h"
#include "reliability/process_usage.h"

namespace {

using Clock = std::chrono::steady_clock;
using ostrel::reliability::ProcessUsage;

constexpr int kWidth = 6576;
constexpr int kHeight = 4384;
constexpr std::size_t kFrameBytes = static_cast<std::size_t>(kWidth) * kHeight * 3;
constexpr auto kStreamPhase = std::chrono::seconds(12);
constexpr int kRecordMilliseconds = 3000;
// Memory may settle a little after the first minute (allocator caches); more than this is a
// leak worth failing for.
constexpr std::uint64_t kResidentGrowthLimit = 64ull << 20;

// Writes the settings a context reads at initialisation: full size, 24-bit colour, no
// subsampling, no pause between frames, and the shortest exposure under a light bright enough
// that it shows the scene as the default exposure would.
bool plantSettings() {
    const std::string key = "Software\\Nembra\\Ostrel7100V3Sdk";
    struct Value {
        const char *subkey;
        const char *name;
        std::uint32_t value;
    };
    const Value values[] = {
        {"", "Size", 0},
        {"", "Color", 2},
        {"", "SubSample", 0},
        {"", "WaitTime", 0},
        {"", "Clock", 0},
        {"Size_00", "TH", kWidth},
        {"Size_00", "TV", kHeight},
        {"Size_00", "EH", kWidth},
        {"Size_00", "EV", kHeight},
        {"Size_00", "EHS", 0},
        {"Size_00", "EVS", 0},
        {"Size_00", "Buf", 10},
        {"Gain", "Global", 100},
        {"Gain", "Exposure", ostrel::emulator::kShortestExposure},
    };
    for (const Value &v : values) {
        ostrel::platform::RegistryKey k;
        const std::string path = *v.subkey == '\0' ? key : key + "\\" + v.subkey;
        if (k.create(ostrel::platform::RegistryRoot::CurrentUser, path) !=
                ostrel::platform::kRegistryOk ||
            k.setDword(v.name, v.value) != ostrel::platform::kRegistryOk) {
            return false;
        }
    }
    return true;
}

// Takes the notifications of one queue on a thread of its own and counts them.
class NotificationCounter {
public:
    NotificationCounter() : queue_(Ostrel_CreateMessageQueue()) {
        thread_ = std::thread([this] { run(); });
    }
    ~NotificationCounter() {
        stop_ = true;
        thread_.join();
        Ostrel_DestroyMessageQueue(queue_);
    }
    OstrelWindow window() const { return queue_; }
    std::uint64_t frames() const { return frames_.load(); }
    std::uint64_t failures() const { return failures_.load(); }
    // The codes of the failures so far, oldest first.
    std::vector<int> codes() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return codes_;
    }

private:
    void run() {
        while (!stop_) {
            OstrelMessage m{};
            if (Ostrel_WaitMessage(queue_, &m, 50) == 0) {
                continue;
            }
            if (m.message == OSTREL_MSG_FRAME && m.lParam == 0) {
                ++frames_;
            } else if (m.lParam != OSTREL_ERROR_AUTO_IRIS_IDLE) {
                const std::lock_guard<std::mutex> lock(mutex_);
                codes_.push_back(static_cast<int>(m.lParam));
                ++failures_;
            }
        }
    }

    OstrelWindow queue_;
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> frames_{0};
    std::atomic<std::uint64_t> failures_{0};
    mutable std::mutex mutex_;
    std::vector<int> codes_;
    std::thread thread_;
};

struct Totals {
    std::uint64_t sent = 0;
    std::uint64_t taken = 0;
    std::uint64_t delivered = 0;
    std::uint64_t undelivered = 0;  // taken while delivering but never announced
    std::uint64_t recordings = 0;
    std::uint64_t recordedFrames = 0;
    std::uint64_t badRecordings = 0;
    std::uint64_t failedCalls = 0;
    std::uint64_t errors = 0;
};

void printHeader() {
    std::printf("%-8s %9s %7s %5s %9s %9s %9s %6s %9s %6s\n", "time", "rss_mb", "threads", "fds",
                "sent", "taken", "delivered", "recs", "rec_frms", "errors");
}

void printRow(const char *label, const ProcessUsage &u, const Totals &t) {
    std::printf("%-8s %9.1f %7d %5d %9" PRIu64 " %9" PRIu64 " %9" PRIu64 " %6" PRIu64 " %9" PRIu64
                " %6" PRIu64 "\n",
                label, static_cast<double>(u.residentBytes) / (1 << 20), u.threads, u.descriptors,
                t.sent, t.taken, t.delivered, t.recordings, t.recordedFrames,
                t.errors + t.badRecordings + t.failedCalls + t.undelivered);
    std::fflush(stdout);
}

std::uint64_t framesTaken(CameraHandle handle) {
    const ostrel::api::ContextRef context = ostrel::api::processRegistry().find(handle);
    return context ? context->framesTaken() : 0;
}

// Waits until the counter has seen `count` frames (their posts may still be on the way).
bool waitForDeliveries(const NotificationCounter &counter, std::uint64_t count) {
    const auto end = Clock::now() + std::chrono::seconds(60);
    while (counter.frames() < count && Clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return counter.frames() >= count;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3 || std::atoi(argv[1]) <= 0) {
        std::fprintf(stderr, "usage: %s MINUTES WORK-FOLDER\n", argv[0]);
        return 2;
    }
    const int minutes = std::atoi(argv[1]);
    const std::filesystem::path work = argv[2];
    std::filesystem::create_directories(work);
    setenv("OSTREL_SETTINGS_FILE", (work / "settings.reg").c_str(), 1);
    std::error_code ignored;
    std::filesystem::remove(work / "settings.reg", ignored);
    if (!plantSettings()) {
        std::fprintf(stderr, "cannot write the settings file in %s\n", work.c_str());
        return 2;
    }

    ostrel::emulator::EmulatedCameraConfig config;
    config.illumination = ostrel::emulator::kShortExposureIllumination;
    auto cameras = std::make_shared<ostrel::emulator::EmulatedCameraSet>(1, config);
    ostrel::emulator::installEmulatedCameras(cameras);
    ostrel::emulator::EmulatedCamera &camera = cameras->camera(0);

    bool clean = true;
    Totals totals;
    std::vector<std::uint8_t> buffer(kFrameBytes);
    {
        NotificationCounter errors;
        NotificationCounter frames;
        const ProcessUsage beforeInit = ostrel::reliability::processUsage();
        const CameraHandle handle = Ostrel_Initialize(errors.window());
        if (handle == 0) {
            std::fprintf(stderr, "no context could be made\n");
            return 1;
        }
        // Initialisation notes a settings file it had to create; nothing else may come.
        while (Ostrel_GetLastError(handle) != 0) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const std::uint64_t initErrors = errors.failures();

        std::printf(
            "soak: %d minute(s), %dx%d 24-bit frames, streaming %lld s then recording "
            "%d ms per cycle\n",
            minutes, kWidth, kHeight, static_cast<long long>(kStreamPhase.count()),
            kRecordMilliseconds);
        printHeader();
        const auto start = Clock::now();
        const auto end = start + std::chrono::minutes(minutes);
        printRow("start", ostrel::reliability::processUsage(), totals);

        std::uint64_t sentBefore = 0;
        std::uint64_t takenBefore = 0;
        std::uint64_t deliveredBefore = 0;
        std::optional<ProcessUsage> afterFirstMinute;
        ProcessUsage last{};
        int nextMinute = 1;
        const auto updateCameraCounts = [&] {
            // The camera counts from its last start; add what it sent since.
            const std::uint64_t sent = camera.counters().halvesSent / 2;
            totals.sent += sent >= sentBefore ? sent - sentBefore : sent;
            sentBefore = sent;
            const std::uint64_t taken = framesTaken(handle);
            totals.taken += taken - takenBefore;
            takenBefore = taken;
        };
        for (int cycle = 0; Clock::now() < end; ++cycle) {
            // Stream into the buffer: every frame taken must be announced once.
            if (Ostrel_CallBackPreview(handle, frames.window(), buffer.data(),
                                       static_cast<int>(buffer.size()), 1) != 1) {
                ++totals.failedCalls;
            }
            const auto phaseEnd = Clock::now() + kStreamPhase;
            while (Clock::now() < phaseEnd && Clock::now() < end + kStreamPhase) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            if (Ostrel_StopPreview(handle) != 1) {
                ++totals.failedCalls;
            }
            const std::uint64_t takenNow = framesTaken(handle);
            const std::uint64_t announced = takenNow - takenBefore;
            if (!waitForDeliveries(frames, deliveredBefore + announced)) {
                totals.undelivered += deliveredBefore + announced - frames.frames();
            }
            if (frames.frames() > deliveredBefore + announced) {
                std::fprintf(stderr, "cycle %d: %" PRIu64 " frames announced more than taken\n",
                             cycle, frames.frames() - deliveredBefore - announced);
                clean = false;
            }
            totals.delivered = frames.frames();
            deliveredBefore = totals.delivered;
            updateCameraCounts();

            // Record (the stream starts again for it), then stop and check the file.
            const std::filesystem::path file = work / ("cycle-" + std::to_string(cycle) + ".avi");
            if (Ostrel_Record(handle, file.c_str(), kRecordMilliseconds, 0) != 1) {
                ++totals.failedCalls;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(kRecordMilliseconds + 1500));
                if (Ostrel_StopPreview(handle) != 1) {
                    ++totals.failedCalls;
                }
                const ostrel::reliability::AviFileCheck avi =
                    ostrel::reliability::checkAviFile(file.string());
                ++totals.recordings;
                totals.recordedFrames += avi.frames;
                if (!avi.finished || avi.frames == 0 || avi.width != kWidth ||
                    avi.height != kHeight) {
                    std::fprintf(stderr, "cycle %d: recording %s: %s, %u frames\n", cycle,
                                 file.c_str(), avi.problem.c_str(), avi.frames);
                    ++totals.badRecordings;
                }
            }
            std::filesystem::remove(file, ignored);
            updateCameraCounts();
            totals.errors = errors.failures() - initErrors;

            const auto elapsed = Clock::now() - start;
            last = ostrel::reliability::processUsage();
            if (elapsed >= std::chrono::minutes(nextMinute) || Clock::now() >= end) {
                const auto shown = std::chrono::duration_cast<std::chrono::seconds>(elapsed);
                char label[16];
                std::snprintf(label, sizeof label, "%lldm%02llds",
                              static_cast<long long>(shown.count() / 60),
                              static_cast<long long>(shown.count() % 60));
                printRow(label, last, totals);
                if (!afterFirstMinute) {
                    afterFirstMinute = last;
                }
                nextMinute =
                    static_cast<int>(
                        std::chrono::duration_cast<std::chrono::minutes>(elapsed).count()) +
                    1;
            }
        }

        const std::vector<int> codes = errors.codes();
        Ostrel_Release(handle);
        const ProcessUsage released = ostrel::reliability::processUsage();
        printRow("released", released, totals);

        for (std::size_t i = initErrors; i < codes.size() && i < initErrors + 20; ++i) {
            std::fprintf(stderr, "error notification: code %d\n", codes[i]);
        }
        if (totals.errors + totals.badRecordings + totals.failedCalls + totals.undelivered != 0) {
            clean = false;
        }
        if (totals.delivered == 0 || totals.recordings == 0) {
            std::fprintf(stderr, "nothing was delivered or recorded\n");
            clean = false;
        }
        if (afterFirstMinute &&
            (last.threads != afterFirstMinute->threads ||
             last.descriptors != afterFirstMinute->descriptors ||
             last.residentBytes > afterFirstMinute->residentBytes + kResidentGrowthLimit)) {
            std::fprintf(stderr, "threads, descriptors or memory grew between cycles\n");
            clean = false;
        }
        if (released.threads != beforeInit.threads ||
            released.descriptors != beforeInit.descriptors) {
            std::fprintf(stderr,
                         "after the release: %d threads and %d descriptors, %d and %d before "
                         "the handle was made\n",
                         released.threads, released.descriptors, beforeInit.threads,
                         beforeInit.descriptors);
            clean = false;
        }
    }
    ostrel::emulator::installEmulatedCameras(nullptr);
    std::printf("soak: %s\n", clean ? "clean" : "FAILED");
    return clean ? 0 : 1;
}
