// Mean level of a rectangle of the raw image, the measurement of the automatic exposure.
#pragma once

#include <cstdint>

#include "imaging/conversion_kernel.h"

namespace ostrel::imaging {

// Source rectangle of 8-bit samples: their sum over their count (unsigned), 0 for an empty
// rectangle. No parameters; the destination is not written.
std::int32_t MeanLevel8(const KernelArgs &args);
// The same over 16-bit samples each reduced to 8 bits (bits 2..9).
std::int32_t MeanLevel16(const KernelArgs &args);

}  // namespace ostrel::imaging
