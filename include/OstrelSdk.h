/*
 * OstrelSdk.h: the C interface of the Ostrel 7100VRX camera SDK
 * (OstrelSdk_USB3_7100VRX.dll on Windows, libOstrelSdk_USB3_7100VRX.so on Linux).
 *
 * Usable from C99 and C++. Every function uses the C calling convention. On 32-bit Windows every
 * argument and every result is 32 bits wide; on 64-bit systems pointers have their natural width
 * and everything else stays 32 bits.
 *
 * How it fits together
 * --------------------
 * Ostrel_Initialize opens a camera context and returns its handle, a 32-bit key (never a
 * pointer; 0 means no handle). Every other function except Ostrel_GetDllVersion takes that handle
 * first. Ostrel_Release closes the context.
 *
 * Results: unless a function says otherwise, 1 means success and 0 failure; getters return the
 * value. A handle that is not registered (never issued, or already released) gives the
 * function's failure value (0, or -1 for Ostrel_GetColorMode, Ostrel_GetSubSample and
 * Ostrel_GetWaitTime) and has no other effect: out arguments are left untouched, nothing is
 * recorded and nothing is posted. "ok" out arguments receive 1 when the returned value is valid
 * and 0 when it is not; a null ok pointer is allowed.
 *
 * Errors: a failing call records an error code (OSTREL_ERROR_*) in the context's error history
 * (the 20 newest codes; Ostrel_GetLastError takes them out newest first) and posts the error
 * notification OSTREL_MSG_ERROR (wParam 0, lParam the code) to the notification window given to
 * Ostrel_Initialize, when there is one. A few failures are "posted only": the message is posted
 * (to the calling thread's own queue when the notification window is null) and the history is
 * left alone. A failing operation can record several codes: the innermost step's code first and
 * the caller's code after it, so Ostrel_GetLastError returns the caller's code first.
 *
 * Threads: the functions may be called from any thread. The calls on one handle run one at a
 * time: a call waits while a call of another thread on the same handle runs (Ostrel_GetLastError
 * excepted: it answers at once). Ostrel_Release may be called while other threads are inside
 * calls on the handle: from the moment it begins, new calls on the handle fail with their failure
 * value, and the context is destroyed only after the calls already running have returned.
 * Notifications are always posted, never sent, so no library thread ever waits for the
 * application's message loop. A
 * notification raised by a call arrives at the notification window's queue; one raised by the
 * library's capture or recording thread (codes 0, 5, 8, 9, 13 while streaming) is posted from that
 * thread, so with a null notification window it lands in that thread's own queue and is lost:
 * give Ostrel_Initialize a window (Linux: a message queue) to see them.
 *
 * Windows: windows are HWND values and notifications are window messages (PostMessageA).
 * Linux: there is no window system; the library owns message queues. Create one with
 * Ostrel_CreateMessageQueue, pass its handle wherever a window is expected, and wait on it with
 * Ostrel_WaitMessage. A null window means the calling thread's own queue.
 */
#ifndef OSTREL_SDK_H
#define OSTREL_SDK_H

#include <stddef.h>
#include <stdint.h>

/* ---- Calling convention, export marking and language glue ------------------------------- */

#if defined(_WIN32)
#define OSTREL_CALL __cdecl
#else
#define OSTREL_CALL
#endif

/* Windows exports come from the library's module-definition file; on Linux the library is built
 * with hidden visibility and marks exactly these functions for export. */
#if !defined(_WIN32) && defined(OSTREL_BUILDING_SDK) && defined(__GNUC__)
#define OSTREL_API __attribute__((visibility("default")))
#else
#define OSTREL_API
#endif

#if defined(__cplusplus) && __cplusplus >= 201103L
#define OSTREL_NOEXCEPT noexcept
#else
#define OSTREL_NOEXCEPT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Basic types ------------------------------------------------------------------------ */

/* The key of a camera context. Opaque; 0 means no handle. */
typedef uint32_t CameraHandle;

/* A window: where notifications go and what dialogs and preview windows hang from.
 * Windows: an HWND. If <windows.h> has not been included, the same type is named here without
 * it (struct HWND__ *, what STRICT <windows.h> calls HWND), so either include order works; with
 * NO_STRICT, include <windows.h> first.
 * Linux: the handle of a library message queue (Ostrel_CreateMessageQueue), or 0. */
#if defined(_WIN32)
#if defined(_WINDEF_) || defined(_WINDEF_H)
typedef HWND OstrelWindow;
#else
typedef struct HWND__ *OstrelWindow;
#endif
#else
typedef uintptr_t OstrelWindow;
#endif

/* ---- Notification messages --------------------------------------------------------------- */

/* Frame notification, posted to the callback window of Ostrel_CallBackPreview from the capture
 * thread. A delivered frame: wParam = address of the context's FrameInfo (valid until the next
 * frame), lParam = 0. A failure: wParam = 0, lParam = OSTREL_ERROR_MEMORY_OR_SIZE (buffer too
 * small; that frame is not delivered), OSTREL_ERROR_FRAME_TRANSFER (a frame could not be read,
 * or the camera did not become ready within the transfer time-out: one notification for each
 * such wait, so a stalled camera is told apart from a dark scene; streaming goes on) or
 * OSTREL_ERROR_CAPTURE_FAILED (the camera no longer answers, for instance it was unplugged: the
 * stream has ended and the context is idle again). Each failure is also recorded in the error
 * history and posted as OSTREL_MSG_ERROR to the notification window. */
#define OSTREL_MSG_FRAME 0x8002

/* Error notification: wParam = 0, lParam = the error code. */
#define OSTREL_MSG_ERROR 0x8003

