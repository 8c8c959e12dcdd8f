// The settings dialog operations of a camera context. No dialog can be shown yet on either
// system: after the state check each one reports code 11 (not supported) and fails, so an
// application can tell "no dialog here" from "no camera".
#include <cstdint>

#include "context/camera_context.h"

namespace ostrel::context {

bool CameraContext::cameraDialog(platform::WindowHandle /*parent*/) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    recordError(ErrorCode::NotSupported);
    return false;
}

bool CameraContext::imageDialog(platform::WindowHandle /*parent*/) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    recordError(ErrorCode::NotSupported);
    return false;
}

bool CameraContext::analogDialog(platform::WindowHandle /*parent*/) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    recordError(ErrorCode::NotSupported);
    return false;
}

}  // namespace ostrel::context
