// Character boundaries in the narrow text of the system: on Windows the ANSI code page may be a
// double-byte one (Japanese systems), where the second byte of a character can look like an
// ASCII letter; text searches must not match from the middle of such a character.
#pragma once

namespace ostrel::platform {

// True when c starts a two-byte character in the system's narrow text (IsDBCSLeadByte on
// Windows; never on Linux, where narrow text is UTF-8 and no ASCII byte occurs inside a
// multi-byte character). Any thread.
bool isLeadByte(unsigned char c);

}  // namespace ostrel::platform
