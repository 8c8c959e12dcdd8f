// Frames delivered per second while a full-size PNG still (6576 x 4384, 24-bit) is saved from a
// running stream, against the rate of the same stream with no save: how much of the stream a
// save costs. The stream is the one bench_streaming measures (unthrottled emulated camera,
// neutral settings, every frame copied into an application buffer and announced); the save is
// Ostrel_SaveImage's path on the application's thread. On a machine with few cores the save's
// encoding competes with the stream for them, so the ratio also shows how busy the machine is.
//
// Run: build/native/bin/bench_save_while_streaming   (prints both rates and their ratio)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench_files.h"
#include "context/camera_context.h"
#include "platform/messages.h"
#include "streaming_camera.h"

namespace {

using namespace ostrel;
using Clock = std::chrono::steady_clock;

constexpr std::int32_t kPngFileType = 5;
// The stream's own rate is measured over this long before the save.
constexpr auto kBaselineWindow = std::chrono::seconds(10);
constexpr double kGoal = 0.80;

struct Figures {
    double streamFramesPerSecond = 0.0;
    double duringSaveFramesPerSecond = 0.0;
    double saveSeconds = 0.0;
};
Figures figures;

// Takes the frame notifications of a queue as they come, with the time each one arrived.
class FrameArrivals {
public:
    explicit FrameArrivals(platform::WindowHandle queue)
        : thread_([this, queue] {
              platform::Message message;
              while (!done_.load()) {
                  if (platform::waitMessage(queue, message, 100) &&
                      message.message == context::kFrameNotification && message.lParam == 0) {
                      std::lock_guard<std::mutex> lock(mutex_);
                      arrivals_.push_back(Clock::now());
                  }
              }
          }) {}
    ~FrameArrivals() {
        done_.store(true);
        thread_.join();
    }
    std::size_t count() {
        std::lock_guard<std::mutex> lock(mutex_);
        return arrivals_.size();
    }
    // Frames that arrived in [from, to), per second.
    double rate(Clock::time_point from, Clock::time_point to) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto n = std::count_if(arrivals_.begin(), arrivals_.end(),
                                     [&](Clock::time_point t) { return t >= from && t < to; });
        const double seconds = std::chrono::duration<double>(to - from).count();
        return seconds > 0 ? static_cast<double>(n) / seconds : 0.0;
    }

private:
    std::atomic<bool> done_{false};
    std::mutex mutex_;
    std::vector<Clock::time_point> arrivals_;
    std::thread thread_;
};

void BM_FramesDuringPngSave(benchmark::State &state) {
    (void)bench::streamingCameraSet();
    bench::storeStreamingSettings("ostrel-bench-save-while-streaming");
    const std::string path = bench::benchFile("still-while-streaming.png");
    const platform::WindowHandle queue = platform::createMessageQueue();
    std::vector<std::uint8_t> buffer(bench::kStreamOutputBytes);
    {
        context::CameraContext context;
        (void)context.initialise(platform::kNoWindow);
        if (!context.callBackPreview(queue, buffer.data(), static_cast<std::int32_t>(buffer.size()),
                                     1)) {
            state.SkipWithError("streaming did not start");
            (void)platform::destroyMessageQueue(queue);
            return;
        }
        FrameArrivals arrivals(queue);
        // The first frames pay for rendering the camera's scene; they are not measured.
        const auto warmBy = Clock::now() + std::chrono::seconds(60);
        while (arrivals.count() < 2 && Clock::now() < warmBy) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        for (auto _ : state) {
            const auto baselineStart = Clock::now();
            std::this_thread::sleep_for(kBaselineWindow);
            const auto saveStart = Clock::now();
            const bool saved = context.saveImage(path.c_str(), kPngFileType);
            const auto saveEnd = Clock::now();
            if (!saved) {
                state.SkipWithError("save failed");
                break;
            }
            figures.streamFramesPerSecond = arrivals.rate(baselineStart, saveStart);
            figures.duringSaveFramesPerSecond = arrivals.rate(saveStart, saveEnd);
            figures.saveSeconds = std::chrono::duration<double>(saveEnd - saveStart).count();
        }
        (void)context.stopPreview();
    }
    std::filesystem::remove(path);
    (void)platform::destroyMessageQueue(queue);
    state.counters["stream_fps"] = figures.streamFramesPerSecond;
    state.counters["during_save_fps"] = figures.duringSaveFramesPerSecond;
}
BENCHMARK(BM_FramesDuringPngSave)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (figures.streamFramesPerSecond > 0) {
        const double ratio = figures.duringSaveFramesPerSecond / figures.streamFramesPerSecond;
        std::printf(
            "\nfull size, 24-bit, neutral settings, unthrottled camera, PNG save of %.1f s:\n"
            "  stream alone        %6.2f frames/s\n"
            "  during the save     %6.2f frames/s\n"
            "  during / alone      %6.2f   (goal >= %.2f: %s)\n",
            figures.saveSeconds, figures.streamFramesPerSecond, figures.duringSaveFramesPerSecond,
            ratio, kGoal, ratio >= kGoal ? "met" : "not met");
    }
    return 0;
}
