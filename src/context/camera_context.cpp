// CameraContext construction, error reporting, the one check that decides whether an operation
// may run, and what the frame pipeline asks of the context (its FrameControls).
#include "context/camera_context.h"

#include <new>
#include <utility>

#include "device/device_7100vrx.h"
#include "imaging/dib_image.h"
#include "imaging/worker_pool.h"
#include "platform/camera_facts.h"
#include "platform/clock.h"
#include "platform/messages.h"

namespace ostrel::context {
namespace {

std::unique_ptr<device::Device7100VRX> makeModelDevice() {
    return std::unique_ptr<device::Device7100VRX>(new (std::nothrow) device::Device7100VRX());
}

}  // namespace

CameraContext::CameraContext() : CameraContext(makeModelDevice) {}

CameraContext::CameraContext(DeviceFactory makeDevice) : makeDevice_(std::move(makeDevice)) {}

void CameraContext::adoptDevice(std::unique_ptr<device::Device7100VRX> device) {
    device_ = std::move(device);
}

void CameraContext::setOpenAnalogPage(AnalogPageRefresh *page) {
    std::lock_guard<std::mutex> lock(dialogMutex_);
    openAnalogPage_ = page;
}

void CameraContext::setOpenImageFilterDialog(ImageFilterRefresh *dialog) {
    std::lock_guard<std::mutex> lock(dialogMutex_);
    openImageFilterDialog_ = dialog;
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

void CameraContext::releaseSharedResources() {
    imaging::shutdownWorkerPool();
}

// ---- FrameControls ------------------------------------------------------------------------

void CameraContext::setGain(std::int32_t gain) {
    if (device_ != nullptr) {
        (void)device_->SetGain(gain);
    }
}

void CameraContext::setExposure(std::int32_t exposure) {
    if (device_ != nullptr) {
        (void)device_->SetExposure(exposure);
    }
}

std::int32_t CameraContext::maxExposure() const {
    std::int32_t subsample = 0;
    if (device_ != nullptr) {
        (void)device_->GetReadoutWindow(nullptr, nullptr, nullptr, nullptr, &subsample);
    }
    return platform::camera::maxExposure(subsample != 0);
}

void CameraContext::waitMilliseconds(int milliseconds) {
    platform::sleepMs(milliseconds > 0 ? static_cast<std::uint32_t>(milliseconds) : 0);
}

void CameraContext::recordError(std::int32_t code) {
    recordError(static_cast<ErrorCode>(code));
}

void CameraContext::postFrameNotification(std::int32_t lParam) {
    // Under the delivery lock, so a window that has just been taken away gets nothing more.
    runner_.notify(lParam);
}

void CameraContext::refreshAnalogPage(int control, std::int32_t value) {
    std::lock_guard<std::mutex> lock(dialogMutex_);
    if (openAnalogPage_ != nullptr) {
        openAnalogPage_->showValue(control, value);
    }
}

void CameraContext::refreshImageFilterDialog() {
    std::lock_guard<std::mutex> lock(dialogMutex_);
    if (openImageFilterDialog_ != nullptr) {
        openImageFilterDialog_->reloadControls();
    }
}

}  // namespace ostrel::context
