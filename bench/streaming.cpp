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
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "context/camera_context.h"
#include "emulator/emulated_camera_set.h"
#include "imaging/dib_image.h"
#include "imaging/process_frame.h"
#include "neutral_pipeline.h"
#include "platform/camera_protocol.h"
#include "platform/messages.h"
#include "platform/registry.h"

namespace {

using namespace ostrel;

constexpr std::int32_t kWidth = platform::camera::kSensorWidth;
constexpr std::int32_t kHeight = platform::camera::kSensorHeight;
constexpr std::size_t kOutputBytes = static_cast<std::size_t>(kWidth) * kHeight * 3;

double loopFramesPerSecond = 0.0;
double pipelineFramesPerSecond = 0.0;

// One unthrottled full-size camera for the whole run.
std::shared_ptr<emulator::EmulatedCameraSet> cameraSet() {
    static std::shared_ptr<emulator::EmulatedCameraSet> set = [] {
        emulator::EmulatedCameraConfig config;
        config.bandwidthBytesPerSecond = 0;
        config.statusReadLatency = std::chrono::microseconds(0);
        config.illumination = emulator::kShortExposureIllumination;
        auto made = std::make_shared<emulator::EmulatedCameraSet>(1, config);
        emulator::installEmulatedCameras(made);
        return made;
    }();
    return set;
}

// A settings file of the benchmark's own: 24-bit colour, full size, no pause between passes,
// and the shortest exposure (a frame takes at least its exposure time).
void storeSettings() {
    const std::string path =
        (std::filesystem::temp_directory_path() / "ostrel-bench-streaming.reg").string();
    std::filesystem::remove(path);
    setenv("OSTREL_SETTINGS_FILE", path.c_str(), 1);
    const std::string root = "Software\\Nembra\\Ostrel7100V3Sdk";
    platform::RegistryKey key;
    (void)key.create(platform::RegistryRoot::CurrentUser, root);
    (void)key.setDword("Size", 0);
    (void)key.setDword("Color", 2);
    (void)key.setDword("SubSample", 0);
    (void)key.setDword("WaitTime", 0);
    (void)key.setDword("Clock", 0);
    platform::RegistryKey size;
    (void)size.create(platform::RegistryRoot::CurrentUser, root + "\\Size_00");
    for (const char *name : {"TH", "EH"}) {
        (void)size.setDword(name, kWidth);
    }
    for (const char *name : {"TV", "EV"}) {
        (void)size.setDword(name, kHeight);
    }
    (void)size.setDword("EHS", 0);
    (void)size.setDword("EVS", 0);
    (void)size.setDword("Buf", 10);
    platform::RegistryKey analog;
    (void)analog.create(platform::RegistryRoot::CurrentUser, root + "\\Gain");
    (void)analog.setDword("Global", 100);
    (void)analog.setDword("Exposure", emulator::kShortestExposure);
}

void BM_StreamingLoop(benchmark::State &state) {
    (void)cameraSet();
    storeSettings();
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
    emulator::EmulatedCamera &camera = cameraSet()->camera(0);
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
