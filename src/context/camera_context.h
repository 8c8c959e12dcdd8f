// CameraContext: everything one camera handle stands for: the camera device, the images frames are
// converted into, the geometry and colour mode, the image-adjustment and analog settings, the
// application's notification targets and the error history. The exported functions forward to
// it; the capture and recording threads share its flags and settings.
//
// Threads: the application calls a context from one thread at a time. The capture and recording
// threads read the settings and flags and record errors; every word they share is atomic and the
// error history has its own lock.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>

#include "OstrelSdk.h"
#include "context/error_code.h"
#include "context/error_history.h"
#include "context/image_geometry.h"
#include "imaging/analog_settings.h"
#include "imaging/color_mode.h"
#include "imaging/settings_block.h"
#include "platform/window_handle.h"

namespace ostrel::device {
class CameraDevice;
class Device7100VRX;
}  // namespace ostrel::device

namespace ostrel::imaging {
class DibImage;
}

namespace ostrel::context {

enum class AcquisitionState : std::int32_t {
    Idle = 0,         // no capture thread; the device does not stream
    Streaming = 1,    // the capture thread runs and the device streams
    SingleFrame = 2,  // prepared by Ostrel_Capture; each snapshot takes one frame
};

// The images of a context, in the order they are created and destroyed.
enum class ImageSlot : std::size_t {
    Image8,   // raw frame for ColorMode 0, 2, 3; output for ColorMode 0
    Image16,  // raw frame for ColorMode 1, 4, 5; output for ColorMode 1
    Image24,  // output for ColorMode 2
    Image32,  // output for ColorMode 3
    Image48,  // output for ColorMode 4
    Image64,  // output for ColorMode 5
    Work,     // copy of the output taken before sharpening
    Scratch,  // the preview window's scaled picture
};
inline constexpr std::size_t kImageCount = 8;

// How a refused operation reports code 1: recorded in the history and posted, or only posted.
enum class Report { Record, PostOnly };

// A set of acquisition states, for operations that are allowed only in some of them.
class AcquisitionStates {
public:
    constexpr AcquisitionStates(std::initializer_list<AcquisitionState> states) {
        for (AcquisitionState state : states) {
            bits_ |= bit(state);
        }
    }
    static constexpr AcquisitionStates any() {
        return {AcquisitionState::Idle, AcquisitionState::Streaming, AcquisitionState::SingleFrame};
    }
    constexpr bool contains(AcquisitionState state) const { return (bits_ & bit(state)) != 0; }

private:
    static constexpr unsigned bit(AcquisitionState state) {
        return 1u << static_cast<unsigned>(state);
    }
    unsigned bits_ = 0;
};

// Where a child preview window goes inside the application window.
struct PreviewPlacement {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = kSensorWidth;
    std::int32_t height = kSensorHeight;
};

class CameraContext {
public:
    // Every field at its default; nothing is allocated and no device is touched.
    CameraContext();
    // Releases what the context owns (the device, then the images in slot order).
    virtual ~CameraContext();
    CameraContext(const CameraContext &) = delete;
    CameraContext &operator=(const CameraContext &) = delete;

    // ---- Initialisation -------------------------------------------------------------------

    // Brings a freshly registered context into service: device, images, notification window,
    // stored settings. False (with the code recorded) when something is missing; the context
    // stays usable and reports code 1 wherever it needs what is missing.
    [[nodiscard]] bool initialise(platform::WindowHandle notificationWindow);

    // Takes ownership of the camera device. Initialisation hands in the one it creates; tests
    // hand in one over emulated cameras.
    void adoptDevice(std::unique_ptr<device::Device7100VRX> device);

    // ---- Errors ----------------------------------------------------------------------------

    // Puts the code in the history and posts it to the notification window when there is one.
    // Any thread; never throws.
    void recordError(ErrorCode code) noexcept;
    // Posts the code to the notification window (the calling thread's own queue when there is
    // none) without touching the history. Any thread; never throws.
    void postError(ErrorCode code) const noexcept;
    // Takes the newest code out of the history (0 when empty).
    std::int32_t takeLastError() { return errors_.takeNewest(); }
    const ErrorHistory &errorHistory() const { return errors_; }

    // ---- Settings that need no camera ----------------------------------------------------

