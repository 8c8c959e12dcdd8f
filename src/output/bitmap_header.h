// The 40-byte bitmap information header that both the BMP file and the AVI stream format carry.
#pragma once

#include <cstdint>

#include "output/byte_writer.h"

namespace ostrel::output {

inline constexpr std::uint32_t kBitmapInfoHeaderSize = 40;

// Writes an uncompressed bottom-up header: positive height, one plane, no resolution, no colour
// counts.
void writeBitmapInfoHeader(ByteWriter &out, std::int32_t width, std::int32_t height,
                           std::uint16_t bitCount);

}  // namespace ostrel::output
