// Acquisition control: preparing the images and the camera, starting and stopping streaming,
// single frames (snapshot and single-frame mode) and copies of the newest frame.
#include <cstdint>

#include "context/camera_context.h"
#include "device/camera_device.h"
#include "device/device_7100vrx.h"
#include "imaging/deliver_frame.h"
#include "imaging/dib_image.h"
#include "imaging/raw_frame.h"
#include "platform/camera_facts.h"
#include "platform/clock.h"
#include "platform/messages.h"

namespace ostrel::context {
namespace {

using imaging::AnalogWord;
using imaging::ColorMode;
using imaging::DibImage;

bool makeImage(DibImage *image, std::int32_t width, std::int32_t height, std::uint16_t bits) {
    return image != nullptr && image->create(width, height, bits);
}

}  // namespace

// ---- Images --------------------------------------------------------------------------------

imaging::FrameImages CameraContext::frameImages() const {
    auto at = [this](ImageSlot slot) { return images_[static_cast<std::size_t>(slot)].get(); };
    imaging::FrameImages images;
    images.image8 = at(ImageSlot::Image8);
    images.image16 = at(ImageSlot::Image16);
    images.image24 = at(ImageSlot::Image24);
    images.image32 = at(ImageSlot::Image32);
    images.image48 = at(ImageSlot::Image48);
    images.image64 = at(ImageSlot::Image64);
    images.work = at(ImageSlot::Work);
    return images;
}

DibImage *CameraContext::preparedRawImage() {
    return imaging::rawImageFor(frameImages(), preparedMode_.load());
}

DibImage *CameraContext::preparedOutputImage() {
    return imaging::outputImageFor(frameImages(), preparedMode_.load());
}

const DibImage *CameraContext::outputImage() const {
    // While an acquisition is prepared, frames go into the images of the prepared mode; the
    // images of a mode chosen since then are stale, or are the raw frame being filled.
    const ColorMode mode =
        acquisitionState() == AcquisitionState::Idle ? colorMode() : preparedMode_.load();
    return imaging::outputImageFor(frameImages(), mode);
}

bool CameraContext::createImages(std::int32_t width, std::int32_t height) {
    const ColorMode mode = colorMode();
    const imaging::FrameImages images = frameImages();
    const bool eightBitRaw = mode == ColorMode::Mono8 || mode == ColorMode::Mono16 ||
                             mode == ColorMode::Bgr24 || mode == ColorMode::Bgr32;
    // Image 8 is the raw frame of modes 0, 2, 3 and the preview of mode 1; image 24 the output
    // of mode 2, the grey conversion of mode 0 and the preview of modes 3 to 5.
    if (eightBitRaw && !makeImage(images.image8, width, height, 8)) {
        return false;
    }
    if (imaging::hasWideRawSamples(mode) && !makeImage(images.image16, width, height, 16)) {
        return false;
    }
    if (mode != ColorMode::Mono16 && !makeImage(images.image24, width, height, 24)) {
        return false;
    }
    if (mode == ColorMode::Bgr32 && !makeImage(images.image32, width, height, 32)) {
        return false;
    }
    if (mode == ColorMode::Bgr48 && !makeImage(images.image48, width, height, 48)) {
        return false;
    }
    if (mode == ColorMode::Bgr64 && !makeImage(images.image64, width, height, 64)) {
        return false;
    }
    return images.work != nullptr && images.work->copyFormat(imaging::outputImageFor(images, mode));
}

bool CameraContext::planIntake() {
    DibImage *raw = preparedRawImage();
    if (raw == nullptr) {
        return false;
    }
    std::int32_t sensorWidth = 0;
    std::int32_t sensorHeight = 0;
    std::int32_t deviceSubsample = 0;
    (void)device_->GetReadoutWindow(nullptr, nullptr, &sensorWidth, &sensorHeight,
                                    &deviceSubsample);
    const std::int32_t d = platform::camera::subsampleDivisor(deviceSubsample);
    FrameWindow window;
    window.frameWidth = sensorWidth / d;
    window.frameHeight = sensorHeight / d;
    window.left = geometry_.originX / d;
    window.top = geometry_.originY / d;
    // In the monochrome modes the raw image is the output that readers copy, so the device must
    // not write into it outside the frame lock.
    const ColorMode mode = preparedMode_.load();
    const bool rawIsOutput = mode == ColorMode::Mono8 || mode == ColorMode::Mono16;
    return intake_.plan(*raw, window, rawIsOutput);
}

// ---- Preparation ---------------------------------------------------------------------------

bool CameraContext::prepare() {
    if (device_->IsValidDeviceIndex(device_->GetDeviceIndex()) == 0) {
        recordError(ErrorCode::CameraNotPresent);
        return false;
    }
    if (!isValidGeometry(geometry_, subsampleMode_)) {
        recordError(ErrorCode::GeometryInvalid);
        return false;
    }
    const std::int32_t d = platform::camera::subsampleDivisor(subsampleMode_);
    const std::int32_t width = geometry_.imageWidth / d;
    const std::int32_t height = geometry_.imageHeight / d;
    {
        // Readers may still hold the old pixels (no stream runs now, but a reader of another
        // thread could be in the middle of a copy).
        std::lock_guard<std::mutex> lock(frameMutex_);
        if (!createImages(width, height)) {
            recordError(ErrorCode::MemoryOrSize);
            return false;
        }
        preparedMode_.store(colorMode());
        newImageFlag_.store(0);
    }

    std::int32_t clock = 0;
    (void)device_->GetTimingOption(&clock);
    if (clock != clock_) {
        (void)device_->SetTimingOption(clock_);
    }
    (void)device_->SetReadoutWindow(geometry_.originX, geometry_.originY, geometry_.imageWidth,
                                    geometry_.imageHeight, subsampleMode_);
    if (!planIntake()) {
        recordError(ErrorCode::MemoryOrSize);
        return false;
    }
    (void)device_->SetSampleWidth(imaging::hasWideRawSamples(colorMode()) ? 1 : 0);
    (void)device_->SetMirrorV(analog_.get(AnalogWord::MirrorV));
    (void)device_->SetMirrorH(analog_.get(AnalogWord::MirrorH));
    (void)device_->SetGain(analog_.get(AnalogWord::GlobalGain) & 0xFFFF);
    (void)device_->SetExposure(analog_.get(AnalogWord::Exposure));
    (void)updateRealExposureTime();
    previewWindow_.prepareScratch(colorMode(),
                                  *images_[static_cast<std::size_t>(ImageSlot::Scratch)]);
    return true;
}

// ---- Streaming -----------------------------------------------------------------------------

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
    runner_.setTarget(DeliveryTarget{callbackWindow, buffer, size, topRowFirst});
    if (!openPreviewWindow()) {
        recordError(ErrorCode::PreviewWindowFailed);
        return false;
    }
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
    if (runner_.hasThread()) {
        // The thread of a stream that ended by itself (a failed capture) is still to be joined,
        // and a recording started on that stream still to be finished.
        endThreads();
    }
    if (!prepare()) {
        recordError(ErrorCode::NoCamera);
        return false;
    }
    if (!runner_.start([this] { return capturePass(); }, [this] { return waitTimeMs_.load(); },
                       platform::multimediaTimeMs())) {
        (void)stop();
        recordError(ErrorCode::ThreadStartFailed);
        return false;
    }
    (void)device_->SetCaptureOption(0);
    (void)device_->SetCaptureOption(0);
    if (device_->StartContinuousCapture() != device::kStartOk) {
        (void)stop();
        // A start that failed half-way may have kept its buffers; give them back now.
        (void)device_->StopCapture();
        recordError(ErrorCode::CameraCommandFailed);
        return false;
    }
    acquisitionState_.store(AcquisitionState::Streaming);
    return true;
}

