// Test images for the adjustment and pipeline tests: pixel buffers with any stride, guard bytes
// around them to catch writes outside the image, and argument lists for calling kernels directly.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "imaging/conversion_kernel.h"

namespace ostrel::imaging::test {

inline constexpr std::uint8_t kGuard = 0xA5;
inline constexpr std::size_t kGuardBytes = 64;

// A width x height image of bytesPerPixel bytes per pixel; the stride defaults to the bitmap's
// (rounded up to 4). Padding bytes start as 0xEE so a kernel that touches them shows.
class PixelBuffer {
public:
    PixelBuffer(int width, int height, int bytesPerPixel, int stride = 0)
        : width_(width),
          height_(height),
          bpp_(bytesPerPixel),
          stride_(stride != 0 ? stride : (width * bytesPerPixel + 3) / 4 * 4),
          bytes_(kGuardBytes * 2 + static_cast<std::size_t>(stride_) * height, kGuard) {
        for (int y = 0; y < height_; ++y) {
            std::memset(row(y), 0, static_cast<std::size_t>(width_) * bpp_);
            std::memset(row(y) + width_ * bpp_, 0xEE,
                        static_cast<std::size_t>(stride_ - width_ * bpp_));
        }
    }

    int width() const { return width_; }
    int height() const { return height_; }
    int bytesPerPixel() const { return bpp_; }
    int stride() const { return stride_; }
    std::uint8_t *pixels() { return bytes_.data() + kGuardBytes; }
    const std::uint8_t *pixels() const { return bytes_.data() + kGuardBytes; }
    std::uint8_t *row(int y) { return pixels() + static_cast<std::size_t>(y) * stride_; }
    const std::uint8_t *row(int y) const {
        return pixels() + static_cast<std::size_t>(y) * stride_;
    }
    std::uint8_t *at(int x, int y) { return row(y) + x * bpp_; }
    const std::uint8_t *at(int x, int y) const { return row(y) + x * bpp_; }

    std::uint16_t word(int x, int y, int channel = 0) const {
        const std::uint8_t *p = at(x, y) + 2 * channel;
        return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    }
    void setWord(int x, int y, int channel, std::uint16_t value) {
        std::uint8_t *p = at(x, y) + 2 * channel;
        p[0] = static_cast<std::uint8_t>(value);
        p[1] = static_cast<std::uint8_t>(value >> 8);
    }

    // Every pixel byte random (padding left alone).
    void fillRandom(std::mt19937 &rng) {
        std::uniform_int_distribution<int> byte(0, 255);
        for (int y = 0; y < height_; ++y) {
            for (int i = 0; i < width_ * bpp_; ++i) {
                row(y)[i] = static_cast<std::uint8_t>(byte(rng));
            }
        }
    }
    // Every 16-bit word random within 0..top.
    void fillRandomWords(std::mt19937 &rng, int top) {
        std::uniform_int_distribution<int> value(0, top);
        for (int y = 0; y < height_; ++y) {
            for (int i = 0; i < width_ * bpp_ / 2; ++i) {
                const auto v = static_cast<std::uint16_t>(value(rng));
                row(y)[2 * i] = static_cast<std::uint8_t>(v);
                row(y)[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
            }
        }
    }

    bool guardsIntact() const {
        for (std::size_t i = 0; i < kGuardBytes; ++i) {
            if (bytes_[i] != kGuard || bytes_[bytes_.size() - 1 - i] != kGuard) {
                return false;
            }
        }
        return true;
    }
    const std::vector<std::uint8_t> &allBytes() const { return bytes_; }

private:
    int width_;
    int height_;
    int bpp_;
    int stride_;
    std::vector<std::uint8_t> bytes_;
};

// Whole-image argument list, source to destination (the same buffer for in-place kernels).
inline KernelArgs wholeImageArgs(PixelBuffer &dst, const PixelBuffer &src, const void *params) {
    KernelArgs args;
    args.dst = dst.pixels();
    args.src = src.pixels();
    args.srcRect = KernelRect{0, 0, src.width(), src.height()};
    args.dstBytesPerPixel = static_cast<std::uint16_t>(dst.bytesPerPixel());
    args.srcBytesPerPixel = static_cast<std::uint16_t>(src.bytesPerPixel());
    args.dstStride = dst.stride();
    args.srcStride = src.stride();
    args.params = params;
    return args;
}

inline KernelArgs inPlaceArgs(PixelBuffer &image, const void *params) {
    return wholeImageArgs(image, image, params);
}

}  // namespace ostrel::imaging::test