    // 8, 16, 24, 32, 48 or 64 bits per pixel; anything else records code 9.
    [[nodiscard]] bool setColorMode(std::int32_t bits);
    // Bits per pixel of the colour mode, -1 when the stored code is not a valid mode.
    std::int32_t colorModeBits() const;
    // Negative values are refused without an error code.
    [[nodiscard]] bool setWaitTime(std::int32_t milliseconds);
    std::int32_t waitTime() const;
    // 0 off, 1 regulate exposure, 2 regulate gain; anything else posts code 9.
    [[nodiscard]] bool setAutoIris(std::int32_t mode);
    std::int32_t autoIris() const;
    // The exposure time of the current exposure setting, in microseconds; remembered as the
    // context's real exposure time.
    std::int32_t updateRealExposureTime();

    // ---- Settings that need the camera device ---------------------------------------------

    [[nodiscard]] bool setMirrorV(std::int32_t flag);
    std::int32_t mirrorV();
    [[nodiscard]] bool setMirrorH(std::int32_t flag);
    std::int32_t mirrorH();
    [[nodiscard]] bool writeSromId(std::int32_t index, std::int32_t value);
    [[nodiscard]] std::optional<std::int32_t> readSromId(std::int32_t index);
    [[nodiscard]] bool writeRegister(std::int32_t reg, std::int32_t value);
    // Not supported by any camera: posts code 1.
    void readRegister();
    [[nodiscard]] bool cameraInfo(CameraInfo *info);
    [[nodiscard]] bool setFilterValue(std::int32_t id, std::int32_t value);
    [[nodiscard]] std::optional<std::int32_t> filterValue(std::int32_t id);
    [[nodiscard]] bool setPreviewWindow(platform::WindowHandle parent,
                                        const PreviewPlacement &placement);

    // ---- Acquisition, camera selection, files and dialogs ---------------------------------

    [[nodiscard]] bool preview();
    [[nodiscard]] bool callBackPreview(platform::WindowHandle callbackWindow, void *buffer,
                                       std::int32_t size, std::int32_t topRowFirst);
    [[nodiscard]] bool startPreview();
    [[nodiscard]] bool stopPreview();
    // Always true: the stop's failure is recorded, not returned.
    bool close();
    [[nodiscard]] bool snapShot(void *buffer, std::int32_t size, std::int32_t topRowFirst);
    [[nodiscard]] bool capture();
    [[nodiscard]] bool getImage(void *buffer, std::int32_t size, std::int32_t topRowFirst);
    [[nodiscard]] bool record(const char *fileName, std::int32_t durationMs, std::int32_t display);
    [[nodiscard]] bool recordWide(const wchar_t *fileName, std::int32_t durationMs,
                                  std::int32_t display);
    [[nodiscard]] bool setDeviceNumber(std::int32_t index);
    std::int32_t enumDevices(char *names);
    std::int32_t enumDevicesWide(wchar_t *names);
    [[nodiscard]] bool deviceName(std::int32_t index, char *buffer, std::int32_t size);
    [[nodiscard]] bool deviceNameWide(std::int32_t index, wchar_t *buffer, std::int32_t size);
    [[nodiscard]] bool saveImage(const char *fileName, std::int32_t fileType);
    [[nodiscard]] bool saveImageWide(const wchar_t *fileName, std::int32_t fileType);
    [[nodiscard]] bool cameraDialog(platform::WindowHandle parent);
    [[nodiscard]] bool imageDialog(platform::WindowHandle parent);
    [[nodiscard]] bool analogDialog(platform::WindowHandle parent);

    // ---- Plain fields the exports read --------------------------------------------------

    std::int32_t imageWidth() const { return geometry_.width; }
    std::int32_t imageHeight() const { return geometry_.height; }
    const ImageGeometry &geometry() const { return geometry_; }
    std::int32_t subsampleMode() const { return subsampleMode_; }
    AcquisitionState acquisitionState() const { return acquisitionState_.load(); }
    platform::WindowHandle notificationWindow() const { return notificationWindow_; }
    const imaging::SettingsBlock &settings() const { return settings_; }
    const imaging::AnalogSettings &analog() const { return analog_; }
    std::int32_t realExposureTime() const { return realExposureTime_.load(); }
    const FrameInfo &frameInfo() const { return frameInfo_; }
    std::int32_t transferTimeout() const { return transferTimeout_; }
    bool hasDevice() const { return device_ != nullptr; }
    const imaging::DibImage *image(ImageSlot slot) const {
        return images_[static_cast<std::size_t>(slot)].get();
    }
    platform::WindowHandle applicationWindow() const { return applicationWindow_; }
    const PreviewPlacement &previewPlacement() const { return previewPlacement_; }

private:
    // The one place that decides whether an operation may run now: it needs the camera device
    // and one of the given acquisition states. A refusal reports code 1 as `report` says.
    [[nodiscard]] bool isAllowed(Report report,
                                 AcquisitionStates states = AcquisitionStates::any());

