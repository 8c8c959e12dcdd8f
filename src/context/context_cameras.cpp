// Camera selection and naming: choosing the camera a context drives, and the names
// ("Ostrel7100VRX_01" onward) under which applications list them.
#include <cstdint>
#include <cstdio>

#include "context/camera_context.h"
#include "device/camera_device.h"
#include "device/device_7100vrx.h"
#include "platform/text.h"

namespace ostrel::context {
namespace {

// Camera names: "Ostrel7100VRX_01" onward, in entries of 256 characters, at most ten of them.
constexpr const char *kCameraNamePrefix = "Ostrel7100VRX";
constexpr std::int32_t kCameraNameLength = 256;
constexpr std::int32_t kMaxCameraNames = 10;
// A name buffer must hold more than this many characters.
constexpr std::int32_t kMinNameBufferSize = 16;

void formatCameraName(char *out, std::size_t size, std::int32_t number) {
    std::snprintf(out, size, "%s_%02d", kCameraNamePrefix, static_cast<int>(number));
}

}  // namespace

template <typename WriteName>
std::int32_t CameraContext::nameCameras(WriteName writeName) {
    std::int32_t named = 0;
    const std::int32_t count = device_->GetDeviceCount();
    for (std::int32_t index = 0; index < count && named < kMaxCameraNames; ++index) {
        if (device_->IsValidDeviceIndex(index) != 0) {
            writeName(named, named + 1);
            ++named;
        }
    }
    return named;
}

bool CameraContext::setDeviceNumber(std::int32_t index) {
    // Selecting closes the drive the running acquisition reads from: only while idle.
    if (!isAllowed(Report::Record, {AcquisitionState::Idle})) {
        return false;
    }
    if (device_->IsValidDeviceIndex(index) == 0 ||
        device_->SelectDevice(index) != device::kSelectOk) {
        recordError(ErrorCode::CameraNotPresent);
        return false;
    }
    return true;
}

std::int32_t CameraContext::enumDevices(char *names) {
    if (!isAllowed(Report::Record)) {
        return 0;
    }
    if (names == nullptr) {
        recordError(ErrorCode::InvalidArgument);
        return 0;
    }
    const std::int32_t named = nameCameras([&](std::int32_t entry, std::int32_t number) {
        formatCameraName(names + entry * kCameraNameLength, kCameraNameLength, number);
    });
    for (std::int32_t entry = named; entry < kMaxCameraNames; ++entry) {
        names[entry * kCameraNameLength] = '\0';
    }
    return named;
}

std::int32_t CameraContext::enumDevicesWide(wchar_t *names) {
    if (!isAllowed(Report::Record)) {
        return 0;
    }
    if (names == nullptr) {
        recordError(ErrorCode::InvalidArgument);
        return 0;
    }
    const std::int32_t named = nameCameras([&](std::int32_t entry, std::int32_t number) {
        char narrow[kCameraNameLength];
        formatCameraName(narrow, sizeof narrow, number);
        // The name is plain ASCII, so the conversion cannot fail.
        (void)platform::narrowToWide(narrow, names + entry * kCameraNameLength, kCameraNameLength);
    });
    for (std::int32_t entry = named; entry < kMaxCameraNames; ++entry) {
        names[entry * kCameraNameLength] = L'\0';
    }
    return named;
}

bool CameraContext::checkCameraNameRequest(std::int32_t index, const void *buffer,
                                           std::int32_t size) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    if (buffer == nullptr || size <= kMinNameBufferSize || index < 0 ||
        index >= device_->GetDeviceCount()) {
        recordError(ErrorCode::InvalidArgument);
        return false;
    }
    if (device_->IsValidDeviceIndex(index) == 0) {
        recordError(ErrorCode::CameraNotPresent);
        return false;
    }
    return true;
}

bool CameraContext::deviceName(std::int32_t index, char *buffer, std::int32_t size) {
    if (!checkCameraNameRequest(index, buffer, size)) {
        return false;
    }
    formatCameraName(buffer, static_cast<std::size_t>(size), index + 1);
    return true;
}

bool CameraContext::deviceNameWide(std::int32_t index, wchar_t *buffer, std::int32_t size) {
    if (!checkCameraNameRequest(index, buffer, size)) {
        return false;
    }
    char narrow[kCameraNameLength];
    formatCameraName(narrow, sizeof narrow, index + 1);
    if (!platform::narrowToWide(narrow, buffer, static_cast<std::size_t>(size))) {
        recordError(ErrorCode::CameraNotPresent);
        return false;
    }
    return true;
}

}  // namespace ostrel::context
