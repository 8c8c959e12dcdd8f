// Conversion between wide and narrow text: exact results, refusal of what cannot be converted,
// and never a byte past the buffer.
#include "platform/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace ostrel::platform {
namespace {

TEST(Text, AsciiRoundTripsExactly) {
    char narrow[32];
    ASSERT_TRUE(wideToNarrow(L"C:\\frames\\Ostrel7100VRX_01.bmp", narrow, sizeof narrow));
    EXPECT_STREQ(narrow, "C:\\frames\\Ostrel7100VRX_01.bmp");
    wchar_t wide[32];
    ASSERT_TRUE(narrowToWide("Ostrel7100VRX_01", wide, 32));
    EXPECT_EQ(std::wstring(wide), L"Ostrel7100VRX_01");
    ASSERT_TRUE(wideToNarrow(L"", narrow, 1));
    EXPECT_EQ(narrow[0], '\0');
}

TEST(Text, ResultThatDoesNotFitFailsWithoutWritingPastTheBuffer) {
    char narrow[8];
    std::memset(narrow, '#', sizeof narrow);
    // 6 characters and the terminator fit in 7 bytes, not in 6.
    EXPECT_TRUE(wideToNarrow(L"abcdef", narrow, 7));
    EXPECT_STREQ(narrow, "abcdef");
    EXPECT_EQ(narrow[7], '#');
    std::memset(narrow, '#', sizeof narrow);
    EXPECT_FALSE(wideToNarrow(L"abcdef", narrow, 6));
    EXPECT_EQ(narrow[0], '\0');
    EXPECT_EQ(std::string(narrow + 6, 2), "##");

    wchar_t wide[8];
    std::wmemset(wide, L'#', 8);
    EXPECT_FALSE(narrowToWide("abcdef", wide, 6));
    EXPECT_EQ(wide[0], L'\0');
    EXPECT_EQ(wide[6], L'#');
    EXPECT_TRUE(narrowToWide("abcdef", wide, 7));
    EXPECT_EQ(wide[7], L'#');

    EXPECT_FALSE(wideToNarrow(L"a", narrow, 0));
    EXPECT_FALSE(wideToNarrow(nullptr, narrow, sizeof narrow));
    EXPECT_EQ(narrow[0], '\0');
    EXPECT_FALSE(narrowToWide(nullptr, wide, 8));
    EXPECT_EQ(wide[0], L'\0');
}

#ifdef _WIN32

// Western code page: what it holds converts byte for byte; what it does not hold fails instead
// of turning into '?' or into a look-alike such as '/' for a full-width solidus.
TEST(Text, AnsiCodePageConvertsOnlyWhatItHolds) {
    if (GetACP() != 1252) {
        GTEST_SKIP() << "needs code page 1252, the system has " << GetACP();
    }
    char narrow[16];
    ASSERT_TRUE(wideToNarrow(L"caf\u00e9 \u20ac", narrow, sizeof narrow));
    EXPECT_STREQ(narrow, "caf\xE9 \x80");
    wchar_t wide[16];
    ASSERT_TRUE(narrowToWide("caf\xE9 \x80", wide, 16));
    EXPECT_EQ(std::wstring(wide), L"caf\u00e9 \u20ac");
    for (const wchar_t *text : {L"\u6e2c\u5b9a.bmp", L"a\uff0f..\uff0fb.bmp", L"\u0100"}) {
        std::memset(narrow, '#', sizeof narrow);
        EXPECT_FALSE(wideToNarrow(text, narrow, sizeof narrow));
        EXPECT_EQ(narrow[0], '\0');
    }
}

#else

TEST(Text, Utf32AndUtf8CarryEveryScalarValue) {
    const wchar_t text[] = {L'A', 0xE9, 0x65E5, 0x1F600, 0x10FFFF, 0};
    const char utf8[] = "A\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF";
    char narrow[32];
    ASSERT_TRUE(wideToNarrow(text, narrow, sizeof narrow));
    EXPECT_STREQ(narrow, utf8);
    wchar_t wide[8];
    ASSERT_TRUE(narrowToWide(utf8, wide, 8));
    EXPECT_EQ(std::wstring(wide), std::wstring(text));
    // A four-byte character that would end exactly at the buffer's end leaves no room for the
    // terminator.
    EXPECT_FALSE(wideToNarrow(L"\U0001F600", narrow, 4));
    EXPECT_TRUE(wideToNarrow(L"\U0001F600", narrow, 5));
}

TEST(Text, InvalidWideTextIsRefused) {
    char narrow[16];
    for (wchar_t bad : {static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0xDFFF),
                        static_cast<wchar_t>(0x110000), static_cast<wchar_t>(-1)}) {
        const wchar_t text[] = {L'o', L'k', bad, 0};
        std::memset(narrow, '#', sizeof narrow);
        EXPECT_FALSE(wideToNarrow(text, narrow, sizeof narrow)) << static_cast<long>(bad);
        EXPECT_EQ(narrow[0], '\0');
    }
}

TEST(Text, InvalidUtf8IsRefused) {
    const char *bad[] = {
        "\x80",              // lone continuation
        "\xC3",              // cut short
        "ab\xE6\x97",        // cut short at the end
        "\xC0\xAF",          // overlong '/'
        "\xE0\x80\xAF",      // overlong
        "\xF0\x80\x80\xAF",  // overlong
        "\xED\xA0\x80",      // surrogate
        "\xF4\x90\x80\x80",  // beyond U+10FFFF
        "\xF8\x88\x80\x80\x80",
        "\xFF",
        "\xC3\x28",  // continuation missing
    };
    for (const char *text : bad) {
        wchar_t wide[8];
        wide[0] = L'#';
        EXPECT_FALSE(narrowToWide(text, wide, 8)) << text;
        EXPECT_EQ(wide[0], L'\0');
    }
}

#endif

}  // namespace
}  // namespace ostrel::platform
