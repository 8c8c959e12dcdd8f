// CameraContext: everything one camera handle stands for: the camera device, the images frames are
// converted into, the geometry and colour mode, the image-adjustment and analog settings, the
// capture thread, the application's notification targets and the error history. The exported
// functions forward to it.
//
// Threads: the application may call a context from several threads; every call that reaches it
// holds its control lock (the exports take it), so the calls run one after the other. The capture
// thread (run by the StreamingRunner, each pass being the context's) and the recording thread
// never take the control lock: a stop that holds it and waits for them can always finish. They
// read the settings and flags and record errors; every word they share is atomic, the error
// history and the delivery target have small locks of their own, and the output image is guarded
// by the frame lock: the capture thread holds it while it writes a frame into the images, readers
// (Ostrel_GetImage, the still image saves, the recording conversion) while they read. Nobody
// holds the frame lock across a wait, a message post, a device call or a file write. Lock order:
// control lock, then delivery lock or frame lock.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>

#include "OstrelSdk.h"
#include "context/deferred_frame_controls.h"
#include "context/error_code.h"
#include "context/error_history.h"
#include "context/frame_intake.h"
#include "context/image_geometry.h"
#include "context/recording_control.h"
#include "context/streaming_runner.h"
#include "platform/analog_settings.h"
#include "platform/color_mode.h"
#include "imaging/frame_controls.h"
#include "imaging/process_frame.h"
#include "imaging/processor_info.h"
#include "platform/settings_block.h"
#include "platform/event.h"
#include "platform/window_handle.h"
#include "ui/preview_window.h"

namespace ostrel::device {
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

// The lock that makes the calls of one context run one at a time. Recursive: while a modal
// dialog runs, the application's window procedures run on the same thread and may call the
// context again.
using ControlLock = std::recursive_mutex;

// Makes the camera device of a context at initialisation; null when none can be made.
using DeviceFactory = std::function<std::unique_ptr<device::Device7100VRX>()>;

// The open settings pages that the capture thread refreshes after automatic adjustments. The
// dialogs implement these and register themselves while they are open.
class AnalogPageRefresh {
public:
    virtual ~AnalogPageRefresh() = default;
    // Shows a new value in one of the page's edit controls. Capture thread.
    virtual void showValue(int control, std::int32_t value) = 0;
};
class ImageFilterRefresh {
public:
    virtual ~ImageFilterRefresh() = default;
    // Reloads the page's controls from the settings block. Capture thread.
    virtual void reloadControls() = 0;
};

// The context is also the frame pipeline's controls (privately: only the context runs frames).
class CameraContext : private imaging::FrameControls {
public:
    // Every field at its default; nothing is allocated and no device is touched. Initialisation
    // makes a Device7100VRX.
    CameraContext();
    // The same, with the camera device made by `makeDevice` at initialisation (tests).
    explicit CameraContext(DeviceFactory makeDevice);
    // Release: saves the analog, image filter and gray filter settings (when they were loaded),
    // closes (preview window, threads, camera), then frees the device, the images in slot order
    // and resets the AVI writer.
    ~CameraContext() override;
    CameraContext(const CameraContext &) = delete;
    CameraContext &operator=(const CameraContext &) = delete;

    // ---- Initialisation -------------------------------------------------------------------

    // Brings a freshly registered context into service: processor identification, the camera
    // device (which opens camera 0), the eight empty images, the notification window, the
    // stored geometry (code 12 when it cannot be loaded, 7 when it is not valid: then the whole
    // sensor), the image filter, gray filter and analog settings (sent to the camera) and the
    // stream settings (code 12 when the settings key cannot be opened). False, with code 5, when
    // the device or an image could not be made; the context stays usable and reports code 1
    // wherever it needs what is missing.
    [[nodiscard]] bool initialise(platform::WindowHandle notificationWindow);

    // Replaces the camera device (tests hand in one over emulated cameras). Idle contexts only.
    void adoptDevice(std::unique_ptr<device::Device7100VRX> device);

    // Registers (or, with null, clears) the open settings pages to refresh. Application thread.
    void setOpenAnalogPage(AnalogPageRefresh *page);
    void setOpenImageFilterDialog(ImageFilterRefresh *dialog);

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

