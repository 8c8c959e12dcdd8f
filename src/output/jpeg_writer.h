// The JPEG file of an 8-bit grey or 24-bit colour picture, through libjpeg.
#pragma once

#include "imaging/dib_image.h"
#include "output/save_result.h"

namespace ostrel::output {

// Compresses picture (8 bits: one grey component; 24 bits: blue, green, red stored, written as
// RGB) at quality 0..100, baseline tables forced, progressive when asked. The picture's last
// memory row is the top of the picture: rows are handed to the compressor from the last stored
// row back to the first. Every other setting is the library's default. An error inside libjpeg
// ends the save with WriteFailed, the compressor destroyed and the file closed.
[[nodiscard]] SaveResult writeJpeg(const char *fileName, const imaging::DibImage &picture,
                                   int quality, bool progressive);

}  // namespace ostrel::output
