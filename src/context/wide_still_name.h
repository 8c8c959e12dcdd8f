// Saving a still image under a wide file name (Ostrel_SaveImageW): the name is converted into
// the system's narrow text first (the system code page on Windows, UTF-8 on Linux), then saved
// as a narrow name would be.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/dib_image.h"
#include "output/save_result.h"

namespace ostrel::context {

// The capacity of the narrow name a wide file name is converted into, terminator included.
inline constexpr std::size_t kWideNameBufferBytes = 1024;

// output::saveImage with a wide name converted into a buffer of kWideNameBufferBytes bytes;
// NameNotConverted (and nothing opened) when the name is missing, does not convert or does not
// fit with its terminator.
[[nodiscard]] output::SaveResult saveImageUnderWideName(const wchar_t *fileName,
                                                        const imaging::DibImage &image,
                                                        std::int32_t fileType);

}  // namespace ostrel::context
