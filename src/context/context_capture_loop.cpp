// The capture thread's work: each pass asks the camera device for a new frame, takes it into the
// raw image, converts it under the frame lock, and then draws, delivers and announces it.
#include <cstdint>
#include <mutex>

#include "context/camera_context.h"
#include "device/camera_device.h"
#include "device/device_7100vrx.h"
#include "imaging/deliver_frame.h"
#include "imaging/dib_image.h"
#include "imaging/process_frame.h"
#include "imaging/raw_frame.h"
#include "platform/clock.h"

namespace ostrel::context {

using imaging::AnalogWord;
using imaging::DibImage;

StreamingRunner::Pass CameraContext::capturePass() {
    const std::int32_t status = device_->GetCaptureStatus();
    if (status == device::kCaptureFailed) {
        postFrameNotification(static_cast<std::int32_t>(ErrorCode::CaptureFailed));
        recordError(ErrorCode::CaptureFailed);
        endFailedStream();
        return StreamingRunner::Pass::End;
    }
    // A ready wait that ran out brought no frame: the application hears of each one, so a
    // camera that stalls is not mistaken for a dark scene or a slow frame rate.
    for (std::int32_t n = device_->takeTransferTimeouts(); n > 0; --n) {
        postFrameNotification(static_cast<std::int32_t>(ErrorCode::FrameTransferFailed));
        recordError(ErrorCode::FrameTransferFailed);
    }
    if (status == device::kNewFrame) {
        streamFrame();
    }
    return StreamingRunner::Pass::Continue;
}

void CameraContext::endFailedStream() {
    // The device's capture thread has ended; its buffers go, and the context is idle again so
    // that the application can select a camera and start anew. Only this thread is joined
    // later, by the next start or stop.
    (void)device_->StopCapture();
    // A recording of the stream gets no more frames: its file is finished now, not at the
    // application's next stop, which may never come.
    recording_.streamEnded();
    AcquisitionState streaming = AcquisitionState::Streaming;
    (void)acquisitionState_.compare_exchange_strong(streaming, AcquisitionState::Idle);
}

void CameraContext::streamFrame() {
    DibImage *raw = preparedRawImage();
    std::uint8_t *target = raw != nullptr ? intake_.target(*raw) : nullptr;
    if (target == nullptr || device_->GetLatestFrame(target, 0, 0, 1) != 0) {
        postFrameNotification(static_cast<std::int32_t>(ErrorCode::FrameTransferFailed));
        recordError(ErrorCode::FrameTransferFailed);
        return;
    }
    runner_.recordFrame(raw->width(), raw->height(), imaging::outputBitCount(preparedMode_.load()),
                        platform::multimediaTimeMs());

    captureControls_.begin(*this);
    convertFrame(captureControls_);
    captureControls_.flush();

    recording_.frameConverted();
    if (previewWindow_.isOpen()) {
        drawFrame();
    }

    // The runner reads and uses the target under its delivery lock: a recording that joins the
    // stream or a close takes it away, and from then on no byte reaches the old buffer and no
    // notification the old window.
    const bool delivered = runner_.deliver([this](const DeliveryTarget &target) {
        DibImage *output = preparedOutputImage();
        return output != nullptr && imaging::DeliverFrame(*output, target.topRowFirst,
                                                          target.buffer, target.size, *this);
    });
    if (delivered) {
        newImageFlag_.store(1);
    }
}

void CameraContext::convertFrame(DeferredFrameControls &deferred) {
    std::lock_guard<std::mutex> lock(frameMutex_);
    DibImage *raw = preparedRawImage();
    if (raw == nullptr) {
        return;
    }
    intake_.place(*raw);
    if (analog_.get(AnalogWord::MirrorH) != 0) {
        imaging::MirrorRawFrame(*raw);
    }
    const imaging::FrameInput input{preparedMode_.load(), frameImages(), settings_, analog_,
                                    deferred};
    imaging::ProcessFrame(input);
}

void CameraContext::drawFrame() {
    // Under the frame lock: the display conversions write image 8 or 24, which is another
    // colour mode's output image.
    std::lock_guard<std::mutex> lock(frameMutex_);
    const imaging::FrameImages images = frameImages();
    const ui::PreviewImages display{images.image8,  images.image16, images.image24,
                                    images.image32, images.image48, images.image64};
    (void)previewWindow_.draw(preparedMode_.load(), display,
                              *images_[static_cast<std::size_t>(ImageSlot::Scratch)]);
}

}  // namespace ostrel::context
