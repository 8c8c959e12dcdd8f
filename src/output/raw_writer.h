// The raw dump of an image: its pixel buffer exactly as it lies in memory.
#pragma once

#include "imaging/dib_image.h"
#include "output/save_result.h"

namespace ostrel::output {

// Writes height × stride bytes, top row first, row padding included, samples in their in-memory
// byte order, truncating an existing file.
[[nodiscard]] SaveResult writeRaw(const char *fileName, const imaging::DibImage &image);

}  // namespace ostrel::output
