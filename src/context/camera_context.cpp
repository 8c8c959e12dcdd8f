// CameraContext construction, initialisation, destruction, error reporting and the one check
// that decides whether an operation may run.
#include "context/camera_context.h"

#include <new>
#include <utility>

#include "device/camera_device.h"
#include "device/device_7100vrx.h"
#include "imaging/dib_image.h"
#include "platform/clock.h"
#include "platform/messages.h"

namespace ostrel::context {

CameraContext::CameraContext() : rateWindowStartMs_(platform::multimediaTimeMs()) {
    frameInfo_.size = static_cast<std::int32_t>(sizeof(FrameInfo));
}

CameraContext::~CameraContext() {
    // The device goes first, then the images in slot order. Saving the settings and closing any
    // acquisition come before this with the release work.
    device_.reset();
    for (auto &image : images_) {
        image.reset();
    }
}

void CameraContext::adoptDevice(std::unique_ptr<device::Device7100VRX> device) {
    device_ = std::move(device);
}

device::Device7100VRX &CameraContext::model() {
    return static_cast<device::Device7100VRX &>(*device_);
}

bool CameraContext::initialise(platform::WindowHandle notificationWindow) {
    // The processor features are identified here once the processor identification exists, and
    // the camera device (a Device7100VRX, which finds the cameras and opens camera 0) is created
    // here by the device work. Until then device_ stays null and every operation that needs it
    // reports code 1.
    for (auto &image : images_) {
        image.reset(new (std::nothrow) imaging::DibImage());
    }
    notificationWindow_ = notificationWindow;

    bool complete = device_ != nullptr;
    for (const auto &image : images_) {
        complete = complete && image != nullptr;
    }
    if (!complete) {
        recordError(ErrorCode::MemoryOrSize);
        return false;
    }

    // Camera 0 is selected and the stored geometry loaded (code 12 when the settings store
    // fails) before the geometry is checked.
    if (!isValidGeometry(geometry_, subsampleMode_)) {
        recordError(ErrorCode::GeometryInvalid);
        geometry_.totalWidth = kSensorWidth;
        geometry_.totalHeight = kSensorHeight;
        geometry_.width = kSensorWidth;
        geometry_.height = kSensorHeight;
        geometry_.originX = 0;
        geometry_.originY = 0;
    }
    // The device is given the readout window here.
    previewPlacement_ = PreviewPlacement{0, 0, geometry_.width, geometry_.height};
    // Then the image filter, gray filter and analog settings come from the settings store, gain,
    // exposure, mirrors and transfer time-out go to the device, and the stream settings
    // ("Color", "SubSample", "WaitTime", "Clock") are loaded.
    return true;
}

void CameraContext::recordError(ErrorCode code) noexcept {
    const auto value = static_cast<std::int32_t>(code);
    errors_.record(value);
    if (notificationWindow_ != platform::kNoWindow) {
        try {
            (void)platform::postMessage(notificationWindow_, kErrorNotification, 0, value);
        } catch (...) {
            // A notification that cannot be queued is lost; the history still holds the code.
        }
    }
}

void CameraContext::postError(ErrorCode code) const noexcept {
    try {
        (void)platform::postMessage(notificationWindow_, kErrorNotification, 0,
                                    static_cast<std::int32_t>(code));
    } catch (...) {
        // Nothing else reports a post-only code, so losing it loses nothing but the message.
    }
}

bool CameraContext::isAllowed(Report report, AcquisitionStates states) {
    if (device_ != nullptr && states.contains(acquisitionState())) {
        return true;
    }
    if (report == Report::Record) {
        recordError(ErrorCode::NoCamera);
    } else {
        postError(ErrorCode::NoCamera);
    }
    return false;
}

}  // namespace ostrel::context