bool CameraContext::stopPreview() {
    return stop();
}

void CameraContext::endThreads() {
    runner_.stop();
    recording_.stop();
}

bool CameraContext::stop() {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    endThreads();
    if (acquisitionState() == AcquisitionState::Idle) {
        return true;
    }
    acquisitionState_.store(AcquisitionState::Idle);
    (void)device_->SetCaptureOption(0);
    (void)device_->SetCaptureOption(0);
    if (device_->StopCapture() != 0) {
        recordError(ErrorCode::CameraCommandFailed);
        return false;
    }
    return true;
}

bool CameraContext::openPreviewWindow() {
    ui::PreviewWindow::Request request;
    request.applicationWindow = applicationWindow_;
    request.placement = ui::WindowPlacement{previewPlacement_.x, previewPlacement_.y,
                                            previewPlacement_.width, previewPlacement_.height};
    request.imageWidth = geometry_.imageWidth;
    request.imageHeight = geometry_.imageHeight;
    request.subsampleMode = subsampleMode_;
    return previewWindow_.open(request);
}

bool CameraContext::close() {
    // The window goes first: closing it waits for a frame being drawn, and no later frame is
    // drawn, so the capture thread never draws with a released drawing context.
    previewWindow_.close();
    (void)stop();
    // The application may reuse its buffer once the close has returned: a later start streams
    // without delivery until a callback preview names a target again.
    runner_.setTarget(DeliveryTarget{});
    return true;
}

