// Settings as the store could hold them, any 32-bit word in every group (the main values, the
// size entry, the analog, image filter and gray filter groups, each value present or missing),
// through a context's initialisation and then through the frame pipeline in every colour mode,
// at small sizes. The context's release writes the groups back.
#include <fuzzer/FuzzedDataProvider.h>

#include <unistd.h>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "context/camera_context.h"
#include "emulator/emulated_camera_set.h"
#include "fuzz_check.h"
#include "imaging/dib_image.h"
#include "imaging/frame_controls.h"
#include "imaging/process_frame.h"
#include "platform/registry_document.h"
#include "platform/registry_text.h"
#include "platform/window_handle.h"

namespace {

using ostrel::imaging::ColorMode;
using ostrel::imaging::DibImage;
using ostrel::platform::RegistryNode;

// The pipeline alone: no camera to send gains to, no window, no dialogs.
class SilentControls final : public ostrel::imaging::FrameControls {
public:
    bool hasDevice() const override { return hasDevice_; }
    void setGain(std::int32_t) override {}
    void setExposure(std::int32_t) override {}
    std::int32_t maxExposure() const override { return 4455; }
    void waitMilliseconds(int) override {}
    void recordError(std::int32_t) override {}
    void postFrameNotification(std::int32_t) override {}
    void refreshAnalogPage(int, std::int32_t) override {}
    void refreshImageFilterDialog() override {}
    bool hasDevice_ = true;
};

struct Group {
    const char *subkey;
    std::vector<const char *> names;
};

const Group kGroups[] = {
    {"", {"Size", "Color", "SubSample", "WaitTime", "Clock"}},
    {"Size_00", {"TH", "TV", "EH", "EV", "EHS", "EVS", "Buf"}},
    {"Gain",
     {"Global", "ColorG1", "ColorR", "ColorB", "ColorG2", "Exposure", "V_Mirror", "H_Mirror",
      "AutoIris"}},
    {"Filter",
     {"Brightness", "Contrast", "Hue", "Saturation", "Sharpness", "R_Gain", "G_Gain", "B_Gain",
      "Gamma", "BayerMode"}},
    {"Gray",
     {"Mode", "GainR1", "GainG1", "GainG2", "GainB1", "OffsetR1", "OffsetG1", "OffsetG2",
      "OffsetB1"}},
};

const std::string &settingsPath() {
    static const std::string path =
        (std::filesystem::temp_directory_path() /
         ("ostrel-fuzz-pipeline-" + std::to_string(::getpid()) + ".reg"))
            .string();
    return path;
}

void writeSettings(FuzzedDataProvider &input) {
    RegistryNode top;
    RegistryNode *main = top.create("HKEY_CURRENT_USER\\Software\\Nembra\\Ostrel7100V3Sdk");
    for (const Group &group : kGroups) {
        RegistryNode *key = *group.subkey == '\0' ? main : &main->addSubkey(group.subkey);
        for (const char *name : group.names) {
            if (!input.ConsumeBool()) {
                continue;  // missing: the store's default or the value before
            }
            const std::uint32_t word = input.ConsumeIntegral<std::uint32_t>();
            ostrel::platform::RegistryValue value;
            value.name = name;
            value.type = ostrel::platform::RegistryType::Dword;
            value.data = {static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8),
                          static_cast<std::uint8_t>(word >> 16),
                          static_cast<std::uint8_t>(word >> 24)};
            key->setValue(value);
        }
    }
    std::ofstream(settingsPath(), std::ios::binary | std::ios::trunc)
        << ostrel::platform::formatRegistryText(top);
}

// One frame of the pipeline at a small size in `mode`, with the settings the context loaded.
void runPipeline(FuzzedDataProvider &input, ColorMode mode, std::int32_t width, std::int32_t height,
                 ostrel::context::CameraContext &context) {
    DibImage images[7];
    ostrel::imaging::FrameImages frame{&images[0], &images[1], &images[2], &images[3],
                                       &images[4], &images[5], &images[6]};
    const bool wide = ostrel::imaging::hasWideRawSamples(mode);
    DibImage &raw = wide ? images[1] : images[0];
    OSTREL_FUZZ_CHECK(raw.create(width, height, wide ? 16 : 8));
    const std::vector<std::uint8_t> samples = input.ConsumeBytes<std::uint8_t>(64);
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t *row = raw.row(y);
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint8_t s =
                samples.empty() ? static_cast<std::uint8_t>(x * 7 + y * 13)
                                : samples[static_cast<std::size_t>(x + y * width) % samples.size()];
            if (wide) {
                // 10-bit samples, as the capture leaves them.
                const auto v = static_cast<std::uint16_t>(s << 2);
                row[2 * x] = static_cast<std::uint8_t>(v);
                row[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
            } else {
                row[x] = s;
            }
        }
    }
    DibImage *output = ostrel::imaging::outputImageFor(frame, mode);
    if (output != &raw) {
        OSTREL_FUZZ_CHECK(output->create(
            width, height, static_cast<std::uint16_t>(ostrel::imaging::outputBitCount(mode))));
    }
    OSTREL_FUZZ_CHECK(images[2].create(width, height, 24));
    OSTREL_FUZZ_CHECK(images[6].copyFormat(output));
    ostrel::imaging::SettingsBlock settings(context.settings());
    ostrel::imaging::AnalogSettings analog(context.analog());
    SilentControls controls;
    controls.hasDevice_ = input.ConsumeBool();
    ostrel::imaging::FrameRhythm rhythm;
    // Two frames: the automatic controls count frames and act on the later ones.
    for (int i = 0; i < 2; ++i) {
        ostrel::imaging::ProcessFrame({mode, frame, settings, analog, controls}, rhythm);
    }
    OSTREL_FUZZ_CHECK(output->width() == width && output->height() == height);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    setenv("OSTREL_SETTINGS_FILE", settingsPath().c_str(), 1);
    // One small emulated camera stands in for the machine's disks (none is ever probed).
    ostrel::emulator::EmulatedCameraConfig config;
    config.width = 64;
    config.height = 32;
    config.bandwidthBytesPerSecond = 0;
    config.statusReadLatency = std::chrono::microseconds(0);
    ostrel::emulator::installEmulatedCameras(
        std::make_shared<ostrel::emulator::EmulatedCameraSet>(1, config));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    writeSettings(input);
    const std::int32_t width = input.ConsumeIntegralInRange<std::int32_t>(1, 40);
    const std::int32_t height = input.ConsumeIntegralInRange<std::int32_t>(1, 24);
    {
        auto context = std::make_unique<ostrel::context::CameraContext>();
        (void)context->initialise(ostrel::platform::kNoWindow);
        for (int mode = 0; mode <= 5; ++mode) {
            runPipeline(input, static_cast<ColorMode>(mode), width, height, *context);
        }
        // The release saves the analog and filter groups back into the store.
    }
    return 0;
}
