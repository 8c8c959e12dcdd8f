// DeferredFrameControls: stands in for a context's frame controls while the frame lock is held.
// The frame pipeline may send gain and exposure to the camera, wait, record errors and post
// notifications in the middle of a frame; none of that may happen under the frame lock, so the
// calls are queued here, in order, and replayed once the lock is released.
//
// Threads: one thread at a time (the one that runs the frame).
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/frame_controls.h"

namespace ostrel::context {

class DeferredFrameControls final : public imaging::FrameControls {
public:
    DeferredFrameControls();
    DeferredFrameControls(const DeferredFrameControls &) = delete;
    DeferredFrameControls &operator=(const DeferredFrameControls &) = delete;

    // Starts queueing for target. What the pipeline asks (hasDevice, maxExposure) is answered
    // from what target says now, so no question reaches the camera while the lock is held.
    // Anything still queued from before is dropped.
    void begin(imaging::FrameControls &target);
    // Replays the queued calls on the target in the order they were made, then empties the queue.
    void flush();
    std::size_t pending() const { return actions_.size(); }

    bool hasDevice() const override { return hasDevice_; }
    std::int32_t maxExposure() const override { return maxExposure_; }
    void setGain(std::int32_t gain) override;
    void setExposure(std::int32_t exposure) override;
    void waitMilliseconds(int milliseconds) override;
    void recordError(std::int32_t code) override;
    void postFrameNotification(std::int32_t lParam) override;
    void refreshAnalogPage(int control, std::int32_t value) override;
    void refreshImageFilterDialog() override;

private:
    enum class Kind {
        SetGain,
        SetExposure,
        Wait,
        RecordError,
        PostFrameNotification,
        RefreshAnalogPage,
        RefreshImageFilterDialog,
    };
    struct Action {
        Kind kind;
        std::int32_t first;
        std::int32_t second;
    };
    void queue(Kind kind, std::int32_t first = 0, std::int32_t second = 0);

    imaging::FrameControls *target_ = nullptr;
    bool hasDevice_ = false;
    std::int32_t maxExposure_ = 0;
    // Reserved once; a frame makes a handful of calls, so the queue does not allocate per frame.
    std::vector<Action> actions_;
};

}  // namespace ostrel::context
