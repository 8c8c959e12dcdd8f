// A zero-filled byte buffer aligned to a disk sector, so raw drive reads (direct I/O on Linux)
// can land in it without a bounce copy. Fresh memory comes from the system already zeroed, so a
// large buffer costs nothing until it is written.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrel::device {

class FrameBuffer {
public:
    static constexpr std::size_t kAlignment = 4096;

    FrameBuffer() = default;
    ~FrameBuffer() { release(); }
    FrameBuffer(const FrameBuffer &) = delete;
    FrameBuffer &operator=(const FrameBuffer &) = delete;
    FrameBuffer(FrameBuffer &&other) noexcept;
    FrameBuffer &operator=(FrameBuffer &&other) noexcept;

    // Frees what it held and allocates `bytes` zeroed bytes (at least one). False, holding
    // nothing, when memory is short.
    [[nodiscard]] bool allocate(std::size_t bytes);
    void release();

    std::uint8_t *data() { return data_; }
    const std::uint8_t *data() const { return data_; }
    std::size_t size() const { return size_; }
    bool empty() const { return data_ == nullptr; }

private:
    void *block_ = nullptr;  // what the allocator returned
    std::uint8_t *data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace ostrel::device
