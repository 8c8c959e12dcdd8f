// The frame every exported function stands in: find the handle's context, run the call against
// it, and turn an unregistered handle or any escaping exception into the function's failure
// value, so that nothing is thrown across the C interface.
#pragma once

#include <cstdint>
#include <mutex>

#include "OstrelSdk.h"
#include "api/handle_registry.h"
#include "context/camera_context.h"
#include "platform/window_handle.h"

namespace ostrel::api {

// Runs body(context) for a registered handle, holding the context's control lock so that calls
// from several threads on one handle run one after the other, and keeping the context alive
// until the body has returned (a release on another thread waits for it). An unregistered
// handle, or an entry without a context, gives `failure` with no other effect; so does an
// exception from the body.
template <typename Result, typename Body>
Result withContext(CameraHandle handle, Result failure, Body &&body) noexcept {
    try {
        const ContextRef context = processRegistry().find(handle);
        if (!context) {
            return failure;
        }
        const std::lock_guard<context::ControlLock> lock(context->controlLock());
        return body(*context);
    } catch (...) {
        return failure;
    }
}

// As withContext, without the control lock: for calls that only read what has a lock of its
// own (the error history), so they answer while another thread's call is running.
template <typename Result, typename Body>
Result withContextUnlocked(CameraHandle handle, Result failure, Body &&body) noexcept {
    try {
        const ContextRef context = processRegistry().find(handle);
        if (!context) {
            return failure;
        }
        return body(*context);
    } catch (...) {
        return failure;
    }
}

// The library's own form of an application window handle.
inline platform::WindowHandle toWindowHandle(OstrelWindow window) {
#if defined(_WIN32)
    return reinterpret_cast<platform::WindowHandle>(window);
#else
    return window;
#endif
}

inline int toResult(bool success) {
    return success ? 1 : 0;
}

// Writes an ok flag when the caller asked for one.
inline void setOk(int *ok, bool valid) {
    if (ok != nullptr) {
        *ok = valid ? 1 : 0;
    }
}

}  // namespace ostrel::api
