/*
 * Every exported function called through nothing but the public header, as a C99 application
 * would: with a handle that was never issued, one already released and 0 (each must give its
 * failure value, leave every out argument and buffer alone and post nothing), and with a fresh
 * handle (each must return, with the results that hold whether or not a camera is attached).
 *
 * Windows: the DLL named by argv[1] is loaded with LoadLibraryA and every name is looked up with
 * GetProcAddress, as an application without the import library does; notifications are read
 * with PeekMessage. Linux: the program links the shared library and reads a message queue.
 */
#include "OstrelSdk.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#ifdef _WIN32
#include <windows.h>
#endif

/* The 117 exported names. */
#define ALL_EXPORTS(X) \
    X(Ostrel_GetDllVersion) \
    X(Ostrel_Initialize) \
    X(Ostrel_Release) \
    X(Ostrel_GetLastError) \
    X(Ostrel_Preview) \
    X(Ostrel_CallBackPreview) \
    X(Ostrel_StartPreview) \
    X(Ostrel_StopPreview) \
    X(Ostrel_Close) \
    X(Ostrel_SnapShot) \
    X(Ostrel_Capture) \
    X(Ostrel_GetImage) \
    X(Ostrel_Record) \
    X(Ostrel_RecordW) \
    X(Ostrel_Width) \
    X(Ostrel_Height) \
    X(Ostrel_GetStatus) \
    X(Ostrel_SetPreviewWindow) \
    X(Ostrel_SetDeviceNumber) \
    X(Ostrel_EnumDevice) \
    X(Ostrel_EnumDeviceW) \
    X(Ostrel_GetDeviceName) \
    X(Ostrel_GetDeviceNameW) \
    X(Ostrel_SaveImage) \
    X(Ostrel_SaveImageW) \
    X(Ostrel_SetCameraDlg) \
    X(Ostrel_SetImageDlg) \
    X(Ostrel_SetAnalogDlg) \
    X(Ostrel_SetColorMode) \
    X(Ostrel_GetColorMode) \
    X(Ostrel_GetSubSample) \
    X(Ostrel_SetWaitTime) \
    X(Ostrel_GetWaitTime) \
    X(Ostrel_SetMirrorV) \
    X(Ostrel_GetMirrorV) \
    X(Ostrel_SetMirrorH) \
    X(Ostrel_GetMirrorH) \
    X(Ostrel_SetAutoIris) \
    X(Ostrel_GetAutoIris) \
    X(Ostrel_WriteSromID) \
    X(Ostrel_ReadSromID) \
    X(Ostrel_WriteRegister) \
    X(Ostrel_ReadRegister) \
    X(Ostrel_GetRealExposureTime) \
    X(Ostrel_GetCameraInfo) \
    X(Ostrel_SetFilterValue) \
    X(Ostrel_GetFilterValue) \
    X(Ostrel_SetBrightness) \
    X(Ostrel_GetBrightness) \
    X(Ostrel_SetContrast) \
    X(Ostrel_GetContrast) \
    X(Ostrel_SetHue) \
    X(Ostrel_GetHue) \
    X(Ostrel_SetSaturation) \
    X(Ostrel_GetSaturation) \
    X(Ostrel_SetSharpness) \
    X(Ostrel_GetSharpness) \
    X(Ostrel_SetBayerGainRGB) \
    X(Ostrel_GetBayerGainRGB) \
    X(Ostrel_SetBayerGainRed) \
    X(Ostrel_GetBayerGainRed) \
    X(Ostrel_SetBayerGainGreen) \
    X(Ostrel_GetBayerGainGreen) \
    X(Ostrel_SetBayerGainBlue) \
    X(Ostrel_GetBayerGainBlue) \
    X(Ostrel_SetBayerGainAuto) \
    X(Ostrel_GetBayerGainAuto) \
    X(Ostrel_SetGamma) \
    X(Ostrel_GetGamma) \
    X(Ostrel_SetBayerMode) \
    X(Ostrel_GetBayerMode) \
    X(Ostrel_SetGlobalGain) \
    X(Ostrel_GetGlobalGain) \
    X(Ostrel_SetColorGainRed) \
    X(Ostrel_GetColorGainRed) \
    X(Ostrel_SetColorGainGreen1) \
    X(Ostrel_GetColorGainGreen1) \
    X(Ostrel_SetColorGainGreen2) \
    X(Ostrel_GetColorGainGreen2) \
    X(Ostrel_SetColorGainBlue) \
    X(Ostrel_GetColorGainBlue) \
    X(Ostrel_SetExposureTime) \
    X(Ostrel_GetExposureTime) \
    X(Ostrel_SetGrayMode) \
    X(Ostrel_GetGrayMode) \
    X(Ostrel_SetGrayGainR) \
    X(Ostrel_GetGrayGainR) \
    X(Ostrel_SetGrayGainG1) \
    X(Ostrel_GetGrayGainG1) \
    X(Ostrel_SetGrayGainG2) \
    X(Ostrel_GetGrayGainG2) \
    X(Ostrel_SetGrayGainB) \
    X(Ostrel_GetGrayGainB) \
    X(Ostrel_SetGrayOffsetR) \
    X(Ostrel_GetGrayOffsetR) \
    X(Ostrel_SetGrayOffsetG1) \
    X(Ostrel_GetGrayOffsetG1) \
    X(Ostrel_SetGrayOffsetG2) \
    X(Ostrel_GetGrayOffsetG2) \
    X(Ostrel_SetGrayOffsetB) \
    X(Ostrel_GetGrayOffsetB) \
    X(Ostrel_Fps) \
    X(Ostrel_GetCameraType) \
    X(Ostrel_SetCameraType) \
    X(Ostrel_SetCaptureWindow) \
    X(Ostrel_SetCaptureWindowEx) \
    X(Ostrel_GetCaptureWindowEx) \
    X(Ostrel_GetIOPort) \
    X(Ostrel_SetIOPort) \
    X(Ostrel_SetCrossbar) \
    X(Ostrel_SetHalfClock) \
    X(Ostrel_SetSamplingRate) \
    X(Ostrel_SetSubSample) \
    X(Ostrel_Trigger) \
    X(Ostrel_GetHalfClock) \
    X(Ostrel_GetSamplingRate) \
    X(Ostrel_GetVideoFormat)

