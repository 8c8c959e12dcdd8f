// CameraDevice: construction, selection, sizes and the operations with fixed results.
#include "device/camera_device.h"

#include "platform/camera_facts.h"

namespace ostrel::device {

CameraDevice::CameraDevice() = default;

CameraDevice::~CameraDevice() {
    // Only reached with a thread still running when the class itself was the one created; a
    // derived class has stopped it already.
    CameraDevice::StopCapture();
    std::lock_guard<std::mutex> guard(driveMutex_);
    drive_.reset();
}

void CameraDevice::Nop() {}

std::int32_t CameraDevice::SetSampleWidth(std::int32_t) {
    return 0;
}

std::int32_t CameraDevice::SetTransferTimeout(std::int32_t value) {
    if (value >= 1 && value <= kMaxTransferTimeout) {
        transferTimeout_.store(value);
    }
    return transferTimeout_.load();
}

std::int32_t CameraDevice::GetTransferTimeout() {
    return transferTimeout_.load();
}

float CameraDevice::GetFrameRate() {
    return frameRate_.load();
}

std::int32_t CameraDevice::ReservedQuery() {
    return 1;
}

std::int32_t CameraDevice::GetSingleCaptureStatus() {
    return 1;
}

std::int32_t CameraDevice::ReservedCount() {
    return 0;
}

std::int32_t CameraDevice::GetDeviceCount() {
    return deviceCount_;
}

std::int32_t CameraDevice::IsValidDeviceIndex(std::int32_t index) {
    return (index >= 0 && index < deviceCount_) ? 1 : 0;
}

std::int32_t CameraDevice::GetDeviceIndex() {
    return deviceIndex_;
}

std::int32_t CameraDevice::SelectDevice(std::int32_t index) {
    if (!IsValidDeviceIndex(index)) {
        return kSelectFailed;
    }
    std::lock_guard<std::recursive_mutex> control(controlMutex_);
    deviceIndex_ = index;
    return OpenDrive() ? kSelectOk : kSelectFailed;
}

std::int32_t CameraDevice::SetReadoutWindow(std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                                            std::int32_t) {
    return 1;
}

std::int32_t CameraDevice::GetReadoutWindow(std::int32_t *x, std::int32_t *y, std::int32_t *width,
                                            std::int32_t *height, std::int32_t *subsampleMode) {
    if (x != nullptr) {
        *x = windowX_;
    }
    if (y != nullptr) {
        *y = windowY_;
    }
    if (width != nullptr) {
        *width = width_;
    }
    if (height != nullptr) {
        *height = height_;
    }
    if (subsampleMode != nullptr) {
        *subsampleMode = subsampleMode_.load();
    }
    return 0;
}

std::int32_t CameraDevice::SetMirrorH(std::int32_t) {
    return 1;
}

std::int32_t CameraDevice::SetMirrorV(std::int32_t) {
    return 1;
}

std::int32_t CameraDevice::GetMirrorHDefault() {
    return 0;
}

std::int32_t CameraDevice::GetMirrorVDefault() {
    return 0;
}

std::int32_t CameraDevice::SetCaptureOption(std::int32_t) {
    return 0;
}

std::int32_t CameraDevice::GetCaptureOption() {
    return 0;
}

std::int32_t CameraDevice::SetTimingOption(std::int32_t) {
    return 0;
}

std::int32_t CameraDevice::GetTimingOption(std::int32_t *) {
    return 0;
}

std::int32_t CameraDevice::SetAuxiliaryOption(std::int32_t) {
    return 0;
}

std::int32_t CameraDevice::GetAuxiliaryOption(std::int32_t) {
    return 0;
}

std::int32_t CameraDevice::ReadSromId(std::int32_t, std::uint8_t *) {
    return 0;
}

std::int32_t CameraDevice::WriteSromId(std::int32_t, std::int32_t) {
    return 0;
}

std::int32_t CameraDevice::bufferDivisor(std::int32_t subsampleMode) {
    return platform::camera::subsampleDivisor(subsampleMode);
}

std::int32_t CameraDevice::copyDivisor(std::int32_t subsampleMode) {
    switch (subsampleMode) {
        case 17:
            return 2;
        case 18:
            return 4;
        default:
            return bufferDivisor(subsampleMode);
    }
}

std::size_t CameraDevice::copyOutBytes() const {
    const std::int32_t d = copyDivisor(subsampleMode_.load());
    return static_cast<std::size_t>(width_ / d) * static_cast<std::size_t>(height_ / d);
}

std::int32_t CameraDevice::GetFrameBufferSize() {
    const std::int32_t d = bufferDivisor(subsampleMode_.load());
    const std::int64_t bytes = static_cast<std::int64_t>(width_ / d) * (height_ / d);
    return static_cast<std::int32_t>((bytes + 511) / 512 * 512);
}

std::int32_t CameraDevice::GetImageSize() {
    const std::int32_t d = bufferDivisor(subsampleMode_.load());
    const std::int64_t stride = ((width_ / d) + 3) & ~std::int64_t{3};
    return static_cast<std::int32_t>(stride * (height_ / d));
}

}  // namespace ostrel::device
