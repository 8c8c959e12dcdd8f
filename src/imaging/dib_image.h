// DibImage: the image object of the whole library, a bottom-up device-independent bitmap with its
// header and colour table. Its memory rows are kept in the order the camera sends them (memory
// row 0 is the top of the picture), so a transfer to a window or to a bottom-up file flips it.
//
// On Windows the pixels live in a bitmap section selected into a memory device context (the
// preview draws from it); where no section can be made (Linux, or 48/64-bit formats that the
// system refuses) they live in a plain zero-filled buffer with no device context.
//
// An image belongs to one owner and is used by one thread at a time; it cannot be copied.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "imaging/conversion_kernel.h"
#include "platform/image_memory.h"

namespace ostrel::imaging {

// The bitmap information header, field by field as the system lays it out (40 bytes).
struct BitmapInfoHeader {
    std::uint32_t size = 40;
    std::int32_t width = 0;
    std::int32_t height = 0;  // positive: bottom-up
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;  // plain RGB
    std::uint32_t sizeImage = 0;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t clrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

struct ColourEntry {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    std::uint8_t reserved = 0;
};

// The header followed by its colour table, as the system expects them together.
struct BitmapInfo {
    BitmapInfoHeader header;
    std::array<ColourEntry, 256> colours{};
};
static_assert(sizeof(BitmapInfo) == 40 + 256 * 4);

class DibImage {
public:
    DibImage() = default;
    ~DibImage();
    DibImage(const DibImage &) = delete;
    DibImage &operator=(const DibImage &) = delete;

    // Makes an image of width x height pixels of bitCount bits (8, 16, 24, 32, 48 or 64), every
    // byte 0; an 8-bit image gets the grey colour table. Fails, keeping what the image held, when
    // a size is not positive or the bit count is not one of those. Otherwise what the image held
    // is released first (and the creation fails, leaving it empty, when the image would not fit
    // in memory or no memory is left), except that an image of exactly the same format keeps its
    // memory, cleared, instead of getting new memory.
    [[nodiscard]] bool create(std::int32_t width, std::int32_t height, std::uint16_t bitCount);

    // Makes this image the same width, height, stride and bit count as `other`, as create does.
    // Fails, keeping what this image held, when other is null, empty or this image.
    [[nodiscard]] bool copyFormat(const DibImage *other);

    // Gives back the memory and clears every field (the header size stays 40).
    void release();

    bool isEmpty() const { return pixels_ == nullptr; }
    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    std::int32_t stride() const { return stride_; }
    std::uint16_t bitCount() const { return bitCount_; }
    std::uint16_t bytesPerPixel() const { return static_cast<std::uint16_t>(bitCount_ / 8); }
    std::size_t sizeBytes() const {
        return static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height_);
    }
    std::uint8_t *pixels() { return pixels_; }
    const std::uint8_t *pixels() const { return pixels_; }
    std::uint8_t *row(std::int32_t memoryRow) {
        return pixels_ + static_cast<std::size_t>(memoryRow) * static_cast<std::size_t>(stride_);
    }
    const std::uint8_t *row(std::int32_t memoryRow) const {
        return pixels_ + static_cast<std::size_t>(memoryRow) * static_cast<std::size_t>(stride_);
    }

    const BitmapInfoHeader &header() const { return info_.header; }
    const std::array<ColourEntry, 256> &colourTable() const { return info_.colours; }
    // The header and colour table together, as a bitmap information block for the system.
    const BitmapInfo &bitmapInfo() const { return info_; }

    // The memory device context holding the section, or null for a plain buffer (an opaque
    // system handle, for the preview window's transfers).
    void *deviceContext() const { return section_.deviceContext; }
    bool hasDeviceContext() const { return section_.deviceContext != nullptr; }

    // The row stride of an image of this width and bit count: width x bytes per pixel rounded up
    // to a multiple of 4; 0 when it does not fit in 31 bits.
    static std::int32_t strideFor(std::int32_t width, std::uint16_t bitCount);

private:
    bool sameFormat(std::int32_t width, std::int32_t height, std::uint16_t bitCount) const;
    void clearPixels();

    BitmapInfo info_;
    platform::ImageSection section_;  // empty for a plain buffer
    std::uint8_t *plainBuffer_ = nullptr;
    std::uint8_t *pixels_ = nullptr;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::int32_t stride_ = 0;
    std::uint16_t bitCount_ = 0;
};

// A copy-mode block transfer of the source's rectangle (or the whole source) to (x, y) of the
// destination, both in device-context coordinates (row 0 is the top of the picture, the last
// memory row), as the system draws: an 8-bit source goes through its colour table. Uses the
// system's transfer when both images have device contexts; otherwise copies the pixels itself,
// for an 8-bit source into an 8-, 24- or 32-bit destination and between images of equal bit
// count (a 32-bit destination then gets 0 in its fourth byte, as the system writes it). The
// rectangle is clipped to both images. False when nothing could be copied.
[[nodiscard]] bool transferImage(DibImage &destination, const DibImage &source,
                                 const KernelRect *rect, std::int32_t x, std::int32_t y);

}  // namespace ostrel::imaging
