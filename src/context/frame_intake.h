// FrameIntake: how a frame travels from the camera device into the context's raw image.
//
// The 7100VRX always reads its whole sensor and delivers (6576 / d) x (4384 / d) 8-bit samples,
// rows tightly packed, whatever window the context asked for. The raw image holds the context's
// own window of that frame (origin and size divided by d), with 8-bit samples or, for the 10-bit
// colour modes, 16-bit words. So a frame is taken one of two ways:
//
// - Direct: the raw image is 8-bit, has exactly the frame's size and nobody but the capture
//   flow reads it. The device writes straight into its pixels, and the packed rows are spread to
//   the padded stride in place.
// - Staged: the device writes into a staging buffer of the whole frame, made once per
//   preparation; placing the frame then copies the window into the raw image (8-bit samples as
//   they are, or widened to 10-bit words, sample x 4, for the 16-bit raw image). This is also the
//   way when the raw image is itself the output image that other threads read: the device call
//   then happens outside the frame lock and only the placing runs under it.
//
// Threads: the owner's (the capture thread while streaming, the caller during a snapshot).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "imaging/dib_image.h"

namespace ostrel::context {

// What the device delivers and which part of it the raw image holds.
struct FrameWindow {
    std::int32_t frameWidth = 0;  // samples per row of a delivered frame
    std::int32_t frameHeight = 0;
    std::int32_t left = 0;  // where the raw image's first sample lies in the frame
    std::int32_t top = 0;
};

class FrameIntake {
public:
    enum class Path { Direct, Staged };

    FrameIntake() = default;
    FrameIntake(const FrameIntake &) = delete;
    FrameIntake &operator=(const FrameIntake &) = delete;

    // Chooses the path for frames of `window` into `raw` (8- or 16-bit, not empty) and makes the
    // staging buffer when one is needed (kept, and reused, across preparations). `rawIsShared`
    // forces the staged path. False, with no path chosen, when the raw image does not lie inside
    // the frame or the staging buffer cannot be had.
    [[nodiscard]] bool plan(const imaging::DibImage &raw, const FrameWindow &window,
                            bool rawIsShared);
    // Forgets the plan and frees the staging buffer.
    void release();

    bool planned() const { return planned_; }
    Path path() const { return path_; }
    // Where the device is to write the next frame, and how many bytes it will write there.
    std::uint8_t *target(imaging::DibImage &raw);
    std::size_t frameBytes() const;

    // Puts the frame the device wrote into the raw image: spreads the rows to the stride on the
    // direct path, copies (and widens) the window on the staged one. Padding bytes end up 0.
    void place(imaging::DibImage &raw);

private:
    bool planned_ = false;
    Path path_ = Path::Direct;
    FrameWindow window_;
    std::unique_ptr<std::uint8_t[]> staging_;
    std::size_t stagingBytes_ = 0;
};

}  // namespace ostrel::context