/* ---- Error codes (Ostrel_GetLastError, lParam of the notifications) ------------------------ */

enum {
    /* Recorded once per processed frame while the auto-iris mode is off (not a failure). */
    OSTREL_ERROR_AUTO_IRIS_IDLE = 0,
    /* No camera device in the context, or the operation is not possible in the current state. */
    OSTREL_ERROR_NO_CAMERA = 1,
    /* The selected or named camera is not present. */
    OSTREL_ERROR_CAMERA_NOT_PRESENT = 2,
    /* A capture or recording thread could not be started. */
    OSTREL_ERROR_THREAD_START = 3,
    /* The preview window could not be created. */
    OSTREL_ERROR_PREVIEW_WINDOW = 4,
    /* Out of memory, or a buffer or record too small. */
    OSTREL_ERROR_MEMORY_OR_SIZE = 5,
    /* The camera refused a command (start, stop, register write). */
    OSTREL_ERROR_CAMERA_COMMAND = 6,
    /* The image geometry (origin, size, subsampling) is not valid. */
    OSTREL_ERROR_GEOMETRY = 7,
    /* A frame could not be read from the camera. */
    OSTREL_ERROR_FRAME_TRANSFER = 8,
    /* An argument is out of range. */
    OSTREL_ERROR_INVALID_ARGUMENT = 9,
    /* Never produced; the number is kept free. */
    OSTREL_ERROR_RESERVED_10 = 10,
    /* The function is not supported by this camera. */
    OSTREL_ERROR_NOT_SUPPORTED = 11,
    /* The settings store or an output file could not be opened, created or named. */
    OSTREL_ERROR_SETTINGS_STORE = 12,
    /* The camera reported its continuous capture as failed. */
    OSTREL_ERROR_CAPTURE_FAILED = 13
};

/* ---- Colour modes (bits per pixel; Ostrel_SetColorMode, FrameInfo.bitsPerPixel) ------------ */

enum {
    OSTREL_COLOR_MONO8 = 8,   /* one grey byte */
    OSTREL_COLOR_MONO16 = 16, /* one little-endian 16-bit grey sample, 10 significant bits */
    OSTREL_COLOR_BGR24 = 24,  /* blue, green, red bytes */
    OSTREL_COLOR_BGR32 = 32,  /* blue, green, red bytes and a fourth byte (0) */
    OSTREL_COLOR_BGR48 = 48,  /* blue, green, red 16-bit samples, 10 significant bits */
    OSTREL_COLOR_BGR64 = 64   /* blue, green, red and a fourth (0) 16-bit sample */
};

/* ---- Filter ids (Ostrel_SetFilterValue / Ostrel_GetFilterValue) --------------------------- */

/* Ranges are inclusive; a value outside its range fails with OSTREL_ERROR_INVALID_ARGUMENT and
 * nothing is stored. The named setters and getters below are the same calls with a fixed id. */
typedef enum FilterId {
    OSTREL_FILTER_BRIGHTNESS = 1,        /* -255..255, 0 = unchanged */
    OSTREL_FILTER_CONTRAST = 2,          /* -127..127, 0 = unchanged */
    OSTREL_FILTER_HUE = 3,               /* -360..360, 0 = unchanged */
    OSTREL_FILTER_SATURATION = 4,        /* -255..255, 0 = unchanged */
    OSTREL_FILTER_SHARPNESS = 5,         /* 0..30, 0 = off */
    OSTREL_FILTER_BAYER_GAIN_RGB = 6,    /* red bits 0..7, green bits 8..15, blue bits 16..23 */
    OSTREL_FILTER_BAYER_GAIN_RED = 7,    /* 0..800, colour gain of demosaicing */
    OSTREL_FILTER_BAYER_GAIN_GREEN = 8,  /* 0..800 */
    OSTREL_FILTER_BAYER_GAIN_BLUE = 9,   /* 0..800 */
    OSTREL_FILTER_BAYER_GAIN_AUTO = 10,  /* automatic colour gain: any value, stored as 0 or 1 */
    OSTREL_FILTER_GAMMA = 11,            /* 0..200, 100 = unchanged */
    OSTREL_FILTER_BAYER_MODE = 12,       /* 0..3, phase of the colour mosaic */
    OSTREL_FILTER_GLOBAL_GAIN = 13,      /* 0..1023, sent to the camera at once */
    OSTREL_FILTER_COLOR_GAIN_RED = 14,   /* not supported */
    OSTREL_FILTER_COLOR_GAIN_GREEN1 = 15, /* not supported */
    OSTREL_FILTER_COLOR_GAIN_GREEN2 = 16, /* not supported */
    OSTREL_FILTER_COLOR_GAIN_BLUE = 17,  /* not supported */
    OSTREL_FILTER_EXPOSURE_TIME = 18,    /* 1..4455 (exposure register: larger is shorter) */
    OSTREL_FILTER_GRAY_MODE = 19,        /* 0..2 */
    OSTREL_FILTER_GRAY_GAIN_R = 20,      /* 0..255 */
    OSTREL_FILTER_GRAY_GAIN_G1 = 21,     /* 0..255 */
    OSTREL_FILTER_GRAY_GAIN_G2 = 22,     /* 0..255 */
    OSTREL_FILTER_GRAY_GAIN_B = 23,      /* 0..255 */
    OSTREL_FILTER_GRAY_OFFSET_R = 24,    /* -255..255 */
    OSTREL_FILTER_GRAY_OFFSET_G1 = 25,   /* -255..255 */
    OSTREL_FILTER_GRAY_OFFSET_G2 = 26,   /* -255..255 */
    OSTREL_FILTER_GRAY_OFFSET_B = 27     /* -255..255 */
} FilterId;