    imaging::ColorMode colorMode() const { return colorMode_.load(); }
    // Preview and callback preview: the callback targets, then the window and the start.
    [[nodiscard]] bool callBackPreviewWith(platform::WindowHandle callbackWindow, void *buffer,
                                           std::int32_t size, std::int32_t topRowFirst);
    // Starts streaming (joins a stream that runs already).
    [[nodiscard]] bool startStreaming();
    // Stops streaming and recording and the device (the common part of stop preview and close).
    [[nodiscard]] bool stop();
    // Calls writeName(entry, number) for each camera the device can open, numbering from 1,
    // for at most ten cameras; returns how many were named.
    template <typename WriteName>
    std::int32_t nameCameras(WriteName writeName);
    // The checks of a device name request: device (code 1), buffer and index (code 9), camera
    // present (code 2).
    [[nodiscard]] bool checkCameraNameRequest(std::int32_t index, const void *buffer,
                                              std::int32_t size);

    // The processor features record (filled at initialisation) arrives with processor
    // identification; nothing else reads it.

    // The model's own operations (gain and exposure); the device is always a Device7100VRX,
    // as adoptDevice is the only way in.
    device::Device7100VRX &model();

    // The camera device; null when none could be made.
    std::unique_ptr<device::CameraDevice> device_;
    // Made empty at initialisation; their pixels are made by each preparation.
    std::array<std::unique_ptr<imaging::DibImage>, kImageCount> images_;

    // The preview window with its drawing context and window class name arrive with the
    // preview window work (PreviewWindow); close releases them.

    ImageGeometry geometry_;
    imaging::SettingsBlock settings_;
    imaging::AnalogSettings analog_;
    // The open image filter and analog dialogs, written while Ostrel_SetImageDlg and
    // Ostrel_SetAnalogDlg run, arrive with the settings dialogs.
    std::atomic<std::int32_t> realExposureTime_{0};

    // Recording: the AviWriter, its thread and end event arrive with the recording work.
    std::atomic<std::int32_t> recordingFlag_{0};
    std::atomic<std::uint32_t> recordingStartMs_{0};
    std::atomic<std::uint32_t> recordingEndMs_{0};
    std::atomic<std::int32_t> recorderFrameFlag_{0};

    // Streaming: the capture thread and its end event arrive with the acquisition work.
    std::atomic<std::int32_t> runFlag_{0};  // 0 stop, 1 run, 2 pause
    platform::WindowHandle applicationWindow_ = platform::kNoWindow;
    PreviewPlacement previewPlacement_;
    platform::WindowHandle notificationWindow_ = platform::kNoWindow;
    platform::WindowHandle callbackWindow_ = platform::kNoWindow;
    void *applicationBuffer_ = nullptr;
    std::int32_t applicationBufferSize_ = 0;
    std::int32_t topRowFirst_ = 0;
    FrameInfo frameInfo_{};
    std::atomic<AcquisitionState> acquisitionState_{AcquisitionState::Idle};
    std::atomic<imaging::ColorMode> colorMode_{imaging::ColorMode::Mono8};
    std::int32_t subsampleMode_ = 0;
    std::atomic<std::uint32_t> waitTimeMs_{10};
    std::uint32_t clock_ = 0;
    std::atomic<std::int32_t> newImageFlag_{0};
    std::atomic<std::int32_t> frameRate_{0};  // frames per second x 10
    std::int32_t framesInRateWindow_ = 0;
    std::uint32_t rateWindowStartMs_ = 0;
    ErrorHistory errors_;
    // Ready polls per read and the milliseconds of a single-frame wait, for the device.
    std::int32_t transferTimeout_ = 10000;
};

}  // namespace ostrel::context
