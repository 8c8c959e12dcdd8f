// The TIFF file of an image, through libtiff: uncompressed, one strip, rows without padding.
#pragma once

#include "imaging/dib_image.h"
#include "output/save_result.h"

namespace ostrel::output {

// Writes image top row first, each row exactly width × bytes per pixel:
//   8: grey 8-bit as stored; 16: grey 16-bit, each word shifted left by 4;
//   24: RGB 8-bit; 32: RGB plus a fourth sample 0;
//   48: RGB 16-bit shifted left by 6; 64: the same plus a fourth sample 65535.
// libtiff's messages are kept from the standard error stream; any error it reports (open, strip
// write, directory at close) ends the save with OpenFailed or WriteFailed and the file closed.
[[nodiscard]] SaveResult writeTiff(const char *fileName, const imaging::DibImage &image);

}  // namespace ostrel::output
