// Turning the emulator on from the environment: with OSTREL_EMULATED_CAMERAS=N (1..8) the
// process sees N emulated 7100VRX cameras instead of its disks; OSTREL_EMULATED_BANDWIDTH sets
// their image data rate in whole MB/s (default 400; 0 sends as fast as frames are asked for);
// OSTREL_EMULATED_FAULTS names a fault file through which a running program makes the cameras
// misbehave (see FaultFile).
#pragma once

#include <optional>

namespace ostrel::emulator {

struct EmulatorSettings {
    int cameras = 0;
    double bandwidthBytesPerSecond = 0.0;
};

// The settings the two variables' texts ask for (either may be null); nothing when the camera
// count is missing or not a whole number 1..8. A bandwidth that is not a whole number 0..1000000
// gives the default.
std::optional<EmulatorSettings> emulatorSettingsFrom(const char *camerasText,
                                                     const char *bandwidthText);

// Reads the environment once and installs the emulated cameras it asks for. Call it before the
// first camera discovery (the library does so when a camera context is first initialised);
// later calls do nothing. Returns true when it installed emulated cameras. Any thread.
bool installFromEnvironment();

}  // namespace ostrel::emulator
