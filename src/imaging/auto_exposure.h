// Automatic exposure (auto iris): on every third frame the mean levels of five patches of the raw
// image give a factor e; outside the dead band 0.6 < e < 1.2 the gain (mode 2) or the exposure
// value (mode 1) is scaled by it and sent to the camera.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "platform/analog_settings.h"
#include "imaging/conversion_kernel.h"
#include "imaging/dib_image.h"
#include "imaging/frame_controls.h"

namespace ostrel::imaging {

// The frame counter that makes the measurement run on every third frame. One counter serves the
// whole library (processFrameRhythm), so cameras streaming at once share the rhythm; it is
// atomic, so their capture threads may count at the same time.
class FrameRhythm {
public:
    // Counts one frame; true when this frame is measured.
    bool countFrame();
    // Back to the state of a fresh process (the next measurement is on the third frame).
    void reset() { counter_.store(0, std::memory_order_relaxed); }

private:
    std::atomic<int> counter_{0};
};

FrameRhythm &processFrameRhythm();

// The five patches (left, top, right, bottom), each coordinate the image size times a fraction
// truncated toward zero. ApplyKernel numbers rows from the bottom, so a patch measures memory
// rows height - bottom .. height - top - 1.
std::array<KernelRect, 5> exposurePatches(std::int32_t width, std::int32_t height);

// The factor e from the five mean levels (0..255): the first patch's value (0.85, 0.9, 1.0, 1.05
// or 1.1) plus the contributions of the others in patch order, in double precision.
double exposureFactor(const std::array<std::int32_t, 5> &means);

// Acts on a factor outside the dead band by the auto-iris mode; nothing for 0.6 < e < 1.2.
void applyExposureFactor(double e, std::int32_t mode, AnalogSettings &analog,
                         FrameControls &controls);

// The whole step for one frame on the raw image (8-bit samples, or 16-bit words reduced to 8
// bits). Auto-iris mode other than 1 or 2: records code 0. No raw image or no camera device:
// records code 9. Otherwise counts the frame on the rhythm and measures every third frame.
void AutoExposure(DibImage *raw, AnalogSettings &analog, FrameControls &controls,
                  FrameRhythm &rhythm = processFrameRhythm());

}  // namespace ostrel::imaging
