/*
 * demo.c: a tour of the Ostrel 7100VRX SDK from the command line, written in C99 against
 * nothing but OstrelSdk.h and the system's own headers.
 *
 *   demo [OUTPUT_FOLDER [SECONDS]]
 *
 * It lists the cameras, opens the first, streams SECONDS (default 3) of 24-bit colour into a
 * buffer of its own with one notification per frame, takes a snapshot and reads it back, and
 * writes what it got into OUTPUT_FOLDER (default "ostrel-demo-output"): a BMP written here
 * from the buffer, the snapshot saved by the SDK in every still image format, and a one-second
 * AVI recording. Without a camera, run it with OSTREL_EMULATED_CAMERAS=1 in the environment and
 * the SDK emulates one.
 *
 * Notifications: the SDK posts a message per frame (and one per recorded error code) from its
 * capture thread. On Windows they are window messages, posted to a message-only window that
 * this program creates and pumps; a null window would not do, since a message posted to no
 * window lands in the posting thread's own queue, which is the SDK's capture thread. On Linux
 * they go to a message queue made with Ostrel_CreateMessageQueue and read with
 * Ostrel_WaitMessage.
 *
 * Exit status: 0 when every step worked, 1 when one failed, 2 for a wrong command line.
 */
#if !defined(_WIN32)
#define _XOPEN_SOURCE 700
#endif

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#include <time.h>
#endif

#include "OstrelSdk.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* ---- What the demo does, and how long it waits --------------------------------------------- */

#define DEFAULT_FOLDER "ostrel-demo-output"
#define DEFAULT_SECONDS 3
#define MAX_SECONDS 600
/* Streaming goes on past the planned time until this many frames arrived, for at most
 * FIRST_FRAMES_GRACE_MS more: a busy machine may take a while to deliver full-size frames. */
#define MIN_FRAMES 2
#define FIRST_FRAMES_GRACE_MS 60000
#define RECORD_MS 1000
/* How long after the recording's own duration the demo waits for the file to be finished. */
#define RECORD_GRACE_MS 60000
#define ERROR_HISTORY_LENGTH 20
#define MAX_PATH_TEXT 1024

/* ---- Words for the error codes --------------------------------------------------------------- */

static const char *codeMeaning(long code) {
    switch (code) {
    case OSTREL_ERROR_AUTO_IRIS_IDLE:
        return "auto-iris idle: noted once per processed frame while automatic exposure is off"
               " (not a failure)";
    case OSTREL_ERROR_NO_CAMERA:
        return "no camera, or the operation is not possible in the current state";
    case OSTREL_ERROR_CAMERA_NOT_PRESENT:
        return "the selected camera is not present";
    case OSTREL_ERROR_THREAD_START:
        return "a capture or recording thread could not be started";
    case OSTREL_ERROR_PREVIEW_WINDOW:
        return "the preview window could not be created";
    case OSTREL_ERROR_MEMORY_OR_SIZE:
        return "out of memory, a buffer or record too small, or no picture to copy yet";
    case OSTREL_ERROR_CAMERA_COMMAND:
        return "the camera refused a command";
    case OSTREL_ERROR_GEOMETRY:
        return "the image geometry (origin, size, subsampling) is not valid";
    case OSTREL_ERROR_FRAME_TRANSFER:
        return "a frame could not be read from the camera, or streaming could not start";
    case OSTREL_ERROR_INVALID_ARGUMENT:
        return "an argument is out of range";
    case OSTREL_ERROR_NOT_SUPPORTED:
        return "the function is not supported by this camera";
    case OSTREL_ERROR_SETTINGS_STORE:
        return "the settings store or an output file could not be opened or created (also"
               " noted on first use, when the settings are created with their defaults)";
    case OSTREL_ERROR_CAPTURE_FAILED:
        return "the camera reported its continuous capture as failed";
    default:
        return "not a code this SDK produces";
    }
}

/* ---- Small helpers ------------------------------------------------------------------------- */

static int g_failures = 0;

static void fail(const char *what) {
    printf("    FAILED: %s\n", what);
    ++g_failures;
}

/* A byte count with thousands separators, e.g. "86,487,606". */
static const char *bytesText(unsigned long long value, char text[32]) {
    char digits[32];
    int length = 0, out = 0, i;
    do {
        digits[length++] = (char)('0' + (int)(value % 10));
        value /= 10;
    } while (value != 0);
    for (i = length - 1; i >= 0; --i) {
        text[out++] = digits[i];
        if (i > 0 && i % 3 == 0) {
            text[out++] = ',';
        }
    }
    text[out] = '\0';
    return text;
}

static void joinPath(char *out, const char *folder, const char *name) {
    snprintf(out, MAX_PATH_TEXT, "%s/%s", folder, name);
}

static void putU16(unsigned char *at, unsigned int value) {
    at[0] = (unsigned char)(value & 0xFF);
    at[1] = (unsigned char)((value >> 8) & 0xFF);
}

static void putU32(unsigned char *at, unsigned long value) {
    putU16(at, (unsigned int)(value & 0xFFFF));
    putU16(at + 2, (unsigned int)((value >> 16) & 0xFFFF));
}

static unsigned long getU32(const unsigned char *at) {
    return (unsigned long)at[0] | ((unsigned long)at[1] << 8) | ((unsigned long)at[2] << 16) |
           ((unsigned long)at[3] << 24);
}

/* What OSTREL_EMULATED_CAMERAS asks the SDK for: -1 when it is not set (the connected cameras
 * are used), the count 1..8, or 0 for any other text (the SDK then emulates no camera and does
 * not look for connected ones either). */
