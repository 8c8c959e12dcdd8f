// The bitmap information header, field by field.
#include "output/bitmap_header.h"

namespace ostrel::output {

void writeBitmapInfoHeader(ByteWriter &out, std::int32_t width, std::int32_t height,
                           std::uint16_t bitCount) {
    out.u32(kBitmapInfoHeaderSize);  // header size
    out.i32(width);                  // width
    out.i32(height);                 // height (positive: rows bottom-up)
    out.u16(1);                      // planes
    out.u16(bitCount);               // bits per pixel
    out.u32(0);                      // compression: none
    out.u32(0);                      // image size
    out.i32(0);                      // horizontal resolution
    out.i32(0);                      // vertical resolution
    out.u32(0);                      // colours used
    out.u32(0);                      // colours important
}

}  // namespace ostrel::output
