// The system's default language on Windows.
#include "platform/language.h"

#include <windows.h>

namespace ostrel::platform {

std::uint16_t systemDefaultLanguage() {
    return GetSystemDefaultLangID();
}

}  // namespace ostrel::platform