    // Streaming with display and no buffer; 0 with no error while an acquisition runs.
    [[nodiscard]] bool preview();
    // Streaming with display; every frame is copied into the buffer (when buffer and size are
    // both non-zero) and announced to the callback window with the FrameInfo's address.
    [[nodiscard]] bool callBackPreview(platform::WindowHandle callbackWindow, void *buffer,
                                       std::int32_t size, std::int32_t topRowFirst);
    // Streaming without a new window; true at once while streaming, code 1 in single-frame mode.
    [[nodiscard]] bool startPreview();
    // Stops streaming and recording (waiting for both threads), then the camera (code 6). The
    // delivery target stays: a start after the stop delivers into the same buffer again.
    [[nodiscard]] bool stopPreview();
    // Closes the preview window (drawing stops first), stops as stopPreview does and forgets
    // the delivery target (callback window, buffer, size, row order): a later start streams
    // without delivery. Always true: the stop's failure is recorded, not returned.
    bool close();
    // One frame into the buffer (prepared first from idle; skipped preparation in single-frame
    // mode); code 1 while streaming.
    [[nodiscard]] bool snapShot(void *buffer, std::int32_t size, std::int32_t topRowFirst);
    // Enters single-frame mode (prepared once).
    [[nodiscard]] bool capture();
    // Copies the newest processed frame, once per frame: false with no error when it was copied
    // already. Holds the frame lock while it copies.
    [[nodiscard]] bool getImage(void *buffer, std::int32_t size, std::int32_t topRowFirst);
    [[nodiscard]] bool record(const char *fileName, std::int32_t durationMs, std::int32_t display);
    [[nodiscard]] bool recordWide(const wchar_t *fileName, std::int32_t durationMs,
                                  std::int32_t display);
    // Selects another camera; only while idle (code 1 otherwise, the acquisition untouched).
    [[nodiscard]] bool setDeviceNumber(std::int32_t index);
    std::int32_t enumDevices(char *names);
    std::int32_t enumDevicesWide(wchar_t *names);
    [[nodiscard]] bool deviceName(std::int32_t index, char *buffer, std::int32_t size);
    [[nodiscard]] bool deviceNameWide(std::int32_t index, wchar_t *buffer, std::int32_t size);
    [[nodiscard]] bool saveImage(const char *fileName, std::int32_t fileType);
    [[nodiscard]] bool saveImageWide(const wchar_t *fileName, std::int32_t fileType);
    // The settings dialogs, modal on the calling thread with parent as owner: true once the
    // dialog has run (whatever the user chose); code 1 without a camera device, code 11 where no
    // dialog can be shown (Linux). The camera dialog stops the acquisition around the dialog and
    // restarts it as it was; after OK the geometry and stream settings are reloaded.
    [[nodiscard]] bool cameraDialog(platform::WindowHandle parent);
    [[nodiscard]] bool imageDialog(platform::WindowHandle parent);
    [[nodiscard]] bool analogDialog(platform::WindowHandle parent);

    // ---- Plain fields the exports read --------------------------------------------------

    std::int32_t imageWidth() const { return geometry_.imageWidth; }
    std::int32_t imageHeight() const { return geometry_.imageHeight; }
    const ImageGeometry &geometry() const { return geometry_; }
    std::int32_t subsampleMode() const { return subsampleMode_; }
    AcquisitionState acquisitionState() const { return acquisitionState_.load(); }
    platform::WindowHandle notificationWindow() const { return notificationWindow_; }
    const imaging::SettingsBlock &settings() const { return settings_; }
    const imaging::AnalogSettings &analog() const { return analog_; }
    std::int32_t realExposureTime() const { return realExposureTime_.load(); }
    const FrameInfo &frameInfo() const { return runner_.frameInfo(); }
    std::int32_t transferTimeout() const { return transferTimeout_; }
    bool hasDevice() const override { return device_ != nullptr; }
    const imaging::DibImage *image(ImageSlot slot) const {
        return images_[static_cast<std::size_t>(slot)].get();
    }
    platform::WindowHandle applicationWindow() const { return applicationWindow_; }
    const PreviewPlacement &previewPlacement() const { return previewPlacement_; }
    const imaging::ProcessorInfo &processorInfo() const { return processor_; }
    const ui::PreviewWindow &previewWindow() const { return previewWindow_; }
    std::int32_t frameRate() const { return runner_.frameRate(); }
    // Frames the capture thread has taken from the device since the context was made; each one
    // is delivered and announced, or its failure reported.
    std::uint64_t framesTaken() const { return runner_.framesTaken(); }
    bool isCapturing() const { return runner_.hasThread(); }
    // The output image of the current colour mode, or of the mode the running acquisition was
    // prepared for (null when the mode is not valid). Read it under the frame lock.
    const imaging::DibImage *outputImage() const;

    // Held by every call into the context from the application (see the file comment).
    ControlLock &controlLock() { return controlMutex_; }

    // Releases the resources the library shares between contexts (the worker threads); for
    // the last release of a context. Ordinary threads only.
    static void releaseSharedResources();

private:
    // ---- FrameControls: what the frame pipeline asks of the context --------------------
    void setGain(std::int32_t gain) override;
    void setExposure(std::int32_t exposure) override;
    std::int32_t maxExposure() const override;
    void waitMilliseconds(int milliseconds) override;
    void recordError(std::int32_t code) override;
    void postFrameNotification(std::int32_t lParam) override;
    void refreshAnalogPage(int control, std::int32_t value) override;
    void refreshImageFilterDialog() override;

    // Where streamed frames go: set by callback preview, cleared by preview, record and close,
    // kept by stop.
    using DeliveryTarget = StreamingRunner::DeliveryTarget;

    // The one place that decides whether an operation may run now: it needs the camera device
    // and one of the given acquisition states. A refusal reports code 1 as `report` says.
    [[nodiscard]] bool isAllowed(Report report,
                                 AcquisitionStates states = AcquisitionStates::any());

