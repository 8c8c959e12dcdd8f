// A frame held in two pieces, as the half-frame capture keeps it: the frame's bytes below
// `split` lie in `first`, the rest in `second` from its start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace ostrel::device {

struct SplitFrame {
    const std::uint8_t *first = nullptr;
    const std::uint8_t *second = nullptr;
    std::size_t split = 0;

    // The frame's bytes [start, start + length) in one piece: in place when they lie in one
    // piece, else put together in `scratch`.
    const std::uint8_t *span(std::size_t start, std::size_t length,
                             std::vector<std::uint8_t> &scratch) const {
        if (start + length <= split) {
            return first + start;
        }
        if (start >= split) {
            return second + (start - split);
        }
        scratch.resize(length);
        const std::size_t head = split - start;
        std::memcpy(scratch.data(), first + start, head);
        std::memcpy(scratch.data() + head, second, length - head);
        return scratch.data();
    }
};

}  // namespace ostrel::device
