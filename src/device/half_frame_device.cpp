// HalfFrameDevice: tagged half-frames, their pairing and the two-sided re-ordering.
#include "device/half_frame_device.h"

#include <algorithm>
#include <cstring>

#include "device/cell_subsample.h"
#include "device/two_sided_readout.h"

namespace ostrel::device {

namespace {

constexpr std::uint8_t kHalfMarkMask = 0x0F;

}  // namespace

HalfFrameDevice::HalfFrameDevice() {
    for (auto &tags : halfTags_) {
        tags[0] = tags[1] = -1;
    }
}

HalfFrameDevice::~HalfFrameDevice() {
    HalfFrameDevice::StopCapture();
}

std::int32_t HalfFrameDevice::readoutDivisor(std::int32_t subsampleMode) {
    return bufferDivisor(subsampleMode) > 1 ? 2 : 1;
}

std::int32_t HalfFrameDevice::GetHalfFrameSize() {
    const std::int32_t d = readoutDivisor(subsampleMode_.load());
    const std::int64_t bytes = static_cast<std::int64_t>(width_ / d) * (height_ / d) / 2;
    return static_cast<std::int32_t>((bytes + 511) / 512 * 512);
}

void HalfFrameDevice::releaseHalfBuffers() {
    for (FrameBuffer &half : halves_) {
        half.release();
    }
    firstHalf_ = 0;
    secondHalf_ = 1;
    spareHalf_ = 2;
    for (auto &tags : halfTags_) {
        tags[0] = tags[1] = -1;
    }
}

std::int32_t HalfFrameDevice::startHalfCapture(CaptureState state) {
    std::lock_guard<std::recursive_mutex> control(controlMutex_);
    // The thread of an earlier capture uses these buffers: it ends before they are replaced.
    endCaptureThread();
    releaseHalfBuffers();

    const std::int32_t mode = subsampleMode_.load();
    const std::int32_t rd = readoutDivisor(mode);
    const std::int32_t d = bufferDivisor(mode);
    HalfGeometry g;
    g.readoutWidth = width_ / rd;
    g.readoutHeight = height_ / rd;
    g.pairs = dualReadout_ != 0 ? std::min(halfWidth_ / rd, g.readoutWidth / 2) : g.readoutWidth;
    const std::size_t readoutBytes = static_cast<std::size_t>(g.readoutWidth) * g.readoutHeight;
    g.halfBytes = readoutBytes / 2;
    g.transferBytes = static_cast<std::size_t>(std::max(GetHalfFrameSize(), 0));
    g.width = width_ / d;
    g.height = height_ / d;
    g.cellStep = d / rd;
    geometry_ = g;

    // Each half buffer takes a whole transfer, and the second half of an odd-sized readout its
    // one byte more.
    const std::size_t halfBufferBytes = std::max(g.transferBytes, readoutBytes - g.halfBytes);
    for (FrameBuffer &half : halves_) {
        if (!half.allocate(halfBufferBytes)) {
            releaseHalfBuffers();
            return kStartNoResources;
        }
    }
    const std::size_t frameBytes = static_cast<std::size_t>(g.width) * g.height;
    const std::size_t slotBytes =
        std::max(static_cast<std::size_t>(std::max(GetFrameBufferSize(), 0)), frameBytes);
    const std::int32_t result = startCapture(state, slotBytes);
    if (result == kStartNoResources) {
        releaseHalfBuffers();
    }
    return result;
}

std::int32_t HalfFrameDevice::StartSingleCapture() {
    return startHalfCapture(CaptureState::Single);
}

std::int32_t HalfFrameDevice::StartContinuousCapture() {
    return startHalfCapture(CaptureState::Continuous);
}

std::int32_t HalfFrameDevice::StopCapture() {
    std::lock_guard<std::recursive_mutex> control(controlMutex_);
    CameraDevice::StopCapture();
    releaseHalfBuffers();
    return 0;
}

void HalfFrameDevice::acceptHalf(int slot, bool single, RateWindow &window) {
    const HalfGeometry &g = geometry_;
    const std::uint8_t header = halves_[spareHalf_].data()[0];
    const std::int32_t tag = header >> 4;
    switch (header & kHalfMarkMask) {
        case platform::camera::kSecondHalfMark:
            halfTags_[slot][0] = tag;
            std::swap(spareHalf_, secondHalf_);
            break;
        case platform::camera::kFirstHalfMark:
            halfTags_[slot][1] = tag;
            std::swap(spareHalf_, firstHalf_);
            break;
        default:
            break;  // not a half of any frame: ignored
    }
    if (halfTags_[slot][0] == -1 || halfTags_[slot][0] != halfTags_[slot][1]) {
        return;
    }
    {
        const std::uint8_t *first = halves_[firstHalf_].data();
        const std::uint8_t *second = halves_[secondHalf_].data();
        auto lock = ring_.lockSlot(slot);
        std::uint8_t *out = ring_.slotData(slot);
        if (g.cellStep > 1) {
            const ReadoutShape shape{g.readoutWidth, g.readoutHeight, g.pairs, dualReadout_ != 0};
            reduceReadout(SplitFrame{first, second, g.halfBytes}, shape, g.cellStep, out, g.width,
                          g.height);
        } else if (dualReadout_ != 0) {
            reorderTwoSidedSplit(first, second, g.halfBytes, out, g.height, g.pairs, g.width);
        } else {
            const std::size_t frameBytes = static_cast<std::size_t>(g.width) * g.height;
            std::memcpy(out, first, g.halfBytes);
            std::memcpy(out + g.halfBytes, second, frameBytes - g.halfBytes);
        }
        publishFrame(slot);
    }
    halfTags_[slot][0] = halfTags_[slot][1] = -1;
    ++window.frames;
    if (single) {
        changeState(CaptureState::Single, CaptureState::StopRequested);
    }
}

std::int32_t HalfFrameDevice::CaptureLoop() {
    framesCompleted_.store(0);
    RateWindow window = beginRateWindow();
    const auto transferBytes = static_cast<std::int32_t>(geometry_.transferBytes);
    int driveFailures = 0;
    for (;;) {
        const auto state = static_cast<CaptureState>(state_.load());
        if (state == CaptureState::StopRequested) {
            break;
        }
        if (state == CaptureState::Continuous || state == CaptureState::Single) {
            const bool single = state == CaptureState::Single;
            const int slot = ring_.claimSlotToFill(single);
            readyWaitRanOut_.store(false);
            if (transferBytes <= 0 || ReadBulk(halves_[spareHalf_].data(), transferBytes) == 0) {
                // A ready wait that ran out is counted and tried again; a failing drive is
                // tried again after a pause, until it has failed too often: then the capture
                // has failed (unless a stop came meanwhile).
                if (!recoverFromFailedRead(driveFailures)) {
                    if (changeState(state, CaptureState::TransferFailed)) {
                        break;
                    }
                    driveFailures = 0;
                    continue;
                }
                // The pass ends without a transfer: a pause may begin now.
                endPass();
                continue;
            }
            driveFailures = 0;
            acceptHalf(slot, single, window);
            updateFrameRate(window);
        }
        endPass();
    }
    signalLoopEnd();
    return 0;
}

}  // namespace ostrel::device
