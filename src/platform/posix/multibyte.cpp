// Lead bytes on Linux: UTF-8 never hides an ASCII byte inside a character, so none need care.
#include "platform/multibyte.h"

namespace ostrel::platform {

bool isLeadByte(unsigned char) {
    return false;
}

}  // namespace ostrel::platform
