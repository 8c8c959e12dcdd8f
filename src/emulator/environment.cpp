// The emulator's switch in the environment.
#include "emulator/environment.h"

#include <cerrno>
#include <cstdlib>
#include <mutex>

#include "emulator/emulated_camera_set.h"

namespace ostrel::emulator {

namespace {

constexpr long kMaxBandwidthMb = 1000000;

// A whole number within [low, high]; nothing when the text is missing or not one.
std::optional<long> wholeNumber(const char *text, long low, long high) {
    if (text == nullptr || *text == '\0') {
        return std::nullopt;
    }
    char *end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<EmulatorSettings> emulatorSettingsFrom(const char *camerasText,
                                                     const char *bandwidthText) {
    const std::optional<long> cameras = wholeNumber(camerasText, 1, kMaxEmulatedCameras);
    if (!cameras) {
        return std::nullopt;
    }
    EmulatorSettings settings;
    settings.cameras = static_cast<int>(*cameras);
    const std::optional<long> bandwidthMb = wholeNumber(bandwidthText, 0, kMaxBandwidthMb);
    settings.bandwidthBytesPerSecond =
        bandwidthMb ? static_cast<double>(*bandwidthMb) * 1e6 : kDefaultBandwidthBytesPerSecond;
    return settings;
}

bool installFromEnvironment() {
    static std::once_flag once;
    static bool installed = false;
    std::call_once(once, [] {
        const std::optional<EmulatorSettings> settings = emulatorSettingsFrom(
            std::getenv("OSTREL_EMULATED_CAMERAS"), std::getenv("OSTREL_EMULATED_BANDWIDTH"));
        if (!settings) {
            return;
        }
        EmulatedCameraConfig config;
        config.bandwidthBytesPerSecond = settings->bandwidthBytesPerSecond;
        auto set = std::make_shared<EmulatedCameraSet>(settings->cameras, config);
        const char *faultFile = std::getenv("OSTREL_EMULATED_FAULTS");
        if (faultFile != nullptr && *faultFile != '\0') {
            set->useFaultFile(faultFile);
        }
        installEmulatedCameras(std::move(set));
        installed = true;
    });
    return installed;
}

}  // namespace ostrel::emulator
