// Text conversion on Linux: wchar_t holds UTF-32, narrow text is UTF-8. Both directions are
// strict: surrogates, values beyond U+10FFFF, overlong forms and broken sequences are refused,
// so a converted file name is always exactly what the application gave.
#include "platform/text.h"

#include <cstdint>

#include "platform/utf8.h"

static_assert(sizeof(wchar_t) == 4, "Linux wide text is UTF-32");

namespace ostrel::platform {

namespace {

bool isScalar(std::uint32_t cp) {
    return cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
}

// Encodes cp at out[at]; false when it would not leave room for the terminator.
bool putUtf8(std::uint32_t cp, char *out, std::size_t outSize, std::size_t &at) {
    char bytes[4];
    const std::size_t n = encodeUtf8(cp, bytes);
    if (outSize - at <= n) {
        return false;
    }
    for (std::size_t i = 0; i < n; ++i) {
        out[at++] = bytes[i];
    }
    return true;
}

// Decodes one UTF-8 sequence at text; false for anything but a shortest-form scalar value.
bool takeUtf8(const unsigned char *&text, std::uint32_t &cp) {
    const unsigned char lead = *text;
    std::size_t extra = 0;
    std::uint32_t min = 0;
    if (lead < 0x80) {
        cp = lead;
        ++text;
        return true;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        min = 0x80;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        min = 0x800;
        cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        min = 0x10000;
        cp = lead & 0x07;
    } else {
        return false;
    }
    for (std::size_t i = 1; i <= extra; ++i) {
        // A terminator here is not a continuation byte, so the scan never reads past it.
        if ((text[i] & 0xC0) != 0x80) {
            return false;
        }
        cp = (cp << 6) | (text[i] & 0x3F);
    }
    if (cp < min || !isScalar(cp)) {
        return false;
    }
    text += extra + 1;
    return true;
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
    std::size_t at = 0;
    for (; *text != L'\0'; ++text) {
        const auto cp = static_cast<std::uint32_t>(*text);
        if (!isScalar(cp) || !putUtf8(cp, out, outSize, at)) {
            out[0] = '\0';
            return false;
        }
    }
    out[at] = '\0';
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
    const auto *p = reinterpret_cast<const unsigned char *>(text);
    std::size_t at = 0;
    while (*p != 0) {
        std::uint32_t cp = 0;
        if (at + 1 >= outCount || !takeUtf8(p, cp)) {
            out[0] = L'\0';
            return false;
        }
        out[at++] = static_cast<wchar_t>(cp);
    }
    out[at] = L'\0';
    return true;
}

}  // namespace ostrel::platform
