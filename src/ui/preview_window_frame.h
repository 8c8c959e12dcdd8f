// The pictures a preview window shows: the display image of each colour mode (reduced from the
// output image where the window system cannot show the output's format) and the scratch image
// the display image is scaled into when the window's size differs from the frame's.
#pragma once

#include <cstdint>

#include "platform/color_mode.h"
#include "imaging/dib_image.h"

namespace ostrel::ui {

// The owner's per-depth images, borrowed for one call. Any of them may be null or empty.
struct PreviewImages {
    imaging::DibImage *image8 = nullptr;
    imaging::DibImage *image16 = nullptr;
    imaging::DibImage *image24 = nullptr;
    imaging::DibImage *image32 = nullptr;
    imaging::DibImage *image48 = nullptr;
    imaging::DibImage *image64 = nullptr;
};

// The image to show for the colour mode: image 8 (mode 0), image 24 (mode 2), or image 8 or 24
// after reducing the output into it (mode 1: image 16 to 8 bits; mode 3: the first three bytes
// of image 32; modes 4 and 5: image 48 or 64 to 8 bits per channel). Null, with nothing written,
// when an image it needs is missing or empty, or the two differ in size.
imaging::DibImage *prepareDisplayImage(imaging::ColorMode mode, const PreviewImages &images);

// The scratch image's bits per pixel for a colour mode: 8 (grey table) for the monochrome modes,
// 24 for the colour modes.
std::uint16_t scratchBitCount(imaging::ColorMode mode);

// Makes the scratch image width x height at the bit count, unless it has that format already
// (its memory is then kept as it is). False, leaving it empty, when it cannot be made.
[[nodiscard]] bool fitScratchImage(imaging::DibImage &scratch, std::int32_t width,
                                   std::int32_t height, std::uint16_t bitCount);

// Scales the display image into the whole scratch image by nearest-neighbour sampling, turning
// it upside down on the way (so a block transfer of the scratch image shows it upright). False
// when either is empty or their bit counts differ or are not 8 or 24.
[[nodiscard]] bool scaleIntoScratch(imaging::DibImage &scratch, const imaging::DibImage &display);

}  // namespace ostrel::ui
