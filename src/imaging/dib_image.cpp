// DibImage: creation, reuse and release of image memory, and the block transfer between images.
#include "imaging/dib_image.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "imaging/worker_pool.h"

namespace ostrel::imaging {
namespace {

bool supportedBitCount(std::uint16_t bitCount) {
    switch (bitCount) {
        case 8:
        case 16:
        case 24:
        case 32:
        case 48:
        case 64:
            return true;
        default:
            return false;
    }
}

// Clearing a whole frame is pure memory traffic; bands of this many bytes keep every core busy.
constexpr std::size_t kClearBandBytes = std::size_t{1} << 20;

}  // namespace

DibImage::~DibImage() {
    release();
}

std::int32_t DibImage::strideFor(std::int32_t width, std::uint16_t bitCount) {
    const std::int64_t bytes = static_cast<std::int64_t>(width) * (bitCount / 8);
    const std::int64_t stride = (bytes + 3) & ~std::int64_t{3};
    if (width <= 0 || stride > std::numeric_limits<std::int32_t>::max()) {
        return 0;
    }
    return static_cast<std::int32_t>(stride);
}

bool DibImage::sameFormat(std::int32_t width, std::int32_t height, std::uint16_t bitCount) const {
    return pixels_ != nullptr && width_ == width && height_ == height && bitCount_ == bitCount;
}

void DibImage::clearPixels() {
    const std::size_t total = sizeBytes();
    std::uint8_t *const base = pixels_;
    const int bands = static_cast<int>(
        std::min<std::size_t>((total + kClearBandBytes - 1) / kClearBandBytes,
                              static_cast<std::size_t>(std::numeric_limits<int>::max())));
    parallelRows(bands, 1, [&](int first, int end) {
        const std::size_t from = static_cast<std::size_t>(first) * kClearBandBytes;
        const std::size_t to = std::min(total, static_cast<std::size_t>(end) * kClearBandBytes);
        std::memset(base + from, 0, to - from);
    });
}

bool DibImage::create(std::int32_t width, std::int32_t height, std::uint16_t bitCount) {
    if (width <= 0 || height <= 0 || !supportedBitCount(bitCount)) {
        return false;
    }
    if (sameFormat(width, height, bitCount)) {
        // Same format: the memory (and on Windows the section) is kept; only its bytes are reset.
        // New memory for a whole frame would cost far more in page faults than clearing it.
        clearPixels();
        return true;
    }
    release();
    const std::int32_t stride = strideFor(width, bitCount);
    const std::uint64_t total =
        static_cast<std::uint64_t>(stride) * static_cast<std::uint64_t>(height);
    if (stride == 0 || total > std::numeric_limits<std::uint32_t>::max() ||
        total > std::numeric_limits<std::size_t>::max() / 2) {
        return false;
    }

    info_.header = BitmapInfoHeader{};
    info_.header.width = width;
    info_.header.height = height;
    info_.header.planes = 1;
    info_.header.bitCount = bitCount;
    if (bitCount == 8) {
        for (int i = 0; i < 256; ++i) {
            const auto level = static_cast<std::uint8_t>(i);
            info_.colours[static_cast<std::size_t>(i)] = ColourEntry{level, level, level, 0};
        }
    }

    // A new section is zero-filled by the system.
    if (platform::createImageSection(&info_, section_)) {
        pixels_ = section_.pixels;
    } else {
        plainBuffer_ = platform::allocateImageBuffer(static_cast<std::size_t>(total));
        if (plainBuffer_ == nullptr) {
            release();
            return false;
        }
        pixels_ = plainBuffer_;
    }
    width_ = width;
    height_ = height;
    stride_ = stride;
    bitCount_ = bitCount;
    return true;
}

bool DibImage::copyFormat(const DibImage *other) {
    if (other == nullptr || other == this || other->isEmpty()) {
        return false;
    }
    return create(other->width_, other->height_, other->bitCount_);
}

void DibImage::release() {
    platform::releaseImageSection(section_);
    if (plainBuffer_ != nullptr) {
        platform::freeImageBuffer(plainBuffer_);
        plainBuffer_ = nullptr;
    }
    info_ = BitmapInfo{};
    pixels_ = nullptr;
    width_ = 0;
    height_ = 0;
    stride_ = 0;
    bitCount_ = 0;
}

namespace {

// Clips a transfer of width x height pixels from (sx, sy) to (dx, dy) to both images.
bool clipTransfer(std::int32_t &dx, std::int32_t &dy, std::int32_t &sx, std::int32_t &sy,
                  std::int32_t &width, std::int32_t &height, const DibImage &destination,
                  const DibImage &source) {
    auto clipAxis = [](std::int32_t &d, std::int32_t &s, std::int32_t &size, std::int32_t dLimit,
                       std::int32_t sLimit) {
        const std::int32_t shift = std::max({std::int32_t{0}, -d, -s});
        d += shift;
        s += shift;
        size -= shift;
        size = std::min({size, dLimit - d, sLimit - s});
        return size > 0;
    };
    return clipAxis(dx, sx, width, destination.width(), source.width()) &&
           clipAxis(dy, sy, height, destination.height(), source.height());
}

void copyPixelsThroughTable(DibImage &destination, const DibImage &source, std::int32_t dx,
                            std::int32_t dy, std::int32_t sx, std::int32_t sy, std::int32_t width,
                            std::int32_t height) {
    const int outBytes = destination.bytesPerPixel();
    const int inBytes = source.bytesPerPixel();
    const auto &table = source.colourTable();
    parallelRows(height, 64, [&](int first, int end) {
        for (int i = first; i < end; ++i) {
            // Device-context row r is memory row height - 1 - r.
            const std::uint8_t *in = source.row(source.height() - 1 - (sy + i)) + sx * inBytes;
            std::uint8_t *out =
                destination.row(destination.height() - 1 - (dy + i)) + dx * outBytes;
            if (inBytes == outBytes) {
                std::memcpy(out, in, static_cast<std::size_t>(width) * inBytes);
                continue;
            }
            for (std::int32_t j = 0; j < width; ++j) {
                const ColourEntry &entry = table[in[j]];
                std::uint8_t *pixel = out + j * outBytes;
                pixel[0] = entry.blue;
                pixel[1] = entry.green;
                pixel[2] = entry.red;
                if (outBytes == 4) {
                    pixel[3] = 0;
                }
            }
        }
    });
}

}  // namespace

bool transferImage(DibImage &destination, const DibImage &source, const KernelRect *rect,
                   std::int32_t x, std::int32_t y) {
    if (destination.isEmpty() || source.isEmpty()) {
        return false;
    }
    KernelRect area = rect != nullptr ? *rect : KernelRect{0, 0, source.width(), source.height()};
    std::int32_t sx = area.left;
    std::int32_t sy = area.top;
    std::int32_t width = area.right - area.left;
    std::int32_t height = area.bottom - area.top;
    if (!clipTransfer(x, y, sx, sy, width, height, destination, source)) {
        return false;
    }
    if (destination.hasDeviceContext() && source.hasDeviceContext()) {
        return platform::transferImageSection(destination.deviceContext(), x, y, width, height,
                                              source.deviceContext(), sx, sy);
    }
    const bool throughTable =
        source.bitCount() == 8 && (destination.bitCount() == 24 || destination.bitCount() == 32);
    if (!throughTable && source.bitCount() != destination.bitCount()) {
        return false;
    }
    copyPixelsThroughTable(destination, source, x, y, sx, sy, width, height);
    return true;
}

}  // namespace ostrel::imaging
