// The context's thread starts, with the failure that tests can ask for.
#include "context/context_thread.h"

#include <atomic>
#include <system_error>
#include <utility>

namespace ostrel::context {
namespace {

std::atomic<int> failuresAsked{0};

}  // namespace

std::thread startContextThread(std::function<void()> body) {
    int pending = failuresAsked.load();
    while (pending > 0) {
        if (failuresAsked.compare_exchange_weak(pending, pending - 1)) {
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                                    "thread start refused");
        }
    }
    return std::thread(std::move(body));
}

void failNextContextThreadStarts(int count) {
    failuresAsked.store(count > 0 ? count : 0);
}

}  // namespace ostrel::context
