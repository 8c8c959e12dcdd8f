// The PNG file of a pixel buffer, through libpng.
#pragma once

#include <cstdint>

#include "output/save_result.h"

namespace ostrel::output {

// Writes width × height pixels of bitCount bits from pixels, rows top first, each row
// width × bytes per pixel padded up to a multiple of 4 bytes apart:
//   8: grey 8-bit; 16: grey 16-bit; 24: RGB 8-bit; 32: RGB with alpha 8-bit;
//   48: RGB 16-bit; 64: RGB with alpha 16-bit.
// Colour pixels are stored blue first (written in PNG's red-first order); 16-bit samples are
// little-endian words (written most significant byte first). Only the header, the image data
// and the end chunk are written, with the library's default compression and filters. An error
// inside libpng prints "libpng error: <message>" on the standard error stream and ends the save
// with WriteFailed, the file closed and everything freed. Any number of saves may run at once.
[[nodiscard]] SaveResult writePng(const char *fileName, const std::uint8_t *pixels,
                                  std::int32_t width, std::int32_t height, std::uint16_t bitCount);

}  // namespace ostrel::output
