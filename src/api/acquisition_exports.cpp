// The acquisition exports: preview, streaming into the application's buffer, snapshots, frame
// copies, recording, the image size and the preview window's placement.
#include "OstrelSdk.h"
#include "api/export_guard.h"
#include "context/camera_context.h"

using ostrel::api::toResult;
using ostrel::api::toWindowHandle;
using ostrel::api::withContext;
using ostrel::context::CameraContext;
using ostrel::context::PreviewPlacement;

extern "C" {

int OSTREL_CALL Ostrel_Preview(CameraHandle handle) noexcept {
    return withContext(handle, 0, [](CameraContext &c) { return toResult(c.preview()); });
}

int OSTREL_CALL Ostrel_CallBackPreview(CameraHandle handle, OstrelWindow callbackWindow,
                                       void *buffer, int size, int topRowFirst) noexcept {
    return withContext(handle, 0, [&](CameraContext &c) {
        return toResult(
            c.callBackPreview(toWindowHandle(callbackWindow), buffer, size, topRowFirst));
    });
}

int OSTREL_CALL Ostrel_StartPreview(CameraHandle handle) noexcept {
    return withContext(handle, 0, [](CameraContext &c) { return toResult(c.startPreview()); });
}

int OSTREL_CALL Ostrel_StopPreview(CameraHandle handle) noexcept {
    return withContext(handle, 0, [](CameraContext &c) { return toResult(c.stopPreview()); });
}

int OSTREL_CALL Ostrel_Close(CameraHandle handle) noexcept {
    return withContext(handle, 0, [](CameraContext &c) { return toResult(c.close()); });
}

int OSTREL_CALL Ostrel_SnapShot(CameraHandle handle, void *buffer, int size,
                                int topRowFirst) noexcept {
    return withContext(handle, 0, [&](CameraContext &c) {
        return toResult(c.snapShot(buffer, size, topRowFirst));
    });
}

int OSTREL_CALL Ostrel_Capture(CameraHandle handle) noexcept {
    return withContext(handle, 0, [](CameraContext &c) { return toResult(c.capture()); });
}

int OSTREL_CALL Ostrel_GetImage(CameraHandle handle, void *buffer, int size,
                                int topRowFirst) noexcept {
    return withContext(handle, 0, [&](CameraContext &c) {
        return toResult(c.getImage(buffer, size, topRowFirst));
    });
}

int OSTREL_CALL Ostrel_Record(CameraHandle handle, const char *fileName, int durationMs,
                              int display) noexcept {
    return withContext(handle, 0, [&](CameraContext &c) {
        return toResult(c.record(fileName, durationMs, display));
    });
}

int OSTREL_CALL Ostrel_RecordW(CameraHandle handle, const wchar_t *fileName, int durationMs,
                               int display) noexcept {
    return withContext(handle, 0, [&](CameraContext &c) {
        return toResult(c.recordWide(fileName, durationMs, display));
    });
}

int OSTREL_CALL Ostrel_Width(CameraHandle handle) noexcept {
    return withContext(handle, 0, [](CameraContext &c) { return c.imageWidth(); });
}

int OSTREL_CALL Ostrel_Height(CameraHandle handle) noexcept {
    return withContext(handle, 0, [](CameraContext &c) { return c.imageHeight(); });
}

int OSTREL_CALL Ostrel_GetStatus(CameraHandle handle, int /*ignored*/) noexcept {
    return withContext(handle, 0, [](CameraContext &) { return 0; });
}

int OSTREL_CALL Ostrel_SetPreviewWindow(CameraHandle handle, OstrelWindow parent, int x, int y,
                                        int width, int height) noexcept {
    return withContext(handle, 0, [&](CameraContext &c) {
        return toResult(
            c.setPreviewWindow(toWindowHandle(parent), PreviewPlacement{x, y, width, height}));
    });
}

}  // extern "C"
