// Saving an image as a still file: the dispatch by ImageFileType behind Ostrel_SaveImage and
// Ostrel_SaveImageW. The image is the context's output image or a copy of it; the caller keeps
// it unchanged for the length of the call (the context holds its frame lock or hands in a copy).
// Runs on the caller's thread; saves of different images may run at once.
#pragma once

#include <cstdint>

#include "imaging/dib_image.h"
#include "output/image_file_type.h"
#include "output/save_result.h"

namespace ostrel::output {

// Writes image to fileName (passed unchanged to the file functions) in the format of fileType
// (an ImageFileType code; any other value gives UnknownFileType and opens nothing):
//   BMP: bottom row first, bit count as the image holds it, grey table for 8 bits;
//   raw: the pixel buffer unchanged, padding included;
//   JPEG 100/70/20: progressive; 8 bits as grey, 16 bits reduced to 8-bit grey, 24/32 bits as
//     RGB (fourth byte dropped), 48/64 bits reduced to 8-bit RGB (fourth word dropped);
//   PNG: 8 and 24 bits as stored; 16 bits shifted left by 4; 32 bits with alpha 255 − the
//     fourth byte; 48 bits shifted left by 6; 64 bits shifted left by 6 with alpha 65535;
//   TIFF: see writeTiff.
// An image with no pixels gives NoImage without touching the file.
[[nodiscard]] SaveResult saveImage(const char *fileName, const imaging::DibImage &image,
                                   std::int32_t fileType);

}  // namespace ostrel::output