#ifdef _WIN32
#define DECLARE_POINTER(name) static __typeof__(&name) p_##name;
ALL_EXPORTS(DECLARE_POINTER)
#define CALL(name) p_##name
#else
#define CALL(name) name
#endif

static int failures = 0;

#define CHECK(condition)                                                        \
    do {                                                                        \
        if (!(condition)) {                                                     \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            ++failures;                                                         \
        }                                                                       \
    } while (0)

#define CHECK_EQ(actual, expected)                                                       \
    do {                                                                                 \
        long long a_ = (long long)(actual);                                              \
        long long e_ = (long long)(expected);                                            \
        if (a_ != e_) {                                                                  \
            fprintf(stderr, "%s:%d: %s is %lld, expected %lld\n", __FILE__, __LINE__,    \
                    #actual, a_, e_);                                                    \
            ++failures;                                                                  \
        }                                                                                \
    } while (0)

/* ---- Notifications ----------------------------------------------------------------------- */

static OstrelWindow notificationWindow;

#ifdef _WIN32
static OstrelWindow makeNotificationWindow(void) {
    return CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
}

/* Takes every notification of this thread (its windows and its own queue); returns how many
 * there were and the code of the last one. */
static int takeNotifications(intptr_t *lastCode) {
    MSG msg;
    int count = 0;
    while (PeekMessageA(&msg, NULL, OSTREL_MSG_FRAME, OSTREL_MSG_ERROR, PM_REMOVE)) {
        *lastCode = (intptr_t)msg.lParam;
        ++count;
    }
    return count;
}
#else
static OstrelWindow makeNotificationWindow(void) {
    return Ostrel_CreateMessageQueue();
}

static int takeNotifications(intptr_t *lastCode) {
    OstrelMessage message;
    int count = 0;
    /* The notification queue, then the thread's own queue (window 0). */
    while (Ostrel_WaitMessage(notificationWindow, &message, 0)) {
        *lastCode = message.lParam;
        ++count;
    }
    while (Ostrel_WaitMessage(0, &message, 0)) {
        *lastCode = message.lParam;
        ++count;
    }
    return count;
}
#endif

static void expectNoNotification(const char *after) {
    intptr_t code = -1;
    int count = takeNotifications(&code);
    if (count != 0) {
        fprintf(stderr, "%d notification(s) after %s, last code %ld\n", count, after, (long)code);
        ++failures;
    }
}

/* ---- Unregistered handles ----------------------------------------------------------------- */

enum { kSentinel = 0x5A5A5A5A };

/* Calls every export with a handle that is not registered: each must give its failure value
 * and touch nothing. */
static void checkUnregistered(CameraHandle handle) {
    char text[OSTREL_MAX_DEVICES * OSTREL_DEVICE_NAME_LENGTH];
    wchar_t wide[OSTREL_MAX_DEVICES * OSTREL_DEVICE_NAME_LENGTH];
    char buffer[64];
    int a = kSentinel, b = kSentinel, c = kSentinel, d = kSentinel, e = kSentinel;
    CameraInfo info;
    size_t i;
    int ok = 1;

    memset(text, 'T', sizeof text);
    memset(buffer, 'B', sizeof buffer);
    for (i = 0; i < sizeof wide / sizeof wide[0]; ++i) {
        wide[i] = L'W';
    }
    memset(&info, 'I', sizeof info);
    info.size = OSTREL_CAMERA_INFO_SIZE;

    /* Library frame */
    CHECK_EQ(CALL(Ostrel_Release)(handle), 0);
    CHECK_EQ(CALL(Ostrel_GetLastError)(handle), 0);

    /* Acquisition */
    CHECK_EQ(CALL(Ostrel_Preview)(handle), 0);
    CHECK_EQ(CALL(Ostrel_CallBackPreview)(handle, notificationWindow, buffer, sizeof buffer, 1), 0);
    CHECK_EQ(CALL(Ostrel_StartPreview)(handle), 0);
    CHECK_EQ(CALL(Ostrel_StopPreview)(handle), 0);
    CHECK_EQ(CALL(Ostrel_Close)(handle), 0);
    CHECK_EQ(CALL(Ostrel_SnapShot)(handle, buffer, sizeof buffer, 1), 0);
    CHECK_EQ(CALL(Ostrel_Capture)(handle), 0);
    CHECK_EQ(CALL(Ostrel_GetImage)(handle, buffer, sizeof buffer, 0), 0);
    CHECK_EQ(CALL(Ostrel_Record)(handle, "unregistered.avi", 1000, 1), 0);
    CHECK_EQ(CALL(Ostrel_RecordW)(handle, L"unregistered.avi", 1000, 1), 0);
    CHECK_EQ(CALL(Ostrel_Width)(handle), 0);
    CHECK_EQ(CALL(Ostrel_Height)(handle), 0);
    CHECK_EQ(CALL(Ostrel_GetStatus)(handle, 1), 0);
    CHECK_EQ(CALL(Ostrel_SetPreviewWindow)(handle, notificationWindow, 0, 0, 64, 48), 0);

    /* Camera selection and names */
    CHECK_EQ(CALL(Ostrel_SetDeviceNumber)(handle, 0), 0);
    CHECK_EQ(CALL(Ostrel_EnumDevice)(handle, text), 0);
    CHECK_EQ(CALL(Ostrel_EnumDeviceW)(handle, wide), 0);
    CHECK_EQ(CALL(Ostrel_GetDeviceName)(handle, 0, text, 256), 0);
    CHECK_EQ(CALL(Ostrel_GetDeviceNameW)(handle, 0, wide, 256), 0);

    /* Still images and dialogs */
    CHECK_EQ(CALL(Ostrel_SaveImage)(handle, "unregistered.bmp", OSTREL_FILE_BMP), 0);
    CHECK_EQ(CALL(Ostrel_SaveImageW)(handle, L"unregistered.bmp", OSTREL_FILE_BMP), 0);
    CHECK_EQ(CALL(Ostrel_SetCameraDlg)(handle, notificationWindow), 0);
    CHECK_EQ(CALL(Ostrel_SetImageDlg)(handle, notificationWindow), 0);
    CHECK_EQ(CALL(Ostrel_SetAnalogDlg)(handle, notificationWindow), 0);

    /* Context settings */
    CHECK_EQ(CALL(Ostrel_SetColorMode)(handle, 24), 0);
    CHECK_EQ(CALL(Ostrel_GetColorMode)(handle), -1);
    CHECK_EQ(CALL(Ostrel_GetSubSample)(handle), -1);
    CHECK_EQ(CALL(Ostrel_SetWaitTime)(handle, 5), 0);
    CHECK_EQ(CALL(Ostrel_GetWaitTime)(handle), -1);
    CHECK_EQ(CALL(Ostrel_SetMirrorV)(handle, 1), 0);
    CHECK_EQ(CALL(Ostrel_GetMirrorV)(handle), 0);
    CHECK_EQ(CALL(Ostrel_SetMirrorH)(handle, 1), 0);
    CHECK_EQ(CALL(Ostrel_GetMirrorH)(handle), 0);
    CHECK_EQ(CALL(Ostrel_SetAutoIris)(handle, 1), 0);
    CHECK_EQ(CALL(Ostrel_GetAutoIris)(handle, &a), 0);
    CHECK_EQ(CALL(Ostrel_WriteSromID)(handle, 0, 1), 0);
    CHECK_EQ(CALL(Ostrel_ReadSromID)(handle, 0, &a), 0);
    CHECK_EQ(CALL(Ostrel_WriteRegister)(handle, 1, 1), 0);
    CHECK_EQ(CALL(Ostrel_ReadRegister)(handle, 1, &a), 0);
    CHECK_EQ(CALL(Ostrel_GetRealExposureTime)(handle, &a), 0);
    CHECK_EQ(CALL(Ostrel_GetCameraInfo)(handle, &info), 0);
    CHECK_EQ(CALL(Ostrel_SetFilterValue)(handle, OSTREL_FILTER_GAMMA, 100), 0);
    CHECK_EQ(CALL(Ostrel_GetFilterValue)(handle, OSTREL_FILTER_GAMMA, &a), 0);

    /* Named filter values */
#define CHECK_FILTER_PAIR(Name)                                  \
    CHECK_EQ(CALL(Ostrel_Set##Name)(handle, 1), 0);              \
    CHECK_EQ(CALL(Ostrel_Get##Name)(handle, &a), 0);
    CHECK_FILTER_PAIR(Brightness)
    CHECK_FILTER_PAIR(Contrast)
    CHECK_FILTER_PAIR(Hue)
    CHECK_FILTER_PAIR(Saturation)
    CHECK_FILTER_PAIR(Sharpness)
    CHECK_FILTER_PAIR(BayerGainRGB)
    CHECK_FILTER_PAIR(BayerGainRed)
    CHECK_FILTER_PAIR(BayerGainGreen)
    CHECK_FILTER_PAIR(BayerGainBlue)
    CHECK_FILTER_PAIR(BayerGainAuto)
    CHECK_FILTER_PAIR(Gamma)
    CHECK_FILTER_PAIR(BayerMode)
    CHECK_FILTER_PAIR(GlobalGain)
    CHECK_FILTER_PAIR(ColorGainRed)
    CHECK_FILTER_PAIR(ColorGainGreen1)
    CHECK_FILTER_PAIR(ColorGainGreen2)
    CHECK_FILTER_PAIR(ColorGainBlue)
    CHECK_FILTER_PAIR(ExposureTime)
    CHECK_FILTER_PAIR(GrayMode)
    CHECK_FILTER_PAIR(GrayGainR)
    CHECK_FILTER_PAIR(GrayGainG1)
    CHECK_FILTER_PAIR(GrayGainG2)
    CHECK_FILTER_PAIR(GrayGainB)
    CHECK_FILTER_PAIR(GrayOffsetR)
    CHECK_FILTER_PAIR(GrayOffsetG1)
    CHECK_FILTER_PAIR(GrayOffsetG2)
    CHECK_FILTER_PAIR(GrayOffsetB)

    /* Unsupported and zeroing entry points */
    CHECK_EQ(CALL(Ostrel_Fps)(handle), 0);
    CHECK_EQ(CALL(Ostrel_GetCameraType)(handle), 0);
    CHECK_EQ(CALL(Ostrel_SetCameraType)(handle, 1), 0);
    CHECK_EQ(CALL(Ostrel_SetCaptureWindow)(handle, 0, 0, 64, 48), 0);
    CHECK_EQ(CALL(Ostrel_SetCaptureWindowEx)(handle, 0, 0, 64, 48, 1), 0);
    CHECK_EQ(CALL(Ostrel_GetCaptureWindowEx)(handle, &a, &b, &c, &d, &e), 0);
    CHECK_EQ(CALL(Ostrel_GetIOPort)(handle, &b), 0);
    CHECK_EQ(CALL(Ostrel_SetIOPort)(handle, 1), 0);
    CHECK_EQ(CALL(Ostrel_SetCrossbar)(handle, 1), 0);
    CHECK_EQ(CALL(Ostrel_SetHalfClock)(handle, 1), 0);
    CHECK_EQ(CALL(Ostrel_SetSamplingRate)(handle, 1), 0);
    CHECK_EQ(CALL(Ostrel_SetSubSample)(handle, 1), 0);
    CHECK_EQ(CALL(Ostrel_Trigger)(handle), 0);
    CHECK_EQ(CALL(Ostrel_GetHalfClock)(handle, &c), 0);
    CHECK_EQ(CALL(Ostrel_GetSamplingRate)(handle, &d), 0);
    CHECK_EQ(CALL(Ostrel_GetVideoFormat)(handle, &e), 0);

    /* Nothing written, nothing posted. */
    CHECK_EQ(a, kSentinel);
    CHECK_EQ(b, kSentinel);
    CHECK_EQ(c, kSentinel);
    CHECK_EQ(d, kSentinel);
    CHECK_EQ(e, kSentinel);
    for (i = 0; i < sizeof text; ++i) {
        ok = ok && text[i] == 'T';
    }
    for (i = 0; i < sizeof wide / sizeof wide[0]; ++i) {
        ok = ok && wide[i] == L'W';
    }
    for (i = 0; i < sizeof buffer; ++i) {
        ok = ok && buffer[i] == 'B';
    }
    CHECK(ok);
    CHECK_EQ(info.size, OSTREL_CAMERA_INFO_SIZE);
    CHECK_EQ(info.sensorWidth, 0x49494949);
    expectNoNotification("calls with an unregistered handle");
}

/* ---- A fresh handle ----------------------------------------------------------------------- */

static void drainHistory(CameraHandle handle) {
    int guard = 0;
    while (CALL(Ostrel_GetLastError)(handle) != 0 && ++guard < 100) {
    }
    {
        intptr_t code;
        (void)takeNotifications(&code);
    }
}

/* Expects exactly one notification, with this code. */
static void expectOneNotification(intptr_t expected, const char *after) {
    intptr_t code = -1;
    int count = takeNotifications(&code);
    if (count != 1 || code != expected) {
        fprintf(stderr, "after %s: %d notification(s), last code %ld; expected one with %ld\n",
                after, count, (long)code, (long)expected);
        ++failures;
    }
}

/* Calls every export with an open context. The modal dialogs are left out: with a camera device
 * they would wait for a user. Results are checked where they hold with and without a camera. */
static void exerciseFresh(CameraHandle handle) {
    static char names[OSTREL_MAX_DEVICES * OSTREL_DEVICE_NAME_LENGTH];
    static wchar_t wideNames[OSTREL_MAX_DEVICES * OSTREL_DEVICE_NAME_LENGTH];
    char name[64];
    wchar_t wideName[64];
    int value = kSentinel;
    int ok = kSentinel;
    CameraInfo info;

    CHECK_EQ(CALL(Ostrel_GetDllVersion)(), OSTREL_DLL_VERSION);
    drainHistory(handle);

    /* Settings that need no camera. */
    CHECK_EQ(CALL(Ostrel_SetColorMode)(handle, OSTREL_COLOR_BGR48), 1);
    CHECK_EQ(CALL(Ostrel_GetColorMode)(handle), 48);
    CHECK_EQ(CALL(Ostrel_SetColorMode)(handle, 12), 0);
    CHECK_EQ(CALL(Ostrel_GetLastError)(handle), OSTREL_ERROR_INVALID_ARGUMENT);
    expectOneNotification(OSTREL_ERROR_INVALID_ARGUMENT, "Ostrel_SetColorMode(12)");
    CHECK_EQ(CALL(Ostrel_SetColorMode)(handle, OSTREL_COLOR_BGR24), 1);
    CHECK_EQ(CALL(Ostrel_GetSubSample)(handle), 0);
    CHECK_EQ(CALL(Ostrel_SetWaitTime)(handle, -1), 0);
    CHECK_EQ(CALL(Ostrel_SetWaitTime)(handle, 20), 1);
    CHECK_EQ(CALL(Ostrel_GetWaitTime)(handle), 20);
    CHECK_EQ(CALL(Ostrel_GetStatus)(handle, 12345), 0);
    CHECK_EQ(CALL(Ostrel_SetAutoIris)(handle, 3), 0);
    CHECK_EQ(CALL(Ostrel_GetLastError)(handle), 0); /* posted only */
    expectOneNotification(OSTREL_ERROR_INVALID_ARGUMENT, "Ostrel_SetAutoIris(3)");
    CHECK_EQ(CALL(Ostrel_SetAutoIris)(handle, 1), 1);
    CHECK_EQ(CALL(Ostrel_GetAutoIris)(handle, &ok), 1);
    CHECK_EQ(ok, 1);
    ok = 0;
    (void)CALL(Ostrel_GetRealExposureTime)(handle, &ok);
    CHECK_EQ(ok, 1);
    CHECK_EQ(CALL(Ostrel_Width)(handle) > 0, 1);
    CHECK_EQ(CALL(Ostrel_Height)(handle) > 0, 1);
    CHECK_EQ(CALL(Ostrel_ReadRegister)(handle, 1, &value), 0);
    CHECK_EQ(value, 0);
    expectOneNotification(OSTREL_ERROR_NO_CAMERA, "Ostrel_ReadRegister");
    CHECK_EQ(CALL(Ostrel_ReadSromID)(handle, 0, &ok), 0);
    CHECK_EQ(ok, 0);
    CHECK_EQ(CALL(Ostrel_WriteSromID)(handle, 0, 1), 0);
    drainHistory(handle);

    /* The unsupported and zeroing entry points. */
    CHECK_EQ(CALL(Ostrel_Trigger)(handle), 0);
    CHECK_EQ(CALL(Ostrel_GetLastError)(handle), 0);
    expectOneNotification(OSTREL_ERROR_NOT_SUPPORTED, "Ostrel_Trigger");
    CHECK_EQ(CALL(Ostrel_SetCaptureWindowEx)(handle, 1, 2, 3, 4, 5), 0);
    expectOneNotification(OSTREL_ERROR_NOT_SUPPORTED, "Ostrel_SetCaptureWindowEx");
    value = kSentinel;
    CHECK_EQ(CALL(Ostrel_GetCaptureWindowEx)(handle, &value, &value, &value, &value, &value), 0);
    CHECK_EQ(value, kSentinel);
    expectOneNotification(OSTREL_ERROR_NOT_SUPPORTED, "Ostrel_GetCaptureWindowEx");
    CHECK_EQ(CALL(Ostrel_Fps)(handle), 0);
    CHECK_EQ(CALL(Ostrel_GetCameraType)(handle), 0);
    CHECK_EQ(CALL(Ostrel_SetCameraType)(handle, 1), 0);
    CHECK_EQ(CALL(Ostrel_SetCaptureWindow)(handle, 1, 2, 3, 4), 0);
    CHECK_EQ(CALL(Ostrel_GetIOPort)(handle, &value), 0);
    CHECK_EQ(CALL(Ostrel_SetIOPort)(handle, 1), 0);
    CHECK_EQ(CALL(Ostrel_SetCrossbar)(handle, 1), 0);
    CHECK_EQ(CALL(Ostrel_SetHalfClock)(handle, 1), 0);
    CHECK_EQ(CALL(Ostrel_SetSamplingRate)(handle, 1), 0);
    CHECK_EQ(CALL(Ostrel_SetSubSample)(handle, 1), 0);
    CHECK_EQ(value, kSentinel);
    {
        intptr_t code = -1;
        CHECK_EQ(takeNotifications(&code), 10);
        CHECK_EQ(code, OSTREL_ERROR_NOT_SUPPORTED);
    }
    value = kSentinel;
    CHECK_EQ(CALL(Ostrel_GetHalfClock)(handle, &value), 0);
    CHECK_EQ(value, 0);
    value = kSentinel;
    CHECK_EQ(CALL(Ostrel_GetSamplingRate)(handle, &value), 0);
    CHECK_EQ(value, 0);
    value = kSentinel;
    CHECK_EQ(CALL(Ostrel_GetVideoFormat)(handle, &value), 0);
    CHECK_EQ(value, 0);
    CHECK_EQ(CALL(Ostrel_GetLastError)(handle), 0);
    expectNoNotification("the zeroing getters");

    /* Settings that reach the camera: results depend on whether one is attached. */
    (void)CALL(Ostrel_SetMirrorV)(handle, 0);
    (void)CALL(Ostrel_GetMirrorV)(handle);
    (void)CALL(Ostrel_SetMirrorH)(handle, 0);
    (void)CALL(Ostrel_GetMirrorH)(handle);
    (void)CALL(Ostrel_WriteRegister)(handle, 1, 1);
    CHECK_EQ(CALL(Ostrel_GetCameraInfo)(handle, NULL), 0);
    memset(&info, 0, sizeof info);
    info.size = OSTREL_CAMERA_INFO_SIZE - 1;
    CHECK_EQ(CALL(Ostrel_GetCameraInfo)(handle, &info), 0);
    info.size = OSTREL_CAMERA_INFO_SIZE;
    (void)CALL(Ostrel_GetCameraInfo)(handle, &info);
    CHECK_EQ(CALL(Ostrel_SetFilterValue)(handle, 14, 1), 0);
    CHECK_EQ(CALL(Ostrel_SetFilterValue)(handle, OSTREL_FILTER_BRIGHTNESS, 256), 0);
    ok = kSentinel;
    CHECK_EQ(CALL(Ostrel_GetFilterValue)(handle, 99, &ok), 0);
    CHECK_EQ(ok, 0);
    (void)CALL(Ostrel_SetFilterValue)(handle, OSTREL_FILTER_GAMMA, 100);
    (void)CALL(Ostrel_GetFilterValue)(handle, OSTREL_FILTER_GAMMA, &ok);
    CHECK_EQ(CALL(Ostrel_SetColorGainRed)(handle, 1), 0);
    CHECK_EQ(CALL(Ostrel_GetColorGainRed)(handle, &ok), 0);
    CHECK_EQ(ok, 0);
    CHECK_EQ(CALL(Ostrel_SetExposureTime)(handle, 0), 0);

#define EXERCISE_FILTER_PAIR(Name)                     \
    (void)CALL(Ostrel_Set##Name)(handle, 0);           \
    (void)CALL(Ostrel_Get##Name)(handle, &ok);
    EXERCISE_FILTER_PAIR(Brightness)
    EXERCISE_FILTER_PAIR(Contrast)
    EXERCISE_FILTER_PAIR(Hue)
    EXERCISE_FILTER_PAIR(Saturation)
    EXERCISE_FILTER_PAIR(Sharpness)
    EXERCISE_FILTER_PAIR(BayerGainRGB)
    EXERCISE_FILTER_PAIR(BayerGainRed)
    EXERCISE_FILTER_PAIR(BayerGainGreen)
    EXERCISE_FILTER_PAIR(BayerGainBlue)
    EXERCISE_FILTER_PAIR(BayerGainAuto)
    EXERCISE_FILTER_PAIR(Gamma)
    EXERCISE_FILTER_PAIR(BayerMode)
    EXERCISE_FILTER_PAIR(GlobalGain)
    EXERCISE_FILTER_PAIR(ColorGainGreen1)
    EXERCISE_FILTER_PAIR(ColorGainGreen2)
    EXERCISE_FILTER_PAIR(ColorGainBlue)
    EXERCISE_FILTER_PAIR(ExposureTime)
    EXERCISE_FILTER_PAIR(GrayMode)
    EXERCISE_FILTER_PAIR(GrayGainR)
    EXERCISE_FILTER_PAIR(GrayGainG1)
    EXERCISE_FILTER_PAIR(GrayGainG2)
    EXERCISE_FILTER_PAIR(GrayGainB)
    EXERCISE_FILTER_PAIR(GrayOffsetR)
    EXERCISE_FILTER_PAIR(GrayOffsetG1)
    EXERCISE_FILTER_PAIR(GrayOffsetG2)
    EXERCISE_FILTER_PAIR(GrayOffsetB)
    drainHistory(handle);

    /* Camera selection and names. */
    (void)CALL(Ostrel_SetDeviceNumber)(handle, 0);
    {
        int count = CALL(Ostrel_EnumDevice)(handle, names);
        CHECK(count >= 0 && count <= OSTREL_MAX_DEVICES);
        count = CALL(Ostrel_EnumDeviceW)(handle, wideNames);
        CHECK(count >= 0 && count <= OSTREL_MAX_DEVICES);
    }
    memset(name, 'N', sizeof name);
    CHECK_EQ(CALL(Ostrel_GetDeviceName)(handle, 0, name, 16), 0);
    CHECK_EQ(name[0], 'N');
    (void)CALL(Ostrel_GetDeviceName)(handle, 0, name, sizeof name);
    (void)CALL(Ostrel_GetDeviceNameW)(handle, 0, wideName, 64);
    CHECK_EQ(CALL(Ostrel_SetDeviceNumber)(handle, 1000), 0);
    drainHistory(handle);

    /* Acquisition with no frame buffers given, files with invalid names, then stop. */
    (void)CALL(Ostrel_SetPreviewWindow)(handle, notificationWindow, 0, 0, 64, 48);
    CHECK_EQ(CALL(Ostrel_Record)(handle, NULL, 1000, 0), 0);
    CHECK_EQ(CALL(Ostrel_GetLastError)(handle), OSTREL_ERROR_INVALID_ARGUMENT);
    CHECK_EQ(CALL(Ostrel_Record)(handle, "", 1000, 0), 0);
    CHECK_EQ(CALL(Ostrel_RecordW)(handle, L"", 1000, 0), 0);
    (void)CALL(Ostrel_GetImage)(handle, NULL, 0, 0);
    (void)CALL(Ostrel_SaveImage)(handle, "abi_every_export.bmp", 99);
    (void)CALL(Ostrel_SaveImageW)(handle, L"abi_every_export.bmp", 99);
    (void)CALL(Ostrel_Capture)(handle);
    (void)CALL(Ostrel_SnapShot)(handle, NULL, 0, 0);
    (void)CALL(Ostrel_StopPreview)(handle);
    (void)CALL(Ostrel_StartPreview)(handle);
    (void)CALL(Ostrel_StopPreview)(handle);
    (void)CALL(Ostrel_Preview)(handle);
    (void)CALL(Ostrel_Close)(handle);
    (void)CALL(Ostrel_CallBackPreview)(handle, notificationWindow, NULL, 0, 1);
    CHECK_EQ(CALL(Ostrel_Close)(handle), 1);
    drainHistory(handle);
}

int main(int argc, char **argv) {
    CameraHandle fresh, released, neverIssued;

#ifdef _WIN32
    HMODULE library;
    FARPROC seen[117];
    int names = 0, distinct = 0, j;
    if (argc < 2) {
        fprintf(stderr, "usage: %s PATH-OF-THE-DLL\n", argv[0]);
        return 2;
    }
    library = LoadLibraryA(argv[1]);
    if (library == NULL) {
        fprintf(stderr, "cannot load %s (error %lu)\n", argv[1], (unsigned long)GetLastError());
        return 1;
    }
#define LOAD(name)                                                                   \
    {                                                                                \
        FARPROC address = GetProcAddress(library, #name);                           \
        if (address == NULL) {                                                       \
            fprintf(stderr, "%s is not exported\n", #name);                         \
            ++failures;                                                              \
        }                                                                            \
        p_##name = (__typeof__(&name))(void (*)(void))address;                      \
        for (j = 0; j < distinct && seen[j] != address; ++j) {                       \
        }                                                                            \
        if (j == distinct) {                                                         \
            seen[distinct++] = address;                                              \
        }                                                                            \
        ++names;                                                                     \
    }
    ALL_EXPORTS(LOAD)
    CHECK_EQ(names, 117);
    CHECK_EQ(distinct, 103);
    if (failures != 0) {
        return 1;
    }
#else
    (void)argc;
    (void)argv;
#endif

    notificationWindow = makeNotificationWindow();
    CHECK(notificationWindow != 0);
    expectNoNotification("start");

    fresh = CALL(Ostrel_Initialize)(notificationWindow);
    released = CALL(Ostrel_Initialize)(notificationWindow);
    CHECK(fresh != 0);
    CHECK(released != 0);
    CHECK(fresh != released);
    CHECK_EQ(CALL(Ostrel_Release)(released), 1);
    drainHistory(fresh);

    neverIssued = 0x13572468u;
    while (neverIssued == fresh || neverIssued == released) {
        ++neverIssued;
    }

    checkUnregistered(neverIssued);
    checkUnregistered(released);
    checkUnregistered(0);

    exerciseFresh(fresh);
    /* Unregistered handles still do nothing while another context is open and used. */
    checkUnregistered(neverIssued);

    CHECK_EQ(CALL(Ostrel_Release)(fresh), 1);
    CHECK_EQ(CALL(Ostrel_Release)(fresh), 0);
    checkUnregistered(fresh);

#ifdef _WIN32
    DestroyWindow(notificationWindow);
    FreeLibrary(library);
#else
    CHECK_EQ(Ostrel_DestroyMessageQueue(notificationWindow), 1);
    CHECK_EQ(Ostrel_DestroyMessageQueue(notificationWindow), 0);
    {
        OstrelMessage message;
        CHECK_EQ(Ostrel_WaitMessage(notificationWindow, &message, 0), 0);
        CHECK_EQ(Ostrel_WaitMessage(0, NULL, 0), 0);
    }
#endif

    if (failures != 0) {
        fprintf(stderr, "%d check(s) failed\n", failures);
        return 1;
    }
    printf("every export: all checks passed\n");
    return 0;
}