/* ---- Still image file types (Ostrel_SaveImage) -------------------------------------------- */

typedef enum ImageFileType {
    OSTREL_FILE_BMP = 0,         /* Windows bitmap */
    OSTREL_FILE_RAW = 1,         /* the pixel buffer as it is: rows top first, padding included */
    OSTREL_FILE_JPEG_HIGH = 2,   /* JPEG, quality 100 */
    OSTREL_FILE_JPEG_MEDIUM = 3, /* JPEG, quality 70 */
    OSTREL_FILE_JPEG_LOW = 4,    /* JPEG, quality 20 */
    OSTREL_FILE_PNG = 5,
    OSTREL_FILE_TIFF = 6
} ImageFileType;

/* ---- Records ------------------------------------------------------------------------------ */

/* The record a frame notification points to. It lives in the context and is overwritten by
 * the next frame. 24 bytes on 32-bit systems, 32 bytes on 64-bit ones (size says which). */
typedef struct FrameInfo {
    int32_t size;         /* sizeof(FrameInfo) */
    int32_t width;        /* processed image width in pixels */
    int32_t height;       /* processed image height in pixels */
    int32_t bitsPerPixel; /* 8, 16, 24, 32, 48 or 64 */
    int32_t frameRate;    /* frames per second x 10, measured about once a second */
    void *buffer;         /* the buffer given to Ostrel_CallBackPreview, else null */
} FrameInfo;

/* Filled by Ostrel_GetCameraInfo; nine 32-bit fields, 36 bytes. */
#define OSTREL_CAMERA_INFO_SIZE 36
typedef struct CameraInfo {
    uint32_t size;         /* set by the caller: at least OSTREL_CAMERA_INFO_SIZE */
    int32_t sensorWidth;   /* 6576 */
    int32_t sensorHeight;  /* 4384 */
    int32_t reserved1;     /* 0 */
    int32_t maxGlobalGain; /* 1023 */
    int32_t reserved2;     /* 0 */
    int32_t reserved3;     /* 0 */
    int32_t reserved4;     /* 1 */
    int32_t maxExposure;   /* largest exposure value: 4455, or 2228 when the camera subsamples */
} CameraInfo;

/* Camera names (Ostrel_EnumDevice): at most OSTREL_MAX_DEVICES entries of
 * OSTREL_DEVICE_NAME_LENGTH characters each, e.g. "Ostrel7100VRX_01". */
#define OSTREL_MAX_DEVICES 10
#define OSTREL_DEVICE_NAME_LENGTH 256

/* The value of Ostrel_GetDllVersion. */
#define OSTREL_DLL_VERSION 0x01360519

/* ==== Library frame ========================================================================== */

/* Returns OSTREL_DLL_VERSION (0x01360519). Needs no handle; no other effect. Any thread. */
OSTREL_API int OSTREL_CALL Ostrel_GetDllVersion(void) OSTREL_NOEXCEPT;

/* Opens a camera context: constructs it, registers it under a new handle, and initialises it
 * (finds the cameras and selects camera 0, loads the stored settings and sends gain and
 * exposure to the camera). `window` receives the context's error notifications; it may be null.
 * Returns the new handle, never 0 and never one already in use; 0 only when no context could be
 * made. The handle is returned even when initialisation fails: the failure is then in the error
 * history (OSTREL_ERROR_MEMORY_OR_SIZE when the camera device or the images could not be made;
 * OSTREL_ERROR_SETTINGS_STORE when the stored settings could not be read, which also happens on
 * the first use by a user, when they are created; OSTREL_ERROR_GEOMETRY when the stored geometry
 * is invalid and the full sensor is used) and later calls that need the camera report
 * OSTREL_ERROR_NO_CAMERA. */
OSTREL_API CameraHandle OSTREL_CALL Ostrel_Initialize(OstrelWindow window) OSTREL_NOEXCEPT;

/* Closes a context: saves its analog, image filter and gray filter settings, closes the preview
 * window, stops streaming and recording (waiting for the threads) and frees everything; nothing
 * more is written into a callback buffer or posted to a callback window once it has returned.
 * Returns 1, or 0 for a handle that is not registered (so releasing twice gives 1, then 0). Calls
 * on the handle that other threads started before are waited for; calls that start after the
 * release began fail with their failure value. */
OSTREL_API int OSTREL_CALL Ostrel_Release(CameraHandle handle) OSTREL_NOEXCEPT;

/* Takes the newest code out of the context's error history (the 20 newest are kept; twenty calls
 * empty a full history). Returns the code, or 0 when the history is empty or the handle is not
 * registered; 0 is also OSTREL_ERROR_AUTO_IRIS_IDLE. */
OSTREL_API int OSTREL_CALL Ostrel_GetLastError(CameraHandle handle) OSTREL_NOEXCEPT;

/* ==== Acquisition ============================================================================ */

/* Starts streaming into a preview window the library creates (a child of the window given to
 * Ostrel_SetPreviewWindow, at its placement; on Linux the window is never shown). Returns 1 when
 * streaming started; 0 with no error when the context is already streaming or in single-frame
 * mode. Errors: OSTREL_ERROR_PREVIEW_WINDOW; the start's codes (NO_CAMERA, CAMERA_NOT_PRESENT,
 * GEOMETRY, MEMORY_OR_SIZE, THREAD_START, CAMERA_COMMAND) followed by OSTREL_ERROR_FRAME_TRANSFER.
 * While streaming, the capture thread records FRAME_TRANSFER (a frame not read, or a transfer
 * time-out), CAPTURE_FAILED and the auto-iris codes; their notifications are posted from that
 * thread. After CAPTURE_FAILED the stream has ended by itself and the context is idle: once the
 * camera is back, Ostrel_SetDeviceNumber and a new start resume. */
