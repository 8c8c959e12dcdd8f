// Device7100VRX: geometry, identification, readout mode, gain and exposure of the 7100VRX.
#include "device/device_7100vrx.h"

#include "platform/camera_facts.h"
#include "platform/clock.h"

namespace ostrel::device {

namespace camera = platform::camera;

namespace {

constexpr std::uint32_t kReapplyDelayMs = 100;

}  // namespace

Device7100VRX::Device7100VRX() {
    identification_[0] = camera::kModelId0;
    identification_[1] = camera::kModelId1;
    width_ = camera::kSensorWidth;
    height_ = camera::kSensorHeight;
    dualReadout_ = 1;
    halfWidth_ = dualReadout_ != 0 ? width_ / 2 : width_;
    (void)Enumerate(camera::kModelText);
    if (IsValidDeviceIndex(0)) {
        deviceIndex_ = 0;
        (void)OpenDrive();  // the context selects camera 0 again right after
    }
}

Device7100VRX::~Device7100VRX() {
    CloseDrive();
}

std::int32_t Device7100VRX::SetReadoutWindow(std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                                             std::int32_t subsampleMode) {
    const std::int32_t token = PauseCapture();
    if (token == -1) {
        return kReadoutPauseFailed;
    }
    if (subsampleMode != subsampleMode_.load()) {
        readoutChanged_.store(1);
    }
    subsampleMode_.store(subsampleMode);
    if (subsampleMode < 0 || subsampleMode > 3) {
        ResumeCapture(token);
        return 1;
    }
    if (readoutChanged_.load() != 0) {
        // Failures are not reported: the flag is cleared all the same.
        (void)WriteRegister(camera::registerAddress(camera::Register::ReadoutUpdate), 0);
        (void)WriteRegister(camera::registerAddress(camera::Register::ReadoutSingleSided),
                            dualReadout_ != 0 ? 0 : 1);
        (void)WriteRegister(camera::registerAddress(camera::Register::ReadoutSubsample),
                            subsampleMode != 0 ? 1 : 0);
        (void)WriteRegister(camera::registerAddress(camera::Register::ReadoutUpdate), 1);
    }
    readoutChanged_.store(0);
    ResumeCapture(token);
    return 0;
}

std::int32_t Device7100VRX::SetGain(std::int32_t value) {
    const std::int32_t token = PauseCapture();
    if (token == -1) {
        return 0;
    }
    const auto gain = static_cast<std::uint16_t>(value & 0xFFFF);
    lastGain_.store(gain);
    (void)WriteRegister(camera::registerAddress(camera::Register::GainUpdate), 1);
    const std::int32_t result =
        WriteRegister(camera::registerAddress(camera::Register::Gain), gain);
    ResumeCapture(token);
    return result;
}

std::int32_t Device7100VRX::SetExposure(std::int32_t value) {
    const std::int32_t token = PauseCapture();
    if (token == -1) {
        return 0;
    }
    lastExposure_.store(value);
    const std::int32_t result = WriteRegister(camera::registerAddress(camera::Register::Exposure),
                                              static_cast<std::uint16_t>(value));
    ResumeCapture(token);
    return result;
}

std::uint16_t Device7100VRX::GetGain() const {
    const std::int32_t gain = lastGain_.load();
    return gain < 0 ? 0 : static_cast<std::uint16_t>(gain);
}

std::int32_t Device7100VRX::GetExposure(std::int32_t *value) const {
    const std::int32_t exposure = lastExposure_.load();
    if (exposure == -1) {
        return 0;
    }
    if (value != nullptr) {
        *value = exposure;
    }
    return 1;
}

std::int32_t Device7100VRX::StartContinuousCapture() {
    const std::int32_t result = HalfFrameDevice::StartContinuousCapture();
    // The camera may have lost its settings with the start: write them again. A value that was
    // never written is not invented (it would be 0xFFFF, outside both registers' ranges).
    platform::sleepMs(kReapplyDelayMs);
    if (lastGain_.load() != -1) {
        (void)SetGain(lastGain_.load() & 0xFFFF);
    }
    platform::sleepMs(kReapplyDelayMs);
    if (lastExposure_.load() != -1) {
        (void)SetExposure(lastExposure_.load());
    }
    return result;
}

}  // namespace ostrel::device
