// Starting the devices' capture threads. A thread that cannot be started throws
// std::system_error, as std::thread does; the starts turn that into a failure result. Tests make
// the next starts fail the same way to check that nothing is left behind.
#pragma once

#include <functional>
#include <thread>

namespace ostrel::device {

// Starts a thread running body. Throws std::system_error when no thread can be started.
std::thread startCaptureThread(std::function<void()> body);

// Makes the next `count` calls of startCaptureThread fail as the system would. For tests.
void failNextCaptureThreadStarts(int count);

}  // namespace ostrel::device
