// Makes the image data an emulated camera sends: the still scene, brightened or darkened by the
// sensor's response to exposure and gain, in the camera's readout order (two-sided or one-sided,
// full or subsampled), with the moving part of each frame patched in. The lit frame is cached
// and rebuilt only when the readout or the response changes, so a half-frame costs one copy.
//
// One object belongs to one camera and is used under that camera's lock.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "emulator/still_scene.h"

namespace ostrel::emulator {

struct ReadoutMode {
    bool twoSided = true;     // rows read from both ends at once, as pixel pairs
    bool subsampled = false;  // every other 2 x 2 cell in both directions

    bool operator==(const ReadoutMode &) const = default;
};

class FrameSynthesizer {
public:
    explicit FrameSynthesizer(std::shared_ptr<const StillScene> still);
    FrameSynthesizer(const FrameSynthesizer &) = delete;
    FrameSynthesizer &operator=(const FrameSynthesizer &) = delete;

    // Sets the readout and the response (a sample becomes min(255, scene x response), rounded);
    // the cached frame is rebuilt when either changed.
    void configure(ReadoutMode mode, double response);

    ReadoutMode mode() const { return mode_; }
    std::int32_t frameWidth() const;
    std::int32_t frameHeight() const;
    std::size_t frameBytes() const;
    std::size_t halfBytes() const { return frameBytes() / 2; }

    // Writes half `second` of frame `frame` in readout order: the half's bytes, then zeros up
    // to `length`. The tag is not applied.
    void renderHalf(std::uint32_t frame, bool second, std::uint8_t *out, std::size_t length);

    // The whole frame in picture order (rows top first, columns left to right): what a device
    // shows after re-ordering the readout. out holds frameBytes().
    void renderPicture(std::uint32_t frame, std::uint8_t *out);

    // Where the byte at a readout position lands in the picture, and the other way round.
    std::size_t pictureIndex(std::size_t readoutIndex) const;
    std::size_t readoutIndex(std::size_t pictureIndex) const;

private:
    void rebuild();
    void preparePatch(std::uint32_t frame);
    // Calls visit(row, column, lit value) for the moving samples in picture rows
    // [firstRow, endRow).
    template <typename Visit>
    void forEachMovingSample(std::int32_t firstRow, std::int32_t endRow, Visit &&visit) const;

    std::shared_ptr<const StillScene> still_;
    ReadoutMode mode_;
    std::uint32_t factor_ = 1u << 16;  // response in 16.16 fixed point
    bool built_ = false;
    std::array<std::uint8_t, 256> lut_{};
    std::vector<std::uint8_t> frame_;  // lit, in readout order

    bool patchValid_ = false;
    std::uint32_t patchFrame_ = 0;
    SceneRect area_;
    std::vector<std::uint8_t> patch_;  // the moving area at full sensor resolution, unlit
};

}  // namespace ostrel::emulator
