// Sector-aligned zeroed buffers over calloc: large blocks come straight from the system's zero
// pages, so allocating a frame does not touch its memory.
#include "device/frame_buffer.h"

#include <cstdlib>
#include <utility>

namespace ostrel::device {

FrameBuffer::FrameBuffer(FrameBuffer &&other) noexcept
    : block_(std::exchange(other.block_, nullptr)),
      data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)) {}

FrameBuffer &FrameBuffer::operator=(FrameBuffer &&other) noexcept {
    if (this != &other) {
        release();
        block_ = std::exchange(other.block_, nullptr);
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

bool FrameBuffer::allocate(std::size_t bytes) {
    release();
    if (bytes == 0) {
        bytes = 1;
    }
    if (bytes > static_cast<std::size_t>(-1) - kAlignment) {
        return false;
    }
    void *block = std::calloc(bytes + kAlignment, 1);
    if (block == nullptr) {
        return false;
    }
    const auto address = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t aligned = (address + kAlignment - 1) & ~(std::uintptr_t{kAlignment} - 1);
    block_ = block;
    data_ = reinterpret_cast<std::uint8_t *>(aligned);
    size_ = bytes;
    return true;
}

void FrameBuffer::release() {
    std::free(block_);
    block_ = nullptr;
    data_ = nullptr;
    size_ = 0;
}

}  // namespace ostrel::device
