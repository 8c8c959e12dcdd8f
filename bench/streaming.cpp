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
#include <vector>

#include "context/camera_context.h"
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
    return 0;
}
