// Capture thread start with an injectable failure.
#include "device/capture_thread.h"

#include <atomic>
#include <system_error>

namespace ostrel::device {

namespace {

std::atomic<int> failuresToInject{0};

}  // namespace

std::thread startCaptureThread(std::function<void()> body) {
    int pending = failuresToInject.load();
    while (pending > 0) {
        if (failuresToInject.compare_exchange_weak(pending, pending - 1)) {
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                                    "capture thread");
        }
    }
    return std::thread(std::move(body));
}

void failNextCaptureThreadStarts(int count) {
    failuresToInject.store(count > 0 ? count : 0);
}

}  // namespace ostrel::device
