// The capture thread's loop, its start and stop, and the delivery of each frame to the target.
#include "context/streaming_runner.h"

#include <system_error>
#include <utility>

#include "context/context_thread.h"
#include "context/error_code.h"
#include "platform/clock.h"
#include "platform/messages.h"

namespace ostrel::context {

StreamingRunner::StreamingRunner() {
    frameInfo_.size = static_cast<std::int32_t>(sizeof(FrameInfo));
    rateMeter_.restart(platform::multimediaTimeMs());
}

StreamingRunner::~StreamingRunner() {
    stop();
}

bool StreamingRunner::start(PassBody pass, PauseLength pause, std::uint32_t nowMs) {
    stop();
    state_.store(RunState::Running);
    ended_.reset();
    stopRequested_.reset();
    rateMeter_.restart(nowMs);
    frameRate_.store(0);
    try {
        thread_ = startContextThread(
            [this, pass = std::move(pass), pause = std::move(pause)] { loop(pass, pause); });
    } catch (const std::system_error &) {
        state_.store(RunState::Stopped);
        return false;
    }
    return true;
}

void StreamingRunner::stop() {
    state_.store(RunState::Stopped);
    stopRequested_.set();
    if (thread_.joinable()) {
        ended_.wait();
        thread_.join();
    }
}

void StreamingRunner::loop(const PassBody &pass, const PauseLength &pause) {
    while (state_.load() == RunState::Running) {
        // A long pause never holds a stop: the stop request ends it.
        (void)stopRequested_.waitFor(pause());
        if (state_.load() != RunState::Running) {
            break;
        }
        if (pass() == Pass::End) {
            state_.store(RunState::Stopped);
            break;
        }
    }
    ended_.set();
}

void StreamingRunner::recordFrame(std::int32_t width, std::int32_t height,
                                  std::int32_t bitsPerPixel, std::uint32_t nowMs) {
    framesTaken_.fetch_add(1);
    frameInfo_.size = static_cast<std::int32_t>(sizeof(FrameInfo));
    frameInfo_.width = width;
    frameInfo_.height = height;
    frameInfo_.bitsPerPixel = bitsPerPixel;
    frameRate_.store(rateMeter_.countFrame(nowMs));
    frameInfo_.frameRate = frameRate_.load();
}

void StreamingRunner::setTarget(const DeliveryTarget &target) {
    std::lock_guard<std::recursive_mutex> lock(targetMutex_);
    target_ = target;
}

bool StreamingRunner::deliver(const FrameCopy &copy) {
    std::lock_guard<std::recursive_mutex> lock(targetMutex_);
    const DeliveryTarget target = target_;
    frameInfo_.buffer = target.buffer;
    if (target.buffer != nullptr && target.size != 0 && !copy(target)) {
        return false;
    }
    if (target.callbackWindow != platform::kNoWindow) {
        (void)platform::postMessage(target.callbackWindow, kFrameNotification,
                                    reinterpret_cast<std::uintptr_t>(&frameInfo_), 0);
    }
    return true;
}

void StreamingRunner::notify(std::int32_t code) {
    std::lock_guard<std::recursive_mutex> lock(targetMutex_);
    if (target_.callbackWindow != platform::kNoWindow) {
        (void)platform::postMessage(target_.callbackWindow, kFrameNotification, 0, code);
    }
}

}  // namespace ostrel::context
