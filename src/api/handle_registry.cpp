// The handle registry: a circular doubly linked ring whose head follows the lookups.
#include "api/handle_registry.h"

#include <cstdlib>
#include <utility>

#include "context/camera_context.h"
#include "platform/clock.h"

namespace ostrel::api {

struct HandleRegistry::Entry {
    CameraHandle handle = 0;
    std::unique_ptr<context::CameraContext> context;
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
        (void)head_->context.release();
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
    std::lock_guard<std::mutex> lock(mutex_);
    CameraHandle handle = proposed;
    while (handle == 0 || containsLocked(handle)) {
        ++handle;
    }
    entry->handle = handle;
    entry->context = std::move(context);
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

context::CameraContext *HandleRegistry::find(CameraHandle handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    Entry *entry = lookupLocked(handle);
    return entry != nullptr ? entry->context.get() : nullptr;
}

bool HandleRegistry::release(CameraHandle handle) {
    std::unique_ptr<context::CameraContext> context;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Entry *entry = lookupLocked(handle);
        if (entry == nullptr) {
            return false;
        }
        context = std::move(entry->context);
    }
    context.reset();
    std::lock_guard<std::mutex> lock(mutex_);
    if (lookupLocked(handle) != nullptr) {
        removeHeadLocked();
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