OSTREL_API int OSTREL_CALL Ostrel_Preview(CameraHandle handle) OSTREL_NOEXCEPT;

/* As Ostrel_Preview, and after each frame the output image is copied into `buffer` (when buffer
 * and size are both non-zero; rows top first when topRowFirst is non-zero, else bottom first as
 * in a bitmap, each row whole with its padding to a multiple of 4 bytes) and OSTREL_MSG_FRAME is
 * posted to `callbackWindow` from the capture thread. Results and errors as Ostrel_Preview; when
 * the context already streams or is in single-frame mode nothing changes (0, no error).
 *
 * The buffer's lifetime. Buffer, size, row order and callback window become the context's
 * delivery target, and stay it until one of these calls returns:
 *   - Ostrel_Close or Ostrel_Release: the target is cleared; a later Ostrel_StartPreview streams
 *     without delivery (frames still reach Ostrel_GetImage and the preview window);
 *   - Ostrel_Record / Ostrel_RecordW: the target is cleared, also when the recording joins a
 *     stream that delivers into the buffer: delivery ends there, the stream goes on;
 *   - Ostrel_Preview, or Ostrel_CallBackPreview again, that start a new stream: the target is
 *     replaced (Ostrel_Preview leaves none).
 * Ostrel_StopPreview keeps the target: nothing is written while stopped, and Ostrel_StartPreview
 * after the stop delivers into the same buffer again (so pause and resume that way). Keep the
 * buffer valid, and at least `size` bytes long, from this call until one of the calls above has
 * returned; from then on the library writes nothing more into it and posts nothing more to the
 * callback window. */
OSTREL_API int OSTREL_CALL Ostrel_CallBackPreview(CameraHandle handle, OstrelWindow callbackWindow,
                                                  void *buffer, int size,
                                                  int topRowFirst) OSTREL_NOEXCEPT;

/* Starts streaming without creating a window (an existing preview window keeps being drawn).
 * Returns 1 when streaming runs (also when it already did). Errors: OSTREL_ERROR_NO_CAMERA (also
 * in single-frame mode), CAMERA_NOT_PRESENT, GEOMETRY, MEMORY_OR_SIZE (from the preparation,
 * followed by NO_CAMERA), THREAD_START, CAMERA_COMMAND (the camera refused the start, or no
 * camera drive is open: none was found, or its drive could not be opened; nothing is left
 * running). */
OSTREL_API int OSTREL_CALL Ostrel_StartPreview(CameraHandle handle) OSTREL_NOEXCEPT;

/* Stops streaming and recording, waits for both threads, stops the camera and leaves
 * single-frame mode. The callback buffer and window are kept for the next Ostrel_StartPreview
 * (see Ostrel_CallBackPreview). Returns 1, or 0 with OSTREL_ERROR_NO_CAMERA or
 * OSTREL_ERROR_CAMERA_COMMAND (the camera refused to stop). */
OSTREL_API int OSTREL_CALL Ostrel_StopPreview(CameraHandle handle) OSTREL_NOEXCEPT;

/* Destroys the preview window, then stops as Ostrel_StopPreview does (recording the same codes),
 * and clears the callback buffer and window: once it has returned the buffer is the
 * application's again, and a later Ostrel_StartPreview delivers nowhere (see
 * Ostrel_CallBackPreview). Returns 1 whatever the stop reported; 0 only for a handle that is not
 * registered. The context stays usable. */
OSTREL_API int OSTREL_CALL Ostrel_Close(CameraHandle handle) OSTREL_NOEXCEPT;

/* Takes one frame on the calling thread and copies it into `buffer` (when buffer and size are
 * both non-zero; row order as Ostrel_CallBackPreview). Not while streaming. Returns 1, or 0.
 * Errors: OSTREL_ERROR_NO_CAMERA (no camera, streaming, or the preparation failed after its own
 * code), FRAME_TRANSFER, MEMORY_OR_SIZE twice when the buffer is smaller than the frame. */
OSTREL_API int OSTREL_CALL Ostrel_SnapShot(CameraHandle handle, void *buffer, int size,
                                           int topRowFirst) OSTREL_NOEXCEPT;

/* Enters single-frame mode: prepares once so that later snapshots skip the preparation.
 * Returns 1 (also when already in it), or 0 with OSTREL_ERROR_NO_CAMERA (no camera, streaming,
 * or the preparation failed after its own code). */
OSTREL_API int OSTREL_CALL Ostrel_Capture(CameraHandle handle) OSTREL_NOEXCEPT;

/* Copies the newest processed frame into `buffer` (row order as Ostrel_CallBackPreview).
 * Returns 1 and marks the frame as taken; 0 with no error when no new frame arrived since the
 * last copy. Errors: OSTREL_ERROR_NO_CAMERA; OSTREL_ERROR_MEMORY_OR_SIZE for a null buffer, a
 * buffer smaller than the frame or no frame yet made. */
OSTREL_API int OSTREL_CALL Ostrel_GetImage(CameraHandle handle, void *buffer, int size,
                                           int topRowFirst) OSTREL_NOEXCEPT;

