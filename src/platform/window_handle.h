// The handle of an application window (or, on Linux, of a library message queue) as the rest of
// the library carries it: an integer wide enough for a pointer, so no module needs <windows.h>.
#pragma once

#include <cstdint>

namespace ostrel::platform {

using WindowHandle = std::uintptr_t;

inline constexpr WindowHandle kNoWindow = 0;

}  // namespace ostrel::platform
