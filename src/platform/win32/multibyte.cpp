// Lead bytes of the ANSI code page on Windows.
#include "platform/multibyte.h"

#include <windows.h>

namespace ostrel::platform {

bool isLeadByte(unsigned char c) {
    return IsDBCSLeadByte(c) != FALSE;
}

}  // namespace ostrel::platform
