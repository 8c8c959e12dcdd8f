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

namespace {

// The application gets the history's codes and the notification messages as they are, so every
// internal number must be the public header's. A code added to ErrorCode without its public name
// is caught by the switch (-Wswitch), a number that differs by the checks below.
constexpr int publicCode(ErrorCode code) {
    switch (code) {
        case ErrorCode::AutoIrisIdle:
            return OSTREL_ERROR_AUTO_IRIS_IDLE;
        case ErrorCode::NoCamera:
            return OSTREL_ERROR_NO_CAMERA;
        case ErrorCode::CameraNotPresent:
            return OSTREL_ERROR_CAMERA_NOT_PRESENT;
        case ErrorCode::ThreadStartFailed:
            return OSTREL_ERROR_THREAD_START;
        case ErrorCode::PreviewWindowFailed:
            return OSTREL_ERROR_PREVIEW_WINDOW;
        case ErrorCode::MemoryOrSize:
            return OSTREL_ERROR_MEMORY_OR_SIZE;
        case ErrorCode::CameraCommandFailed:
            return OSTREL_ERROR_CAMERA_COMMAND;
        case ErrorCode::GeometryInvalid:
            return OSTREL_ERROR_GEOMETRY;
        case ErrorCode::FrameTransferFailed:
            return OSTREL_ERROR_FRAME_TRANSFER;
        case ErrorCode::InvalidArgument:
            return OSTREL_ERROR_INVALID_ARGUMENT;
        case ErrorCode::NotSupported:
            return OSTREL_ERROR_NOT_SUPPORTED;
        case ErrorCode::SettingsStoreFailed:
            return OSTREL_ERROR_SETTINGS_STORE;
        case ErrorCode::CaptureFailed:
            return OSTREL_ERROR_CAPTURE_FAILED;
    }
    return -1;  // a number no ErrorCode has
}

// Every public number from 0 to the last is the internal code of the same number, except the
// reserved one, which no internal code may take.
constexpr bool codesMatchThePublicHeader() {
    for (int value = OSTREL_ERROR_AUTO_IRIS_IDLE; value <= OSTREL_ERROR_CAPTURE_FAILED; ++value) {
        const int expected = value == OSTREL_ERROR_RESERVED_10 ? -1 : value;
        if (publicCode(static_cast<ErrorCode>(value)) != expected) {
            return false;
        }
    }
    return true;
}

static_assert(codesMatchThePublicHeader(), "ErrorCode differs from the public OSTREL_ERROR_*");
static_assert(ostrel::context::kFrameNotification == OSTREL_MSG_FRAME);
static_assert(ostrel::context::kErrorNotification == OSTREL_MSG_ERROR);

}  // namespace

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
