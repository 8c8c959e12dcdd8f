// The system's default language, which picks the dialogs' language.
#include "platform/language.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace ostrel::platform {
namespace {

#ifdef _WIN32

TEST(Language, IsTheSystemDefault) {
    EXPECT_EQ(systemDefaultLanguage(), GetSystemDefaultLangID());
}

#else

class LanguageTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char *name : kNames) {
            const char *value = std::getenv(name);
            saved_.push_back(value == nullptr ? nullptr : new std::string(value));
        }
    }
    void TearDown() override {
        for (std::size_t i = 0; i < 3; ++i) {
            if (saved_[i] != nullptr) {
                setenv(kNames[i], saved_[i]->c_str(), 1);
                delete saved_[i];
            } else {
                unsetenv(kNames[i]);
            }
        }
    }
    static void set(const char *all, const char *messages, const char *lang) {
        const char *values[] = {all, messages, lang};
        for (std::size_t i = 0; i < 3; ++i) {
            if (values[i] != nullptr) {
                setenv(kNames[i], values[i], 1);
            } else {
                unsetenv(kNames[i]);
            }
        }
    }
    static constexpr const char *kNames[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::vector<std::string *> saved_;
};

TEST_F(LanguageTest, FirstSetVariableDecides) {
    struct Case {
        const char *all, *messages, *lang;
        std::uint16_t expected;
    };
    const Case cases[] = {
        {nullptr, nullptr, nullptr, 1033},
        {nullptr, nullptr, "ja_JP.UTF-8", 1041},
        {nullptr, nullptr, "ja", 1041},
        {nullptr, nullptr, "en_US.UTF-8", 1033},
        {nullptr, nullptr, "C", 1033},
        {nullptr, "ja_JP.eucJP", "en_US", 1041},
        {nullptr, "en_GB", "ja_JP", 1033},
        {"ja_JP", "en_GB", "en_US", 1041},
        {"de_DE", "ja_JP", "ja_JP", 1033},
        {"", "", "ja_JP.UTF-8", 1041},  // empty values are skipped
        {"", "en_US", "ja_JP.UTF-8", 1033},
        {nullptr, nullptr, "JA_JP", 1033},  // the prefix is "ja" exactly
        {nullptr, nullptr, "j", 1033},
    };
    for (const Case &c : cases) {
        set(c.all, c.messages, c.lang);
        EXPECT_EQ(systemDefaultLanguage(), c.expected)
            << (c.all ? c.all : "-") << " " << (c.messages ? c.messages : "-") << " "
            << (c.lang ? c.lang : "-");
    }
}

#endif

}  // namespace
}  // namespace ostrel::platform
