// PreviewWindow: the window the library shows live frames in, either as a child of a window the
// application names or as a top-level window of its own centred on the screen. It has no
// behaviour of its own (the system's default window procedure); the capture thread draws every
// converted frame straight into its drawing context.
//
// Threads: open, prepareScratch and close run on the application's thread (the one whose message
// loop serves the window; close must be on the thread that opened). draw runs on the capture
// thread. draw and close exclude each other: close waits for a draw in progress and every later
// draw does nothing, so no frame is ever drawn with a released drawing context or into a
// destroyed window. draw never waits for the application's thread, so close cannot deadlock
// with it.
//
// On Linux the window is headless (created, never visible): draw finds it invisible and skips
// every frame, while everything else behaves as on Windows.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "platform/color_mode.h"
#include "imaging/dib_image.h"
#include "platform/window.h"
#include "platform/window_handle.h"
#include "ui/preview_window_frame.h"
#include "ui/preview_window_layout.h"

namespace ostrel::ui {

// What one draw call did.
enum class DrawOutcome {
    Skipped,  // no window, not visible, zero size, no picture, or the transfer failed
    Direct,   // the display image had the client size: one flipped 1:1 transfer
    Scaled,   // scaled into the scratch image, then transferred
};

class PreviewWindow {
public:
    struct Request {
        // The application's window to place the preview in; kNoWindow for a top-level window.
        platform::WindowHandle applicationWindow = platform::kNoWindow;
        // The child window's rectangle in the application window (ignored for a top-level one).
        WindowPlacement placement;
        // The image size before subsampling and the subsample mode (0 full, 1 half, 2 quarter,
        // 3 eighth): the top-level window's client area is the subsampled size.
        std::int32_t imageWidth = 0;
        std::int32_t imageHeight = 0;
        std::int32_t subsampleMode = 0;
    };

    PreviewWindow() = default;
    // Closes a window that is still open (so it must be destroyed on the thread that opened).
    ~PreviewWindow();
    PreviewWindow(const PreviewWindow &) = delete;
    PreviewWindow &operator=(const PreviewWindow &) = delete;

    // Registers a window class of its own (named from this object's address, which is unique
    // per owner, and a number that changes at every call), creates the window, focuses, shows
    // and updates it and takes its drawing context for all later drawing. A window that is still
    // open is closed first. False, with no class and no window left, when any step fails.
    // Application thread.
    [[nodiscard]] bool open(const Request &request);

    // Makes the scratch image at the window's client size in the colour mode's format, when the
    // window is visible, has a drawing context and a client area. Application thread, before
    // the capture thread starts drawing.
    void prepareScratch(imaging::ColorMode mode, imaging::DibImage &scratch);

    // Shows the newest frame: the display image of the colour mode, transferred 1:1 (upright)
    // when it has the client size, else scaled into the scratch image (re-made only when the
    // client size changes) and transferred from there. Never reports an error: a hidden,
    // minimised, closed or missing window skips the frame. Capture thread; the images are that
    // thread's while it runs.
    DrawOutcome draw(imaging::ColorMode mode, const PreviewImages &images,
                     imaging::DibImage &scratch);

    // Stops drawing (waiting for a draw in progress), releases the drawing context, destroys the
    // window, unregisters its class and empties the class name. Nothing happens when no window
    // is open. Application thread, the one that opened.
    void close();

    bool isOpen() const;
    platform::WindowHandle window() const;
    // The registered class's name; empty when no window is open.
    std::string className() const;

private:
    // Creates the window of the request with the registered class; kNoWindow on failure.
    platform::WindowHandle createWindow(const Request &request, const char *className);

    // Guards window_ and drawingContext_ between draw (capture thread) and the application's
    // open and close, and the scratch image between prepareScratch and draw.
    mutable std::mutex mutex_;
    platform::WindowHandle window_ = platform::kNoWindow;
    platform::DrawingContext drawingContext_ = nullptr;
    std::string className_;
};

}  // namespace ostrel::ui
