// Text conversion on Windows, through the thread's ANSI code page. A character the code page
// cannot hold makes the conversion fail instead of becoming '?' or a look-alike: a file name
// must never silently become another (best-fit mapping can even turn a full-width solidus into
// a path separator).
#include "platform/text.h"

#include <windows.h>

#include <climits>

namespace ostrel::platform {

namespace {

int clampToInt(std::size_t n) {
    return n > INT_MAX ? INT_MAX : static_cast<int>(n);
}

}  // namespace

bool wideToNarrow(const wchar_t *text, char *out, std::size_t outSize) {
    if (out == nullptr || outSize == 0) {
        return false;
    }
    out[0] = '\0';
    if (text == nullptr) {
        return false;
    }
    BOOL usedDefault = FALSE;
    int written = WideCharToMultiByte(CP_THREAD_ACP, WC_NO_BEST_FIT_CHARS, text, -1, out,
                                      clampToInt(outSize), nullptr, &usedDefault);
    if (written == 0 &&
        (GetLastError() == ERROR_INVALID_FLAGS || GetLastError() == ERROR_INVALID_PARAMETER)) {
        // Code pages such as UTF-8 take neither the flag nor the question; they map every
        // character anyway.
        usedDefault = FALSE;
        written = WideCharToMultiByte(CP_THREAD_ACP, 0, text, -1, out, clampToInt(outSize), nullptr,
                                      nullptr);
    }
    if (written == 0 || usedDefault) {
        out[0] = '\0';
        return false;
    }
    return true;
}

bool narrowToWide(const char *text, wchar_t *out, std::size_t outCount) {
    if (out == nullptr || outCount == 0) {
        return false;
    }
    out[0] = L'\0';
    if (text == nullptr) {
        return false;
    }
    int written = MultiByteToWideChar(CP_THREAD_ACP, MB_ERR_INVALID_CHARS, text, -1, out,
                                      clampToInt(outCount));
    if (written == 0 && GetLastError() == ERROR_INVALID_FLAGS) {
        // A few stateful code pages take no flags at all.
        written = MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, out, clampToInt(outCount));
    }
    if (written == 0) {
        out[0] = L'\0';
        return false;
    }
    return true;
}

}  // namespace ostrel::platform
