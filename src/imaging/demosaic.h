// Colour reconstruction from the Bayer mosaic: Demosaic8 / Demosaic10 compute every pixel whose
// 4 x 4 neighbourhood lies inside the image, Demosaic8Border / Demosaic10Border the two-pixel
// frame around it. The pipeline runs the interior kernel first, then the border kernel.
//
// Each output pixel stands for the centre of the 2 x 2 mosaic cell of rows y-1, y and columns
// x-1, x: green is the mean of the cell's two greens; red and blue interpolate the four nearest
// samples of their colour with weights 9, 3, 3, 1 (over 16), scaled by floor(32 x gain / 25) /
// 2048 and capped at 255 (8-bit) or 1023 (10-bit). Pixels are written blue, green, red; a fourth
// byte or word (32- and 64-bit images) is left alone (or written 0 where the caller guarantees
// it is 0 already, see FrameReconstructionParams). Whole frames are split into row bands over
// the worker pool.
//
// Inputs outside the documented ranges are handled so that nothing is read or written out of
// bounds and no arithmetic overflows:
// - A Bayer mode outside 0..3 acts as mode 0.
// - A negative gain gives 0 in its channel; gains of any size saturate correctly.
// - 10-bit samples above 1023 (any 16-bit word can arrive) count as 1023, a saturated reading.
// - Images narrower or lower than 4 pixels: a neighbour index that the border rule (index + 4
//   below 0, index - 4 at or beyond the size) still leaves outside is moved by 2 towards the
//   inside until it is inside, which keeps its colour; in a dimension of size 1 it becomes 0.
//   A uniform mosaic with gains 100 thus reconstructs to its own value at every size.
#pragma once

#include <cstdint>

#include "imaging/conversion_kernel.h"

namespace ostrel::imaging {

// The colour gains block: the kernels' parameter block (KernelArgs::params points at it).
struct ColourGains {
    std::int32_t bayerMode = 0;    // phase of memory row 0, column 0: bit 0 row, bit 1 column
    std::int32_t redGain = 100;    // 100 = 1.0
    std::int32_t greenGain = 100;  // not used by the reconstruction
    std::int32_t blueGain = 100;
};

// 8-bit mosaic (image 8) into 24- or 32-bit blue, green, red.
std::int32_t Demosaic8(const KernelArgs &args);
std::int32_t Demosaic8Border(const KernelArgs &args);

// 10-bit mosaic in 16-bit words (image 16) into 48- or 64-bit blue, green, red words.
std::int32_t Demosaic10(const KernelArgs &args);
std::int32_t Demosaic10Border(const KernelArgs &args);

// The parameter block of the whole-frame kernels.
struct FrameReconstructionParams {
    ColourGains gains;
    // The caller guarantees that the fourth sample of every destination pixel is 0 (32- and
    // 64-bit images only; ignored otherwise). The pipeline's own images keep that invariant:
    // they are created zero-filled and no kernel ever writes a fourth sample other than with 0.
    // The kernel may then write whole pixels with a fourth sample of 0, which stores each pixel
    // without reading the destination first; with false it leaves the fourth samples alone.
    bool fourthSamplesZero = false;
};

// The interior and border kernels' results in one sweep over the frame (same bytes as running
// Demosaic8 then Demosaic8Border, or the 10-bit pair); KernelArgs::params points at a
// FrameReconstructionParams (null: default gains, fourth samples left alone).
std::int32_t Demosaic8Frame(const KernelArgs &args);
std::int32_t Demosaic10Frame(const KernelArgs &args);

}  // namespace ostrel::imaging
