// The preview window's client size, centred position and class name.
#include "ui/preview_window_layout.h"

#include <cstdio>

namespace ostrel::ui {

WindowSize topLevelClientSize(std::int32_t imageWidth, std::int32_t imageHeight,
                              std::int32_t subsampleMode) {
    std::int32_t divisor = 1;
    switch (subsampleMode) {
        case 1:
            divisor = 2;
            break;
        case 2:
            divisor = 4;
            break;
        case 3:
            divisor = 8;
            break;
        default:
            break;
    }
    return WindowSize{imageWidth / divisor, imageHeight / divisor};
}

WindowPlacement centredOnScreen(WindowSize window, WindowSize screen) {
    // 64-bit sums: neither difference may overflow whatever the sizes.
    auto centre = [](std::int32_t size, std::int32_t screenSize) {
        const std::int64_t position =
            (static_cast<std::int64_t>(screenSize) - static_cast<std::int64_t>(size)) / 2;
        return position < 0 ? 0 : static_cast<std::int32_t>(position);
    };
    return WindowPlacement{centre(window.width, screen.width), centre(window.height, screen.height),
                           window.width, window.height};
}

std::string previewClassName(std::uintptr_t identity, std::uint32_t salt) {
    std::uint64_t wide = identity;
    const auto folded = static_cast<std::uint32_t>(wide ^ (wide >> 32));
    char name[32];
    std::snprintf(name, sizeof name, "VideoRenderer_%08x_%08x", static_cast<unsigned>(folded),
                  static_cast<unsigned>(salt));
    return name;
}

}  // namespace ostrel::ui
