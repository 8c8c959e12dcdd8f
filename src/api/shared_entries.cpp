// The two entry points that several export names share: one for the functions this camera does
// not support (13 names) and one for the settings it does not have (3 names). The names are
// aliases of the two entries (so code linked with the library's objects can call them), and the
// module-definition file of the Windows DLL exports the entries under those names.
#include "OstrelSdk.h"
#include "api/export_guard.h"
#include "context/camera_context.h"

using ostrel::api::withContext;
using ostrel::context::CameraContext;
using ostrel::context::ErrorCode;

extern "C" {

// Takes the handle and ignores whatever else the caller passed (the caller cleans the stack).
int OSTREL_CALL ostrelUnsupportedEntry(CameraHandle handle) noexcept {
    return withContext(handle, 0, [](CameraContext &c) {
        c.postError(ErrorCode::NotSupported);
        return 0;
    });
}

int OSTREL_CALL ostrelZeroingEntry(CameraHandle handle, int *value) noexcept {
    return withContext(handle, 0, [&](CameraContext &) {
        if (value != nullptr) {
            *value = 0;
        }
        return 0;
    });
}

// The aliases have the argument lists the header gives them, which differ from the shared
// entry's; every supported ABI passes the extra arguments where the entry never looks.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattribute-alias"
#define OSTREL_UNSUPPORTED __attribute__((alias("ostrelUnsupportedEntry")))
#define OSTREL_ZEROING __attribute__((alias("ostrelZeroingEntry")))

int Ostrel_Fps(CameraHandle) noexcept OSTREL_UNSUPPORTED;
int Ostrel_GetCameraType(CameraHandle) noexcept OSTREL_UNSUPPORTED;
int Ostrel_SetCameraType(CameraHandle, int) noexcept OSTREL_UNSUPPORTED;
int Ostrel_SetCaptureWindow(CameraHandle, int, int, int, int) noexcept OSTREL_UNSUPPORTED;
int Ostrel_SetCaptureWindowEx(CameraHandle, int, int, int, int, int) noexcept OSTREL_UNSUPPORTED;
int Ostrel_GetCaptureWindowEx(CameraHandle, int *, int *, int *, int *,
                              int *) noexcept OSTREL_UNSUPPORTED;
int Ostrel_GetIOPort(CameraHandle, int *) noexcept OSTREL_UNSUPPORTED;
int Ostrel_SetIOPort(CameraHandle, int) noexcept OSTREL_UNSUPPORTED;
int Ostrel_SetCrossbar(CameraHandle, int) noexcept OSTREL_UNSUPPORTED;
int Ostrel_SetHalfClock(CameraHandle, int) noexcept OSTREL_UNSUPPORTED;
int Ostrel_SetSamplingRate(CameraHandle, int) noexcept OSTREL_UNSUPPORTED;
int Ostrel_SetSubSample(CameraHandle, int) noexcept OSTREL_UNSUPPORTED;
int Ostrel_Trigger(CameraHandle) noexcept OSTREL_UNSUPPORTED;

int Ostrel_GetHalfClock(CameraHandle, int *) noexcept OSTREL_ZEROING;
int Ostrel_GetSamplingRate(CameraHandle, int *) noexcept OSTREL_ZEROING;
int Ostrel_GetVideoFormat(CameraHandle, int *) noexcept OSTREL_ZEROING;

#pragma GCC diagnostic pop

}  // extern "C"