#define MAX_EMULATED_CAMERAS 8
static int emulatedCameraCount(const char *text) {
    char *end = NULL;
    long count;
    if (text == NULL || text[0] == '\0') {
        return -1;
    }
    errno = 0;
    count = strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || count < 1 || count > MAX_EMULATED_CAMERAS) {
        return 0;
    }
    return (int)count;
}

/* Bytes of a 24-bit row, padded to a multiple of 4 as the SDK delivers them. */
static long stride24(long width) {
    return (width * 3 + 3) / 4 * 4;
}

/* ---- The system: time, folders, files ------------------------------------------------------ */

#if defined(_WIN32)

static unsigned long nowMs(void) {
    return (unsigned long)GetTickCount();
}

static int makeOneFolder(const char *path) {
    return CreateDirectoryA(path, NULL) || GetLastError() == ERROR_ALREADY_EXISTS;
}

static void absolutePath(const char *path, char *out) {
    if (GetFullPathNameA(path, MAX_PATH_TEXT, out, NULL) == 0) {
        snprintf(out, MAX_PATH_TEXT, "%s", path);
    }
}

/* The size of a file, or -1 when it cannot be read. */
static long long fileSize(const char *path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) {
        return -1;
    }
    return ((long long)data.nFileSizeHigh << 32) | data.nFileSizeLow;
}

static int seekTo(FILE *file, long long offset) {
    return _fseeki64(file, offset, SEEK_SET) == 0;
}

#else

static unsigned long nowMs(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (unsigned long)now.tv_sec * 1000UL + (unsigned long)(now.tv_nsec / 1000000L);
}

static int makeOneFolder(const char *path) {
    return mkdir(path, 0777) == 0 || errno == EEXIST;
}

static void absolutePath(const char *path, char *out) {
    char *resolved = realpath(path, NULL);
    snprintf(out, MAX_PATH_TEXT, "%s", resolved != NULL ? resolved : path);
    free(resolved);
}

static long long fileSize(const char *path) {
    struct stat info;
    if (stat(path, &info) != 0) {
        return -1;
    }
    return (long long)info.st_size;
}

static int seekTo(FILE *file, long long offset) {
    return fseeko(file, (off_t)offset, SEEK_SET) == 0;
}

#endif

/* Creates a folder and the folders above it that are missing. */
static int makeFolders(const char *path) {
    char partial[MAX_PATH_TEXT];
    size_t i, length = strlen(path);
    if (length == 0 || length >= sizeof partial) {
        return 0;
    }
    memcpy(partial, path, length + 1);
    for (i = 1; i < length; ++i) {
        if ((partial[i] == '/' || partial[i] == '\\') && partial[i - 1] != ':') {
            partial[i] = '\0';
            makeOneFolder(partial);
            partial[i] = path[i];
        }
    }
    return makeOneFolder(partial);
}

/* Reads `count` bytes at `offset` of a file; 0 when the file is missing, shorter or locked. */
static int readAt(const char *path, long long offset, void *bytes, size_t count) {
    FILE *file = fopen(path, "rb");
    int ok;
    if (file == NULL) {
        return 0;
    }
    ok = seekTo(file, offset) && fread(bytes, 1, count, file) == count;
    fclose(file);
    return ok;
}

/* ---- Notifications ------------------------------------------------------------------------- */

typedef struct Notification {
    unsigned long message;
    uintptr_t wParam;
    intptr_t lParam;
} Notification;

/* Where the SDK posts: a window of ours on Windows, a library message queue on Linux. */
static OstrelWindow g_notifications;

#if defined(_WIN32)

#define DEMO_WINDOW_CLASS "OstrelDemoWindow"

/* The live preview: a top-level window of ours that the SDK's preview window fills. */
static HWND g_previewParent;