    imaging::ColorMode colorMode() const { return colorMode_.load(); }
    // Preview and callback preview: the callback targets, then the window and the start.
    [[nodiscard]] bool callBackPreviewWith(platform::WindowHandle callbackWindow, void *buffer,
                                           std::int32_t size, std::int32_t topRowFirst);
    // Opens the preview window for the stored parent and placement (or a top-level window at
    // the processed size).
    [[nodiscard]] bool openPreviewWindow();
    // Loads the geometry and stream settings from the store again (after the camera dialog's
    // OK); a stored geometry that is not valid keeps the one in use (code 7).
    void reloadStreamFormat();
    // Starts streaming (joins a stream that runs already).
    [[nodiscard]] bool startStreaming();
    // Stops streaming and recording and the device (the common part of stop preview and close).
    [[nodiscard]] bool stop();
    // Ends the capture and recording threads and waits for them (no device needed).
    void endThreads();

    // Makes the images of the colour mode at the processed size and configures the device for
    // a stream or single frames. False with its code (2, 7 or 5) recorded.
    [[nodiscard]] bool prepare();
    [[nodiscard]] bool createImages(std::int32_t width, std::int32_t height);
    // Plans how frames reach the raw image for the device's readout now in effect.
    [[nodiscard]] bool planIntake();
    imaging::FrameImages frameImages() const;
    imaging::DibImage *preparedRawImage();
    imaging::DibImage *preparedOutputImage();

    // One pass of the capture thread: the device's status, its missed frames and a new frame.
    StreamingRunner::Pass capturePass();
    void streamFrame();
    // On the capture thread, after the device reported its capture as failed: stops the device
    // and makes the context idle.
    void endFailedStream();
    // Under the frame lock: the fetched frame into the raw image, the horizontal mirror and the
    // frame pipeline; the pipeline's calls on the context are replayed after the lock is left.
    void convertFrame(DeferredFrameControls &deferred);
    // Shows the converted frame in the preview window.
    void drawFrame();
    // Calls writeName(entry, number) for each camera the device can open, numbering from 1,
    // for at most ten cameras; returns how many were named.
    template <typename WriteName>
    std::int32_t nameCameras(WriteName writeName);
    // The checks of a device name request: device (code 1), buffer and index (code 9), camera
    // present (code 2).
    [[nodiscard]] bool checkCameraNameRequest(std::int32_t index, const void *buffer,
                                              std::int32_t size);

    ControlLock controlMutex_;
    DeviceFactory makeDevice_;
    // Filled at initialisation; nothing else reads it.
    imaging::ProcessorInfo processor_{};

    // The camera device; null when none could be made.
    std::unique_ptr<device::Device7100VRX> device_;
    // Made empty at initialisation; their pixels are made by each preparation.
    std::array<std::unique_ptr<imaging::DibImage>, kImageCount> images_;
    // Guards the pixels of the images between the capture thread and the readers.
    mutable std::mutex frameMutex_;
    // The colour mode the images were last prepared for: the capture flow works with it until
    // the next preparation, whatever the application sets meanwhile.
    std::atomic<imaging::ColorMode> preparedMode_{imaging::ColorMode::Mono8};
    FrameIntake intake_;
    // True once the stored analog and filter groups have been loaded: only then are they saved
    // back at release (a context that never loaded them must not overwrite the user's).
    bool settingsLoaded_ = false;

    // The window frames are shown in while a preview runs (with its drawing context and class
    // name); drawn from the capture thread, opened and closed on the application's.
    ui::PreviewWindow previewWindow_;

    ImageGeometry geometry_{kSensorGeometry};
    imaging::SettingsBlock settings_;
    imaging::AnalogSettings analog_;
    // The open analog page and image filter dialog, refreshed by the capture thread.
    mutable std::mutex dialogMutex_;
    AnalogPageRefresh *openAnalogPage_ = nullptr;
    ImageFilterRefresh *openImageFilterDialog_ = nullptr;
    std::atomic<std::int32_t> realExposureTime_{0};

    // Recording: the AVI writer and the recording thread that feeds it from the output image;
    // stop ends it (finishing its file) before the images can change.
    RecordingControl recording_;

    // Streaming: the capture thread, the delivery target and the FrameInfo record.
    StreamingRunner runner_;
    // The pipeline's calls made under the frame lock on the capture thread, replayed after it.
    DeferredFrameControls captureControls_;
    platform::WindowHandle applicationWindow_ = platform::kNoWindow;
    PreviewPlacement previewPlacement_;
    platform::WindowHandle notificationWindow_ = platform::kNoWindow;
    std::atomic<AcquisitionState> acquisitionState_{AcquisitionState::Idle};
    std::atomic<imaging::ColorMode> colorMode_{imaging::ColorMode::Mono8};
    std::int32_t subsampleMode_ = 0;
    std::atomic<std::uint32_t> waitTimeMs_{10};
    std::int32_t clock_ = 0;
    std::atomic<std::int32_t> newImageFlag_{0};
    ErrorHistory errors_;
    // Ready polls per read and the milliseconds of a single-frame wait, for the device.
    std::int32_t transferTimeout_ = 10000;
};

}  // namespace ostrel::context
