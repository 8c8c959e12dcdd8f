// AviWriter: the file of a recording, an uncompressed 24-bit AVI with one video stream, one chunk
// per frame and an index. The whole header is laid down at open with provisional values; sizes,
// the frame count and the measured rate are patched in when the file is closed.
//
// Calling order (one thread at a time, the recording's): set width, height, bit count, rate in
// frames per second and frame count 0; openRecording; for every frame writeFrame, then add 1 to
// the frame count when it was written; set the rate in hundredths of a frame per second;
// closeRecording. A recording that stops early is finished the same way (set the rate, close),
// so every frame written stays readable.
//
// All sizes in the file are 32-bit: writeFrame refuses a frame that would carry the finished
// file past what they can hold, and the caller then closes the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "output/output_file.h"

namespace ostrel::output {

class ByteWriter;

enum class AviFrameResult {
    Written,      // the frame and its index entry are in the file
    NoFile,       // no file is open; the counters advanced all the same
    SizeLimit,    // refused: the finished file would pass the largest size its fields hold
    WriteFailed,  // the system did not take the frame; nothing was counted
};

class AviWriter {
public:
    // The largest RIFF size (file length − 8) that the 32-bit size field holds.
    static constexpr std::uint64_t kMaxRiffSize = 0xFFFFFFFFu;

    AviWriter() = default;
    // A writer whose files stop growing at a smaller RIFF size (for tests of the limit).
    explicit AviWriter(std::uint64_t maxRiffSize) : maxRiffSize_(maxRiffSize) {}
    ~AviWriter();  // an open file is closed as it stands (reset)
    AviWriter(const AviWriter &) = delete;
    AviWriter &operator=(const AviWriter &) = delete;

    // The members the owner fills in before open (and the rate again before close).
    void setWidth(std::int32_t width) { width_ = width; }
    void setHeight(std::int32_t height) { height_ = height; }
    // The owner's image depth; frames are always 24-bit whatever it says.
    void setBitCount(std::uint16_t bitCount) { bitCount_ = bitCount; }
    // Before open: frames per second. Before close: measured hundredths of a frame per second.
    // 0 is written as 1 (it is the divisor of the header's frame times).
    void setRate(std::uint32_t rate) { rate_ = rate; }
    void setFrameCount(std::uint32_t frameCount) { frameCount_ = frameCount; }

    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    std::uint16_t bitCount() const { return bitCount_; }
    std::uint32_t rate() const { return rate_; }
    std::uint32_t frameCount() const { return frameCount_; }

    // Drops any open file unfinished, then creates path (truncating an existing file) and writes
    // the header. False when the file can be neither truncated nor created, or when width or
    // height is not positive or a frame would not fit in a 32-bit chunk size.
    [[nodiscard]] bool openRecording(const char *path);

    // Appends one frame of frameBytes() bytes: blue, green, red, bottom row of the picture first.
    [[nodiscard]] AviFrameResult writeFrame(const std::uint8_t *pixels);

    // Writes the index, patches sizes, frame count and rate, and closes the file. True when the
    // finished file was written completely; false with no file open or when a write failed.
    [[nodiscard]] bool closeRecording();

    // Closes an open file without finishing it and forgets the index and counters.
    void reset();

    bool isOpen() const { return file_.isOpen(); }
    // Bytes of pixel data per frame (width × height × 3).
    std::uint32_t frameBytes() const { return frameBytes_; }
    // Bytes after the first 8 of the file, and after the movi list's size field.
    std::uint32_t riffSize() const { return static_cast<std::uint32_t>(riffSize_); }
    std::uint32_t moviSize() const { return moviSize_; }
    std::size_t indexEntries() const { return index_.size(); }

private:
    void writeHeader(ByteWriter &out, std::uint32_t rate);
    bool patch(std::uint64_t position, std::uint32_t value);

    std::uint64_t maxRiffSize_ = kMaxRiffSize;

    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::uint16_t bitCount_ = 0;
    std::uint32_t rate_ = 0;
    std::uint32_t frameCount_ = 0;

    OutputFile file_;
    std::uint32_t frameBytes_ = 0;
    std::uint64_t riffSize_ = 0;        // bytes written after the RIFF size field's 8 first bytes
    std::uint32_t moviSize_ = 0;        // bytes written after the movi list's size field
    std::vector<std::uint32_t> index_;  // chunk offsets from the "movi" type field, in order
    bool writeFailed_ = false;          // a frame was refused: bytes of it may lie past the end

    // Header fields rewritten at close, remembered as they are written.
    std::size_t riffSizePos_ = 0;
    std::size_t microSecPerFramePos_ = 0;
    std::size_t totalFramesPos_ = 0;
    std::size_t streamScalePos_ = 0;
    std::size_t streamLengthPos_ = 0;
    std::size_t moviSizePos_ = 0;
};

}  // namespace ostrel::output
