// The handle registry: a circular doubly linked ring whose head follows the lookups.
#include "api/handle_registry.h"

#include <cstdlib>
#include <utility>

#include "context/camera_context.h"
#include "platform/clock.h"

namespace ostrel::api {

ContextSlot::ContextSlot(std::unique_ptr<context::CameraContext> context)
    : context_(std::move(context)) {}

ContextSlot::~ContextSlot() = default;

void ContextSlot::enterCall() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++calls_;
}

void ContextSlot::leaveCall() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (--calls_ == 0) {
        idle_.notify_all();
    }
}

void ContextSlot::destroyWhenIdle() {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        idle_.wait(lock, [this] { return calls_ == 0; });
    }
    // No new call can start: the entry is gone, so no lookup hands this slot out again.
    context_.reset();
}

void ContextSlot::abandon() {
    (void)context_.release();
}

ContextRef::ContextRef(std::shared_ptr<ContextSlot> slot) : slot_(std::move(slot)) {
    if (slot_) {
        slot_->enterCall();
    }
}

ContextRef::~ContextRef() {
    if (slot_) {
        slot_->leaveCall();
    }
}

ContextRef &ContextRef::operator=(ContextRef &&other) noexcept {
    if (this != &other) {
        if (slot_) {
            slot_->leaveCall();
        }
        slot_ = std::move(other.slot_);
    }
    return *this;
}

struct HandleRegistry::Entry {
    CameraHandle handle = 0;
    std::shared_ptr<ContextSlot> slot;
    Entry *previous = nullptr;
    Entry *next = nullptr;
};

HandleRegistry::HandleSources HandleRegistry::systemSources() {
    return HandleSources{
        [] { return static_cast<std::uint32_t>(std::rand()) & 0x7FFFu; },
        [] { return platform::tickCountMs(); },
    };
}

HandleRegistry::HandleRegistry() : HandleRegistry(systemSources()) {}

HandleRegistry::HandleRegistry(HandleSources sources) : sources_(std::move(sources)) {}

HandleRegistry::~HandleRegistry() {
    while (head_ != nullptr) {
        if (head_->slot) {
            head_->slot->abandon();
        }
        removeHeadLocked();
    }
}

CameraHandle HandleRegistry::proposeHandle() {
    const std::uint32_t random = sources_.random();
    const std::uint32_t ticks = sources_.tickCount();
    std::lock_guard<std::mutex> lock(mutex_);
    return random + ticks + static_cast<std::uint32_t>(count_);
}

CameraHandle HandleRegistry::insert(CameraHandle proposed,
                                    std::unique_ptr<context::CameraContext> context) {
    auto entry = std::make_unique<Entry>();
    if (context != nullptr) {
        entry->slot = std::make_shared<ContextSlot>(std::move(context));
    }
    std::lock_guard<std::mutex> lock(mutex_);
    CameraHandle handle = proposed;
    while (handle == 0 || containsLocked(handle)) {
        ++handle;
    }
    entry->handle = handle;
    Entry *added = entry.release();
    if (head_ == nullptr) {
        added->previous = added;
        added->next = added;
    } else {
        added->previous = head_->previous;
        added->next = head_;
        head_->previous->next = added;
        head_->previous = added;
    }
    head_ = added;
    ++count_;
    return handle;
}

ContextRef HandleRegistry::find(CameraHandle handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    Entry *entry = lookupLocked(handle);
    // The call is counted before the lock is left, so a release cannot slip in between.
    return entry != nullptr && entry->slot ? ContextRef(entry->slot) : ContextRef();
}

bool HandleRegistry::release(CameraHandle handle) {
    std::shared_ptr<ContextSlot> slot;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Entry *entry = lookupLocked(handle);
        if (entry == nullptr) {
            return false;
        }
        slot = std::move(entry->slot);
        removeHeadLocked();
    }
    if (slot) {
        slot->destroyWhenIdle();
    }
    return true;
}

std::int32_t HandleRegistry::count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return count_;
}

std::optional<CameraHandle> HandleRegistry::headHandle() const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (head_ == nullptr) {
        return std::nullopt;
    }
    return head_->handle;
}

std::vector<CameraHandle> HandleRegistry::handlesForward() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<CameraHandle> handles;
    for (const Entry *entry = head_; entry != nullptr;) {
        handles.push_back(entry->handle);
        entry = entry->next == head_ ? nullptr : entry->next;
    }
    return handles;
}

std::vector<CameraHandle> HandleRegistry::handlesBackward() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<CameraHandle> handles;
    for (const Entry *entry = head_; entry != nullptr;) {
        handles.push_back(entry->handle);
        entry = entry->previous == head_ ? nullptr : entry->previous;
    }
    return handles;
}

HandleRegistry::Entry *HandleRegistry::lookupLocked(CameraHandle handle) {
    if (head_ == nullptr) {
        return nullptr;
    }
    // The search walks once round the ring and stops at the entry that preceded the head.
    const CameraHandle stop = head_->previous->handle;
    if (head_->handle == handle) {
        return head_;
    }
    while (head_->handle != stop) {
        head_ = head_->next;
        if (head_->handle == handle) {
            return head_;
        }
    }
    return nullptr;
}

bool HandleRegistry::containsLocked(CameraHandle handle) const {
    for (const Entry *entry = head_; entry != nullptr;) {
        if (entry->handle == handle) {
            return true;
        }
        entry = entry->next == head_ ? nullptr : entry->next;
    }
    return false;
}

void HandleRegistry::removeHeadLocked() {
    if (head_ == nullptr) {
        return;
    }
    Entry *removed = head_;
    if (removed->next == removed) {
        head_ = nullptr;
    } else {
        removed->previous->next = removed->next;
        removed->next->previous = removed->previous;
        head_ = removed->next;
    }
    --count_;
    delete removed;
}

HandleRegistry &processRegistry() {
    static HandleRegistry registry;
    return registry;
}

}  // namespace ostrel::api