/* Records the running stream (starting it when needed) into an uncompressed 24-bit AVI file for
 * `durationMs` milliseconds, counted from the first recorded frame, then streaming goes on; the
 * file's frame rate is the one measured over the recording. It first clears the callback buffer
 * and window: joining a stream of Ostrel_CallBackPreview ends the delivery into its buffer, and
 * nothing more is written there or posted to its window once this call has returned. With `display` non-zero a preview
 * window is created as by Ostrel_Preview. Returns 1 when the recording has started. Errors:
 * OSTREL_ERROR_INVALID_ARGUMENT (null or empty name), PREVIEW_WINDOW, the start's codes (see
 * Ostrel_StartPreview), SETTINGS_STORE (file not created), THREAD_START.
 * A recording also ends, its file finished with every frame written so far, when streaming is
 * stopped or closed, when the handle is released, when a new recording starts, and when the
 * next frame would take the file past 4 GiB (streaming goes on). A write the system refuses
 * (OSTREL_ERROR_SETTINGS_STORE) or a frame that cannot be converted for want of memory
 * (OSTREL_ERROR_MEMORY_OR_SIZE) ends it too; the recording thread records these codes. */
OSTREL_API int OSTREL_CALL Ostrel_Record(CameraHandle handle, const char *fileName,
                                         int durationMs, int display) OSTREL_NOEXCEPT;

/* As Ostrel_Record with a wide-character file name, converted to the system's narrow text
 * (Windows: the thread's ANSI code page; Linux: UTF-8; at most 1023 bytes). A name that cannot be
 * converted gives OSTREL_ERROR_SETTINGS_STORE. */
OSTREL_API int OSTREL_CALL Ostrel_RecordW(CameraHandle handle, const wchar_t *fileName,
                                          int durationMs, int display) OSTREL_NOEXCEPT;

/* The image width read from the sensor, before subsampling. 0 for an unregistered handle. */
OSTREL_API int OSTREL_CALL Ostrel_Width(CameraHandle handle) OSTREL_NOEXCEPT;

/* The image height read from the sensor, before subsampling. 0 for an unregistered handle. */
OSTREL_API int OSTREL_CALL Ostrel_Height(CameraHandle handle) OSTREL_NOEXCEPT;

/* Returns 0, always; `ignored` is not used. */
OSTREL_API int OSTREL_CALL Ostrel_GetStatus(CameraHandle handle, int ignored) OSTREL_NOEXCEPT;

/* Sets the parent window and placement of the preview window made by the next Ostrel_Preview,
 * Ostrel_CallBackPreview or recording with display. Returns 1, or 0 with
 * OSTREL_ERROR_NO_CAMERA. */
OSTREL_API int OSTREL_CALL Ostrel_SetPreviewWindow(CameraHandle handle, OstrelWindow parent,
                                                   int x, int y, int width,
                                                   int height) OSTREL_NOEXCEPT;

/* ==== Camera selection and names ============================================================= */

/* Selects camera `index` (from 0); only while no acquisition runs. Returns 1, or 0 with
 * OSTREL_ERROR_NO_CAMERA (no camera device, or the context is streaming, recording or in
 * single-frame mode: stop first; the running acquisition goes on untouched) or
 * OSTREL_ERROR_CAMERA_NOT_PRESENT (index outside the cameras found, or the camera cannot be
 * opened). */
OSTREL_API int OSTREL_CALL Ostrel_SetDeviceNumber(CameraHandle handle, int index) OSTREL_NOEXCEPT;

/* Writes the names of the cameras found ("Ostrel7100VRX_01", "Ostrel7100VRX_02", ...) into
 * `names`, OSTREL_MAX_DEVICES entries of OSTREL_DEVICE_NAME_LENGTH bytes (2560 bytes); unused
 * entries become empty strings. Returns the number of names written (0..10), or 0 with
 * OSTREL_ERROR_NO_CAMERA. */
OSTREL_API int OSTREL_CALL Ostrel_EnumDevice(CameraHandle handle, char *names) OSTREL_NOEXCEPT;

/* As Ostrel_EnumDevice with wide characters: 10 entries of 256 wchar_t each. */
OSTREL_API int OSTREL_CALL Ostrel_EnumDeviceW(CameraHandle handle, wchar_t *names) OSTREL_NOEXCEPT;

/* Writes the name of camera `index` (index 0 gives "Ostrel7100VRX_01") into `buffer` of `size`
 * bytes. Returns 1, or 0. Errors: OSTREL_ERROR_NO_CAMERA; OSTREL_ERROR_INVALID_ARGUMENT for a
 * size of 16 or less or an index outside the cameras found; OSTREL_ERROR_CAMERA_NOT_PRESENT. */
OSTREL_API int OSTREL_CALL Ostrel_GetDeviceName(CameraHandle handle, int index, char *buffer,
                                                int size) OSTREL_NOEXCEPT;

/* As Ostrel_GetDeviceName with wide characters; `size` counts wchar_t. A name that cannot be
 * converted gives OSTREL_ERROR_CAMERA_NOT_PRESENT. */
OSTREL_API int OSTREL_CALL Ostrel_GetDeviceNameW(CameraHandle handle, int index, wchar_t *buffer,
                                                 int size) OSTREL_NOEXCEPT;

/* ==== Still images =========================================================================== */

/* Writes the current output image to `fileName` in the format `fileType` (ImageFileType; the
 * extension plays no part). Returns 1 when the file was written, else 0. Errors:
 * OSTREL_ERROR_NO_CAMERA (no camera, or no image yet). A file that cannot be written, or an
 * unknown type, gives 0 without an error code. */
OSTREL_API int OSTREL_CALL Ostrel_SaveImage(CameraHandle handle, const char *fileName,
                                            int fileType) OSTREL_NOEXCEPT;

/* As Ostrel_SaveImage with a wide-character file name (converted as Ostrel_RecordW does); a
 * name that cannot be converted gives OSTREL_ERROR_NO_CAMERA. */
