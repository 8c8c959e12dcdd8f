// The system's default language on Linux, from the locale the environment names.
#include "platform/language.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace ostrel::platform {

std::uint16_t systemDefaultLanguage() {
    // The order in which the C library itself decides the language of messages.
    for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char *value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') {
            return std::strncmp(value, "ja", 2) == 0 ? kLanguageJapanese : kLanguageEnglishUs;
        }
    }
    return kLanguageEnglishUs;
}

}  // namespace ostrel::platform
