// The rule that picks camera entries out of the system's disk list.
#pragma once

#include <string_view>

namespace ostrel::device {

// Case-sensitive search for needle in text that only matches at character boundaries of the
// system's narrow text (never from the second byte of a double-byte character).
bool containsText(std::string_view text, std::string_view needle);

// A disk entry belongs to a camera of the model when it contains "NEMBRA", "USB3.0" and the
// model text, and does not contain "DS".
bool isCameraDiskEntry(std::string_view entry, std::string_view modelText);

}  // namespace ostrel::device