OSTREL_API int OSTREL_CALL Ostrel_SaveImageW(CameraHandle handle, const wchar_t *fileName,
                                             int fileType) OSTREL_NOEXCEPT;

/* ==== Settings dialogs ==========================================================================
 * Windows: each runs a modal dialog owned by `parent`, in Japanese when the system's default
 * language is Japanese (1041) and in English otherwise, and returns 1 once the dialog has ended,
 * whatever the user chose. Call them on the thread that owns `parent`; they return when the
 * dialog closes, and the application's windows keep being served meanwhile.
 * Linux: no window toolkit is bound, so no dialog can be shown: each returns 0 and records
 * OSTREL_ERROR_NOT_SUPPORTED.
 * Both: 0 with OSTREL_ERROR_NO_CAMERA when the context has no camera device. What each dialog is
 * for: */

/* Camera settings (geometry, subsampling, colour mode, wait time): stops streaming around the
 * dialog, saves the choice in the settings store and restarts streaming. */
OSTREL_API int OSTREL_CALL Ostrel_SetCameraDlg(CameraHandle handle,
                                               OstrelWindow parent) OSTREL_NOEXCEPT;

/* Image adjustments (and the gray filter page in the monochrome modes); changes show at once in
 * a running stream and are undone unless the dialog ends with OK. */
OSTREL_API int OSTREL_CALL Ostrel_SetImageDlg(CameraHandle handle,
                                              OstrelWindow parent) OSTREL_NOEXCEPT;

/* Analog settings (gain, exposure, mirrors, auto-iris); sent to the camera at once and undone
 * unless the dialog ends with OK. */
OSTREL_API int OSTREL_CALL Ostrel_SetAnalogDlg(CameraHandle handle,
                                               OstrelWindow parent) OSTREL_NOEXCEPT;

/* ==== Context settings ======================================================================= */

/* Sets the output format by bits per pixel (OSTREL_COLOR_*: 8, 16, 24, 32, 48, 64); it applies
 * from the next start. Needs no camera. Returns 1, or 0 with OSTREL_ERROR_INVALID_ARGUMENT. */
OSTREL_API int OSTREL_CALL Ostrel_SetColorMode(CameraHandle handle, int bits) OSTREL_NOEXCEPT;

/* The output format in bits per pixel; -1 for an unregistered handle (or a stored mode that is
 * not valid). */
OSTREL_API int OSTREL_CALL Ostrel_GetColorMode(CameraHandle handle) OSTREL_NOEXCEPT;

/* Returns 0 for any registered handle (subsampling is chosen in the camera settings dialog), -1
 * for an unregistered one. */
OSTREL_API int OSTREL_CALL Ostrel_GetSubSample(CameraHandle handle) OSTREL_NOEXCEPT;

/* Sets the pause at the top of every pass of the capture loop, in milliseconds (default 10).
 * Returns 1; 0 without an error code for a negative value. Needs no camera. */
OSTREL_API int OSTREL_CALL Ostrel_SetWaitTime(CameraHandle handle,
                                              int milliseconds) OSTREL_NOEXCEPT;

/* The wait time in milliseconds; -1 for an unregistered handle. */
OSTREL_API int OSTREL_CALL Ostrel_GetWaitTime(CameraHandle handle) OSTREL_NOEXCEPT;

/* Mirrors the picture top to bottom (flag non-zero) or not; every call also moves the Bayer
 * phase to match. Returns 1, or 0 with OSTREL_ERROR_NO_CAMERA posted only (not recorded). */
OSTREL_API int OSTREL_CALL Ostrel_SetMirrorV(CameraHandle handle, int flag) OSTREL_NOEXCEPT;

/* The vertical mirror flag (0 or 1); 0 with OSTREL_ERROR_NO_CAMERA posted only. */
OSTREL_API int OSTREL_CALL Ostrel_GetMirrorV(CameraHandle handle) OSTREL_NOEXCEPT;

/* Mirrors the picture left to right; as Ostrel_SetMirrorV, but OSTREL_ERROR_NO_CAMERA is
 * recorded. */
OSTREL_API int OSTREL_CALL Ostrel_SetMirrorH(CameraHandle handle, int flag) OSTREL_NOEXCEPT;

/* The horizontal mirror flag (0 or 1); 0 with OSTREL_ERROR_NO_CAMERA recorded. */
OSTREL_API int OSTREL_CALL Ostrel_GetMirrorH(CameraHandle handle) OSTREL_NOEXCEPT;

/* Sets the automatic exposure: 0 off, 1 regulate exposure, 2 regulate gain. Needs no camera.
 * Returns 1, or 0 with OSTREL_ERROR_INVALID_ARGUMENT posted only. */
OSTREL_API int OSTREL_CALL Ostrel_SetAutoIris(CameraHandle handle, int mode) OSTREL_NOEXCEPT;

/* The auto-iris mode; sets *ok to 1. */
OSTREL_API int OSTREL_CALL Ostrel_GetAutoIris(CameraHandle handle, int *ok) OSTREL_NOEXCEPT;

/* Writes byte `value` at `index` of the camera's identification memory. The 7100VRX has none:
 * returns 0 with OSTREL_ERROR_NO_CAMERA posted only. */
OSTREL_API int OSTREL_CALL Ostrel_WriteSromID(CameraHandle handle, int index,
                                              int value) OSTREL_NOEXCEPT;

/* Reads the byte at `index` of the identification memory and sets *ok. The 7100VRX has none:
 * returns 0, sets *ok to 0, OSTREL_ERROR_NO_CAMERA posted only. */
