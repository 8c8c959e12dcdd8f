// The library frame: opening and closing contexts, the error history and the version.
#include <memory>
#include <mutex>
#include <new>

#include "OstrelSdk.h"
#include "api/export_guard.h"
#include "api/handle_registry.h"
#include "context/camera_context.h"
#include "platform/drive_source_setup.h"

using ostrel::api::processRegistry;
using ostrel::api::toWindowHandle;
using ostrel::api::withContext;
using ostrel::context::CameraContext;
using ostrel::context::ErrorCode;

extern "C" {

int OSTREL_CALL Ostrel_GetDllVersion(void) noexcept {
    return OSTREL_DLL_VERSION;
}

CameraHandle OSTREL_CALL Ostrel_Initialize(OstrelWindow window) noexcept {
    try {
        // With OSTREL_EMULATED_CAMERAS set, the emulated cameras must be in place before the
        // first context looks for cameras; later calls do nothing.
        ostrel::platform::prepareDriveSources();
        ostrel::api::HandleRegistry &registry = processRegistry();
        // The handle value is worked out before anything is allocated.
        const CameraHandle proposed = registry.proposeHandle();
        std::unique_ptr<CameraContext> made(new (std::nothrow) CameraContext());
        if (made == nullptr) {
            return 0;
        }
        const CameraHandle handle = registry.insert(proposed, std::move(made));
        if (const ostrel::api::ContextRef context = registry.find(handle)) {
            // Another thread that guesses the handle waits for the initialisation to finish.
            const std::lock_guard<ostrel::context::ControlLock> lock(context->controlLock());
            // A failed initialisation leaves its code in the history; the handle stands.
            try {
                (void)context->initialise(toWindowHandle(window));
            } catch (...) {
                context->recordError(ErrorCode::MemoryOrSize);
            }
        }
        return handle;
    } catch (...) {
        return 0;
    }
}

int OSTREL_CALL Ostrel_Release(CameraHandle handle) noexcept {
    try {
        ostrel::api::HandleRegistry &registry = processRegistry();
        if (!registry.release(handle)) {
            return 0;
        }
        // The worker threads end with the last context, on the application's thread (never in
        // the loader's unload notification, where a thread must not be joined).
        if (registry.count() == 0) {
            CameraContext::releaseSharedResources();
        }
        return 1;
    } catch (...) {
        return 0;
    }
}

int OSTREL_CALL Ostrel_GetLastError(CameraHandle handle) noexcept {
    return ostrel::api::withContextUnlocked(
        handle, 0, [](CameraContext &context) { return context.takeLastError(); });
}

}  // extern "C"
