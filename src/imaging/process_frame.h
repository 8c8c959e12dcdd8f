// ProcessFrame: the per-frame pipeline from the raw mosaic in the raw image to the output image of
// the colour mode — automatic exposure, vertical mirror, the mosaic work (gray modes or colour
// reconstruction with the automatic colour gain), then hue and saturation, gamma, contrast,
// sharpness and brightness, each only when its setting is not neutral.
#pragma once

#include "platform/analog_settings.h"
#include "imaging/auto_exposure.h"
#include "platform/color_mode.h"
#include "imaging/dib_image.h"
#include "imaging/frame_controls.h"
#include "platform/settings_block.h"

namespace ostrel::imaging {

// The images of one camera, borrowed for the call. The raw and output images are picked by the
// colour mode: raw = image 8 (modes 0, 2, 3) or image 16 (1, 4, 5); output = image 8, 16, 24,
// 32, 48 or 64. Image 24 also serves the "Grayscale" gray mode of mode 0; the work image is the
// copy sharpening reads (same format as the output). Images a mode does not use may be null.
struct FrameImages {
    DibImage *image8 = nullptr;
    DibImage *image16 = nullptr;
    DibImage *image24 = nullptr;
    DibImage *image32 = nullptr;
    DibImage *image48 = nullptr;
    DibImage *image64 = nullptr;
    DibImage *work = nullptr;
};

DibImage *rawImageFor(const FrameImages &images, ColorMode mode);
DibImage *outputImageFor(const FrameImages &images, ColorMode mode);

// One frame's input: the images, the settings as they stand (read word by word as each step
// starts; the automatic gains and exposure write their results back), and the context's
// controls.
struct FrameInput {
    ColorMode mode = ColorMode::Mono8;
    FrameImages images;
    SettingsBlock &settings;
    AnalogSettings &analog;
    FrameControls &controls;
};

// Runs the pipeline once, after the raw frame is in the raw image (fixed up and mirrored
// horizontally as asked). A step whose image is missing or of another size is skipped. Runs on
// the thread that fetched the frame; the kernels use the worker pool.
void ProcessFrame(const FrameInput &frame, FrameRhythm &rhythm = processFrameRhythm());

}  // namespace ostrel::imaging
