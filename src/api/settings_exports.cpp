// The context settings exports: colour mode, subsampling, wait time, mirrors, auto-iris,
// identification memory, registers, exposure time, camera info and the FilterId values.
#include "OstrelSdk.h"
#include "api/export_guard.h"
#include "api/filter_value_access.h"
#include "context/camera_context.h"

using ostrel::api::setOk;
using ostrel::api::toResult;
using ostrel::api::withContext;
using ostrel::context::CameraContext;

extern "C" {

int OSTREL_CALL Ostrel_SetColorMode(CameraHandle handle, int bits) noexcept {
    return withContext(handle, 0, [&](CameraContext &c) { return toResult(c.setColorMode(bits)); });
}

int OSTREL_CALL Ostrel_GetColorMode(CameraHandle handle) noexcept {
    return withContext(handle, -1, [](CameraContext &c) { return c.colorModeBits(); });
}

int OSTREL_CALL Ostrel_GetSubSample(CameraHandle handle) noexcept {
    // The subsampling is chosen through the camera settings dialog only; applications see 0.
    return withContext(handle, -1, [](CameraContext &) { return 0; });
}

int OSTREL_CALL Ostrel_SetWaitTime(CameraHandle handle, int milliseconds) noexcept {
    return withContext(handle, 0,
                       [&](CameraContext &c) { return toResult(c.setWaitTime(milliseconds)); });
}

int OSTREL_CALL Ostrel_GetWaitTime(CameraHandle handle) noexcept {
    return withContext(handle, -1, [](CameraContext &c) { return c.waitTime(); });
}

int OSTREL_CALL Ostrel_SetMirrorV(CameraHandle handle, int flag) noexcept {
    return withContext(handle, 0, [&](CameraContext &c) { return toResult(c.setMirrorV(flag)); });
}

int OSTREL_CALL Ostrel_GetMirrorV(CameraHandle handle) noexcept {
    return withContext(handle, 0, [](CameraContext &c) { return c.mirrorV(); });
}

int OSTREL_CALL Ostrel_SetMirrorH(CameraHandle handle, int flag) noexcept {
    return withContext(handle, 0, [&](CameraContext &c) { return toResult(c.setMirrorH(flag)); });
}

int OSTREL_CALL Ostrel_GetMirrorH(CameraHandle handle) noexcept {
    return withContext(handle, 0, [](CameraContext &c) { return c.mirrorH(); });
}

int OSTREL_CALL Ostrel_SetAutoIris(CameraHandle handle, int mode) noexcept {
    return withContext(handle, 0, [&](CameraContext &c) { return toResult(c.setAutoIris(mode)); });
}

int OSTREL_CALL Ostrel_GetAutoIris(CameraHandle handle, int *ok) noexcept {
    return withContext(handle, 0, [&](CameraContext &c) {
        setOk(ok, true);
        return c.autoIris();
    });
}

int OSTREL_CALL Ostrel_WriteSromID(CameraHandle handle, int index, int value) noexcept {
    return withContext(handle, 0,
                       [&](CameraContext &c) { return toResult(c.writeSromId(index, value)); });
}

int OSTREL_CALL Ostrel_ReadSromID(CameraHandle handle, int index, int *ok) noexcept {
    return withContext(handle, 0, [&](CameraContext &c) {
        const auto byte = c.readSromId(index);
        setOk(ok, byte.has_value());
        return byte.value_or(0);
    });
}

int OSTREL_CALL Ostrel_WriteRegister(CameraHandle handle, int reg, int value) noexcept {
    return withContext(handle, 0,
                       [&](CameraContext &c) { return toResult(c.writeRegister(reg, value)); });
}

int OSTREL_CALL Ostrel_ReadRegister(CameraHandle handle, int /*reg*/, int *value) noexcept {
    return withContext(handle, 0, [&](CameraContext &c) {
        if (value != nullptr) {
            *value = 0;
        }
        c.readRegister();
        return 0;
    });
}

int OSTREL_CALL Ostrel_GetRealExposureTime(CameraHandle handle, int *ok) noexcept {
    return withContext(handle, 0, [&](CameraContext &c) {
        const int micros = c.updateRealExposureTime();
        setOk(ok, true);
        return micros;
    });
}

int OSTREL_CALL Ostrel_GetCameraInfo(CameraHandle handle, CameraInfo *info) noexcept {
    return withContext(handle, 0, [&](CameraContext &c) { return toResult(c.cameraInfo(info)); });
}

int OSTREL_CALL Ostrel_SetFilterValue(CameraHandle handle, int filterId, int value) noexcept {
    return ostrel::api::setFilterValue(handle, filterId, value);
}

int OSTREL_CALL Ostrel_GetFilterValue(CameraHandle handle, int filterId, int *ok) noexcept {
    return ostrel::api::getFilterValue(handle, filterId, ok);
}

}  // extern "C"
