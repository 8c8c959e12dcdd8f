// The newest error codes of one camera context. The application's thread records and drains it
// while the capture and recording threads record into it, so it is guarded by a small lock.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>

namespace ostrel::context {

class ErrorHistory {
public:
    static constexpr std::size_t kDepth = 20;
    using Codes = std::array<std::int32_t, kDepth>;

    ErrorHistory() = default;
    ErrorHistory(const ErrorHistory &) = delete;
    ErrorHistory &operator=(const ErrorHistory &) = delete;

    // Puts a code in front; the oldest of a full history is dropped. Any thread.
    void record(std::int32_t code);

    // Takes the newest code out, or 0 when the history is empty (an entry of 0 cannot be told
    // apart from an empty one). Any thread.
    std::int32_t takeNewest();

    // The codes, newest first, unused entries 0.
    Codes codes() const;

private:
    mutable std::mutex mutex_;
    Codes codes_{};
};

}  // namespace ostrel::context
