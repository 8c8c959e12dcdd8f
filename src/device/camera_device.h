// CameraDevice: the library's model of one camera reached through a raw disk drive. It finds
// cameras in the system's disk list, probes drives for the camera's status sector, talks to the
// camera through its command and status sectors, and runs a capture thread that reads frames
// into a ring of three buffers. Derived classes (HalfFrameDevice, Device7100VRX) override the
// capture flows and the model's settings.
//
// Threads: the operations are called by the owning camera context, one control operation
// (starts, stop, single-frame wait, selection, drive open and close) at a time; the pause
// protocol, the register operations, GetCaptureStatus and GetLatestFrame may be called from
// other threads while a capture runs. The capture thread calls CaptureLoop only. Every seek and
// the transfer that follows it run under one drive lock, so no two operations ever interleave on
// the drive's shared position; a word register write holds the lock across both of its steps.
//
// A class deriving further must stop the capture in its own destructor (as Device7100VRX does),
// because the capture thread calls the object through its virtual interface.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "device/frame_ring.h"
#include "platform/camera_protocol.h"
#include "platform/event.h"
#include "platform/raw_drive.h"

namespace ostrel::device {

// Results of the capture starts.
inline constexpr std::int32_t kStartOk = 0;
inline constexpr std::int32_t kStartCommandNotWritten = 20;
// Memory for the buffers or the capture thread could not be had; the device stays idle.
inline constexpr std::int32_t kStartNoResources = 21;
// No drive is open (no camera was found, or its drive could not be opened): a capture could
// never deliver a frame, so none is started.
inline constexpr std::int32_t kStartNoDrive = 22;

// Results of SelectDevice.
inline constexpr std::int32_t kSelectOk = 0;
inline constexpr std::int32_t kSelectFailed = 1;

// Results of GetCaptureStatus.
inline constexpr std::int32_t kCaptureFailed = 1;
inline constexpr std::int32_t kNoNewFrame = 2;
inline constexpr std::int32_t kNewFrame = 3;

inline constexpr std::int32_t kDefaultTransferTimeout = 3000;
inline constexpr std::int32_t kMaxTransferTimeout = 10000;
// How long PauseCapture waits for the capture thread to finish its pass.
inline constexpr std::uint32_t kAcknowledgeTimeoutMs = 1000;
// The half-frame loop retries a failed drive call after a pause that doubles from the first to
// the last, and gives the capture up as failed after this many failures in a row (about a
// quarter of a second of a drive that answers nothing: a camera that is gone).
inline constexpr int kDriveFailuresBeforeCaptureFails = 6;
inline constexpr std::uint32_t kFirstDriveRetryDelayMs = 10;
inline constexpr std::uint32_t kLongestDriveRetryDelayMs = 100;

enum class CaptureState : std::int32_t {
    Idle = 0,
    Continuous = 1,
    Single = 2,
    Paused = 3,
    StopRequested = 4,
    TransferFailed = 5,
};

class CameraDevice {
public:
    CameraDevice(const CameraDevice &) = delete;
    CameraDevice &operator=(const CameraDevice &) = delete;

    // The virtual operations, in their fixed order.

