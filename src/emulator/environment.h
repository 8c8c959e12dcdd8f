// Turning the emulator on from the environment: with OSTREL_EMULATED_CAMERAS=N (1..8) the
// process sees N emulated 7100VRX cameras instead of its disks; OSTREL_EMULATED_BANDWIDTH sets
// their image data rate in whole MB/s (default 400; 0 sends as fast as frames are asked for);
// OSTREL_EMULATED_FAULTS names a fault file through which a running program makes the cameras
// misbehave (see FaultFile). Once the camera count is set (not empty) the machine's own drives are never probed: a count
// that is not a whole number 1..8 gives no cameras at all rather than the real disks, so a typo
// never makes the library write to a disk of the machine.
#pragma once

#include <memory>
#include <optional>

namespace ostrel::emulator {

class EmulatedCameraSet;

struct EmulatorSettings {
    int cameras = 0;  // 0 when the count asked for is not a whole number 1..8
    double bandwidthBytesPerSecond = 0.0;
};

// The settings the two variables' texts ask for (either may be null); nothing when the camera
// count is missing or empty (the machine's drives are used). A bandwidth that is not a whole
// number 0..1000000 gives the default.
std::optional<EmulatorSettings> emulatorSettingsFrom(const char *camerasText,
                                                     const char *bandwidthText);

// Installs the emulated cameras the texts ask for, in place of the machine's disks, and returns
// them; null (and nothing installed) when the camera count is missing or empty. A fault file
// name (may be null or empty: none) makes the cameras follow that file. Not while another thread
// opens drives or registry keys.
std::shared_ptr<EmulatedCameraSet> installFromVariables(const char *camerasText,
                                                        const char *bandwidthText,
                                                        const char *faultFileText = nullptr);

// Reads the environment once and installs the emulated cameras it asks for. Call it before the
// first camera discovery (the library does so when a camera context is first initialised);
// later calls do nothing. Returns true when the emulator took the place of the machine's drives
// (also with no cameras, for a count it could not use). Any thread.
bool installFromEnvironment();

}  // namespace ostrel::emulator
