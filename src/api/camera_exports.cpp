// The exports that choose and name cameras, save still images and run the settings dialogs.
#include "OstrelSdk.h"
#include "api/export_guard.h"
#include "context/camera_context.h"

using ostrel::api::toResult;
using ostrel::api::toWindowHandle;
using ostrel::api::withContext;
using ostrel::context::CameraContext;

extern "C" {

int OSTREL_CALL Ostrel_SetDeviceNumber(CameraHandle handle, int index) noexcept {
    return withContext(handle, 0,
                       [&](CameraContext &c) { return toResult(c.setDeviceNumber(index)); });
}

int OSTREL_CALL Ostrel_EnumDevice(CameraHandle handle, char *names) noexcept {
    return withContext(handle, 0, [&](CameraContext &c) { return c.enumDevices(names); });
}

int OSTREL_CALL Ostrel_EnumDeviceW(CameraHandle handle, wchar_t *names) noexcept {
    return withContext(handle, 0, [&](CameraContext &c) { return c.enumDevicesWide(names); });
}

int OSTREL_CALL Ostrel_GetDeviceName(CameraHandle handle, int index, char *buffer,
                                     int size) noexcept {
    return withContext(
        handle, 0, [&](CameraContext &c) { return toResult(c.deviceName(index, buffer, size)); });
}

int OSTREL_CALL Ostrel_GetDeviceNameW(CameraHandle handle, int index, wchar_t *buffer,
                                      int size) noexcept {
    return withContext(handle, 0, [&](CameraContext &c) {
        return toResult(c.deviceNameWide(index, buffer, size));
    });
}

int OSTREL_CALL Ostrel_SaveImage(CameraHandle handle, const char *fileName, int fileType) noexcept {
    return withContext(handle, 0,
                       [&](CameraContext &c) { return toResult(c.saveImage(fileName, fileType)); });
}

int OSTREL_CALL Ostrel_SaveImageW(CameraHandle handle, const wchar_t *fileName,
                                  int fileType) noexcept {
    return withContext(
        handle, 0, [&](CameraContext &c) { return toResult(c.saveImageWide(fileName, fileType)); });
}

int OSTREL_CALL Ostrel_SetCameraDlg(CameraHandle handle, OstrelWindow parent) noexcept {
    return withContext(handle, 0, [&](CameraContext &c) {
        return toResult(c.cameraDialog(toWindowHandle(parent)));
    });
}

int OSTREL_CALL Ostrel_SetImageDlg(CameraHandle handle, OstrelWindow parent) noexcept {
    return withContext(handle, 0, [&](CameraContext &c) {
        return toResult(c.imageDialog(toWindowHandle(parent)));
    });
}

int OSTREL_CALL Ostrel_SetAnalogDlg(CameraHandle handle, OstrelWindow parent) noexcept {
    return withContext(handle, 0, [&](CameraContext &c) {
        return toResult(c.analogDialog(toWindowHandle(parent)));
    });
}

}  // extern "C"
