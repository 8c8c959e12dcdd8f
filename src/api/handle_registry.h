// HandleRegistry: the process-wide ring of (handle, context) entries behind the exported
// functions. A handle is a 32-bit key, never a pointer. Every lookup moves the ring's head to the
// entry it found, so the newest and the most recently used contexts are found first.
//
// Threads: the exported functions may be called from any application thread; a small lock keeps
// the ring whole. A lookup hands out a ContextRef that keeps the context alive until the call
// that holds it returns, so a release on another thread never frees a context under a running
// call. The library's own threads never use the registry.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "OstrelSdk.h"

namespace ostrel::context {
class CameraContext;
}

namespace ostrel::api {

// One registered context and the calls running in it. Shared by the registry entry and the
// ContextRefs handed out, so it outlives whichever of them goes last.
class ContextSlot {
public:
    explicit ContextSlot(std::unique_ptr<context::CameraContext> context);
    ~ContextSlot();
    ContextSlot(const ContextSlot &) = delete;
    ContextSlot &operator=(const ContextSlot &) = delete;

    context::CameraContext *context() const { return context_.get(); }
    void enterCall();
    void leaveCall();
    // Waits until no call runs in the context, then destroys it (on the calling thread).
    void destroyWhenIdle();
    // Lets the context go without destroying it (the library is unloading).
    void abandon();

private:
    std::unique_ptr<context::CameraContext> context_;
    std::mutex mutex_;
    std::condition_variable idle_;
    int calls_ = 0;
};

// What a lookup returns: the context of a handle, kept alive while the ref exists. Empty when
// the handle is not registered or its entry has no context. Held for the length of one call.
class ContextRef {
public:
    ContextRef() = default;
    explicit ContextRef(std::shared_ptr<ContextSlot> slot);
    ~ContextRef();
    ContextRef(ContextRef &&other) noexcept = default;
    ContextRef &operator=(ContextRef &&other) noexcept;
    ContextRef(const ContextRef &) = delete;
    ContextRef &operator=(const ContextRef &) = delete;

    context::CameraContext *get() const { return slot_ ? slot_->context() : nullptr; }
    context::CameraContext &operator*() const { return *get(); }
    context::CameraContext *operator->() const { return get(); }
    explicit operator bool() const { return get() != nullptr; }

private:
    std::shared_ptr<ContextSlot> slot_;
};

class HandleRegistry {
public:
    // Where new handle values come from: a pseudo-random number (0..32767) and the millisecond
    // tick count. Tests replace them to force collisions.
    struct HandleSources {
        std::function<std::uint32_t()> random;
        std::function<std::uint32_t()> tickCount;
    };
    // The C library's generator (never seeded) and the system tick count.
    static HandleSources systemSources();

    HandleRegistry();
    explicit HandleRegistry(HandleSources sources);
    // Frees the entries. Contexts still registered are left alive on purpose: their threads may
    // still run, and stopping them while the library unloads could deadlock.
    ~HandleRegistry();
    HandleRegistry(const HandleRegistry &) = delete;
    HandleRegistry &operator=(const HandleRegistry &) = delete;

    // The value for a new handle: random + tick count + number of entries (32-bit wrap).
    CameraHandle proposeHandle();

    // Adds an entry as the new head and returns its handle: the proposal, moved on (by one at a
    // time) past 0 and past every value already registered, so handles stay unique and non-zero.
    // The context may be null. Throws only std::bad_alloc, leaving the registry unchanged.
    CameraHandle insert(CameraHandle proposed, std::unique_ptr<context::CameraContext> context);

    // The context of a handle, kept alive while the returned ref exists; empty when the handle
    // is not registered or its entry has no context. Leaves the head on the entry found, or, for
    // an unknown handle, on the entry before the one the search started from.
    ContextRef find(CameraHandle handle);

    // Removes the handle's entry first, so that lookups from then on fail, then waits until
    // every call still running in its context has returned and destroys the context on the
    // calling thread (outside the lock: it stops threads and saves settings). False when the
    // handle is not registered.
    bool release(CameraHandle handle);

    std::int32_t count() const;
    // The head's handle, none when empty.
    std::optional<CameraHandle> headHandle() const;
    // The handles from the head following next links, and following previous links.
    std::vector<CameraHandle> handlesForward() const;
    std::vector<CameraHandle> handlesBackward() const;

private:
    struct Entry;

    Entry *lookupLocked(CameraHandle handle);
    bool containsLocked(CameraHandle handle) const;
    void removeHeadLocked();

    HandleSources sources_;
    mutable std::mutex mutex_;
    Entry *head_ = nullptr;
    std::int32_t count_ = 0;
};

// The registry of this process: made empty when first used, freed when the library unloads.
HandleRegistry &processRegistry();

}  // namespace ostrel::api
