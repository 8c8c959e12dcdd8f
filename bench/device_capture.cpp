// Frames per second of a full-size capture from an unthrottled emulated camera through the
// 7100VRX device (half-frame reads, assembly, two-sided re-ordering, the frame ring) to
// GetLatestFrame, against a plain memcpy of the same 28.8 MB per frame in the same run; and the
// host's share of a quarter- and an eighth-size frame, made from the half-size readout.
//
// Run: build/native/bin/bench_device_capture   (prints the capture/memcpy ratio at the end)
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "device/cell_subsample.h"
#include "device/device_7100vrx.h"
#include "emulator/emulated_camera_set.h"
#include "platform/camera_protocol.h"

namespace {

using namespace ostrel;

constexpr std::size_t kFrameBytes =
    static_cast<std::size_t>(platform::camera::kSensorWidth) * platform::camera::kSensorHeight;

double captureFramesPerSecond = 0.0;
double memcpyFramesPerSecond = 0.0;

double perSecond(std::int64_t count, std::chrono::steady_clock::duration elapsed) {
    const double seconds = std::chrono::duration<double>(elapsed).count();
    return seconds > 0.0 ? static_cast<double>(count) / seconds : 0.0;
}

void BM_CaptureFullFrames(benchmark::State &state) {
    emulator::EmulatedCameraConfig config;
    config.bandwidthBytesPerSecond = 0;  // unthrottled
    config.statusReadLatency = std::chrono::microseconds(0);
    config.illumination = emulator::kShortExposureIllumination;
    emulator::installEmulatedCameras(std::make_shared<emulator::EmulatedCameraSet>(1, config));
    {
        device::Device7100VRX device;
        // A frame takes at least its exposure time: the shortest (0.04 ms) leaves the pace to
        // the device.
        if (device.SetExposure(emulator::kShortestExposure) != 1) {
            state.SkipWithError("the exposure could not be set");
            return;
        }
        std::vector<std::uint8_t> frame(kFrameBytes);
        if (device.StartContinuousCapture() != device::kStartOk) {
            state.SkipWithError("capture did not start");
            return;
        }
        // The first frame pays for rendering the scene; it is not measured.
        while (device.GetCaptureStatus() != device::kNewFrame) {
            std::this_thread::yield();
        }
        (void)device.GetLatestFrame(frame.data(), 0, 0, 1);

        std::int64_t frames = 0;
        const auto start = std::chrono::steady_clock::now();
        for (auto _ : state) {
            while (device.GetCaptureStatus() != device::kNewFrame) {
                std::this_thread::yield();
            }
            if (device.GetLatestFrame(frame.data(), 0, 0, 1) != 0) {
                state.SkipWithError("no frame");
                break;
            }
            benchmark::DoNotOptimize(frame.data());
            ++frames;
        }
        captureFramesPerSecond = perSecond(frames, std::chrono::steady_clock::now() - start);
        state.SetItemsProcessed(frames);
        state.SetBytesProcessed(frames * static_cast<std::int64_t>(kFrameBytes));
        (void)device.StopCapture();
    }
    emulator::installEmulatedCameras(nullptr);
}
BENCHMARK(BM_CaptureFullFrames)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

void BM_MemcpyFullFrames(benchmark::State &state) {
    std::vector<std::uint8_t> source(kFrameBytes, 0x5A);
    std::vector<std::uint8_t> destination(kFrameBytes, 0);
    std::int64_t frames = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        std::memcpy(destination.data(), source.data(), kFrameBytes);
        benchmark::DoNotOptimize(destination.data());
        benchmark::ClobberMemory();
        ++frames;
    }
    memcpyFramesPerSecond = perSecond(frames, std::chrono::steady_clock::now() - start);
    state.SetItemsProcessed(frames);
    state.SetBytesProcessed(frames * static_cast<std::int64_t>(kFrameBytes));
}
BENCHMARK(BM_MemcpyFullFrames)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

// Quarter (step 2) or eighth (step 4) size from a two-sided half-size readout held in two halves,
// as the capture thread makes it for every frame.
void BM_ReduceHalfSizeReadout(benchmark::State &state) {
    const auto step = static_cast<std::int32_t>(state.range(0));
    const std::int32_t width = platform::camera::kSensorWidth / 2;
    const std::int32_t height = platform::camera::kSensorHeight / 2;
    std::vector<std::uint8_t> readout(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < readout.size(); ++i) {
        readout[i] = static_cast<std::uint8_t>(i * 31 + (i >> 9));
    }
    const std::size_t split = readout.size() / 2;
    const std::int32_t outWidth = width / step;
    const std::int32_t outHeight = height / step;
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(outWidth) * outHeight);
    for (auto _ : state) {
        device::reduceReadout(device::SplitFrame{readout.data(), readout.data() + split, split},
                              device::ReadoutShape{width, height, width / 2, true}, step,
                              frame.data(), outWidth, outHeight);
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReduceHalfSizeReadout)->Arg(2)->Arg(4)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (captureFramesPerSecond > 0.0 && memcpyFramesPerSecond > 0.0) {
        std::printf("capture %.1f frames/s, memcpy %.1f frames/s, ratio capture/memcpy %.3f\n",
                    captureFramesPerSecond, memcpyFramesPerSecond,
                    captureFramesPerSecond / memcpyFramesPerSecond);
    }
    return 0;
}
