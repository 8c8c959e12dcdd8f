// HalfFrameDevice: a camera that sends every frame as two half-frame transfers, each tagged in
// its first byte, and may read its sensor rows from both ends at once. The capture thread pairs
// halves by their tags, assembles them and re-orders the two-sided rows into a ring slot.
//
// In a subsample mode the camera sends its one subsampled readout, every other 2 x 2 cell of the
// sensor in each direction ((width / 2) x (height / 2) pixels), for modes 1, 2 and 3 alike. Mode 1
// delivers it as it is; modes 2 and 3 keep every 2nd or 4th whole cell of it on the host, so a
// quarter- or eighth-size frame shows the scene with the colour mosaic in the same phase. The
// transfers, the pairing and the re-ordering use the readout's geometry and the ring slots the
// delivered frame's, so every copy stays within the buffers allocated for the capture, whatever
// the camera sends.
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
    // 47: bytes of one half-frame transfer of the readout the camera sends in the current
    // subsample mode (a whole number of sectors).
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
        // What the camera sends.
        std::int32_t readoutWidth = 0;   // pixels per row
        std::int32_t readoutHeight = 0;  // rows
        std::int32_t pairs = 0;          // pixel pairs per row of the two-sided readout
        std::size_t halfBytes = 0;       // image bytes of one half
        std::size_t transferBytes = 0;   // bytes read per half (whole sectors)
        // What a ring slot receives: the readout itself (cellStep 1), or every cellStep-th
        // 2 x 2 cell of it in each direction.
        std::int32_t width = 0;
        std::int32_t height = 0;
        std::int32_t cellStep = 1;
    };

    // How many times the camera's readout is smaller than the sensor in each direction in a
    // subsample mode: it has one subsampled readout.
    static std::int32_t readoutDivisor(std::int32_t subsampleMode);
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
