// The acquisition, camera selection, still image and dialog operations of a camera context, as
// far as they run without a camera device: the state rules, the argument checks that come before
// the device is needed, and the error codes of a context without one.
#include <cstdint>
#include <cstdio>

#include "context/camera_context.h"
#include "device/camera_device.h"
#include "platform/text.h"

namespace ostrel::context {
namespace {

// Wide file names are converted into a buffer of this many bytes, terminator included.
constexpr std::size_t kNarrowNameCapacity = 1024;

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

bool CameraContext::preview() {
    return callBackPreviewWith(platform::kNoWindow, nullptr, 0, 0);
}

bool CameraContext::callBackPreview(platform::WindowHandle callbackWindow, void *buffer,
                                    std::int32_t size, std::int32_t topRowFirst) {
    return callBackPreviewWith(callbackWindow, buffer, size, topRowFirst);
}

bool CameraContext::callBackPreviewWith(platform::WindowHandle callbackWindow, void *buffer,
                                        std::int32_t size, std::int32_t topRowFirst) {
    // A preview on top of a running acquisition is refused quietly.
    if (acquisitionState() != AcquisitionState::Idle) {
        return false;
    }
    callbackWindow_ = callbackWindow;
    applicationBuffer_ = buffer;
    applicationBufferSize_ = size;
    topRowFirst_ = topRowFirst;
    // The preview window and its drawing context are created here (code 4 when either is
    // missing) by the preview window work.
    if (!startStreaming()) {
        close();
        recordError(ErrorCode::FrameTransferFailed);
        return false;
    }
    return true;
}

bool CameraContext::startPreview() {
    return startStreaming();
}

bool CameraContext::startStreaming() {
    if (!isAllowed(Report::Record, {AcquisitionState::Idle, AcquisitionState::Streaming})) {
        return false;
    }
    if (acquisitionState() == AcquisitionState::Streaming) {
        return true;
    }
    // Device path: preparation, the capture thread and the device's continuous capture start
    // here with the acquisition work.
    return false;
}

bool CameraContext::stopPreview() {
    return stop();
}

bool CameraContext::stop() {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    // Device path: the capture and recording threads are stopped and waited for, then the
    // device's capture, with the acquisition work.
    return false;
}

bool CameraContext::close() {
    // The preview window is released here (drawing stops first) by the preview window work.
    runFlag_.store(0);
    (void)stop();
    return true;
}

bool CameraContext::snapShot(void * /*buffer*/, std::int32_t /*size*/,
                             std::int32_t /*topRowFirst*/) {
    if (!isAllowed(Report::Record, {AcquisitionState::Idle, AcquisitionState::SingleFrame})) {
        return false;
    }
    // Device path: preparation (from idle), one frame from the device, processing and the copy.
    return false;
}

bool CameraContext::capture() {
    if (!isAllowed(Report::Record, {AcquisitionState::Idle, AcquisitionState::SingleFrame})) {
        return false;
    }
    if (acquisitionState() == AcquisitionState::SingleFrame) {
        return true;
    }
    // Device path: transfer time-out and preparation, then single-frame mode.
    return false;
}

bool CameraContext::getImage(void * /*buffer*/, std::int32_t /*size*/,
                             std::int32_t /*topRowFirst*/) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    // Device path: the copy of the newest output image.
    return false;
}

bool CameraContext::record(const char *fileName, std::int32_t /*durationMs*/,
                           std::int32_t /*display*/) {
    if (fileName == nullptr || fileName[0] == '\0') {
        recordError(ErrorCode::InvalidArgument);
        return false;
    }
    callbackWindow_ = platform::kNoWindow;
    applicationBuffer_ = nullptr;
    applicationBufferSize_ = 0;
    topRowFirst_ = 0;
    // With display, the preview window is created here as preview does (code 4).
    if (!startStreaming()) {
        close();
        return false;
    }
    // Device path: the AVI file and the recording thread, with the recording work.
    return false;
}

bool CameraContext::recordWide(const wchar_t *fileName, std::int32_t durationMs,
                               std::int32_t display) {
    if (fileName == nullptr) {
        return record(nullptr, durationMs, display);
    }
    char narrow[kNarrowNameCapacity];
    if (!platform::wideToNarrow(fileName, narrow, sizeof narrow)) {
        recordError(ErrorCode::SettingsStoreFailed);
        return false;
    }
    return record(narrow, durationMs, display);
}

bool CameraContext::setDeviceNumber(std::int32_t index) {
    if (!isAllowed(Report::Record)) {
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

bool CameraContext::saveImage(const char * /*fileName*/, std::int32_t /*fileType*/) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    // Device path: the output image of the colour mode goes to the still image writers (code 1
    // when there is none yet).
    return false;
}

bool CameraContext::saveImageWide(const wchar_t * /*fileName*/, std::int32_t /*fileType*/) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    // Device path: the name is converted (code 1 when it cannot be) and saved as saveImage does.
    return false;
}

bool CameraContext::cameraDialog(platform::WindowHandle /*parent*/) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    // Device path: the camera settings dialog around a stop and restart.
    return false;
}

bool CameraContext::imageDialog(platform::WindowHandle /*parent*/) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    // Device path: the image filter dialog on the settings block.
    return false;
}

bool CameraContext::analogDialog(platform::WindowHandle /*parent*/) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    // Device path: the analog dialog on the analog settings.
    return false;
}

}  // namespace ostrel::context
