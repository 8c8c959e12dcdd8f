// Pixel memory for the library's images. On Windows an image is a device-independent bitmap
// section selected into a memory device context, so that windows can be drawn from it by a block
// transfer; where sections are not available (Linux, or a format the system refuses) it is a
// plain zero-filled buffer aligned to a disk sector, so raw drive reads may land in it directly.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrel::platform {

// The alignment and size granule of plain image buffers (one disk sector).
inline constexpr std::size_t kImageBufferAlignment = 512;

// The system objects behind one bitmap section. Handles are opaque to the rest of the library.
struct ImageSection {
    void *deviceContext = nullptr;   // memory device context holding the section
    void *section = nullptr;         // the section itself
    void *previousBitmap = nullptr;  // what the context held before the section was selected
    std::uint8_t *pixels = nullptr;  // the section's pixels, zero-filled when created
};

// Creates a section as described by `bitmapInfo` (a 40-byte bitmap information header followed by
// a colour table of 256 entries of blue, green, red, reserved bytes), with RGB colour usage, and a
// memory device context with the section selected into it. Returns false, leaving nothing behind
// and `section` empty, when the system has no sections or refuses this one. Any thread.
[[nodiscard]] bool createImageSection(const void *bitmapInfo, ImageSection &section);

// Selects the previous bitmap back, deletes the section and the device context and empties
// `section`. Does nothing for an empty one. Any thread.
void releaseImageSection(ImageSection &section);

// A copy-mode block transfer of width x height pixels from (sourceX, sourceY) of one memory
// device context to (x, y) of another, with the system's conversions between formats (an 8-bit
// source goes through its colour table). Coordinates are those of the device contexts (row 0 is
// the top of the picture, the last row of a bottom-up section's memory). False when either
// context is missing or the transfer fails. Any thread.
[[nodiscard]] bool transferImageSection(void *destinationContext, std::int32_t x, std::int32_t y,
                                        std::int32_t width, std::int32_t height,
                                        void *sourceContext, std::int32_t sourceX,
                                        std::int32_t sourceY);

// A zero-filled buffer of at least `bytes` bytes (rounded up to kImageBufferAlignment), aligned to
// kImageBufferAlignment; null when memory is short or `bytes` is 0. Free with freeImageBuffer.
[[nodiscard]] std::uint8_t *allocateImageBuffer(std::size_t bytes);

void freeImageBuffer(std::uint8_t *buffer);

}  // namespace ostrel::platform
