// Parameter blocks of the output adjustment kernels; a kernel's parameter pointer points at one.
#pragma once

#include <cstdint>

namespace ostrel::imaging {

// Gamma, contrast, sharpness and brightness: the one setting.
struct SingleValueParams {
    std::int32_t value = 0;
};

// Hue and saturation. The lightness is always 0 here and the last word is not read.
struct HueSaturationParams {
    std::int32_t hue = 0;
    std::int32_t lightness = 0;
    std::int32_t saturation = 0;
    std::int32_t unused = 10;
};

// The setting of a single-value block, or 0 when the kernel was given none.
inline std::int32_t singleValue(const void *params) {
    return params == nullptr ? 0 : static_cast<const SingleValueParams *>(params)->value;
}

}  // namespace ostrel::imaging
