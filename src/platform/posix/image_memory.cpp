// Image memory on POSIX systems: there are no bitmap sections or device contexts, so every image
// is a plain aligned buffer.
#include "platform/image_memory.h"

#include <cstdlib>
#include <cstring>

namespace ostrel::platform {

bool createImageSection(const void * /*bitmapInfo*/, ImageSection &section) {
    section = ImageSection{};
    return false;
}

void releaseImageSection(ImageSection &section) {
    section = ImageSection{};
}

bool transferImageSection(void * /*destinationContext*/, std::int32_t /*x*/, std::int32_t /*y*/,
                          std::int32_t /*width*/, std::int32_t /*height*/, void * /*sourceContext*/,
                          std::int32_t /*sourceX*/, std::int32_t /*sourceY*/) {
    return false;
}

std::uint8_t *allocateImageBuffer(std::size_t bytes) {
    if (bytes == 0 || bytes > static_cast<std::size_t>(-1) - kImageBufferAlignment) {
        return nullptr;
    }
    const std::size_t rounded = (bytes + kImageBufferAlignment - 1) & ~(kImageBufferAlignment - 1);
    void *memory = nullptr;
    if (posix_memalign(&memory, kImageBufferAlignment, rounded) != 0) {
        return nullptr;
    }
    std::memset(memory, 0, rounded);
    return static_cast<std::uint8_t *>(memory);
}

void freeImageBuffer(std::uint8_t *buffer) {
    std::free(buffer);
}

}  // namespace ostrel::platform
