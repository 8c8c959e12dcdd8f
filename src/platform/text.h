// Conversion between the application's wide text and the narrow text the library works in:
// the thread's ANSI code page on Windows, UTF-8 (from UTF-32 wchar_t) on Linux.
#pragma once

#include <cstddef>

namespace ostrel::platform {

// Converts a 0-terminated wide string into out (capacity outSize bytes, terminated). Returns
// false, with out[0] = 0 when outSize > 0, when the text cannot be converted or does not fit
// with its terminator; never writes past outSize.
bool wideToNarrow(const wchar_t *text, char *out, std::size_t outSize);

// Converts a 0-terminated narrow string into out (capacity outCount wide characters,
// terminated). Same failure rules as wideToNarrow.
bool narrowToWide(const char *text, wchar_t *out, std::size_t outCount);

}  // namespace ostrel::platform