OSTREL_API int OSTREL_CALL Ostrel_ReadSromID(CameraHandle handle, int index,
                                             int *ok) OSTREL_NOEXCEPT;

/* Writes a camera register: only the low 8 bits of `reg` and of `value` are used. Returns 1, or
 * 0 with OSTREL_ERROR_NO_CAMERA or OSTREL_ERROR_CAMERA_COMMAND posted only. */
OSTREL_API int OSTREL_CALL Ostrel_WriteRegister(CameraHandle handle, int reg,
                                                int value) OSTREL_NOEXCEPT;

/* Not supported: sets *value to 0 (when not null), posts OSTREL_ERROR_NO_CAMERA without
 * recording it and returns 0. */
OSTREL_API int OSTREL_CALL Ostrel_ReadRegister(CameraHandle handle, int reg,
                                               int *value) OSTREL_NOEXCEPT;

/* The exposure time of the current exposure setting in whole microseconds (exposure 4455 gives
 * 44, exposure 1 gives 525477); sets *ok to 1. Needs no camera. */
OSTREL_API int OSTREL_CALL Ostrel_GetRealExposureTime(CameraHandle handle,
                                                      int *ok) OSTREL_NOEXCEPT;

/* Fills the fields of `info` after its size field, which the caller sets to at least
 * OSTREL_CAMERA_INFO_SIZE. Returns 1, or 0. Errors: OSTREL_ERROR_NO_CAMERA,
 * OSTREL_ERROR_INVALID_ARGUMENT (null record), OSTREL_ERROR_MEMORY_OR_SIZE (size too small). */
OSTREL_API int OSTREL_CALL Ostrel_GetCameraInfo(CameraHandle handle,
                                                CameraInfo *info) OSTREL_NOEXCEPT;

/* Sets an image adjustment or analog setting by FilterId. Image adjustments apply from the next
 * processed frame; global gain and exposure are sent to the camera at once. Returns 1, or 0.
 * Errors: OSTREL_ERROR_NO_CAMERA; OSTREL_ERROR_INVALID_ARGUMENT for a value out of range (nothing
 * stored), an unknown id or ids 14..17. */
OSTREL_API int OSTREL_CALL Ostrel_SetFilterValue(CameraHandle handle, int filterId,
                                                 int value) OSTREL_NOEXCEPT;

/* Reads a setting by FilterId; sets *ok to 1 and returns it (global gain and exposure: the value
 * last sent to the camera, 0 when none was; reading the exposure waits 120 ms). Errors, with *ok
 * set to 0 and result 0: OSTREL_ERROR_NO_CAMERA; OSTREL_ERROR_INVALID_ARGUMENT for an unknown id
 * or ids 14..17. */
OSTREL_API int OSTREL_CALL Ostrel_GetFilterValue(CameraHandle handle, int filterId,
                                                 int *ok) OSTREL_NOEXCEPT;

/* ==== Named filter values ====================================================================
 * Each setter is Ostrel_SetFilterValue(handle, id, value) and each getter
 * Ostrel_GetFilterValue(handle, id, ok) with the FilterId of its name: same results, same
 * errors, ranges as listed at FilterId. */

