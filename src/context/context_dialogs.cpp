// The settings dialog operations of a camera context. Each dialog runs modally on the calling
// thread; the image and analog dialogs are published for the capture thread's automatic
// adjustments while they are open. Where no dialog can be shown (Linux) each operation reports
// code 11 (not supported) after the state check, so an application can tell "no dialog here"
// from "no camera".
#include <cstdint>

#include "context/camera_context.h"
#include "device/device_7100vrx.h"
#include "platform/language.h"
#include "settings/settings_store.h"
#include "ui/settings_dialogs.h"

namespace ostrel::context {

namespace {

ui::DialogLanguage systemDialogLanguage() {
    return ui::dialogLanguageFor(platform::systemDefaultLanguage());
}

// The analog page's view of the camera: the model's gain and exposure registers and the device's
// mirrors and readout.
class ContextAnalogCamera : public ui::AnalogCamera {
public:
    explicit ContextAnalogCamera(device::Device7100VRX &model) : model_(model) {}
    void setGain(std::int32_t gain) override { (void)model_.SetGain(gain); }
    void setExposure(std::int32_t exposure) override { (void)model_.SetExposure(exposure); }
    void setMirrorV(std::int32_t flag) override { (void)model_.SetMirrorV(flag); }
    void setMirrorH(std::int32_t flag) override { (void)model_.SetMirrorH(flag); }
    std::int32_t subsampleMode() const override {
        std::int32_t mode = 0;
        (void)model_.GetReadoutWindow(nullptr, nullptr, nullptr, nullptr, &mode);
        return mode;
    }

private:
    device::Device7100VRX &model_;
};

// The capture thread's refresh of an open dialog, handed on as a message to the dialog.
class AnalogRefresh : public AnalogPageRefresh {
public:
    explicit AnalogRefresh(ui::DialogRefresher &target) : target_(target) {}
    void showValue(int control, std::int32_t value) override { target_.postValue(control, value); }

private:
    ui::DialogRefresher &target_;
};

class ImageRefresh : public ImageFilterRefresh {
public:
    explicit ImageRefresh(ui::DialogRefresher &target) : target_(target) {}
    void reloadControls() override { target_.postReload(); }

private:
    ui::DialogRefresher &target_;
};

}  // namespace

bool CameraContext::cameraDialog(platform::WindowHandle parent) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    if (!ui::settingsDialogsSupported()) {
        recordError(ErrorCode::NotSupported);
        return false;
    }
    // The capture thread must not read the geometry and stream settings while they are
    // reloaded: the acquisition stops around the dialog and starts again as it was.
    const AcquisitionState before = acquisitionState();
    if (before != AcquisitionState::Idle) {
        (void)stop();
    }
    const auto end =
        ui::runCameraSettingsDialog(parent, systemDialogLanguage(), ui::userCameraDialogStore());
    if (end == ui::DialogEnd::Ok) {
        reloadStreamFormat();
    }
    if (before == AcquisitionState::Streaming) {
        (void)startStreaming();
    } else if (before == AcquisitionState::SingleFrame) {
        (void)capture();
    }
    return true;
}

void CameraContext::reloadStreamFormat() {
    ImageGeometry loaded = geometry_;
    ui::StreamSettings stream{colorMode(), subsampleMode_, waitTimeMs_.load(),
                              static_cast<std::uint32_t>(clock_)};
    const bool geometryLoaded = ui::loadGeometry(loaded);
    if (!geometryLoaded || !ui::loadStreamSettings(stream)) {
        recordError(ErrorCode::SettingsStoreFailed);
    }
    // A stored size the sensor cannot give keeps the one in use, and its subsampling with it.
    if (geometryLoaded && isValidGeometry(loaded, stream.subsampleMode)) {
        geometry_ = loaded;
        subsampleMode_ = stream.subsampleMode;
        previewPlacement_ = PreviewPlacement{0, 0, geometry_.imageWidth, geometry_.imageHeight};
    } else if (geometryLoaded) {
        recordError(ErrorCode::GeometryInvalid);
    }
    colorMode_.store(stream.colorMode);
    waitTimeMs_.store(stream.waitTime);
    clock_ = static_cast<std::int32_t>(stream.clock);
}

bool CameraContext::imageDialog(platform::WindowHandle parent) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    if (!ui::settingsDialogsSupported()) {
        recordError(ErrorCode::NotSupported);
        return false;
    }
    std::unique_ptr<ImageRefresh> refresh;
    const ui::PublishRefresher publish = [&](ui::DialogRefresher *target) {
        if (target == nullptr) {
            setOpenImageFilterDialog(nullptr);
            refresh.reset();
        } else {
            refresh = std::make_unique<ImageRefresh>(*target);
            setOpenImageFilterDialog(refresh.get());
        }
    };
    (void)ui::runImageDialog(parent, systemDialogLanguage(), settings_, colorMode(), publish);
    setOpenImageFilterDialog(nullptr);
    return true;
}

bool CameraContext::analogDialog(platform::WindowHandle parent) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    if (!ui::settingsDialogsSupported()) {
        recordError(ErrorCode::NotSupported);
        return false;
    }
    ContextAnalogCamera camera(*device_);
    std::unique_ptr<AnalogRefresh> refresh;
    const ui::PublishRefresher publish = [&](ui::DialogRefresher *target) {
        if (target == nullptr) {
            setOpenAnalogPage(nullptr);
            refresh.reset();
        } else {
            refresh = std::make_unique<AnalogRefresh>(*target);
            setOpenAnalogPage(refresh.get());
        }
    };
    (void)ui::runAnalogDialog(parent, systemDialogLanguage(), analog_, settings_, camera, publish);
    setOpenAnalogPage(nullptr);
    return true;
}

}  // namespace ostrel::context
