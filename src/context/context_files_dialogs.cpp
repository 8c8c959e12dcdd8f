// The recording, still image and settings dialog operations of a camera context, as far as
// they run today: the state rules and the argument checks that come before the work itself.
#include <cstdint>

#include "context/camera_context.h"
#include "platform/text.h"

namespace ostrel::context {
namespace {

// Wide file names are converted into a buffer of this many bytes, terminator included.
constexpr std::size_t kNarrowNameCapacity = 1024;

}  // namespace

bool CameraContext::record(const char *fileName, std::int32_t /*durationMs*/,
                           std::int32_t /*display*/) {
    if (fileName == nullptr || fileName[0] == '\0') {
        recordError(ErrorCode::InvalidArgument);
        return false;
    }
    setDeliveryTarget(DeliveryTarget{});
    // With display, the preview window is created here as preview does (code 4).
    if (!startStreaming()) {
        close();
        return false;
    }
    // Device path: the AVI file and the recording thread, with the recording work.
    return false;
}

bool CameraContext::recordWide(const wchar_t *fileName, std::int32_t durationMs,
                               std::int32_t display) {
    if (fileName == nullptr) {
        return record(nullptr, durationMs, display);
    }
    char narrow[kNarrowNameCapacity];
    if (!platform::wideToNarrow(fileName, narrow, sizeof narrow)) {
        recordError(ErrorCode::SettingsStoreFailed);
        return false;
    }
    return record(narrow, durationMs, display);
}

bool CameraContext::saveImage(const char * /*fileName*/, std::int32_t /*fileType*/) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    // Device path: the output image of the colour mode goes to the still image writers (code 1
    // when there is none yet).
    return false;
}

bool CameraContext::saveImageWide(const wchar_t * /*fileName*/, std::int32_t /*fileType*/) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    // Device path: the name is converted (code 1 when it cannot be) and saved as saveImage does.
    return false;
}

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
