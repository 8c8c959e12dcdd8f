// The library's error codes: what a context records in its history and posts to the application.
// The numbers are part of the C interface (OSTREL_ERROR_* in the public header).
#pragma once

#include <cstdint>

namespace ostrel::context {

enum class ErrorCode : std::int32_t {
    AutoIrisIdle = 0,          // a frame passed the automatic exposure with auto-iris off
    NoCamera = 1,              // no camera device, or not possible in the current state
    CameraNotPresent = 2,      // the selected or named camera is absent
    ThreadStartFailed = 3,     // a capture or recording thread could not be started
    PreviewWindowFailed = 4,   // the preview window or its drawing context could not be made
    MemoryOrSize = 5,          // allocation failed, or a buffer or record is too small
    CameraCommandFailed = 6,   // the camera refused a start, stop or register write
    GeometryInvalid = 7,       // origin, size or subsampling out of bounds
    FrameTransferFailed = 8,   // a frame could not be read
    InvalidArgument = 9,       // an argument is out of range
    NotSupported = 11,         // the function is not supported by this camera
    SettingsStoreFailed = 12,  // settings key or output file could not be opened or created
    CaptureFailed = 13,        // the device reports its continuous capture as failed
};

// The message numbers of the notifications posted to the application.
inline constexpr std::uint32_t kFrameNotification = 0x8002;
inline constexpr std::uint32_t kErrorNotification = 0x8003;

}  // namespace ostrel::context
