// Windows and drawing on Windows: USER32 window classes and windows of the main module, window
// device contexts, and GDI transfers into them.
#include "platform/window.h"

#include <windows.h>

#include <cstring>

namespace ostrel::platform {
namespace {

HWND toHwnd(WindowHandle window) {
    return reinterpret_cast<HWND>(window);
}

// The process's main module, not this library's: the classes belong to the application.
HINSTANCE mainModule() {
    return GetModuleHandleA(nullptr);
}

// A bitmap information block: the header and a full colour table.
struct BitmapInfo256 {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
};

}  // namespace

bool registerWindowClass(const char *name) {
    if (name == nullptr || name[0] == '\0') {
        return false;
    }
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = 0;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = mainModule();
    windowClass.hIcon = nullptr;
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = name;
    windowClass.hIconSm = nullptr;
    return RegisterClassExA(&windowClass) != 0;
}

bool unregisterWindowClass(const char *name) {
    if (name == nullptr || name[0] == '\0') {
        return false;
    }
    return UnregisterClassA(name, mainModule()) != FALSE;
}

bool isWindowClassRegistered(const char *name) {
    if (name == nullptr || name[0] == '\0') {
        return false;
    }
    WNDCLASSEXA info = {};
    info.cbSize = sizeof info;
    return GetClassInfoExA(mainModule(), name, &info) != FALSE;
}

bool adjustWindowRect(WindowRect &rect, std::uint32_t style) {
    RECT r = {rect.left, rect.top, rect.right, rect.bottom};
    if (!AdjustWindowRectEx(&r, style, FALSE, 0)) {
        return false;
    }
    rect = WindowRect{r.left, r.top, r.right, r.bottom};
    return true;
}

ScreenSize primaryScreenSize() {
    return ScreenSize{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

WindowHandle createWindow(const WindowDescription &description) {
    const bool child = description.parent != kNoWindow;
    // A child window's menu argument carries its control identifier.
    HMENU menu =
        child ? reinterpret_cast<HMENU>(static_cast<std::uintptr_t>(description.childId)) : nullptr;
    HWND window =
        CreateWindowExA(0, description.className, description.title, description.style,
                        description.x, description.y, description.width, description.height,
                        toHwnd(description.parent), menu, mainModule(), nullptr);
    return reinterpret_cast<WindowHandle>(window);
}

bool showWindow(WindowHandle window) {
    HWND hwnd = toHwnd(window);
    SetFocus(hwnd);
    ShowWindow(hwnd, SW_SHOW);
    return UpdateWindow(hwnd) != FALSE;
}

void destroyWindow(WindowHandle window) {
    if (window != kNoWindow) {
        DestroyWindow(toHwnd(window));
    }
}

bool windowExists(WindowHandle window) {
    return window != kNoWindow && IsWindow(toHwnd(window)) != FALSE;
}

DrawingContext acquireDrawingContext(WindowHandle window) {
    if (window == kNoWindow) {
        return nullptr;
    }
    return GetDC(toHwnd(window));
}

void releaseDrawingContext(WindowHandle window, DrawingContext context) {
    if (context != nullptr) {
        ReleaseDC(toHwnd(window), static_cast<HDC>(context));
    }
}

bool windowClientRect(WindowHandle window, WindowRect &rect) {
    RECT r;
    if (window == kNoWindow || !GetClientRect(toHwnd(window), &r)) {
        return false;
    }
    rect = WindowRect{r.left, r.top, r.right, r.bottom};
    return true;
}

bool isWindowVisible(WindowHandle window) {
    return window != kNoWindow && IsWindowVisible(toHwnd(window)) != FALSE;
}

bool drawBitmapFlipped(DrawingContext context, const void *bitmapInfo, const std::uint8_t *pixels) {
    if (context == nullptr || bitmapInfo == nullptr || pixels == nullptr) {
        return false;
    }
    // The same rows described as a top-down bitmap: the first row in memory is then the top
    // one, a 1:1 copy with the picture upright.
    BitmapInfo256 info;
    std::memcpy(&info, bitmapInfo, sizeof info);
    const LONG width = info.header.biWidth;
    const LONG height = info.header.biHeight;
    if (width <= 0 || height <= 0) {
        return false;
    }
    info.header.biHeight = -height;
    const int lines =
        StretchDIBits(static_cast<HDC>(context), 0, 0, width, height, 0, 0, width, height, pixels,
                      reinterpret_cast<const BITMAPINFO *>(&info), DIB_RGB_COLORS, SRCCOPY);
    GdiFlush();
    return lines != 0 && lines != static_cast<int>(GDI_ERROR);
}

bool drawFromMemoryContext(DrawingContext context, std::int32_t width, std::int32_t height,
                           void *sourceContext) {
    if (context == nullptr || sourceContext == nullptr) {
        return false;
    }
    const BOOL done = BitBlt(static_cast<HDC>(context), 0, 0, width, height,
                             static_cast<HDC>(sourceContext), 0, 0, SRCCOPY);
    GdiFlush();
    return done != FALSE;
}

}  // namespace ostrel::platform
