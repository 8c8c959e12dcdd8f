// Starting the context's own threads (capture and recording). A thread that cannot be started
// throws std::system_error, as std::thread does; the starts turn that into error code 3. Tests
// make the next starts fail the same way to check that nothing is left behind.
#pragma once

#include <functional>
#include <thread>

namespace ostrel::context {

// Starts a thread running body. Throws std::system_error when no thread can be started.
std::thread startContextThread(std::function<void()> body);

// Makes the next `count` calls of startContextThread fail as the system would. For tests.
void failNextContextThreadStarts(int count);

}  // namespace ostrel::context
