// ImageFileType: the file type codes of a still image save. The code alone chooses the format;
// the file name's extension plays no part.
#pragma once

#include <cstdint>

namespace ostrel::output {

enum class ImageFileType : std::int32_t {
    Bmp = 0,
    Raw = 1,  // the pixel buffer as it lies in memory, padding included
    Jpeg100 = 2,
    Jpeg70 = 3,
    Jpeg20 = 4,
    Png = 5,
    Tiff = 6,
};

}  // namespace ostrel::output
