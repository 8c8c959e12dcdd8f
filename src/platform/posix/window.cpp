// Windows on Linux, where the library has no window system: headless records that are
// registered, created and destroyed with the same rules as on Windows (a class name is taken
// once; a window needs a registered class; a class with windows cannot be unregistered) and keep
// their size, but are never visible, so nothing is ever drawn.
#include "platform/window.h"

#include <map>
#include <mutex>
#include <set>
#include <string>

namespace ostrel::platform {
namespace {

struct HeadlessWindow {
    std::string className;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

struct HeadlessDesktop {
    std::mutex mutex;
    std::set<std::string> classes;
    std::map<WindowHandle, HeadlessWindow> windows;
    // Handles are never reused, so a stale one never reaches a newer window.
    WindowHandle nextHandle = 0x10000;
};

HeadlessDesktop &desktop() {
    static HeadlessDesktop instance;
    return instance;
}

bool usableName(const char *name) {
    return name != nullptr && name[0] != '\0';
}

}  // namespace

bool registerWindowClass(const char *name) {
    if (!usableName(name)) {
        return false;
    }
    HeadlessDesktop &d = desktop();
    std::lock_guard<std::mutex> lock(d.mutex);
    return d.classes.insert(name).second;
}

bool unregisterWindowClass(const char *name) {
    if (!usableName(name)) {
        return false;
    }
    HeadlessDesktop &d = desktop();
    std::lock_guard<std::mutex> lock(d.mutex);
    for (const auto &entry : d.windows) {
        if (entry.second.className == name) {
            return false;
        }
    }
    return d.classes.erase(name) == 1;
}

bool isWindowClassRegistered(const char *name) {
    if (!usableName(name)) {
        return false;
    }
    HeadlessDesktop &d = desktop();
    std::lock_guard<std::mutex> lock(d.mutex);
    return d.classes.count(name) == 1;
}

// Headless windows have no frame: the window rectangle is the client rectangle.
bool adjustWindowRect(WindowRect & /*rect*/, std::uint32_t /*style*/) {
    return true;
}

ScreenSize primaryScreenSize() {
    return ScreenSize{};
}

WindowHandle createWindow(const WindowDescription &description) {
    if (!usableName(description.className)) {
        return kNoWindow;
    }
    HeadlessDesktop &d = desktop();
    std::lock_guard<std::mutex> lock(d.mutex);
    if (d.classes.count(description.className) == 0) {
        return kNoWindow;
    }
    HeadlessWindow window;
    window.className = description.className;
    window.width = description.width > 0 ? description.width : 0;
    window.height = description.height > 0 ? description.height : 0;
    const WindowHandle handle = d.nextHandle++;
    d.windows.emplace(handle, window);
    return handle;
}

bool showWindow(WindowHandle window) {
    return windowExists(window);
}

void destroyWindow(WindowHandle window) {
    HeadlessDesktop &d = desktop();
    std::lock_guard<std::mutex> lock(d.mutex);
    d.windows.erase(window);
}

bool windowExists(WindowHandle window) {
    HeadlessDesktop &d = desktop();
    std::lock_guard<std::mutex> lock(d.mutex);
    return d.windows.count(window) == 1;
}

// A headless window's drawing context is a token that stands for the window: nothing can be
// drawn with it.
DrawingContext acquireDrawingContext(WindowHandle window) {
    if (!windowExists(window)) {
        return nullptr;
    }
    return reinterpret_cast<DrawingContext>(window);
}

void releaseDrawingContext(WindowHandle /*window*/, DrawingContext /*context*/) {}

bool windowClientRect(WindowHandle window, WindowRect &rect) {
    HeadlessDesktop &d = desktop();
    std::lock_guard<std::mutex> lock(d.mutex);
    const auto found = d.windows.find(window);
    if (found == d.windows.end()) {
        return false;
    }
    rect = WindowRect{0, 0, found->second.width, found->second.height};
    return true;
}

bool isWindowVisible(WindowHandle /*window*/) {
    return false;
}

bool drawBitmapFlipped(DrawingContext /*context*/, const void * /*bitmapInfo*/,
                       const std::uint8_t * /*pixels*/) {
    return false;
}

bool drawFromMemoryContext(DrawingContext /*context*/, std::int32_t /*width*/,
                           std::int32_t /*height*/, void * /*sourceContext*/) {
    return false;
}

}  // namespace ostrel::platform
