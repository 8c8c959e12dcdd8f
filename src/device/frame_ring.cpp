// The three-slot frame ring: slot choice, publication and guarded copies.
#include "device/frame_ring.h"

#include <algorithm>
#include <cstring>

namespace ostrel::device {

bool FrameRing::allocate(std::size_t bytes) {
    release();
    for (Slot &slot : slots_) {
        if (!slot.buffer.allocate(bytes)) {
            release();
            return false;
        }
    }
    return true;
}

void FrameRing::release() {
    for (Slot &slot : slots_) {
        std::lock_guard<std::mutex> guard(slot.lock);
        slot.buffer.release();
        slot.sequence.store(0);
    }
}

int FrameRing::newestSlot() const {
    int newest = 0;
    std::int32_t best = slots_[0].sequence.load();
    for (int i = 1; i < kSlots; ++i) {
        const std::int32_t s = slots_[i].sequence.load();
        if (s > best) {
            best = s;
            newest = i;
        }
    }
    return newest;
}

int FrameRing::claimSlotToFill(bool singleFrame) {
    const int slot = singleFrame ? 0 : (newestSlot() + 1) % kSlots;
    slots_[slot].sequence.store(0);
    return slot;
}

void FrameRing::clearSequences() {
    for (Slot &slot : slots_) {
        slot.sequence.store(0);
    }
}

bool FrameRing::hasFrameAfter(std::int32_t sequence) const {
    return std::any_of(slots_.begin(), slots_.end(),
                       [sequence](const Slot &slot) { return slot.sequence.load() > sequence; });
}

std::int32_t FrameRing::copyOut(int slot, void *destination, std::size_t bytes) const {
    const Slot &s = slots_[slot];
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.buffer.empty()) {
        return -1;
    }
    std::memcpy(destination, s.buffer.data(), std::min(bytes, s.buffer.size()));
    return s.sequence.load();
}

}  // namespace ostrel::device
