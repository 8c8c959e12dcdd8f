// The automatic gains of the frame pipeline: the automatic colour gain (white balance) before
// colour reconstruction, and the automatic gray gains of the "Bayer convert" gray mode. Both
// write their results into the settings and refresh an open image filter dialog.
#pragma once

#include "imaging/dib_image.h"
#include "imaging/frame_controls.h"
#include "platform/settings_block.h"

namespace ostrel::imaging {

// Largest colour gain the white balance stores.
inline constexpr std::int32_t kMaxAutoColourGain = 400;

// When the automatic colour gain is on: measures the raw image (8-bit samples, or 16-bit words
// as they stand), stores blue, green and red gains limited to 400, refreshes the dialog, and
// clears the automatic gain and its two companion flags when all three are set ("Once"). A frame
// that cannot be measured (a colour without samples or black) changes nothing, so "Once" waits
// for the next frame that can.
void AutoColourGain(DibImage &raw, SettingsBlock &settings, FrameControls &controls);

// When the automatic gray-gain countdown is not 0: measures the 8-bit image, stores the four
// gains, refreshes the dialog and counts the countdown down by one (a negative countdown keeps
// counting, so it measures every frame). A frame that cannot be measured changes nothing.
void AutoGrayGain(DibImage &image8, SettingsBlock &settings, FrameControls &controls);

}  // namespace ostrel::imaging
