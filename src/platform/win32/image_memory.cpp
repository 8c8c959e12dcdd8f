// Image memory on Windows: GDI bitmap sections in memory device contexts, and aligned heap
// buffers for the formats GDI refuses (48 and 64 bits per pixel).
#include "platform/image_memory.h"

#include <windows.h>

#include <malloc.h>
#include <cstring>

namespace ostrel::platform {

bool createImageSection(const void *bitmapInfo, ImageSection &section) {
    section = ImageSection{};
    void *bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, static_cast<const BITMAPINFO *>(bitmapInfo),
                                      DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr) {
        if (bitmap != nullptr) {
            DeleteObject(bitmap);
        }
        return false;
    }
    HDC context = CreateCompatibleDC(nullptr);
    if (context == nullptr) {
        DeleteObject(bitmap);
        return false;
    }
    HGDIOBJ previous = SelectObject(context, bitmap);
    if (previous == nullptr || previous == HGDI_ERROR) {
        DeleteDC(context);
        DeleteObject(bitmap);
        return false;
    }
    section.deviceContext = context;
    section.section = bitmap;
    section.previousBitmap = previous;
    section.pixels = static_cast<std::uint8_t *>(bits);
    return true;
}

void releaseImageSection(ImageSection &section) {
    HDC context = static_cast<HDC>(section.deviceContext);
    if (context != nullptr && section.previousBitmap != nullptr) {
        SelectObject(context, static_cast<HGDIOBJ>(section.previousBitmap));
    }
    if (section.section != nullptr) {
        DeleteObject(static_cast<HGDIOBJ>(section.section));
    }
    if (context != nullptr) {
        DeleteDC(context);
    }
    section = ImageSection{};
}

bool transferImageSection(void *destinationContext, std::int32_t x, std::int32_t y,
                          std::int32_t width, std::int32_t height, void *sourceContext,
                          std::int32_t sourceX, std::int32_t sourceY) {
    if (destinationContext == nullptr || sourceContext == nullptr) {
        return false;
    }
    const BOOL done = BitBlt(static_cast<HDC>(destinationContext), x, y, width, height,
                             static_cast<HDC>(sourceContext), sourceX, sourceY, SRCCOPY);
    // Drawing may be batched; the caller reads the pixels right afterwards.
    GdiFlush();
    return done != FALSE;
}

std::uint8_t *allocateImageBuffer(std::size_t bytes) {
    if (bytes == 0 || bytes > static_cast<std::size_t>(-1) - kImageBufferAlignment) {
        return nullptr;
    }
    const std::size_t rounded = (bytes + kImageBufferAlignment - 1) & ~(kImageBufferAlignment - 1);
    void *memory = _aligned_malloc(rounded, kImageBufferAlignment);
    if (memory == nullptr) {
        return nullptr;
    }
    std::memset(memory, 0, rounded);
    return static_cast<std::uint8_t *>(memory);
}

void freeImageBuffer(std::uint8_t *buffer) {
    _aligned_free(buffer);
}

}  // namespace ostrel::platform