// ---- Single frames -------------------------------------------------------------------------

bool CameraContext::snapShot(void *buffer, std::int32_t size, std::int32_t topRowFirst) {
    if (!isAllowed(Report::Record, {AcquisitionState::Idle, AcquisitionState::SingleFrame})) {
        return false;
    }
    if (acquisitionState() == AcquisitionState::Idle && !prepare()) {
        recordError(ErrorCode::NoCamera);
        return false;
    }
    (void)device_->SetTransferTimeout(transferTimeout_);
    (void)device_->SetCaptureOption(0);
    if (device_->StartSingleCapture() != device::kStartOk) {
        recordError(ErrorCode::FrameTransferFailed);
        return false;
    }
    DibImage *raw = preparedRawImage();
    std::uint8_t *target = raw != nullptr ? intake_.target(*raw) : nullptr;
    const bool copied = target != nullptr && device_->WaitSingleFrame(target, 0, 0, 1) == 0;
    // The device copies its frame slot even when the frame never completed (a time-out or a
    // failed transfer): such a copy is part old and part new data, so it counts as not read.
    if (!copied || device_->framesCompleted() == 0) {
        postFrameNotification(static_cast<std::int32_t>(ErrorCode::FrameTransferFailed));
        recordError(ErrorCode::FrameTransferFailed);
        return false;
    }
    DeferredFrameControls deferred;
    deferred.begin(*this);
    convertFrame(deferred);
    deferred.flush();

    if (buffer != nullptr && size != 0) {
        DibImage *output = preparedOutputImage();
        if (output == nullptr ||
            !imaging::DeliverFrame(*output, topRowFirst, buffer, size, *this)) {
            recordError(ErrorCode::MemoryOrSize);
            return false;
        }
    }
    newImageFlag_.store(1);
    return true;
}

bool CameraContext::capture() {
    if (!isAllowed(Report::Record, {AcquisitionState::Idle, AcquisitionState::SingleFrame})) {
        return false;
    }
    if (acquisitionState() == AcquisitionState::SingleFrame) {
        return true;
    }
    (void)device_->SetTransferTimeout(transferTimeout_);
    if (!prepare()) {
        recordError(ErrorCode::NoCamera);
        return false;
    }
    acquisitionState_.store(AcquisitionState::SingleFrame);
    return true;
}

bool CameraContext::getImage(void *buffer, std::int32_t size, std::int32_t topRowFirst) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    DeferredFrameControls deferred;
    deferred.begin(*this);
    enum class Outcome { Copied, NotNew, Failed } outcome = Outcome::Failed;
    {
        std::lock_guard<std::mutex> lock(frameMutex_);
        const DibImage *output = outputImage();
        if (output != nullptr && !output->isEmpty() && buffer != nullptr) {
            if (newImageFlag_.load() == 0) {
                outcome = Outcome::NotNew;
            } else if (imaging::DeliverFrame(*output, topRowFirst, buffer, size, deferred)) {
                newImageFlag_.store(0);
                outcome = Outcome::Copied;
            }
        }
    }
    deferred.flush();
    if (outcome == Outcome::Failed) {
        recordError(ErrorCode::MemoryOrSize);
    }
    return outcome == Outcome::Copied;
}

}  // namespace ostrel::context
