// SwapRows: the vertical mirror of the raw image, in place.
#pragma once

#include "imaging/conversion_kernel.h"

namespace ostrel::imaging {

// Exchanges rectangle rows i and height - 1 - i for i < height / 2 (the middle row of an odd
// height stays), each as a whole row of the smaller of the two strides, padding included.
// Returns 1 (0 for empty arguments).
std::int32_t SwapRows(const KernelArgs &args);

}  // namespace ostrel::imaging
