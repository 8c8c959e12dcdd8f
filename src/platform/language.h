// The system's default language, which picks the language of the settings dialogs.
#pragma once

#include <cstdint>

namespace ostrel::platform {

inline constexpr std::uint16_t kLanguageJapanese = 1041;
inline constexpr std::uint16_t kLanguageEnglishUs = 1033;

// GetSystemDefaultLangID on Windows; on Linux 1041 when LC_ALL, LC_MESSAGES or LANG (the first
// that is set and non-empty) starts with "ja", else 1033.
std::uint16_t systemDefaultLanguage();

}  // namespace ostrel::platform
