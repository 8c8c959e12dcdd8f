// Reads back what the screen shows in a window's client area, for the tests that check what the
// preview window draws.
#pragma once

#ifdef _WIN32

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace ostrel::testing {

// The top-left width x height pixels of the client area, top row first, rows packed without
// padding: B, G, R bytes for `bitCount` 24, 0x00RRGGBB words for 32.
inline std::vector<std::uint8_t> readClientArea(HWND window, int width, int height, int bitCount) {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * (bitCount / 8);
    const std::size_t stride = (rowBytes + 3) & ~std::size_t{3};
    std::vector<std::uint8_t> pixels(rowBytes * static_cast<std::size_t>(height));
    HDC windowDc = GetDC(window);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<WORD>(bitCount);
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memoryDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr) {
        HGDIOBJ previous = SelectObject(memoryDc, bitmap);
        BitBlt(memoryDc, 0, 0, width, height, windowDc, 0, 0, SRCCOPY);
        GdiFlush();
        for (int y = 0; y < height; ++y) {
            std::memcpy(
                pixels.data() + static_cast<std::size_t>(y) * rowBytes,
                static_cast<const std::uint8_t *>(bits) + static_cast<std::size_t>(y) * stride,
                rowBytes);
        }
        SelectObject(memoryDc, previous);
        DeleteObject(bitmap);
    }
    DeleteDC(memoryDc);
    ReleaseDC(window, windowDc);
    return pixels;
}

}  // namespace ostrel::testing

#endif
