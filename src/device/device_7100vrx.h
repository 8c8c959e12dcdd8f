// Device7100VRX: the 7100VRX camera. Fixes the sensor geometry and identification, finds and
// opens its camera when constructed, programs the readout mode and owns the gain and exposure
// registers. Everything else is inherited from HalfFrameDevice and CameraDevice.
//
// Threads: SetGain, SetExposure and SetReadoutWindow may be called from any thread while a
// capture runs (the application's, a dialog's, or the context's capture thread for automatic
// exposure); each pauses the capture around its register writes.
#pragma once

#include <atomic>
#include <cstdint>

#include "device/half_frame_device.h"

namespace ostrel::device {

// Result of SetReadoutWindow when the capture did not acknowledge the pause.
inline constexpr std::int32_t kReadoutPauseFailed = 20;

class Device7100VRX final : public HalfFrameDevice {
public:
    // Counts the model's cameras in the disk list and opens camera 0 when there is one; never
    // fails (without a camera the drive stays closed).
    Device7100VRX();
    // Stops a running capture and closes the drive.
    ~Device7100VRX() override;

    // 21: programs the readout for the subsample mode (x, y, width and height are ignored; the
    // camera always reads the whole sensor). 0 when done, 1 for a mode outside 0..3 (stored, not
    // programmed), kReadoutPauseFailed when the pause was not acknowledged.
    std::int32_t SetReadoutWindow(std::int32_t x, std::int32_t y, std::int32_t width,
                                  std::int32_t height, std::int32_t subsampleMode) override;
    // 12: the half-frame start, then the last gain and exposure written are written again
    // (100 ms apart), also when the start failed.
    std::int32_t StartContinuousCapture() override;

    // Writes the gain (its low 16 bits): 1 when written, 0 otherwise.
    std::int32_t SetGain(std::int32_t value);
    // Writes the exposure register: 1 when written, 0 otherwise.
    std::int32_t SetExposure(std::int32_t value);
    // The last gain written (low 16 bits), 0 when none was.
    std::uint16_t GetGain() const;
    // The last exposure written into *value: 1, or 0 when none was written.
    std::int32_t GetExposure(std::int32_t *value) const;

private:
    std::atomic<std::int32_t> lastGain_{-1};
    std::atomic<std::int32_t> lastExposure_{-1};
    std::atomic<std::int32_t> readoutChanged_{1};
};

}  // namespace ostrel::device
