// The acquisition, camera selection, still image and dialog operations of a camera context, as
// far as they run without a camera device: the state rules, the argument checks that come before
// the device is needed, and the error codes of a context without one.
#include <cstdint>

#include "context/camera_context.h"
#include "platform/text.h"

namespace ostrel::context {
namespace {

// Wide file names are converted into a buffer of this many bytes, terminator included.
constexpr std::size_t kNarrowNameCapacity = 1024;

}  // namespace

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

bool CameraContext::setDeviceNumber(std::int32_t /*index*/) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    // Device path: IsValidDeviceIndex and SelectDevice decide (code 2 when either refuses).
    return false;
}

std::int32_t CameraContext::enumDevices(char * /*names*/) {
    if (!isAllowed(Report::Record)) {
        return 0;
    }
    // Device path: one "Ostrel7100VRX_NN" name per valid camera index.
    return 0;
}

std::int32_t CameraContext::enumDevicesWide(wchar_t * /*names*/) {
    if (!isAllowed(Report::Record)) {
        return 0;
    }
    // Device path: the wide names of enumDevices.
    return 0;
}

bool CameraContext::deviceName(std::int32_t /*index*/, char * /*buffer*/,
                               std::int32_t /*size*/) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    // Device path: size and index checks (code 9), camera presence (code 2), the name.
    return false;
}

bool CameraContext::deviceNameWide(std::int32_t /*index*/, wchar_t * /*buffer*/,
                                   std::int32_t /*size*/) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    // Device path: as deviceName, in wide characters.
    return false;
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
