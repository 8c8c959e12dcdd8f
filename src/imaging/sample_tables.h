// Applying a look-up table to every sample of an image: the common pass of the gamma, contrast
// and brightness adjustments. The table is built once per frame by the caller; the pass runs in
// row bands over the worker pool. Monochrome images map their one sample; colour images map
// blue, green and red and leave a fourth byte or word alone.
#pragma once

#include <cstdint>

#include "imaging/conversion_kernel.h"

namespace ostrel::imaging {

// Tables indexed by an 8-bit sample (256 entries) or a 10-bit sample (1024 entries).
using Table8 = std::uint8_t[256];
using Table10 = std::uint16_t[1024];

// 8-bit samples: one per pixel (channels 1) or blue, green, red of each pixel (channels 3,
// stepping by the argument list's bytes per pixel, 3 or 4).
void applyTable8(const KernelArgs &args, const Table8 &table, int channels);

// 16-bit samples holding 10-bit values; words above 1023 are looked up as 1023.
void applyTable10(const KernelArgs &args, const Table10 &table, int channels);

namespace reference {
// Plain pixel-by-pixel versions on the calling thread, for comparison in tests.
void applyTable8(const KernelArgs &args, const Table8 &table, int channels);
void applyTable10(const KernelArgs &args, const Table10 &table, int channels);
}  // namespace reference

}  // namespace ostrel::imaging
