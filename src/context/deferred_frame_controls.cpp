// Queueing and replaying the frame pipeline's calls on a context.
#include "context/deferred_frame_controls.h"

namespace ostrel::context {
namespace {

// More than a frame ever makes: the automatic exposure (three), the idle code, the automatic
// gains' refreshes and a delivery failure (two).
constexpr std::size_t kReservedActions = 32;

}  // namespace

DeferredFrameControls::DeferredFrameControls() {
    actions_.reserve(kReservedActions);
}

void DeferredFrameControls::begin(imaging::FrameControls &target) {
    target_ = &target;
    hasDevice_ = target.hasDevice();
    maxExposure_ = target.maxExposure();
    actions_.clear();
}

void DeferredFrameControls::flush() {
    if (target_ == nullptr) {
        actions_.clear();
        return;
    }
    imaging::FrameControls &target = *target_;
    for (const Action &action : actions_) {
        switch (action.kind) {
            case Kind::SetGain:
                target.setGain(action.first);
                break;
            case Kind::SetExposure:
                target.setExposure(action.first);
                break;
            case Kind::Wait:
                target.waitMilliseconds(action.first);
                break;
            case Kind::RecordError:
                target.recordError(action.first);
                break;
            case Kind::PostFrameNotification:
                target.postFrameNotification(action.first);
                break;
            case Kind::RefreshAnalogPage:
                target.refreshAnalogPage(action.first, action.second);
                break;
            case Kind::RefreshImageFilterDialog:
                target.refreshImageFilterDialog();
                break;
        }
    }
    actions_.clear();
}

void DeferredFrameControls::queue(Kind kind, std::int32_t first, std::int32_t second) {
    actions_.push_back(Action{kind, first, second});
}

void DeferredFrameControls::setGain(std::int32_t gain) {
    queue(Kind::SetGain, gain);
}

void DeferredFrameControls::setExposure(std::int32_t exposure) {
    queue(Kind::SetExposure, exposure);
}

void DeferredFrameControls::waitMilliseconds(int milliseconds) {
    queue(Kind::Wait, milliseconds);
}

void DeferredFrameControls::recordError(std::int32_t code) {
    queue(Kind::RecordError, code);
}

void DeferredFrameControls::postFrameNotification(std::int32_t lParam) {
    queue(Kind::PostFrameNotification, lParam);
}

void DeferredFrameControls::refreshAnalogPage(int control, std::int32_t value) {
    queue(Kind::RefreshAnalogPage, control, value);
}

void DeferredFrameControls::refreshImageFilterDialog() {
    queue(Kind::RefreshImageFilterDialog);
}

}  // namespace ostrel::context
