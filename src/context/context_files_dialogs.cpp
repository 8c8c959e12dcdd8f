// The settings dialog operations of a camera context, as far as they run today: the state rules
// and the argument checks that come before the work itself.
#include <cstdint>

#include "context/camera_context.h"

namespace ostrel::context {

bool CameraContext::cameraDialog(platform::WindowHandle /*parent*/) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    // Device path: the camera settings dialog around a stop and restart.
    return false;
}

bool CameraContext::imageDialog(platform::WindowHandle /*parent*/) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    // Device path: the image filter dialog on the settings block.
    return false;
}

bool CameraContext::analogDialog(platform::WindowHandle /*parent*/) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    // Device path: the analog dialog on the analog settings.
    return false;
}

}  // namespace ostrel::context
