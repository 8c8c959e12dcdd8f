// What the streaming benchmarks share: one unthrottled full-size emulated camera for the whole
// run, and a settings file of the benchmark's own that streams 24-bit colour at full size with no
// pause between passes and the shortest exposure (a frame takes at least its exposure time).
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "emulator/emulated_camera_set.h"
#include "platform/camera_protocol.h"
#include "platform/registry.h"

namespace ostrel::bench {

constexpr std::int32_t kStreamWidth = platform::camera::kSensorWidth;
constexpr std::int32_t kStreamHeight = platform::camera::kSensorHeight;
constexpr std::size_t kStreamOutputBytes =
    static_cast<std::size_t>(kStreamWidth) * kStreamHeight * 3;

inline std::shared_ptr<emulator::EmulatedCameraSet> streamingCameraSet() {
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

// `name` tells the file apart from other benchmarks' (in the system's temporary folder).
inline void storeStreamingSettings(const std::string &name) {
    const std::string path = (std::filesystem::temp_directory_path() / (name + ".reg")).string();
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
    for (const char *field : {"TH", "EH"}) {
        (void)size.setDword(field, kStreamWidth);
    }
    for (const char *field : {"TV", "EV"}) {
        (void)size.setDword(field, kStreamHeight);
    }
    (void)size.setDword("EHS", 0);
    (void)size.setDword("EVS", 0);
    (void)size.setDword("Buf", 10);
    platform::RegistryKey analog;
    (void)analog.create(platform::RegistryRoot::CurrentUser, root + "\\Gain");
    (void)analog.setDword("Global", 100);
    (void)analog.setDword("Exposure", emulator::kShortestExposure);
}

}  // namespace ostrel::bench
