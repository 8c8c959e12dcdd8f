// RecordConversion: turns the output image into the 24-bit picture that the AVI recorder
// appends: blue, green, red bytes of the output size, rows in reverse memory order (the bottom
// row of the picture first, as a bottom-up bitmap stores it). It keeps its 24-bit frame and a
// scratch image between calls, so a recording allocates only when the format changes.
#pragma once

#include "imaging/dib_image.h"

namespace ostrel::imaging {

class RecordConversion {
public:
    RecordConversion() = default;
    RecordConversion(const RecordConversion &) = delete;
    RecordConversion &operator=(const RecordConversion &) = delete;

    // Converts the output image (8, 16, 24, 32, 48 or 64 bits). 8-bit: grey through the grey
    // table; 16-bit: each word reduced to bits 2..9, then grey; 24 and 32: blue, green, red
    // copied; 48 and 64: each reduced to 8 bits. False (frame left empty) for an empty image, an
    // unknown bit count or a failed allocation. Called by the recording thread while it holds
    // the output image steady.
    [[nodiscard]] bool convert(const DibImage &output);

    // The converted picture (valid after a successful convert).
    const DibImage &frame() const { return frame_; }

private:
    DibImage frame_;
    DibImage scratch_;
};

}  // namespace ostrel::imaging