    // 0: stops a running capture, closes the drive and frees every buffer.
    virtual ~CameraDevice();
    // 1: does nothing.
    virtual void Nop();
    // 2: counts the disk entries of cameras of the model; resets the device index to 0. Returns
    // the registry status of its last step.
    virtual std::int32_t Enumerate(std::string_view modelText);
    // 3: not supported: 0, no effect.
    virtual std::int32_t SetSampleWidth(std::int32_t wideSamples);
    // 4: stores 1..10000 (ready polls per bulk read, and the single-frame wait in ms); other
    // values are ignored. Returns the time-out in effect.
    virtual std::int32_t SetTransferTimeout(std::int32_t value);
    // 5
    virtual std::int32_t GetTransferTimeout();
    // 6: frames per second measured by the capture thread.
    virtual float GetFrameRate();
    // 7: starts a capture of one whole frame into slot 0. kStartOk, kStartCommandNotWritten,
    // kStartNoResources or kStartNoDrive.
    virtual std::int32_t StartSingleCapture();
    // 8: returns 1.
    virtual std::int32_t ReservedQuery();
    // 9: returns 1.
    virtual std::int32_t GetSingleCaptureStatus();
    // 10: returns 0.
    virtual std::int32_t ReservedCount();
    // 11: waits (at most the transfer time-out in ms) for a single-frame capture to end, makes
    // sure its thread has ended, then copies slot 0 into destination. 0; 1 when no capture has
    // left buffers to copy from. The last three arguments are ignored.
    virtual std::int32_t WaitSingleFrame(void *destination, std::int32_t, std::int32_t,
                                         std::int32_t);
    // 12: starts continuous capture of whole frames. Results as StartSingleCapture.
    virtual std::int32_t StartContinuousCapture();
    // 13: stops the capture thread (waiting for it without a time limit) and frees the ring. 0.
    virtual std::int32_t StopCapture();

protected:
    // 14: the capture thread's body (whole frames). Capture thread only.
    virtual std::int32_t CaptureLoop();

public:
    // 15: kCaptureFailed after a failed whole-frame read, kNewFrame when a frame newer than the
    // last one copied out is ready, else kNoNewFrame.
    virtual std::int32_t GetCaptureStatus();
    // 16: copies the newest frame into destination ((width/d) x (height/d) bytes for the
    // subsample mode, never more than a ring slot holds). 0; 1 when no capture has buffers.
    virtual std::int32_t GetLatestFrame(void *destination, std::int32_t, std::int32_t,
                                        std::int32_t);
    // 17..20: camera selection.
    virtual std::int32_t GetDeviceCount();
    virtual std::int32_t IsValidDeviceIndex(std::int32_t index);
    virtual std::int32_t GetDeviceIndex();
    // Selects camera `index` and opens its drive (closing the drive open before): kSelectOk or
    // kSelectFailed.
    virtual std::int32_t SelectDevice(std::int32_t index);
    // 21: not supported here: 1, no effect.
    virtual std::int32_t SetReadoutWindow(std::int32_t x, std::int32_t y, std::int32_t width,
                                          std::int32_t height, std::int32_t subsampleMode);
    // 22: window origin, sensor size and subsample mode (null pointers are skipped). 0.
    virtual std::int32_t GetReadoutWindow(std::int32_t *x, std::int32_t *y, std::int32_t *width,
                                          std::int32_t *height, std::int32_t *subsampleMode);
    // 23..34: options this family of cameras does not have; fixed results, no effect.
    virtual std::int32_t SetMirrorH(std::int32_t flag);
    virtual std::int32_t SetMirrorV(std::int32_t flag);
    virtual std::int32_t GetMirrorHDefault();
    virtual std::int32_t GetMirrorVDefault();
    virtual std::int32_t SetCaptureOption(std::int32_t value);
    virtual std::int32_t GetCaptureOption();
    virtual std::int32_t SetTimingOption(std::int32_t value);
    virtual std::int32_t GetTimingOption(std::int32_t *value);
    virtual std::int32_t SetAuxiliaryOption(std::int32_t value);
    virtual std::int32_t GetAuxiliaryOption(std::int32_t value);
    virtual std::int32_t ReadSromId(std::int32_t index, std::uint8_t *value);
    virtual std::int32_t WriteSromId(std::int32_t index, std::int32_t value);
    // 35: pauses a continuous capture so the caller may use the drive: 0 when there was nothing
    // to pause, 1 when the capture thread acknowledged (it does no transfer until resumed), -1
    // when it did not within kAcknowledgeTimeoutMs (the capture goes on). Any thread.
    virtual std::int32_t PauseCapture();
    // 36: resumes a capture paused with a non-zero token; returns the token. Any thread.
    virtual std::int32_t ResumeCapture(std::int32_t token);
    // 37: waits up to kAcknowledgeTimeoutMs for the capture thread to end a pass: 1 when it did,
    // 0 on time-out or when another caller is already waiting.
    virtual std::int32_t WaitCaptureAcknowledge();
    // 38, 39: buffer sizes for the current subsample mode.
    virtual std::int32_t GetFrameBufferSize();
    virtual std::int32_t GetImageSize();
    // 40: probes drives 0..15 (each opened read-only to read its status sector) and keeps the
    // drive of the camera at the device index open, reopened for reading and writing (closing
    // the drive open before). 1 when found, else 0 (no drive open then).
    virtual std::int32_t OpenDrive();
    // 41: stops any capture (the class's StopCapture), then closes the drive. 1.
    virtual std::int32_t CloseDrive();
    // 42: waits for the camera's ready flag (at most the transfer time-out in status reads),
    // then reads length bytes of image data in one request. 1 or 0 (a wait that ran out also
    // counts as a transfer time-out, see takeTransferTimeouts).
    virtual std::int32_t ReadBulk(void *buffer, std::int32_t length);
    // 43..46: byte and word registers. 1 or 0.
    virtual std::int32_t WriteByteRegister(std::uint16_t address, std::uint8_t value);
    virtual std::int32_t ReadByteRegister(std::uint16_t address, std::uint8_t *value);
    virtual std::int32_t WriteWordRegister(std::uint16_t address, std::uint16_t value);
    virtual std::int32_t ReadWordRegister(std::uint16_t address, std::uint16_t *value);

