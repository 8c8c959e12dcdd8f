// StreamingRunner: the capture thread of one camera context and what belongs to it: the run
// state, the event that cuts the thread's pause short when a stop is asked for, the event the
// thread sets as it leaves, the delivery target (where streamed frames are copied and announced)
// and the FrameInfo record every frame notification points at, with the frame count and rate.
// It knows nothing of the camera: each pass of the loop is the owner's (the context's) work.
//
// The loop: while running, pause for the pause length (a stop ends the pause at once), then run
// one pass; a pass that returns Pass::End ends the loop (the stream ended by itself). The thread
// stays to be joined by the next start or stop.
//
// Threads and locks:
// - start, stop, hasThread and the destructor: the owner's control thread, one call at a time
//   (the context's control lock). stop waits for the thread; the loop never takes the control
//   lock, so a stop made under it always finishes.
// - The pass, recordFrame and deliver: the capture thread only. frameInfo() is written there
//   only (by recordFrame and deliver), so the application reads it between frames: a frame
//   notification carries its address and it stays valid until the next frame.
// - setTarget, notify, runState, framesTaken and frameRate: any thread.
// - The delivery lock guards the delivery target. deliver holds it from reading the target until
//   the frame is copied and announced, and setTarget takes it, so once setTarget has returned no
//   byte reaches the old buffer and no notification the old window. It is recursive: a copy that
//   fails announces its failure through notify on the same thread. Lock order: the owner's
//   control lock, then the delivery lock; nothing is waited for under the delivery lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "OstrelSdk.h"
#include "context/frame_rate_meter.h"
#include "platform/event.h"
#include "platform/window_handle.h"

namespace ostrel::context {

class StreamingRunner {
public:
    enum class RunState : std::int32_t {
        Stopped,  // no loop runs, or the one that runs is leaving
        Running,  // the loop runs its passes
    };

    // What one pass of the loop asks for next.
    enum class Pass {
        Continue,  // pause, then the next pass
        End,       // the stream ended by itself: leave the loop
    };
    using PassBody = std::function<Pass()>;
    // The pause before each pass in milliseconds, read anew before every pause.
    using PauseLength = std::function<std::uint32_t()>;

    // Where streamed frames go: a buffer for a copy of each frame (none when null or size 0)
    // and a window told of each frame and of each failed one (none when kNoWindow).
    struct DeliveryTarget {
        platform::WindowHandle callbackWindow = platform::kNoWindow;
        void *buffer = nullptr;
        std::int32_t size = 0;
        std::int32_t topRowFirst = 0;
    };
    // Copies the frame into target.buffer; false when it could not (the failure is the copy's
    // to report, through notify when it announces one).
    using FrameCopy = std::function<bool(const DeliveryTarget &target)>;

    StreamingRunner();
    // Stops the loop and waits for it.
    ~StreamingRunner();
    StreamingRunner(const StreamingRunner &) = delete;
    StreamingRunner &operator=(const StreamingRunner &) = delete;

    // Starts the capture thread running `pass` after every pause of `pause()` milliseconds, and
    // begins a new frame rate measure at `nowMs` (the rate reads 0 until its first figure). A
    // thread left from an earlier stream is ended first. False when no thread can be started:
    // the state is Stopped and nothing runs.
    [[nodiscard]] bool start(PassBody pass, PauseLength pause, std::uint32_t nowMs);

    // Asks the loop to end (the pause ends at once, a pass in progress finishes) and waits for
    // the thread. Nothing happens when there is no thread.
    void stop();

    // True from a start until the next stop, also when the loop ended by itself.
    bool hasThread() const { return thread_.joinable(); }
    RunState runState() const { return state_.load(); }

    // Counts one frame taken from the camera and describes it in the FrameInfo record, with the
    // frame rate measured at `nowMs`.
    void recordFrame(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel,
                     std::uint32_t nowMs);
    // Frames counted since the runner was made; never reset by a start.
    std::uint64_t framesTaken() const { return framesTaken_.load(); }
    // Tenths of a frame per second, 0 from a start until the first figure.
    std::int32_t frameRate() const { return frameRate_.load(); }
    const FrameInfo &frameInfo() const { return frameInfo_; }

    // Replaces the delivery target; waits for a frame being delivered to the old one.
    void setTarget(const DeliveryTarget &target);

    // Delivers the frame described last: under the delivery lock, the FrameInfo takes the
    // target's buffer, `copy` runs when the target has a buffer, and the callback window (when
    // there is one) is sent the frame notification with the FrameInfo's address. False, with
    // nothing announced, when the copy failed.
    [[nodiscard]] bool deliver(const FrameCopy &copy);

    // Sends the callback window (when there is one) a failure notification carrying `code`.
    void notify(std::int32_t code);

private:
    void loop(const PassBody &pass, const PauseLength &pause);

    std::atomic<RunState> state_{RunState::Stopped};
    std::thread thread_;
    platform::ManualResetEvent stopRequested_;
    // Set by the thread as its last act; a stop waits for it before joining.
    platform::ManualResetEvent ended_;

    mutable std::recursive_mutex targetMutex_;
    DeliveryTarget target_;

    FrameInfo frameInfo_{};
    FrameRateMeter rateMeter_;
    std::atomic<std::int32_t> frameRate_{0};
    std::atomic<std::uint64_t> framesTaken_{0};
};

}  // namespace ostrel::context
