// The emulator's switch in the environment.
#include "emulator/environment.h"

#include <cerrno>
#include <cstdlib>
#include <mutex>

#include "emulator/emulated_camera_set.h"
#include "platform/drive_source_setup.h"

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
    if (camerasText == nullptr || *camerasText == '\0') {
        return std::nullopt;
    }
    const std::optional<long> cameras = wholeNumber(camerasText, 1, kMaxEmulatedCameras);
    EmulatorSettings settings;
    settings.cameras = cameras ? static_cast<int>(*cameras) : 0;
    const std::optional<long> bandwidthMb = wholeNumber(bandwidthText, 0, kMaxBandwidthMb);
    settings.bandwidthBytesPerSecond =
        bandwidthMb ? static_cast<double>(*bandwidthMb) * 1e6 : kDefaultBandwidthBytesPerSecond;
    return settings;
}

std::shared_ptr<EmulatedCameraSet> installFromVariables(const char *camerasText,
                                                        const char *bandwidthText,
                                                        const char *faultFileText) {
    const std::optional<EmulatorSettings> settings =
        emulatorSettingsFrom(camerasText, bandwidthText);
    if (!settings) {
        return nullptr;
    }
    EmulatedCameraConfig config;
    config.bandwidthBytesPerSecond = settings->bandwidthBytesPerSecond;
    // With no cameras the set still serves the disk list (empty) and every drive number (none
    // opens), so nothing reaches the machine's disks.
    auto set = std::make_shared<EmulatedCameraSet>(settings->cameras, config);
    if (faultFileText != nullptr && *faultFileText != '\0') {
        set->useFaultFile(faultFileText);
    }
    installEmulatedCameras(set);
    return set;
}

bool installFromEnvironment() {
    static std::once_flag once;
    static bool installed = false;
    std::call_once(once, [] {
        installed = installFromVariables(std::getenv("OSTREL_EMULATED_CAMERAS"),
                                         std::getenv("OSTREL_EMULATED_BANDWIDTH"),
                                         std::getenv("OSTREL_EMULATED_FAULTS")) != nullptr;
    });
    return installed;
}

namespace {

// The library's entry point reads the environment through this before its first camera
// discovery. Registered as the library loads: the emulator is built into the library as object
// files, so this initialisation is always linked in.
[[maybe_unused]] const bool gPreparationRegistered = [] {
    platform::setDriveSourcePreparation([] { (void)installFromEnvironment(); });
    return true;
}();

}  // namespace

}  // namespace ostrel::emulator
