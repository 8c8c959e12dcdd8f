// CameraDevice: capture starts and stop, the whole-frame capture loop, the pause protocol and
// the hand-over of frames to callers.
#include <algorithm>
#include <exception>

#include "device/camera_device.h"
#include "device/capture_thread.h"
#include "platform/clock.h"

namespace ostrel::device {

namespace {

constexpr std::int32_t asInt(CaptureState state) {
    return static_cast<std::int32_t>(state);
}

}  // namespace

bool CameraDevice::changeState(CaptureState from, CaptureState to) {
    std::int32_t expected = asInt(from);
    return state_.compare_exchange_strong(expected, asInt(to));
}

void CameraDevice::endCaptureThread() {
    std::lock_guard<std::recursive_mutex> control(controlMutex_);
    if (thread_.joinable()) {
        state_.store(asInt(CaptureState::StopRequested));
        thread_.join();
    }
    state_.store(asInt(CaptureState::Idle));
}

std::int32_t CameraDevice::startCapture(CaptureState state, std::size_t slotBytes) {
    std::lock_guard<std::recursive_mutex> control(controlMutex_);
    // A thread of an earlier capture (a single frame nobody waited for) never outlives a start.
    endCaptureThread();
    if (!isDriveOpen()) {
        return kStartNoDrive;
    }
    if (!ring_.allocate(slotBytes)) {
        return kStartNoResources;
    }
    framesCompleted_.store(0);
    lastDelivered_.store(0);
    transferTimeouts_.store(0);
    if (!writeStartCommand()) {
        return kStartCommandNotWritten;  // the ring stays allocated until the next start or stop
    }
    exitEvent_.reset();
    state_.store(asInt(state));
    try {
        thread_ = startCaptureThread([this] { CaptureLoop(); });
    } catch (const std::exception &) {
        state_.store(asInt(CaptureState::Idle));
        ring_.release();
        return kStartNoResources;
    }
    return kStartOk;
}

std::int32_t CameraDevice::StartSingleCapture() {
    return startCapture(CaptureState::Single, static_cast<std::size_t>(GetFrameBufferSize()));
}

std::int32_t CameraDevice::StartContinuousCapture() {
    return startCapture(CaptureState::Continuous, static_cast<std::size_t>(GetFrameBufferSize()));
}

std::int32_t CameraDevice::StopCapture() {
    std::lock_guard<std::recursive_mutex> control(controlMutex_);
    endCaptureThread();
    ring_.release();
    return 0;
}

std::int32_t CameraDevice::WaitSingleFrame(void *destination, std::int32_t, std::int32_t,
                                           std::int32_t) {
    std::lock_guard<std::recursive_mutex> control(controlMutex_);
    if (thread_.joinable()) {
        const auto limit = static_cast<std::uint32_t>(transferTimeout_.load());
        if (!exitEvent_.waitFor(limit)) {
            // The frame did not come in time: the thread ends after the transfer it is in, and
            // is joined here so it never writes into the slot being copied below.
            state_.store(asInt(CaptureState::StopRequested));
        }
        thread_.join();
    }
    state_.store(asInt(CaptureState::Idle));
    const std::int32_t sequence = ring_.copyOut(0, destination, copyOutBytes());
    if (sequence < 0) {
        return 1;
    }
    lastDelivered_.store(sequence);
    return 0;
}

CameraDevice::RateWindow CameraDevice::beginRateWindow() {
    RateWindow window;
    window.startMs = platform::multimediaTimeMs();
    return window;
}

void CameraDevice::updateFrameRate(RateWindow &window) {
    if (platform::multimediaTimeMs() - window.startMs > 1000) {
        const std::uint32_t elapsed = platform::multimediaTimeMs() - window.startMs;
        frameRate_.store(static_cast<float>(window.frames * 1000.0 / elapsed));
        window.frames = 0;
        window.startMs = platform::multimediaTimeMs();
    }
}

bool CameraDevice::recoverFromFailedRead(int &driveFailures) {
    if (state_.load() == asInt(CaptureState::StopRequested)) {
        return true;  // the read was cut short by the stop: nothing failed
    }
    if (readyWaitRanOut_.load()) {
        transferTimeouts_.fetch_add(1);
        driveFailures = 0;
        return true;
    }
    ++driveFailures;
    if (driveFailures >= kDriveFailuresBeforeCaptureFails) {
        return false;
    }
    // A drive that fails (a camera unplugged, a bus reset) is asked again only after a pause,
    // never in a tight loop.
    const std::uint32_t delay =
        std::min(kFirstDriveRetryDelayMs << (driveFailures - 1), kLongestDriveRetryDelayMs);
    platform::sleepMs(delay);
    return true;
}

void CameraDevice::publishFrame(int slot) {
    ring_.setSequence(slot, framesCompleted_.fetch_add(1) + 1);
}

void CameraDevice::endPass() {
    if (acknowledgePublished_.load()) {
        acknowledgeEvent_.set();
    }
    if (state_.load() == asInt(CaptureState::Paused)) {
        platform::sleepMs(10);
    }
}

std::int32_t CameraDevice::CaptureLoop() {
    framesCompleted_.store(0);
    RateWindow window = beginRateWindow();
    const std::size_t frameBytes = ring_.slotBytes();
    for (;;) {
        const std::int32_t state = state_.load();
        if (state == asInt(CaptureState::StopRequested)) {
            break;
        }
        if (state == asInt(CaptureState::Continuous) || state == asInt(CaptureState::Single)) {
            const bool single = state == asInt(CaptureState::Single);
            const int slot = ring_.claimSlotToFill(single);
            bool read = false;
            {
                auto lock = ring_.lockSlot(slot);
                read = ReadBulk(ring_.slotData(slot), static_cast<std::int32_t>(frameBytes)) != 0;
                if (read) {
                    publishFrame(slot);
                }
            }
            if (!read) {
                state_.store(asInt(CaptureState::TransferFailed));
                break;
            }
            if (single) {
                changeState(CaptureState::Single, CaptureState::StopRequested);
            }
            ++window.frames;
            updateFrameRate(window);
        }
        endPass();
    }
    signalLoopEnd();
    return 0;
}

std::int32_t CameraDevice::GetCaptureStatus() {
    if (state_.load() == asInt(CaptureState::TransferFailed)) {
        return kCaptureFailed;
    }
    return ring_.hasFrameAfter(lastDelivered_.load()) ? kNewFrame : kNoNewFrame;
}

std::int32_t CameraDevice::GetLatestFrame(void *destination, std::int32_t, std::int32_t,
                                          std::int32_t) {
    const std::int32_t sequence = ring_.copyOut(ring_.newestSlot(), destination, copyOutBytes());
    if (sequence < 0) {
        return 1;
    }
    lastDelivered_.store(sequence);
    return 0;
}

std::int32_t CameraDevice::PauseCapture() {
    if (!changeState(CaptureState::Continuous, CaptureState::Paused)) {
        return 0;
    }
    if (WaitCaptureAcknowledge() != 0) {
        return 1;
    }
    // Not acknowledged: the capture goes on (unless it failed or was stopped meanwhile).
    changeState(CaptureState::Paused, CaptureState::Continuous);
    return -1;
}

std::int32_t CameraDevice::ResumeCapture(std::int32_t token) {
    if (token != 0) {
        // Only a pause is undone; a stop or a failure that came meanwhile stays.
        changeState(CaptureState::Paused, CaptureState::Continuous);
    }
    return token;
}

std::int32_t CameraDevice::WaitCaptureAcknowledge() {
    bool expected = false;
    if (!acknowledgeClaimed_.compare_exchange_strong(expected, true)) {
        return 0;
    }
    acknowledgeEvent_.reset();
    acknowledgePublished_.store(true);
    const bool acknowledged = acknowledgeEvent_.waitFor(kAcknowledgeTimeoutMs);
    acknowledgePublished_.store(false);
    acknowledgeClaimed_.store(false);
    return acknowledged ? 1 : 0;
}

}  // namespace ostrel::device
