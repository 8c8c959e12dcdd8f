// Frames per second of the whole streaming loop at full size (6576 x 4384, 24-bit, neutral
// settings) from an unthrottled emulated camera: the device's capture, the capture thread's
// intake, the frame pipeline, the delivery into an application buffer and the frame
// notification. In the same run, ProcessFrame alone on the same camera's frame, so the share of
// the pipeline in the loop's time shows.
//
// Run: build/native/bin/bench_streaming   (prints both rates and their ratio at the end)
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "context/camera_context.h"
#include "context/frame_intake.h"
#include "device/device_7100vrx.h"
#include "imaging/deliver_frame.h"
#include "imaging/dib_image.h"
#include "imaging/process_frame.h"
#include "neutral_pipeline.h"
#include "platform/messages.h"
#include "streaming_camera.h"

namespace {

using namespace ostrel;

constexpr std::int32_t kWidth = bench::kStreamWidth;
constexpr std::int32_t kHeight = bench::kStreamHeight;
constexpr std::size_t kOutputBytes = bench::kStreamOutputBytes;

double loopFramesPerSecond = 0.0;
double pipelineFramesPerSecond = 0.0;

void BM_StreamingLoop(benchmark::State &state) {
    (void)bench::streamingCameraSet();
    bench::storeStreamingSettings("ostrel-bench-streaming");
    const platform::WindowHandle queue = platform::createMessageQueue();
    std::vector<std::uint8_t> buffer(kOutputBytes);
    {
        context::CameraContext context;
        (void)context.initialise(platform::kNoWindow);
        if (!context.callBackPreview(queue, buffer.data(), static_cast<std::int32_t>(kOutputBytes),
                                     1)) {
            state.SkipWithError("streaming did not start");
            return;
        }
        platform::Message message;
        // The first frame pays for rendering the camera's scene; it is not measured.
        (void)platform::waitMessage(queue, message, -1);
        std::int64_t frames = 0;
        const auto start = std::chrono::steady_clock::now();
        for (auto _ : state) {
            if (!platform::waitMessage(queue, message, 60000) || message.lParam != 0) {
                state.SkipWithError("no frame");
                break;
            }
            ++frames;
        }
        const auto elapsed = std::chrono::steady_clock::now() - start;
        (void)context.stopPreview();
        const double seconds = std::chrono::duration<double>(elapsed).count();
        loopFramesPerSecond = seconds > 0 ? static_cast<double>(frames) / seconds : 0.0;
        state.counters["fps"] = loopFramesPerSecond;
    }
    (void)platform::destroyMessageQueue(queue);
}
BENCHMARK(BM_StreamingLoop)->Unit(benchmark::kMillisecond)->Iterations(60)->UseRealTime();

void BM_ProcessFrameOnly(benchmark::State &state) {
    emulator::EmulatedCamera &camera = bench::streamingCameraSet()->camera(0);
    const std::vector<std::uint8_t> picture = camera.renderPicture(0);
    imaging::DibImage raw;
    imaging::DibImage output;
    imaging::DibImage work;
    if (!raw.create(kWidth, kHeight, 8) || !output.create(kWidth, kHeight, 24) ||
        !work.copyFormat(&output) || picture.size() != raw.sizeBytes()) {
        state.SkipWithError("images");
        return;
    }
    std::memcpy(raw.pixels(), picture.data(), picture.size());
    imaging::SettingsBlock settings = ostrel::bench::neutralSettings();
    imaging::AnalogSettings analog;
    ostrel::imaging::test::QuietFrameControls controls;
    imaging::FrameRhythm rhythm;
    imaging::FrameImages images;
    images.image8 = &raw;
    images.image24 = &output;
    images.work = &work;
    const imaging::FrameInput input{imaging::ColorMode::Bgr24, images, settings, analog, controls};
    std::int64_t frames = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        imaging::ProcessFrame(input, rhythm);
        benchmark::DoNotOptimize(output.pixels());
        ++frames;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    pipelineFramesPerSecond = seconds > 0 ? static_cast<double>(frames) / seconds : 0.0;
    state.counters["fps"] = pipelineFramesPerSecond;
}
BENCHMARK(BM_ProcessFrameOnly)->Unit(benchmark::kMillisecond)->Iterations(60)->UseRealTime();

// Milliseconds per frame of each step, in the order the capture thread takes them.
std::vector<std::pair<std::string, double>> stageMs;
double cameraSideMs = 0.0;

template <typename Step>
double meanMs(int runs, Step step) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < runs; ++i) {
        step();
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    return std::chrono::duration<double, std::milli>(elapsed).count() / runs;
}

