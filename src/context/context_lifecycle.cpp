// Bringing a camera context into service and taking it apart: the camera device, the images,
// the stored settings handed to the camera, and at release the settings saved back before
// everything the context owns is stopped and freed.
#include <new>

#include "context/camera_context.h"
#include "device/camera_device.h"
#include "device/device_7100vrx.h"
#include "imaging/dib_image.h"
#include "settings/settings_store.h"

namespace ostrel::context {
namespace {

using imaging::AnalogWord;

}  // namespace

bool CameraContext::initialise(platform::WindowHandle notificationWindow) {
    (void)imaging::identifyProcessor(&processor_);
    try {
        device_ = makeDevice_ ? makeDevice_() : nullptr;
    } catch (...) {
        device_.reset();  // a device that cannot be made is reported as missing below
    }
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

    // Without a camera the selection fails quietly; the first start reports code 2.
    (void)device_->SelectDevice(0);

    if (!ui::loadGeometry(geometry_)) {
        recordError(ErrorCode::SettingsStoreFailed);
    }
    // The stream settings (and with them the subsample mode) are loaded last, so the check
    // sees the constructed mode 0 here.
    if (!isValidGeometry(geometry_, subsampleMode_)) {
        recordError(ErrorCode::GeometryInvalid);
        // The whole sensor again; the buffer count is kept as loaded.
        geometry_ = ImageGeometry{
            kSensorWidth, kSensorHeight, kSensorWidth, kSensorHeight, 0, 0, geometry_.bufferCount};
    }
    (void)device_->SetReadoutWindow(geometry_.originX, geometry_.originY, geometry_.imageWidth,
                                    geometry_.imageHeight, subsampleMode_);
    previewPlacement_ = PreviewPlacement{0, 0, geometry_.imageWidth, geometry_.imageHeight};

    // Groups that are not stored load their defaults; that is not an error.
    (void)ui::loadImageFilterSettings(settings_);
    (void)ui::loadGrayFilterSettings(settings_);
    (void)ui::loadAnalogSettings(analog_, device_->GetMirrorVDefault(),
                                 device_->GetMirrorHDefault());
    settingsLoaded_ = true;

    (void)device_->SetGain(analog_.get(AnalogWord::GlobalGain));
    (void)device_->SetExposure(analog_.get(AnalogWord::Exposure));
    (void)device_->SetMirrorV(analog_.get(AnalogWord::MirrorV));
    (void)device_->SetMirrorH(analog_.get(AnalogWord::MirrorH));
    (void)device_->SetTransferTimeout(transferTimeout_);

    ui::StreamSettings stream;
    stream.colorMode = colorMode();
    stream.subsampleMode = subsampleMode_;
    stream.waitTime = waitTimeMs_.load();
    stream.clock = static_cast<std::uint32_t>(clock_);
    if (ui::loadStreamSettings(stream)) {
        colorMode_.store(stream.colorMode);
        subsampleMode_ = stream.subsampleMode;
        waitTimeMs_.store(stream.waitTime);
        clock_ = static_cast<std::int32_t>(stream.clock);
    } else {
        recordError(ErrorCode::SettingsStoreFailed);
    }
    return true;
}

CameraContext::~CameraContext() {
    // The settings go back to the store before anything is stopped or freed, so a release in
    // the middle of a stream keeps them too.
    if (settingsLoaded_) {
        (void)ui::saveAnalogSettings(analog_);
        (void)ui::saveImageFilterSettings(settings_);
        (void)ui::saveGrayFilterSettings(settings_);
    }
    try {
        (void)close();
    } catch (...) {
        // close reports through the history; whatever escapes it must not leave the destructor.
    }
    // Nothing runs any more: no thread can touch what is freed below.
    endThreads();
    device_.reset();
    for (auto &image : images_) {
        image.reset();
    }
    intake_.release();
}

}  // namespace ostrel::context
