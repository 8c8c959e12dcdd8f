// Windows and drawing for the preview window: window classes with the system's default
// behaviour, creating, showing and destroying windows, their drawing contexts, and the two
// transfers the preview draws with.
//
// Windows: the real window system. Linux: there is no window system yet, so windows are headless
// records: they are created, registered and destroyed as on Windows and keep their placement,
// but are never visible and draw nothing.
//
// Threads: a window is created and destroyed on the same thread (on Windows, the thread whose
// message loop serves it). The drawing calls (client rectangle, visibility, transfers) may come
// from any thread; none of them waits for the window's own thread.
#pragma once

#include <cstdint>

#include "platform/window_handle.h"

namespace ostrel::platform {

// A window's drawing context (an opaque system handle); null when there is none.
using DrawingContext = void *;

struct WindowRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    std::int32_t width() const { return right - left; }
    std::int32_t height() const { return bottom - top; }
};

struct ScreenSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// A child window: visible, clipping its children.
inline constexpr std::uint32_t kChildWindowStyle = 0x52000000;
// A top-level window with caption, frame and system buttons: visible, clipping its siblings and
// children.
inline constexpr std::uint32_t kTopLevelWindowStyle = 0x16CF0000;

// Registers a window class of the process's main module: no class style, the system's default
// window procedure, no extra bytes, no icons, the arrow cursor, a black background, no menu.
// False when the name is empty or taken, or the system refuses. Any thread.
[[nodiscard]] bool registerWindowClass(const char *name);

// Unregisters a class registered by registerWindowClass. False when it is not registered or a
// window of it still exists. Any thread.
bool unregisterWindowClass(const char *name);

// True when a class of that name is registered for the main module. Any thread.
bool isWindowClassRegistered(const char *name);

// Grows a client rectangle into the window rectangle of a window of `style` with no menu and no
// extended style. False when the system cannot say (the rectangle is then unchanged).
[[nodiscard]] bool adjustWindowRect(WindowRect &rect, std::uint32_t style);

// The size of the primary display; 0 x 0 where there is none (headless).
ScreenSize primaryScreenSize();

struct WindowDescription {
    const char *className = nullptr;  // a registered class
    const char *title = nullptr;
    std::uint32_t style = 0;
    std::int32_t x = 0;  // in the parent's client area, or on the screen for top-level windows
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    WindowHandle parent = kNoWindow;  // kNoWindow for a top-level window
    std::uint32_t childId = 0;        // control identifier of a child window
};

// Creates a window on the calling thread. kNoWindow when the system refuses (unknown class, bad
// parent).
WindowHandle createWindow(const WindowDescription &description);

// Gives the window the keyboard focus, shows it and has it painted. True when the painting
// update succeeded. The window's thread.
[[nodiscard]] bool showWindow(WindowHandle window);

// Destroys a window. The thread that created it.
void destroyWindow(WindowHandle window);

// True while the window exists. Any thread.
bool windowExists(WindowHandle window);

// The window's drawing context, kept for drawing until it is released; null when there is none.
// Obtained and released on the window's thread.
DrawingContext acquireDrawingContext(WindowHandle window);
void releaseDrawingContext(WindowHandle window, DrawingContext context);

// The window's client rectangle (left and top are 0). False for a window that does not exist.
// Any thread.
bool windowClientRect(WindowHandle window, WindowRect &rect);

// True when the window and all its parents are shown. Any thread.
bool isWindowVisible(WindowHandle window);

// Copies a bottom-up device-independent bitmap (`bitmapInfo`: a 40-byte information header
// followed by its colour table; `pixels`: its rows) 1:1 to (0, 0) of the drawing context, turned
// upside down so that the first row in memory lands at the top. False when the transfer fails.
// Any thread.
bool drawBitmapFlipped(DrawingContext context, const void *bitmapInfo, const std::uint8_t *pixels);

// A copy-mode block transfer of width x height pixels from (0, 0) of a memory device context to
// (0, 0) of the drawing context. False when either context is missing or the transfer fails.
// Any thread.
bool drawFromMemoryContext(DrawingContext context, std::int32_t width, std::int32_t height,
                           void *sourceContext);

}  // namespace ostrel::platform
