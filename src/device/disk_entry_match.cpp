// Disk list matching, aware of double-byte characters.
#include "device/disk_entry_match.h"

#include "platform/multibyte.h"

namespace ostrel::device {

bool containsText(std::string_view text, std::string_view needle) {
    if (needle.empty()) {
        return true;
    }
    std::size_t i = 0;
    while (i < text.size()) {
        if (text.size() - i < needle.size()) {
            return false;
        }
        if (text.compare(i, needle.size(), needle) == 0) {
            return true;
        }
        const bool lead = platform::isLeadByte(static_cast<unsigned char>(text[i]));
        i += (lead && i + 1 < text.size()) ? 2 : 1;
    }
    return false;
}

bool isCameraDiskEntry(std::string_view entry, std::string_view modelText) {
    return containsText(entry, "NEMBRA") && containsText(entry, "USB3.0") &&
           containsText(entry, modelText) && !containsText(entry, "DS");
}

}  // namespace ostrel::device
