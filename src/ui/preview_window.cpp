// PreviewWindow: creating, drawing into and closing the preview window.
#include "ui/preview_window.h"

#include <cstdlib>

#include "platform/clock.h"

namespace ostrel::ui {
namespace {

constexpr char kChildTitle[] = "ActiveMovie Window";
constexpr char kTopLevelTitle[] = "Active Window";
constexpr std::uint32_t kChildWindowId = 6540;

}  // namespace

PreviewWindow::~PreviewWindow() {
    close();
}

bool PreviewWindow::open(const Request &request) {
    close();

    // A name of its own for every owner and every start.
    const auto salt = static_cast<std::uint32_t>(std::rand()) + platform::multimediaTimeMs();
    std::string name = previewClassName(reinterpret_cast<std::uintptr_t>(this), salt);
    if (!platform::registerWindowClass(name.c_str())) {
        return false;
    }
    const platform::WindowHandle window = createWindow(request, name.c_str());
    if (window == platform::kNoWindow) {
        platform::unregisterWindowClass(name.c_str());
        return false;
    }
    platform::DrawingContext context = nullptr;
    if (platform::showWindow(window)) {
        context = platform::acquireDrawingContext(window);
    }
    if (context == nullptr) {
        platform::destroyWindow(window);
        platform::unregisterWindowClass(name.c_str());
        return false;
    }

    std::lock_guard<std::mutex> lock(mutex_);
    window_ = window;
    drawingContext_ = context;
    className_ = std::move(name);
    return true;
}

platform::WindowHandle PreviewWindow::createWindow(const Request &request, const char *className) {
    platform::WindowDescription description;
    description.className = className;
    if (request.applicationWindow != platform::kNoWindow) {
        description.title = kChildTitle;
        description.style = platform::kChildWindowStyle;
        description.x = request.placement.x;
        description.y = request.placement.y;
        description.width = request.placement.width;
        description.height = request.placement.height;
        description.parent = request.applicationWindow;
        description.childId = kChildWindowId;
        return platform::createWindow(description);
    }

    const WindowSize client =
        topLevelClientSize(request.imageWidth, request.imageHeight, request.subsampleMode);
    platform::WindowRect frame{0, 0, client.width, client.height};
    if (!platform::adjustWindowRect(frame, platform::kTopLevelWindowStyle)) {
        return platform::kNoWindow;
    }
    const platform::ScreenSize screen = platform::primaryScreenSize();
    const WindowPlacement placement = centredOnScreen(WindowSize{frame.width(), frame.height()},
                                                      WindowSize{screen.width, screen.height});
    description.title = kTopLevelTitle;
    description.style = platform::kTopLevelWindowStyle;
    description.x = placement.x;
    description.y = placement.y;
    description.width = placement.width;
    description.height = placement.height;
    return platform::createWindow(description);
}

void PreviewWindow::prepareScratch(imaging::ColorMode mode, imaging::DibImage &scratch) {
    std::lock_guard<std::mutex> lock(mutex_);
    platform::WindowRect client;
    if (drawingContext_ == nullptr || !platform::isWindowVisible(window_) ||
        !platform::windowClientRect(window_, client) || client.width() <= 0 ||
        client.height() <= 0) {
        return;
    }
    // A scratch image that cannot be made now is tried again by the next frame.
    (void)fitScratchImage(scratch, client.width(), client.height(), scratchBitCount(mode));
}

DrawOutcome PreviewWindow::draw(imaging::ColorMode mode, const PreviewImages &images,
                                imaging::DibImage &scratch) {
    // Held for the whole draw: close waits for it, and nothing in here waits for the window's
    // own thread (no message is sent to the window).
    std::lock_guard<std::mutex> lock(mutex_);
    // The window is looked at before any pixel work, so a hidden or headless window costs
    // nothing per frame.
    platform::WindowRect client;
    if (drawingContext_ == nullptr || !platform::isWindowVisible(window_) ||
        !platform::windowClientRect(window_, client) || client.width() <= 0 ||
        client.height() <= 0) {
        return DrawOutcome::Skipped;
    }
    imaging::DibImage *display = prepareDisplayImage(mode, images);
    if (display == nullptr) {
        return DrawOutcome::Skipped;
    }
    if (display->width() == client.width() && display->height() == client.height()) {
        return platform::drawBitmapFlipped(drawingContext_, &display->bitmapInfo(),
                                           display->pixels())
                   ? DrawOutcome::Direct
                   : DrawOutcome::Skipped;
    }
    if (!fitScratchImage(scratch, client.width(), client.height(), display->bitCount()) ||
        !scratch.hasDeviceContext() || !scaleIntoScratch(scratch, *display)) {
        return DrawOutcome::Skipped;
    }
    return platform::drawFromMemoryContext(drawingContext_, scratch.width(), scratch.height(),
                                           scratch.deviceContext())
               ? DrawOutcome::Scaled
               : DrawOutcome::Skipped;
}

void PreviewWindow::close() {
    platform::WindowHandle window = platform::kNoWindow;
    platform::DrawingContext context = nullptr;
    {
        // Waits for a draw in progress; every later draw finds no drawing context.
        std::lock_guard<std::mutex> lock(mutex_);
        window = window_;
        context = drawingContext_;
        window_ = platform::kNoWindow;
        drawingContext_ = nullptr;
    }
    if (window == platform::kNoWindow) {
        return;
    }
    // Outside the lock: destroying the window sends it messages on this thread.
    platform::releaseDrawingContext(window, context);
    platform::destroyWindow(window);
    std::string name;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        name.swap(className_);
    }
    platform::unregisterWindowClass(name.c_str());
}

bool PreviewWindow::isOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return window_ != platform::kNoWindow;
}

platform::WindowHandle PreviewWindow::window() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return window_;
}

std::string PreviewWindow::className() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return className_;
}

}  // namespace ostrel::ui
