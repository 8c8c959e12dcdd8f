// HalfFrameDevice: a camera that sends every frame as two half-frame transfers, each tagged in
// its first byte, and may read its sensor rows from both ends at once. The capture thread pairs
// halves by their tags, assembles them and re-orders the two-sided rows into a ring slot.
//
// In a subsample mode the camera sends a frame of (width / d) x (height / d) pixels (d = 2, 4 or
// 8 for modes 1..3): the transfers, the assembly and the re-ordering all use that geometry, so
// every copy stays within the buffers allocated for the capture, whatever the camera sends.
//
// The halves are not copied into an assembly buffer: each transfer lands in a spare half buffer,
// which then takes the place of the first or second half it carries (its tag says which), so a
// frame costs one pass over its bytes, the re-ordering into its ring slot.
#pragma once

#include <cstdint>

#include "device/camera_device.h"
#include "device/frame_buffer.h"

namespace ostrel::device {

class HalfFrameDevice : public CameraDevice {
public:
    ~HalfFrameDevice() override;

    // 7, 12: prepare the half buffers, then the common start.
    std::int32_t StartSingleCapture() override;
    std::int32_t StartContinuousCapture() override;
    // 13: the common stop, then the half buffers are freed.
    std::int32_t StopCapture() override;
    // 47: bytes of one half-frame transfer for the current subsample mode (a whole number of
    // sectors).
    virtual std::int32_t GetHalfFrameSize();

protected:
    HalfFrameDevice();

    // 14: the half-frame loop. Capture thread only.
    std::int32_t CaptureLoop() override;

    // Set by the model's constructor.
    std::int32_t halfWidth_ = 0;    // pixel pairs per row in the two-sided readout
    std::int32_t dualReadout_ = 1;  // rows arrive from both ends and are re-ordered

private:
    // The geometry of the capture in progress, fixed at its start.
    struct HalfGeometry {
        std::int32_t width = 0;         // pixels per row (after subsampling)
        std::int32_t height = 0;        // rows
        std::int32_t pairs = 0;         // pixel pairs per row of the two-sided readout
        std::size_t halfBytes = 0;      // image bytes of one half
        std::size_t transferBytes = 0;  // bytes read per half (whole sectors)
    };

    std::int32_t startHalfCapture(CaptureState state);
    void releaseHalfBuffers();
    void acceptHalf(int slot, bool single, RateWindow &window);

    // Three half buffers: the first half, the second half and the spare the next transfer goes
    // into. Capture thread only while a capture runs.
    FrameBuffer halves_[3];
    int firstHalf_ = 0;
    int secondHalf_ = 1;
    int spareHalf_ = 2;
    HalfGeometry geometry_;
    // Per ring slot: the tags of the second and first halves received, -1 for none. Capture
    // thread only while a capture runs.
    std::int32_t halfTags_[FrameRing::kSlots][2];
};

}  // namespace ostrel::device