void BM_FrameStages(benchmark::State &state) {
    constexpr int kRuns = 10;
    emulator::EmulatedCamera &camera = bench::streamingCameraSet()->camera(0);
    const std::vector<std::uint8_t> picture = camera.renderPicture(0);
    imaging::DibImage raw;
    imaging::DibImage output;
    imaging::DibImage work;
    if (!raw.create(kWidth, kHeight, 8) || !output.create(kWidth, kHeight, 24) ||
        !work.copyFormat(&output) || picture.size() != raw.sizeBytes()) {
        state.SkipWithError("images");
        return;
    }
    std::vector<std::uint8_t> buffer(kOutputBytes);
    imaging::SettingsBlock settings = ostrel::bench::neutralSettings();
    imaging::AnalogSettings analog;
    ostrel::imaging::test::QuietFrameControls controls;
    imaging::FrameImages images;
    images.image8 = &raw;
    images.image24 = &output;
    images.work = &work;
    const imaging::FrameInput input{imaging::ColorMode::Bgr24, images, settings, analog, controls};
    context::FrameIntake intake;
    if (!intake.plan(raw, context::FrameWindow{kWidth, kHeight, 0, 0}, false)) {
        state.SkipWithError("intake");
        return;
    }
    const platform::WindowHandle queue = platform::createMessageQueue();
    for (auto _ : state) {
        stageMs.clear();
        {
            // The device streams on its own thread; its newest frame is copied out as the
            // capture thread does, and the frames it completes meanwhile give the camera side.
            device::Device7100VRX device;
            if (device.SetExposure(emulator::kShortestExposure) != 1 ||
                device.StartContinuousCapture() != device::kStartOk) {
                state.SkipWithError("capture did not start");
                break;
            }
            while (device.GetCaptureStatus() != device::kNewFrame) {
                std::this_thread::yield();
            }
            const std::int32_t before = device.framesCompleted();
            const auto start = std::chrono::steady_clock::now();
            stageMs.emplace_back("device copy", meanMs(kRuns, [&] {
                                     (void)device.GetLatestFrame(intake.target(raw), 0, 0, 1);
                                 }));
            while (device.framesCompleted() < before + 3) {
                std::this_thread::yield();
            }
            const double elapsedMs =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count();
            cameraSideMs = elapsedMs / static_cast<double>(device.framesCompleted() - before);
            (void)device.StopCapture();
        }
        std::memcpy(raw.pixels(), picture.data(), picture.size());
        stageMs.emplace_back("intake", meanMs(kRuns, [&] { intake.place(raw); }));
        stageMs.emplace_back("conversion", meanMs(kRuns, [&] { imaging::ProcessFrame(input); }));
        stageMs.emplace_back("delivery copy", meanMs(kRuns, [&] {
                                 (void)imaging::DeliverFrame(
                                     output, 1, buffer.data(),
                                     static_cast<std::int64_t>(buffer.size()), controls);
                             }));
        stageMs.emplace_back("notification", meanMs(kRuns, [&] {
                                 platform::Message message;
                                 (void)platform::postMessage(queue, context::kFrameNotification, 0,
                                                             0);
                                 (void)platform::waitMessage(queue, message, -1);
                             }));
    }
    (void)platform::destroyMessageQueue(queue);
}
BENCHMARK(BM_FrameStages)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (loopFramesPerSecond > 0 && pipelineFramesPerSecond > 0) {
        std::printf(
            "\nfull size, 24-bit, neutral settings, unthrottled camera:\n"
            "  streaming loop     %6.2f frames/s\n"
            "  ProcessFrame only  %6.2f frames/s\n"
            "  loop / pipeline    %6.2f\n",
            loopFramesPerSecond, pipelineFramesPerSecond,
            loopFramesPerSecond / pipelineFramesPerSecond);
    }
    if (!stageMs.empty()) {
        double sum = 0.0;
        std::printf("\nwhere a frame's time goes (each step alone, ms per frame):\n");
        for (const auto &[name, ms] : stageMs) {
            std::printf("  %-22s %8.2f\n", name.c_str(), ms);
            sum += ms;
        }
        std::printf("  %-22s %8.2f\n", "capture thread, sum", sum);
        if (loopFramesPerSecond > 0) {
            std::printf("  %-22s %8.2f\n", "streaming loop", 1000.0 / loopFramesPerSecond);
        }
        std::printf("  %-22s %8.2f   (emulated camera and the device's assembly, own thread)\n",
                    "camera side", cameraSideMs);
    }
    return 0;
}
