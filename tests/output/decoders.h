// Reading still files back with the real decoders (libjpeg, libpng, libtiff), so the tests see
// what any other program would see.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ostrel::output::test {

struct Decoded {
    bool ok = false;
    std::string error;
    int width = 0;
    int height = 0;
    int channels = 0;  // samples per pixel
    int bitDepth = 0;  // bits per sample
    // Samples top row first, channels in the file's order; 16-bit samples as read from the file
    // (most significant byte first for PNG, the file's byte order for TIFF).
    std::vector<std::uint16_t> samples;

    std::uint16_t at(int x, int y, int channel) const {
        return samples.at((static_cast<std::size_t>(y) * width + x) * channels + channel);
    }
};

struct JpegInfo {
    bool progressive = false;
    int colourSpace = 0;          // J_COLOR_SPACE of the file
    int firstLuminanceQuant = 0;  // the DC entry of quantisation table 0
};

Decoded readJpeg(const std::string &path, JpegInfo *info = nullptr);

struct PngInfo {
    int colourType = -1;
    int interlace = -1;
    std::vector<std::string> chunks;  // chunk types in file order
};

Decoded readPng(const std::string &path, PngInfo *info = nullptr);

struct TiffInfo {
    std::uint16_t photometric = 0;
    std::uint16_t compression = 0;
    std::uint16_t planar = 0;
    std::uint32_t strips = 0;
    std::uint64_t firstStripBytes = 0;
    bool hasExtraSamples = false;
};

Decoded readTiff(const std::string &path, TiffInfo *info = nullptr);

}  // namespace ostrel::output::test