OSTREL_API int OSTREL_CALL Ostrel_SetBrightness(CameraHandle handle, int value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetBrightness(CameraHandle handle, int *ok) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_SetContrast(CameraHandle handle, int value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetContrast(CameraHandle handle, int *ok) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_SetHue(CameraHandle handle, int value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetHue(CameraHandle handle, int *ok) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_SetSaturation(CameraHandle handle, int value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetSaturation(CameraHandle handle, int *ok) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_SetSharpness(CameraHandle handle, int value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetSharpness(CameraHandle handle, int *ok) OSTREL_NOEXCEPT;

/* Packed demosaicing gains: red bits 0..7, green bits 8..15, blue bits 16..23 (no range check;
 * each gain keeps only its 8 bits). */
OSTREL_API int OSTREL_CALL Ostrel_SetBayerGainRGB(CameraHandle handle, int value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetBayerGainRGB(CameraHandle handle, int *ok) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_SetBayerGainRed(CameraHandle handle, int value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetBayerGainRed(CameraHandle handle, int *ok) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_SetBayerGainGreen(CameraHandle handle,
                                                    int value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetBayerGainGreen(CameraHandle handle, int *ok) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_SetBayerGainBlue(CameraHandle handle, int value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetBayerGainBlue(CameraHandle handle, int *ok) OSTREL_NOEXCEPT;

/* Automatic colour gain: any non-zero value switches it on (read back as 1). */
OSTREL_API int OSTREL_CALL Ostrel_SetBayerGainAuto(CameraHandle handle, int value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetBayerGainAuto(CameraHandle handle, int *ok) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_SetGamma(CameraHandle handle, int value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetGamma(CameraHandle handle, int *ok) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_SetBayerMode(CameraHandle handle, int value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetBayerMode(CameraHandle handle, int *ok) OSTREL_NOEXCEPT;

/* Global gain: also sets the four colour gains of the analog settings, and is sent to the camera
 * at once. The getter returns the gain last sent to the camera (0 when none was). */
OSTREL_API int OSTREL_CALL Ostrel_SetGlobalGain(CameraHandle handle, int value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetGlobalGain(CameraHandle handle, int *ok) OSTREL_NOEXCEPT;

/* Separate colour gains are not supported by the 7100VRX: these always fail with
 * OSTREL_ERROR_INVALID_ARGUMENT (use Ostrel_SetGlobalGain or the analog dialog). */
OSTREL_API int OSTREL_CALL Ostrel_SetColorGainRed(CameraHandle handle, int value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetColorGainRed(CameraHandle handle, int *ok) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_SetColorGainGreen1(CameraHandle handle,
                                                     int value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetColorGainGreen1(CameraHandle handle,
                                                     int *ok) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_SetColorGainGreen2(CameraHandle handle,
                                                     int value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetColorGainGreen2(CameraHandle handle,
                                                     int *ok) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_SetColorGainBlue(CameraHandle handle, int value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetColorGainBlue(CameraHandle handle, int *ok) OSTREL_NOEXCEPT;

/* Exposure register value 1..4455 (larger values give shorter exposures; see
 * Ostrel_GetRealExposureTime), sent to the camera at once. The getter waits 120 ms and returns
 * the value last sent to the camera (0 when none was). */
OSTREL_API int OSTREL_CALL Ostrel_SetExposureTime(CameraHandle handle, int value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetExposureTime(CameraHandle handle, int *ok) OSTREL_NOEXCEPT;

/* Gray (monochrome) processing: mode, gains and offsets per mosaic colour. */
OSTREL_API int OSTREL_CALL Ostrel_SetGrayMode(CameraHandle handle, int value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetGrayMode(CameraHandle handle, int *ok) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_SetGrayGainR(CameraHandle handle, int value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetGrayGainR(CameraHandle handle, int *ok) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_SetGrayGainG1(CameraHandle handle, int value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetGrayGainG1(CameraHandle handle, int *ok) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_SetGrayGainG2(CameraHandle handle, int value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetGrayGainG2(CameraHandle handle, int *ok) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_SetGrayGainB(CameraHandle handle, int value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetGrayGainB(CameraHandle handle, int *ok) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_SetGrayOffsetR(CameraHandle handle, int value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetGrayOffsetR(CameraHandle handle, int *ok) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_SetGrayOffsetG1(CameraHandle handle, int value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetGrayOffsetG1(CameraHandle handle, int *ok) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_SetGrayOffsetG2(CameraHandle handle, int value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetGrayOffsetG2(CameraHandle handle, int *ok) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_SetGrayOffsetB(CameraHandle handle, int value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetGrayOffsetB(CameraHandle handle, int *ok) OSTREL_NOEXCEPT;

/* ==== Functions this camera does not support =================================================
 * They exist for applications written for other cameras of the family. Each returns 0; for a
 * registered handle it posts OSTREL_ERROR_NOT_SUPPORTED without recording it. Their other
 * arguments are ignored and out arguments are never written. */

OSTREL_API int OSTREL_CALL Ostrel_Fps(CameraHandle handle) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetCameraType(CameraHandle handle) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_SetCameraType(CameraHandle handle, int type) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_SetCaptureWindow(CameraHandle handle, int x, int y, int width,
                                                   int height) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_SetCaptureWindowEx(CameraHandle handle, int x, int y, int width,
                                                     int height, int subsample) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetCaptureWindowEx(CameraHandle handle, int *x, int *y,
                                                     int *width, int *height,
                                                     int *subsample) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetIOPort(CameraHandle handle, int *value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_SetIOPort(CameraHandle handle, int value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_SetCrossbar(CameraHandle handle, int input) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_SetHalfClock(CameraHandle handle, int flag) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_SetSamplingRate(CameraHandle handle, int rate) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_SetSubSample(CameraHandle handle, int mode) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_Trigger(CameraHandle handle) OSTREL_NOEXCEPT;

/* Settings this camera does not have: for a registered handle they write 0 to *value (when not
 * null); they return 0 in every case and report nothing. */
OSTREL_API int OSTREL_CALL Ostrel_GetHalfClock(CameraHandle handle, int *value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetSamplingRate(CameraHandle handle, int *value) OSTREL_NOEXCEPT;
OSTREL_API int OSTREL_CALL Ostrel_GetVideoFormat(CameraHandle handle, int *value) OSTREL_NOEXCEPT;

/* ==== Message queues (Linux only) ============================================================
 * Windows applications receive notifications as window messages instead. */
#if !defined(_WIN32)

/* One notification taken from a queue. */
typedef struct OstrelMessage {
    uint32_t message; /* OSTREL_MSG_FRAME or OSTREL_MSG_ERROR */
    uintptr_t wParam; /* FrameInfo address for a delivered frame, else 0 */
    intptr_t lParam;  /* error code, or 0 */
} OstrelMessage;

/* Creates a message queue owned by the library; its handle is passed where a window is
 * expected. Returns the handle, or 0 when none could be made. Any thread. */
OSTREL_API OstrelWindow OSTREL_CALL Ostrel_CreateMessageQueue(void) OSTREL_NOEXCEPT;

/* Takes the oldest message of `queue` (0: the calling thread's own queue), waiting up to
 * `timeoutMs` milliseconds for one (0: do not wait; negative: wait without a limit). Returns 1
 * with *message filled, or 0 on time-out, for an unknown or destroyed queue, or a null message.
 * Any thread. */
OSTREL_API int OSTREL_CALL Ostrel_WaitMessage(OstrelWindow queue, OstrelMessage *message,
                                              int timeoutMs) OSTREL_NOEXCEPT;

/* Destroys a queue made by Ostrel_CreateMessageQueue; pending messages are dropped and a thread
 * waiting on it returns 0. Returns 1, or 0 for an unknown queue. Later posts to it are dropped.
 * Any thread. */
OSTREL_API int OSTREL_CALL Ostrel_DestroyMessageQueue(OstrelWindow queue) OSTREL_NOEXCEPT;

#endif

#ifdef __cplusplus
}
#endif

#endif /* OSTREL_SDK_H */
