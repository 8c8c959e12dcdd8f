// DeliverFrame: the copy of the output image into an application's buffer, whole rows with their
// padding, top row first or (the bottom-up bitmap layout) bottom row first.
#pragma once

#include <cstdint>

#include "imaging/dib_image.h"
#include "imaging/frame_controls.h"

namespace ostrel::imaging {

// Copies stride x height bytes of the output image into the buffer: in memory order (the top
// row of the picture first) when topRowFirst is non-zero, rows reversed when it is 0. A length
// below stride x height posts the frame notification with lParam 5, records code 5 and copies
// nothing. False for that, for a null buffer or an empty image (those two refused silently: the
// callers check them first). Runs on the caller's thread; the copy uses the worker pool.
[[nodiscard]] bool DeliverFrame(const DibImage &output, std::int32_t topRowFirst, void *buffer,
                                std::int64_t length, FrameControls &controls);

}  // namespace ostrel::imaging