static LRESULT CALLBACK demoWindowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    /* The SDK draws into a child of the preview window until streaming is closed, so the
     * window stays until the demo closes it itself. */
    if (message == WM_CLOSE) {
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

static int openNotifications(void) {
    WNDCLASSA windowClass;
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.lpfnWndProc = demoWindowProcedure;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.hCursor = LoadCursor(NULL, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
    windowClass.lpszClassName = DEMO_WINDOW_CLASS;
    if (!RegisterClassA(&windowClass)) {
        return 0;
    }
    g_notifications = CreateWindowExA(0, DEMO_WINDOW_CLASS, "Ostrel demo notifications", 0, 0, 0,
                                      0, 0, HWND_MESSAGE, NULL, GetModuleHandleA(NULL), NULL);
    return g_notifications != NULL;
}

static void closeNotifications(void) {
    if (g_previewParent != NULL) {
        DestroyWindow(g_previewParent);
        g_previewParent = NULL;
    }
    if (g_notifications != NULL) {
        DestroyWindow(g_notifications);
        g_notifications = NULL;
    }
    UnregisterClassA(DEMO_WINDOW_CLASS, GetModuleHandleA(NULL));
}

/* Opens a visible window of the given client size for the live preview; NULL when there is no
 * desktop to show it on. */
static HWND openPreviewParent(int clientWidth, int clientHeight) {
    RECT frame = {0, 0, 0, 0};
    frame.right = clientWidth;
    frame.bottom = clientHeight;
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    g_previewParent = CreateWindowExA(
        0, DEMO_WINDOW_CLASS, "Ostrel 7100VRX demo: live preview",
        WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
        frame.right - frame.left, frame.bottom - frame.top, NULL, NULL, GetModuleHandleA(NULL),
        NULL);
    return g_previewParent;
}

/* Takes the next SDK notification, pumping this thread's other window messages meanwhile. */
static int waitNotification(Notification *out, int timeoutMs) {
    const unsigned long start = nowMs();
    for (;;) {
        MSG message;
        unsigned long waited;
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
            if (message.message == OSTREL_MSG_FRAME || message.message == OSTREL_MSG_ERROR) {
                out->message = message.message;
                out->wParam = (uintptr_t)message.wParam;
                out->lParam = (intptr_t)message.lParam;
                return 1;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        waited = nowMs() - start;
        if (waited >= (unsigned long)timeoutMs) {
            return 0;
        }
        MsgWaitForMultipleObjects(0, NULL, FALSE, (DWORD)((unsigned long)timeoutMs - waited),
                                  QS_ALLINPUT);
    }
}

#else

static int openNotifications(void) {
    g_notifications = Ostrel_CreateMessageQueue();
    return g_notifications != 0;
}

static void closeNotifications(void) {
    if (g_notifications != 0) {
        Ostrel_DestroyMessageQueue(g_notifications);
        g_notifications = 0;
    }
}

static int waitNotification(Notification *out, int timeoutMs) {
    OstrelMessage message;
    if (!Ostrel_WaitMessage(g_notifications, &message, timeoutMs)) {
        return 0;
    }
    out->message = message.message;
    out->wParam = message.wParam;
    out->lParam = message.lParam;
    return 1;
}

#endif

/* Error notifications received, by code (the last slot counts codes outside 0..13). */
#define CODE_SLOTS 15
static unsigned long g_errorNotices[CODE_SLOTS];

static int codeSlot(intptr_t code) {
    return code >= 0 && code < CODE_SLOTS - 1 ? (int)code : CODE_SLOTS - 1;
}

/* What streaming has delivered so far. */
typedef struct Stream {
    unsigned char *buffer;
    long bufferSize;
    unsigned long startMs, firstMs, lastMs;
    unsigned long frames;
    unsigned long undelivered[CODE_SLOTS];
    FrameInfo last;
    int lastPrintedRate;
    int badRecords;
    int captureEnded;
} Stream;

/* Checks one delivered frame's record; prints what is wrong and returns 0 when something is. */
static int frameRecordSound(const FrameInfo *info, const Stream *stream) {
    const char *problem = NULL;
    if (info->size != (int32_t)sizeof(FrameInfo)) {
        problem = "its size field is not sizeof(FrameInfo)";
    } else if (info->bitsPerPixel != OSTREL_COLOR_BGR24) {
        problem = "it is not 24 bits per pixel";
    } else if (info->buffer != (void *)stream->buffer) {
        problem = "its buffer is not the one given to Ostrel_CallBackPreview";
    } else if (info->width <= 0 || info->height <= 0 ||
               stride24(info->width) * (long)info->height > stream->bufferSize) {
        problem = "its size does not fit the buffer";
    }
    if (problem != NULL) {
        printf("    unexpected frame record: %s (size %d, %d x %d, %d bits, buffer %p)\n", problem,
               (int)info->size, (int)info->width, (int)info->height, (int)info->bitsPerPixel,
               info->buffer);
        return 0;
    }
    return 1;
}

static void onFrame(Stream *stream, const FrameInfo *info) {
    const unsigned long now = nowMs();
    FrameInfo copy = *info; /* the record is overwritten by the next frame */
    if (stream->frames == 0) {
        stream->firstMs = now;
    }
    stream->lastMs = now;
    ++stream->frames;
    if (!frameRecordSound(&copy, stream)) {
        ++stream->badRecords;
    }
    /* Every frame of the first three, then one line whenever the SDK's rate changes (it is
     * measured about once a second), keeps the listing readable at any rate. */
    if (stream->frames <= 3 || copy.frameRate != stream->lastPrintedRate) {
        printf("    frame %4lu at %5.2f s: %d x %d, %d bits per pixel, ", stream->frames,
               (now - stream->startMs) / 1000.0, (int)copy.width, (int)copy.height,
               (int)copy.bitsPerPixel);
        if (copy.frameRate == 0 && stream->lastPrintedRate <= 0) {
            printf("no rate yet (the SDK measures it about once a second)\n");
        } else {
            printf("SDK rate %.1f frames/s\n", copy.frameRate / 10.0);
        }
        stream->lastPrintedRate = copy.frameRate;
    }
    stream->last = copy;
}

/* Handles one notification: error notifications are counted, frames go to `stream` (when
 * streaming with a buffer) or are only counted. */
static void onNotification(const Notification *note, Stream *stream) {
    if (note->message == OSTREL_MSG_ERROR) {
        ++g_errorNotices[codeSlot(note->lParam)];
        return;
    }
    if (note->message != OSTREL_MSG_FRAME || stream == NULL) {
        return;
    }
    if (note->wParam != 0) {
        onFrame(stream, (const FrameInfo *)note->wParam);
        return;
    }
    if (stream->undelivered[codeSlot(note->lParam)]++ == 0) {
        printf("    a frame was not delivered: code %ld, %s\n", (long)note->lParam,
               codeMeaning((long)note->lParam));
    }
    if (note->lParam == OSTREL_ERROR_CAPTURE_FAILED) {
        stream->captureEnded = 1;
    }
}

/* Handles the notifications that are waiting, without waiting for more. */
static void drainNotifications(Stream *stream) {
    Notification note;
    while (waitNotification(&note, 0)) {
        onNotification(&note, stream);
    }
}

/* ---- The error history --------------------------------------------------------------------- */

/* Takes the codes a failed call left in the history, newest first (the caller's own code
 * before the codes of the steps inside it); returns how many there were. */
static int takeRecordedCodes(CameraHandle handle, int codes[ERROR_HISTORY_LENGTH]) {
    int count = 0;
    while (count < ERROR_HISTORY_LENGTH) {
        const int code = Ostrel_GetLastError(handle);
        if (code == 0) {
            break; /* an empty slot, or an auto-iris note: nothing more of interest */
        }
        codes[count++] = code;
    }
    return count;
}

/* Takes the codes a failed call left in the history and prints them, newest first. */
static void printRecordedCodes(CameraHandle handle) {
    int codes[ERROR_HISTORY_LENGTH];
    const int count = takeRecordedCodes(handle, codes);
    int i;
    for (i = 0; i < count; ++i) {
        printf("    %s code %d: %s\n", i == 0 ? "the SDK recorded" : "            then",
               codes[i], codeMeaning(codes[i]));
    }
    if (count == 0) {
        printf("    (no error code was recorded)\n");
    }
}

/* Empties the history and prints every code in it, newest first, with its meaning. */
static void printErrorHistory(CameraHandle handle) {
    int codes[ERROR_HISTORY_LENGTH];
    int seen[CODE_SLOTS];
    int i, nonZero = 0;
    for (i = 0; i < ERROR_HISTORY_LENGTH; ++i) {
        codes[i] = Ostrel_GetLastError(handle);
        nonZero += codes[i] != 0;
    }
    if (nonZero == 0 && g_errorNotices[OSTREL_ERROR_AUTO_IRIS_IDLE] == 0) {
        printf("    empty\n");
        return;
    }
    printf("    ");
    for (i = 0; i < ERROR_HISTORY_LENGTH; ++i) {
        printf("%d%s", codes[i], i + 1 < ERROR_HISTORY_LENGTH ? " " : "\n");
    }
    memset(seen, 0, sizeof seen);
    for (i = 0; i < ERROR_HISTORY_LENGTH; ++i) {
        const int slot = codeSlot(codes[i]);
        if (seen[slot]++ == 0) {
            printf("    %2d: %s\n", codes[i], codeMeaning(codes[i]));
        }
    }
    if (nonZero < ERROR_HISTORY_LENGTH) {
        printf("    (the history keeps the 20 newest codes; an empty slot also reads 0)\n");
    }
}

static void printErrorNotices(void) {
    int code, any = 0;
    for (code = 0; code < CODE_SLOTS; ++code) {
        if (g_errorNotices[code] != 0) {
            if (code < CODE_SLOTS - 1) {
                printf("    code %2d x %lu: %s\n", code, g_errorNotices[code], codeMeaning(code));
            } else {
                printf("    other codes x %lu\n", g_errorNotices[code]);
            }
            any = 1;
        }
    }
    if (!any) {
        printf("    none\n");
    }
}

/* ---- Files --------------------------------------------------------------------------------- */

/* Writes a 24-bit Windows bitmap from rows stored bottom row first, each `stride` bytes. */
static int writeBmp(const char *path, const unsigned char *bottomUpRows, long width, long height) {
    unsigned char header[54];
    const long stride = stride24(width);
    FILE *file;
    int ok;
    memset(header, 0, sizeof header);
    header[0] = 'B';
    header[1] = 'M';
    putU32(header + 2, (unsigned long)(sizeof header + stride * height)); /* file size */
    putU32(header + 10, sizeof header);                                  /* pixel data offset */
    putU32(header + 14, 40);                                             /* info header size */
    putU32(header + 18, (unsigned long)width);
    putU32(header + 22, (unsigned long)height); /* positive: bottom row first */
    putU16(header + 26, 1);                     /* planes */
    putU16(header + 28, 24);                    /* bits per pixel */
    file = fopen(path, "wb");
    if (file == NULL) {
        return 0;
    }
    ok = fwrite(header, 1, sizeof header, file) == sizeof header &&
         fwrite(bottomUpRows, 1, (size_t)(stride * height), file) == (size_t)(stride * height);
    return fclose(file) == 0 && ok;
}

/* Compares `count` bytes of a file from `offset` with memory; rows can be taken in reverse. */
static int fileHoldsRows(const char *path, long long offset, const unsigned char *rows,
                         long stride, long height, int reversed) {
    unsigned char *row = (unsigned char *)malloc((size_t)stride);
    FILE *file = fopen(path, "rb");
    long i;
    int same = row != NULL && file != NULL && seekTo(file, offset);
    for (i = 0; same && i < height; ++i) {
        const unsigned char *expected = rows + (reversed ? height - 1 - i : i) * stride;
        same = fread(row, 1, (size_t)stride, file) == (size_t)stride &&
               memcmp(row, expected, (size_t)stride) == 0;
    }
    if (file != NULL) {
        fclose(file);
    }
    free(row);
    return same;
}

/* The average blue, green and red of a 24-bit picture, from every 8th pixel of every 8th row;
 * returns the largest sample seen (0 for a black picture). */
static int averageColour(const unsigned char *rows, long width, long height, double bgr[3]) {
    const long stride = stride24(width);
    double sums[3] = {0.0, 0.0, 0.0};
    unsigned long samples = 0;
    int largest = 0;
    long x, y;
    int c;
    for (y = 0; y < height; y += 8) {
        for (x = 0; x < width; x += 8) {
            const unsigned char *pixel = rows + y * stride + x * 3;
            for (c = 0; c < 3; ++c) {
                sums[c] += pixel[c];
                if (pixel[c] > largest) {
                    largest = pixel[c];
                }
            }
            ++samples;
        }
    }
    for (c = 0; c < 3; ++c) {
        bgr[c] = samples != 0 ? sums[c] / samples : 0.0;
    }
    return largest;
}

/* ---- The steps ----------------------------------------------------------------------------- */

typedef struct Demo {
    CameraHandle handle;
    char folder[MAX_PATH_TEXT];
    int seconds;
    long width, height; /* the processed picture: from the frames, else the sensor readout */
    unsigned char *buffer;
    long bufferSize;
    int haveSnapshot;
} Demo;

static void heading(int number, const char *text) {
    printf("\n[%d] %s\n", number, text);
}

static int openContext(Demo *demo) {
    heading(1, "Open a camera context (Ostrel_Initialize)");
    if (!openNotifications()) {
        fail("could not make a place for the SDK's notifications");
        return 0;
    }
    demo->handle = Ostrel_Initialize(g_notifications);
    if (demo->handle == 0) {
        fail("Ostrel_Initialize returned no handle");
        return 0;
    }
    printf("    handle 0x%08lx; notifications go to %s\n", (unsigned long)demo->handle,
#if defined(_WIN32)
           "a message-only window of the demo's");
#else
           "a message queue made with Ostrel_CreateMessageQueue");
#endif
    printf("    codes noted while opening (Ostrel_GetLastError, newest first):\n");
    printRecordedCodes(demo->handle);
    return 1;
}

static int findCamera(Demo *demo) {
    static char names[OSTREL_MAX_DEVICES * OSTREL_DEVICE_NAME_LENGTH];
    CameraInfo info;
    int count, i, ok = 0;
    heading(2, "Find the cameras (Ostrel_EnumDevice) and select the first");
    count = Ostrel_EnumDevice(demo->handle, names);
    printf("    %d camera%s found\n", count, count == 1 ? "" : "s");
    for (i = 0; i < count; ++i) {
        printf("      %d: %s\n", i, names + i * OSTREL_DEVICE_NAME_LENGTH);
    }
    if (count == 0) {
        const char *text = getenv("OSTREL_EMULATED_CAMERAS");
        const int emulated = emulatedCameraCount(text);
        printRecordedCodes(demo->handle);
        if (emulated == 0) {
            printf("    OSTREL_EMULATED_CAMERAS=\"%s\" is not a whole number from 1 to %d: the SDK"
                   " emulates no camera and, while the variable is set, leaves the connected"
                   " ones alone\n",
                   text, MAX_EMULATED_CAMERAS);
            fail("no camera: set OSTREL_EMULATED_CAMERAS to a number from 1 to 8, or unset it"
                 " to use the connected cameras");
        } else if (emulated > 0) {
            fail("no camera, although emulated ones were asked for: the context could not"
                 " set up its camera (see the codes noted while opening)");
        } else {
            fail("no camera: connect one, or set OSTREL_EMULATED_CAMERAS=1 to use an"
                 " emulated one");
        }
        return 0;
    }
    if (!Ostrel_SetDeviceNumber(demo->handle, 0)) {
        printRecordedCodes(demo->handle);
        fail("Ostrel_SetDeviceNumber(0) could not select the first camera");
        return 0;
    }
    demo->width = Ostrel_Width(demo->handle);
    demo->height = Ostrel_Height(demo->handle);
    memset(&info, 0, sizeof info);
    info.size = OSTREL_CAMERA_INFO_SIZE;
    if (Ostrel_GetCameraInfo(demo->handle, &info)) {
        printf("    using %s: sensor %d x %d, global gain up to %d, exposure value up to %d\n",
               names, (int)info.sensorWidth, (int)info.sensorHeight, (int)info.maxGlobalGain,
               (int)info.maxExposure);
        ok = 1;
    } else {
        printRecordedCodes(demo->handle);
        fail("Ostrel_GetCameraInfo");
    }
    printf("    image read from the sensor: %ld x %ld (Ostrel_Width, Ostrel_Height); exposure"
           " time %.3f ms\n",
           demo->width, demo->height, Ostrel_GetRealExposureTime(demo->handle, NULL) / 1000.0);
    if (demo->width <= 0 || demo->height <= 0) {
        fail("the SDK reports no image size");
        return 0;
    }
    return ok;
}

static int allocateBuffer(Demo *demo) {
    char text[32];
    /* The sensor readout is the largest picture: subsampling only makes it smaller. */
    demo->bufferSize = stride24(demo->width) * demo->height;
    demo->buffer = (unsigned char *)calloc(1, (size_t)demo->bufferSize);
    if (demo->buffer == NULL) {
        fail("not enough memory for a frame buffer");
        return 0;
    }
    printf("    our buffer: %s bytes (%ld rows of %ld bytes: blue, green, red, padded to 4)\n",
           bytesText((unsigned long long)demo->bufferSize, text), demo->height,
           stride24(demo->width));
    return 1;
}

static void streamFrames(Demo *demo) {
    Stream stream;
    unsigned long plannedMs = (unsigned long)demo->seconds * 1000UL, elapsed = 0;
    double bgr[3];
    char text[128];
    int code;

    snprintf(text, sizeof text, "Stream %d s of 24-bit colour into our own buffer"
             " (Ostrel_CallBackPreview)", demo->seconds);
    heading(3, text);
    if (!Ostrel_SetColorMode(demo->handle, OSTREL_COLOR_BGR24)) {
        printRecordedCodes(demo->handle);
        fail("Ostrel_SetColorMode(24)");
        return;
    }
    if (!allocateBuffer(demo)) {
        return;
    }
#if defined(_WIN32)
    /* A window of an eighth of the picture's size for the live preview; without one the SDK
     * opens a top-level window of the picture's full size. */
    if (openPreviewParent((int)demo->width / 8, (int)demo->height / 8) != NULL) {
        if (Ostrel_SetPreviewWindow(demo->handle, g_previewParent, 0, 0, (int)demo->width / 8,
                                    (int)demo->height / 8)) {
            printf("    live preview in the window \"Ostrel 7100VRX demo: live preview\"\n");
        } else {
            printRecordedCodes(demo->handle);
        }
    }
#endif
    memset(&stream, 0, sizeof stream);
    stream.buffer = demo->buffer;
    stream.bufferSize = demo->bufferSize;
    stream.lastPrintedRate = -1;
    /* Rows bottom first (last argument 0): the layout of a bitmap file, written out as it is. */
    if (!Ostrel_CallBackPreview(demo->handle, g_notifications, demo->buffer,
                                (int)demo->bufferSize, 0)) {
        printRecordedCodes(demo->handle);
        fail("Ostrel_CallBackPreview could not start streaming");
        return;
    }
    stream.startMs = nowMs();
    printf("    streaming; each line is the FrameInfo record of a frame notification:\n");
    while (!stream.captureEnded) {
        Notification note;
        elapsed = nowMs() - stream.startMs;
        if (elapsed >= plannedMs + FIRST_FRAMES_GRACE_MS ||
            (elapsed >= plannedMs && stream.frames >= MIN_FRAMES)) {
            break;
        }
        if (waitNotification(&note, 100)) {
            onNotification(&note, &stream);
        }
    }
    /* Ostrel_Close stops streaming, waits for the capture thread and closes the preview
     * window; after it the buffer is ours again. */
    Ostrel_Close(demo->handle);
    drainNotifications(NULL);
    printf("    stopped with Ostrel_Close after %.1f s\n", elapsed / 1000.0);

    if (stream.frames > 0) {
        printf("    %lu frames delivered", stream.frames);
        if (stream.frames >= 2 && stream.lastMs > stream.firstMs) {
            printf(": %.1f frames/s measured here", (stream.frames - 1) * 1000.0 /
                                                        (double)(stream.lastMs - stream.firstMs));
        }
        if (stream.last.frameRate > 0) {
            printf(", %.1f frames/s last measured by the SDK", stream.last.frameRate / 10.0);
        }
        printf("\n");
        demo->width = stream.last.width;
        demo->height = stream.last.height;
        if (averageColour(demo->buffer, demo->width, demo->height, bgr) == 0) {
            fail("the last frame in our buffer is black");
        } else {
            printf("    last frame in our buffer: average blue %.0f, green %.0f, red %.0f\n",
                   bgr[0], bgr[1], bgr[2]);
        }
    }
    for (code = 0; code < CODE_SLOTS; ++code) {
        if (stream.undelivered[code] != 0) {
            printf("    %lu frame notifications reported code %d instead of a frame\n",
                   stream.undelivered[code], code);
        }
    }
    if (stream.frames < MIN_FRAMES) {
        fail(stream.frames == 0 ? "no frame arrived" : "only one frame arrived");
    } else if (stream.badRecords != 0) {
        fail("some frame records were not as expected");
    }
    if (stream.captureEnded) {
        fail("the camera ended streaming (code 13)");
    }
}

static void takeSnapshot(Demo *demo) {
    char path[MAX_PATH_TEXT], text[32];
    double bgr[3];
    heading(4, "Take a snapshot (Ostrel_SnapShot) and read it (Ostrel_GetImage)");
    if (demo->buffer == NULL && !allocateBuffer(demo)) {
        return;
    }
    /* No buffer here: the frame stays in the SDK and Ostrel_GetImage copies it out. */
    if (!Ostrel_SnapShot(demo->handle, NULL, 0, 0)) {
        printRecordedCodes(demo->handle);
        fail("Ostrel_SnapShot");
        return;
    }
    if (!Ostrel_GetImage(demo->handle, demo->buffer, (int)demo->bufferSize, 0)) {
        printRecordedCodes(demo->handle);
        fail("Ostrel_GetImage returned no picture");
        return;
    }
    demo->haveSnapshot = 1;
    if (averageColour(demo->buffer, demo->width, demo->height, bgr) == 0) {
        fail("the snapshot is black");
    } else {
        printf("    %ld x %ld pixels, average blue %.0f, green %.0f, red %.0f\n", demo->width,
               demo->height, bgr[0], bgr[1], bgr[2]);
    }
    joinPath(path, demo->folder, "snapshot-demo.bmp");
    if (writeBmp(path, demo->buffer, demo->width, demo->height)) {
        printf("    wrote snapshot-demo.bmp (%s bytes) from our buffer with the demo's own"
               " BMP writer\n",
               bytesText((unsigned long long)fileSize(path), text));
    } else {
        fail("could not write snapshot-demo.bmp");
    }
}

typedef struct StillFormat {
    int type;
    const char *name;
    const char *file;
    const char *signature; /* the file's first bytes; NULL: checked otherwise */
    size_t signatureLength;
} StillFormat;

static const StillFormat kStillFormats[] = {
    {OSTREL_FILE_BMP, "BMP", "snapshot-sdk.bmp", "BM", 2},
    {OSTREL_FILE_RAW, "raw", "snapshot-sdk.raw", NULL, 0},
    {OSTREL_FILE_JPEG_HIGH, "JPEG q100", "snapshot-high.jpg", "\xFF\xD8\xFF", 3},
    {OSTREL_FILE_JPEG_MEDIUM, "JPEG q70", "snapshot-medium.jpg", "\xFF\xD8\xFF", 3},
    {OSTREL_FILE_JPEG_LOW, "JPEG q20", "snapshot-low.jpg", "\xFF\xD8\xFF", 3},
    {OSTREL_FILE_PNG, "PNG", "snapshot.png", "\x89PNG\r\n\x1A\n", 8},
    {OSTREL_FILE_TIFF, "TIFF", "snapshot.tif", NULL, 0},
};

/* Checks a file the SDK wrote; returns a description of a fault, or NULL when it is sound. */
static const char *checkStillFile(const Demo *demo, const StillFormat *format, const char *path,
                                  long long size) {
    const long stride = stride24(demo->width);
    unsigned char start[14];
    if (size <= 0 || !readAt(path, 0, start, sizeof start < (size_t)size ? sizeof start
                                                                         : (size_t)size)) {
        return "the file is missing or empty";
    }
    if (format->signature != NULL &&
        memcmp(start, format->signature, format->signatureLength) != 0) {
        return "the file does not start as this format does";
    }
    if (format->type == OSTREL_FILE_TIFF && memcmp(start, "II*\0", 4) != 0 &&
        memcmp(start, "MM\0*", 4) != 0) {
        return "the file does not start as a TIFF file does";
    }
    if (format->type == OSTREL_FILE_BMP &&
        !fileHoldsRows(path, (long long)getU32(start + 10), demo->buffer, stride, demo->height,
                       0)) {
        return "its pixels differ from the picture Ostrel_GetImage gave";
    }
    if (format->type == OSTREL_FILE_RAW &&
        (size != (long long)stride * demo->height ||
         !fileHoldsRows(path, 0, demo->buffer, stride, demo->height, 1))) {
        return "it is not the picture Ostrel_GetImage gave, rows top first";
    }
    return NULL;
}

static void saveStillImages(Demo *demo) {
    size_t i;
    heading(5, "Save the snapshot through the SDK in every format (Ostrel_SaveImage)");
    if (!demo->haveSnapshot) {
        fail("skipped: there is no snapshot");
        return;
    }
    for (i = 0; i < sizeof kStillFormats / sizeof kStillFormats[0]; ++i) {
        const StillFormat *format = &kStillFormats[i];
        char path[MAX_PATH_TEXT], text[32], problem[160];
        const char *fault;
        long long size;
        joinPath(path, demo->folder, format->file);
        remove(path);
        if (!Ostrel_SaveImage(demo->handle, path, format->type)) {
            int codes[ERROR_HISTORY_LENGTH];
            const int count = takeRecordedCodes(demo->handle, codes);
            int c;
            printf("    %-9s %-20s FAILED: Ostrel_SaveImage returned 0\n", format->name,
                   format->file);
            if (count == 0) {
                printf("%35sno error code: the file could not be written, or this build of"
                       " the SDK cannot write this format yet\n", "");
            }
            for (c = 0; c < count; ++c) {
                printf("%35scode %d: %s\n", "", codes[c], codeMeaning(codes[c]));
            }
            ++g_failures;
            continue;
        }
        size = fileSize(path);
        fault = checkStillFile(demo, format, path, size);
        printf("    %-9s %-20s %14s bytes%s\n", format->name, format->file,
               bytesText(size > 0 ? (unsigned long long)size : 0ULL, text),
               format->type == OSTREL_FILE_BMP && fault == NULL ? "  (same pixels as ours)"
               : format->type == OSTREL_FILE_RAW && fault == NULL ? "  (our pixels, top first)"
                                                                  : "");
        if (fault != NULL) {
            snprintf(problem, sizeof problem, "%s: %s", format->file, fault);
            fail(problem);
        }
    }
}

/* Whether the AVI file is finished: its RIFF size is filled in (0 while it is written). */
static int aviFinished(const char *path) {
    unsigned char start[12];
    const long long size = fileSize(path);
    return size > 12 && readAt(path, 0, start, sizeof start) && memcmp(start, "RIFF", 4) == 0 &&
           (long long)getU32(start + 4) == size - 8;
}

/* Checks a finished recording and prints what it holds. */
static void describeRecording(const char *path) {
    unsigned char header[232], index[4];
    char text[32], problem[160];
    unsigned long frames, width, height, microsecondsPerFrame, moviSize;
    const long long size = fileSize(path);
    if (size < (long long)sizeof header || !readAt(path, 0, header, sizeof header) ||
        memcmp(header, "RIFF", 4) != 0 || memcmp(header + 8, "AVI ", 4) != 0) {
        fail("recording.avi is not an AVI file");
        return;
    }
    microsecondsPerFrame = getU32(header + 32);
    frames = getU32(header + 48);
    width = getU32(header + 64);
    height = getU32(header + 68);
    moviSize = getU32(header + 224);
    printf("    recording.avi: %lu frames of %lu x %lu, %.1f frames/s, %s bytes\n", frames,
           width, height, microsecondsPerFrame != 0 ? 1e6 / microsecondsPerFrame : 0.0,
           bytesText((unsigned long long)size, text));
    /* The index follows the frames: at the "movi" list's type field plus the list's size. */
    if (frames == 0) {
        fail("the recording holds no frame");
    } else if (!readAt(path, 228 + (long long)moviSize, index, sizeof index) ||
               memcmp(index, "idx1", 4) != 0) {
        snprintf(problem, sizeof problem, "recording.avi has no index after its %lu frames",
                 frames);
        fail(problem);
    }
}

static void recordVideo(Demo *demo) {
    char path[MAX_PATH_TEXT];
    unsigned long start, processed = 0;
    int finished = 0;
    heading(6, "Record a one-second AVI (Ostrel_Record)");
    joinPath(path, demo->folder, "recording.avi");
    remove(path); /* so that an old finished file is not taken for the new one */
    if (!Ostrel_Record(demo->handle, path, RECORD_MS, 0)) {
        printRecordedCodes(demo->handle);
        fail("Ostrel_Record could not start the recording (this build of the SDK may not record"
             " yet)");
        return;
    }
    /* The SDK finishes the file by itself once the duration has passed; streaming goes on
     * until it is closed. Frames are counted by the auto-iris notes (one per frame). */
    printf("    recording; waiting for the SDK to finish the file\n");
    start = nowMs();
    while (nowMs() - start < RECORD_MS + RECORD_GRACE_MS) {
        Notification note;
        const unsigned long pollStart = nowMs();
        /* Notifications come with every frame; the file is looked at every 200 ms all the same. */
        while (nowMs() - pollStart < 200 && waitNotification(&note, 200)) {
            if (note.message == OSTREL_MSG_ERROR && note.lParam == OSTREL_ERROR_AUTO_IRIS_IDLE) {
                ++processed;
            }
            onNotification(&note, NULL);
        }
        if (nowMs() - start >= RECORD_MS && aviFinished(path)) {
            finished = 1;
            break;
        }
    }
    Ostrel_Close(demo->handle);
    drainNotifications(NULL);
    printf("    %s after %.1f s (%lu frames processed meanwhile); streaming stopped with"
           " Ostrel_Close\n",
           finished ? "finished" : "not finished", (nowMs() - start) / 1000.0, processed);
    if (!finished) {
        fail("the recording was not finished in time");
        return;
    }
    describeRecording(path);
}

static void listFiles(const Demo *demo) {
    static const char *const kFiles[] = {
        "snapshot-demo.bmp", "snapshot-sdk.bmp",    "snapshot-sdk.raw", "snapshot-high.jpg",
        "snapshot-medium.jpg", "snapshot-low.jpg", "snapshot.png",     "snapshot.tif",
        "recording.avi"};
    char absolute[MAX_PATH_TEXT], path[MAX_PATH_TEXT], text[32];
    size_t i;
    int any = 0;
    absolutePath(demo->folder, absolute);
    printf("\nFiles in %s:\n", absolute);
    for (i = 0; i < sizeof kFiles / sizeof kFiles[0]; ++i) {
        long long size;
        joinPath(path, demo->folder, kFiles[i]);
        size = fileSize(path);
        if (size >= 0) {
            printf("    %-20s %14s bytes\n", kFiles[i], bytesText((unsigned long long)size, text));
            any = 1;
        }
    }
    if (!any) {
        printf("    none\n");
    } else {
        printf("    the pictures open in any image viewer and recording.avi in a video player"
               " (uncompressed,\n    full size); snapshot-sdk.raw holds %ld rows of %ld bytes"
               " (blue, green, red), top row first\n",
               demo->height, stride24(demo->width));
    }
}

/* ---- Main ---------------------------------------------------------------------------------- */

static int usage(const char *program) {
    fprintf(stderr,
            "usage: %s [OUTPUT_FOLDER [SECONDS]]\n"
            "  Streams SECONDS (1..%d, default %d) from the first camera and writes a snapshot\n"
            "  and a short recording into OUTPUT_FOLDER (default %s).\n"
            "  Set OSTREL_EMULATED_CAMERAS=1 to use an emulated camera.\n",
            program, MAX_SECONDS, DEFAULT_SECONDS, DEFAULT_FOLDER);
    return 2;
}

int main(int argc, char **argv) {
    Demo demo;
    const char *emulated = getenv("OSTREL_EMULATED_CAMERAS");
    const int emulatedCount = emulatedCameraCount(emulated);
    char absolute[MAX_PATH_TEXT];

    memset(&demo, 0, sizeof demo);
    demo.seconds = DEFAULT_SECONDS;
    snprintf(demo.folder, sizeof demo.folder, "%s", argc > 1 ? argv[1] : DEFAULT_FOLDER);
    if (argc > 3 || (argc > 1 && (argv[1][0] == '\0' || argv[1][0] == '-'))) {
        return usage(argv[0]);
    }
    if (argc > 2) {
        char *end = NULL;
        const long seconds = strtol(argv[2], &end, 10);
        if (end == argv[2] || *end != '\0' || seconds < 1 || seconds > MAX_SECONDS) {
            return usage(argv[0]);
        }
        demo.seconds = (int)seconds;
    }
    /* Lines appear as they happen, also through a pipe. */
    setvbuf(stdout, NULL, _IONBF, 0);

    printf("Ostrel 7100VRX SDK demo (library version 0x%08x)\n", Ostrel_GetDllVersion());
    if (emulatedCount > 0) {
        printf("Cameras: emulated by the SDK (OSTREL_EMULATED_CAMERAS=%s)\n", emulated);
    } else if (emulatedCount == 0) {
        printf("Cameras: none (OSTREL_EMULATED_CAMERAS=\"%s\" is not a number from 1 to %d; while"
               " it is set the connected cameras are not used)\n",
               emulated, MAX_EMULATED_CAMERAS);
    } else {
        printf("Cameras: the connected ones (set OSTREL_EMULATED_CAMERAS=1 for an emulated one)\n");
    }
#if !defined(_WIN32)
    if (getenv("OSTREL_SETTINGS_FILE") != NULL) {
        printf("Settings: %s (OSTREL_SETTINGS_FILE)\n", getenv("OSTREL_SETTINGS_FILE"));
    } else {
        printf("Settings: the user's own (~/.config/ostrel/Ostrel7100V3Sdk.reg)\n");
    }
#endif
    if (!makeFolders(demo.folder)) {
        fprintf(stderr, "cannot create the output folder %s\n", demo.folder);
        return 1;
    }
    absolutePath(demo.folder, absolute);
    printf("Output folder: %s\n", absolute);

    if (openContext(&demo)) {
        if (findCamera(&demo)) {
            streamFrames(&demo);
            takeSnapshot(&demo);
            saveStillImages(&demo);
            recordVideo(&demo);
        }
        heading(7, "What the SDK reported");
        drainNotifications(NULL);
        printf("    error notifications received during the run, by code:\n");
        printErrorNotices();
        printf("    the error history at the end (Ostrel_GetLastError x 20, newest first):\n");
        printErrorHistory(demo.handle);
        if (!Ostrel_Release(demo.handle)) {
            fail("Ostrel_Release");
        } else {
            printf("    context released (Ostrel_Release saves the settings)\n");
        }
    }
    closeNotifications();
    listFiles(&demo);
    free(demo.buffer);

    if (g_failures == 0) {
        printf("\nEverything worked.\n");
        return 0;
    }
    printf("\n%d step%s failed: see the lines marked FAILED above.\n", g_failures,
           g_failures == 1 ? "" : "s");
    return 1;
}
