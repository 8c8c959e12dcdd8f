// The ring of three frame buffers between a device's capture thread and its callers.
//
// The capture thread fills the slot after the newest one and numbers it only when its data is
// complete, so a caller that copies the newest slot gets a whole frame. Each slot also has a lock
// that the thread holds while it writes the slot's data and the caller holds while copying it
// out: the thread never overwrites a frame that is being copied (it waits for the copy), even
// when it completes two more frames during one copy.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "device/frame_buffer.h"

namespace ostrel::device {

class FrameRing {
public:
    static constexpr int kSlots = 3;

    FrameRing() = default;
    FrameRing(const FrameRing &) = delete;
    FrameRing &operator=(const FrameRing &) = delete;

    // Frees the buffers and allocates three of `bytes` zeroed bytes each, with sequences 0.
    // False, holding nothing, when memory is short. Not while a capture thread runs.
    [[nodiscard]] bool allocate(std::size_t bytes);
    // Frees the buffers and sets every sequence to 0. Not while a capture thread runs.
    void release();
    bool allocated() const { return !slots_[0].buffer.empty(); }
    std::size_t slotBytes() const { return slots_[0].buffer.size(); }

    // The newest slot: slot 0 unless a later slot has a strictly greater sequence (ties go to
    // the lower slot). Any thread.
    int newestSlot() const;
    // The capture thread's choice for its next frame: the slot after the newest (always slot 0
    // in single-frame capture), whose sequence is set to 0 (being filled).
    int claimSlotToFill(bool singleFrame);

    std::int32_t sequence(int slot) const { return slots_[slot].sequence.load(); }
    // Publishes a slot's frame; call while holding its lock, after its data is written.
    void setSequence(int slot, std::int32_t sequence) { slots_[slot].sequence.store(sequence); }
    void clearSequences();
    // True when some slot holds a frame newer than `sequence`. Any thread.
    bool hasFrameAfter(std::int32_t sequence) const;

    // The capture thread's access to a slot's data: hold the lock while writing it.
    std::unique_lock<std::mutex> lockSlot(int slot) const {
        return std::unique_lock<std::mutex>(slots_[slot].lock);
    }
    std::uint8_t *slotData(int slot) { return slots_[slot].buffer.data(); }

    // Copies up to `bytes` bytes of a slot (never more than the slot holds) into destination,
    // under the slot's lock. Returns the sequence of what was copied, or -1 when no buffers are
    // allocated (nothing copied). Any thread.
    std::int32_t copyOut(int slot, void *destination, std::size_t bytes) const;

private:
    struct Slot {
        FrameBuffer buffer;
        std::atomic<std::int32_t> sequence{0};
        mutable std::mutex lock;
    };
    std::array<Slot, kSlots> slots_;
};

}  // namespace ostrel::device
