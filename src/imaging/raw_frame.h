// The raw frame as the device leaves it: rows tightly packed (width x sample size apart). The
// fix-up spreads them to the image's padded stride; the horizontal mirror reverses every row.
#pragma once

#include "imaging/dib_image.h"

namespace ostrel::imaging {

// When the stride differs from width x bytes per pixel, spreads the packed rows in place to the
// stride (8- or 16-bit samples) and clears the padding bytes, which otherwise keep stale sample
// bytes. An image whose rows are already a multiple of 4 bytes is left as it is.
void FixUpRawFrame(DibImage &raw);

// Reverses the order of the samples (bytes, or 16-bit words) of every row in place; padding
// bytes are cleared. For the horizontal mirror of the raw frame.
void MirrorRawFrame(DibImage &raw);

}  // namespace ostrel::imaging