    // The two-step word register write the library uses for every camera setting. 1 or 0.
    std::int32_t WriteRegister(std::uint16_t address, std::uint16_t value);

    // How many ready waits of the capture ran out without the camera becoming ready since the
    // last call (or the start); the count starts again from 0. Any thread.
    std::int32_t takeTransferTimeouts() { return transferTimeouts_.exchange(0); }

    // For tests and diagnostics: whether a drive is open, and the capture state.
    bool isDriveOpen() const;
    CaptureState captureState() const { return static_cast<CaptureState>(state_.load()); }
    std::int32_t framesCompleted() const { return framesCompleted_.load(); }

protected:
    CameraDevice();

    // The subsample divisor of the buffer sizes (modes 0..3; anything else counts as 1) and of
    // the copies out (also 17 and 18 as 1 and 2).
    static std::int32_t bufferDivisor(std::int32_t subsampleMode);
    static std::int32_t copyDivisor(std::int32_t subsampleMode);
    std::size_t copyOutBytes() const;

    // The common start: stops a thread still alive, allocates the ring with slotBytes bytes a
    // slot, writes the start command when a drive is open and starts the capture thread in
    // `state`. Derived starts prepare their own buffers first.
    std::int32_t startCapture(CaptureState state, std::size_t slotBytes);
    // Requests a stop and joins the capture thread if there is one; the state becomes Idle.
    void endCaptureThread();
    // One frame completed into `slot` (its lock held): numbers it and counts it.
    void publishFrame(int slot);
    // End of a pass of a capture loop: acknowledges a pause, sleeps while paused.
    void endPass();
    // Frame rate bookkeeping of the capture loops.
    struct RateWindow {
        std::uint32_t frames = 0;
        std::uint32_t startMs = 0;
    };
    RateWindow beginRateWindow();
    void updateFrameRate(RateWindow &window);
    // After a failed ReadBulk in a capture loop: a ready wait that ran out is counted (the drive
    // answered; `driveFailures` starts again), a failed drive call waits before the next
    // attempt. False once the drive has failed kDriveFailuresBeforeCaptureFails times in a row.
    bool recoverFromFailedRead(int &driveFailures);
    // The capture loops' last action: wakes whoever waits for the thread to end.
    void signalLoopEnd() { exitEvent_.set(); }
    // Changes the state from `from` to `to` only if it is still `from`.
    bool changeState(CaptureState from, CaptureState to);

    // Transport state.
    std::uint8_t identification_[2] = {0, 0};
    std::atomic<std::int32_t> transferTimeout_{kDefaultTransferTimeout};
    std::atomic<float> frameRate_{0.0f};
    std::int32_t windowX_ = 0;
    std::int32_t windowY_ = 0;
    std::int32_t width_ = 0;   // set by the model's constructor only
    std::int32_t height_ = 0;  // set by the model's constructor only
    std::atomic<std::int32_t> subsampleMode_{0};
    std::int32_t deviceCount_ = 0;
    std::int32_t deviceIndex_ = 0;
    std::string modelText_;  // the model text of the last Enumerate: which disks may be cameras

    FrameRing ring_;
    std::atomic<std::int32_t> framesCompleted_{0};
    std::atomic<std::int32_t> lastDelivered_{0};
    std::atomic<std::int32_t> state_{0};
    std::atomic<std::int32_t> transferTimeouts_{0};
    // Set by ReadBulk when its ready wait ran out (cleared by the capture loop before each read).
    std::atomic<bool> readyWaitRanOut_{false};

    // Serialises the control operations (starts, stop, single-frame wait, drive open and close).
    std::recursive_mutex controlMutex_;

private:
    bool writeCommandLocked(std::uint8_t opcode, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3);
    bool readStatusLocked();
    // Reads the status sector of `drive` into statusSector_ (drive lock held).
    bool readStatusFrom(platform::RawDrive &drive);
    // Whether the status sector of `drive` names a camera of this model (drive lock held).
    bool identifiesLocked(platform::RawDrive &drive);
    bool writeStartCommand();

    // The capture thread and its meeting points with the callers.
    std::thread thread_;
    platform::ManualResetEvent exitEvent_;
    platform::ManualResetEvent acknowledgeEvent_;
    std::atomic<bool> acknowledgeClaimed_{false};
    std::atomic<bool> acknowledgePublished_{false};

    // The open drive and the sectors exchanged with it, all guarded by driveMutex_.
    mutable std::mutex driveMutex_;
    std::unique_ptr<platform::RawDrive> drive_;
    alignas(512) std::uint8_t statusSector_[platform::camera::kSectorSize] = {};
    alignas(512) std::uint8_t commandSector_[platform::camera::kSectorSize] = {};
};

}  // namespace ostrel::device
