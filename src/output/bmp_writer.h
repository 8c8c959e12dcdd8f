// The Windows bitmap file of an image: file header, bitmap information header, the grey colour
// table for 8-bit images, then the rows bottom row of the picture first.
#pragma once

#include "imaging/dib_image.h"
#include "output/save_result.h"

namespace ostrel::output {

// Writes image (8, 16, 24, 32, 48 or 64 bits per pixel, bit count written as the image holds it)
// to fileName, truncating an existing file.
[[nodiscard]] SaveResult writeBmp(const char *fileName, const imaging::DibImage &image);

}  // namespace ostrel::output
