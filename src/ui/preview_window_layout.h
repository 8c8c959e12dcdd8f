// Where a preview window goes and what its class is called: the sums the window is made from,
// kept apart from the window system so they can be checked on their own.
#pragma once

#include <cstdint>
#include <string>

namespace ostrel::ui {

struct WindowPlacement {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

struct WindowSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// The client size of a top-level preview window: the image size divided by 2, 4 or 8 for
// subsample mode 1, 2 or 3 (truncating); any other mode shows the image at full size.
WindowSize topLevelClientSize(std::int32_t imageWidth, std::int32_t imageHeight,
                              std::int32_t subsampleMode);

// The position of a window of this size centred on a screen of that size, each coordinate
// clamped to 0 when the window is larger than the screen.
WindowPlacement centredOnScreen(WindowSize window, WindowSize screen);

// The window class name "VideoRenderer_%08x_%08x" of an owner's identity (its address, folded
// to 32 bits) and a number that differs at every start.
std::string previewClassName(std::uintptr_t identity, std::uint32_t salt);

}  // namespace ostrel::ui
