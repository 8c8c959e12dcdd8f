// Byte-copying kernels between 24- and 32-bit images and whole-row copies, for the preview, the
// recorder and the still image files.
#pragma once

#include "imaging/conversion_kernel.h"

namespace ostrel::imaging {

// Image 32 to image 24: blue, green, red copied, rows in memory order.
std::int32_t Copy32To24(const KernelArgs &args);

// Image 24 or 32 (stepped by its bytes per pixel) to a 24-bit image, rows reversed.
std::int32_t Copy24Flipped(const KernelArgs &args);

// 24- or 32-bit to 24-bit with bytes 0 and 2 exchanged (blue, green, red to red, green, blue),
// rows in memory order.
std::int32_t SwapRedBlue24(const KernelArgs &args);

// Any format to the same format, rows reversed: each row is copied as raw bytes from column
// `left` of the source to column x of the destination, up to the end of the shorter of the two
// rows (the whole row with its padding when both start at column 0).
std::int32_t CopyRowsFlipped(const KernelArgs &args);

// Image 32 to a 32-bit image: bytes 0..2 copied, byte 3 = 255 - byte 3; rows in memory order.
std::int32_t Copy32InvertFourth(const KernelArgs &args);

}  // namespace ostrel::imaging
