// The AVI recording file: header at open, one "00db" chunk per frame, the index and the patched
// header at close.
#include "output/avi_writer.h"

#include "output/bitmap_header.h"
#include "output/byte_writer.h"

namespace ostrel::output {

namespace {

constexpr std::uint32_t kAviFlagHasIndex = 0x10;
constexpr std::uint32_t kAviFlagIsCaptureFile = 0x10000;
constexpr std::uint32_t kIndexFlagKeyFrame = 0x10;
constexpr std::uint32_t kStreamTimeRate = 10'000'000;
constexpr std::uint64_t kChunkHeaderBytes = 8;  // id and size
constexpr std::uint64_t kIndexEntryBytes = 16;

// The header's frame times divide by the rate; a rate of 0 (a recording too slow to measure)
// counts as the smallest rate there is.
std::uint32_t nonZeroRate(std::uint32_t rate) {
    return rate == 0 ? 1 : rate;
}

}  // namespace

AviWriter::~AviWriter() {
    reset();
}

void AviWriter::reset() {
    file_.close();
    index_.clear();
    index_.shrink_to_fit();
    frameBytes_ = 0;
    riffSize_ = 0;
    moviSize_ = 0;
    writeFailed_ = false;
    riffSizePos_ = microSecPerFramePos_ = totalFramesPos_ = 0;
    streamScalePos_ = streamLengthPos_ = moviSizePos_ = 0;
}

bool AviWriter::openRecording(const char *path) {
    reset();
    if (width_ <= 0 || height_ <= 0) {
        return false;
    }
    const std::uint64_t frameBytes =
        static_cast<std::uint64_t>(width_) * static_cast<std::uint64_t>(height_) * 3;
    if (frameBytes + kChunkHeaderBytes > 0xFFFFFFFFu) {
        return false;  // not even one chunk size would fit its field
    }
    if (!file_.open(path, FileSharing::Exclusive)) {
        return false;
    }
    frameBytes_ = static_cast<std::uint32_t>(frameBytes);

    ByteWriter header;
    writeHeader(header, nonZeroRate(rate_));
    if (!file_.write(header.data(), header.size())) {
        reset();
        return false;
    }
    riffSize_ = header.size() - 8;
    moviSize_ = 4;  // the "movi" list type
    return true;
}

void AviWriter::writeHeader(ByteWriter &out, std::uint32_t rate) {
    const std::uint32_t bufferSize = frameBytes_ + static_cast<std::uint32_t>(kChunkHeaderBytes);

    out.fourcc("RIFF");
    riffSizePos_ = out.position();
    out.u32(0);  // RIFF size, patched at close
    out.fourcc("AVI ");

    const std::size_t hdrl = out.beginList("hdrl");
    const std::size_t avih = out.beginChunk("avih");
    microSecPerFramePos_ = out.position();
    out.u32(1'000'000 / rate);  // microseconds per frame
    // Max bytes per second: the square of the buffer size, truncated, as players have always
    // found it in these files.
    out.u32(bufferSize * bufferSize);
    out.u32(0);                                         // padding granularity
    out.u32(kAviFlagHasIndex | kAviFlagIsCaptureFile);  // flags
    totalFramesPos_ = out.position();
    out.u32(frameCount_);  // total frames, patched at close
    out.u32(0);            // initial frames
    out.u32(1);            // streams
    out.u32(bufferSize);   // suggested buffer size
    out.i32(width_);       // width
    out.i32(height_);      // height
    out.zeros(16);         // reserved
    out.endChunk(avih);

    const std::size_t strl = out.beginList("strl");
    const std::size_t strh = out.beginChunk("strh");
    out.fourcc("vids");  // stream type
    out.fourcc("DIB ");  // handler
    out.u32(0);          // flags
    out.u16(0);          // priority
    out.u16(0);          // language
    out.u32(0);          // initial frames
    streamScalePos_ = out.position();
    out.u32(kStreamTimeRate / rate);  // scale, patched at close
    out.u32(kStreamTimeRate);         // rate
    out.u32(0);                       // start
    streamLengthPos_ = out.position();
    out.u32(frameCount_);  // length, patched at close
    out.u32(bufferSize);   // suggested buffer size
    out.u32(0);            // quality
    out.u32(0);            // sample size
    out.u16(0);            // frame rectangle: left
    out.u16(0);            //   top
    out.u16(0);            //   right
    out.u16(0);            //   bottom
    out.zeros(8);          // rest of the 64-byte stream header
    out.endChunk(strh);

    const std::size_t strf = out.beginChunk("strf");
    writeBitmapInfoHeader(out, width_, height_, 24);  // no palette: always 24-bit
    out.endChunk(strf);
    out.endChunk(strl);
    out.endChunk(hdrl);

    moviSizePos_ = out.beginList("movi");  // size left 0 until close
}

AviFrameResult AviWriter::writeFrame(const std::uint8_t *pixels) {
    const std::uint64_t chunkBytes = kChunkHeaderBytes + frameBytes_;
    // The RIFF size the file would have once closed with this frame and its index entry.
    const std::uint64_t finishedSize =
        riffSize_ + chunkBytes + kChunkHeaderBytes + kIndexEntryBytes * (index_.size() + 1);
    if (finishedSize > maxRiffSize_) {
        return AviFrameResult::SizeLimit;
    }
    AviFrameResult result = AviFrameResult::NoFile;
    if (file_.isOpen()) {
        if (pixels == nullptr) {
            return AviFrameResult::WriteFailed;
        }
        ByteWriter chunk;
        chunk.fourcc("00db");
        chunk.u32(frameBytes_);
        if (!file_.write(chunk.data(), chunk.size()) || !file_.write(pixels, frameBytes_)) {
            // Go back to the end of the last whole chunk, so that what follows (another frame or
            // the index) lands where the counters say.
            (void)file_.seek(riffSize_ + 8);
            writeFailed_ = true;
            return AviFrameResult::WriteFailed;
        }
        result = AviFrameResult::Written;
    }
    index_.push_back(moviSize_);
    riffSize_ += chunkBytes;
    moviSize_ += static_cast<std::uint32_t>(chunkBytes);
    return result;
}

bool AviWriter::patch(std::uint64_t position, std::uint32_t value) {
    ByteWriter field;
    field.u32(value);
    return file_.seek(position) && file_.write(field.data(), field.size());
}

bool AviWriter::closeRecording() {
    if (!file_.isOpen()) {
        reset();
        return false;
    }
    const std::uint64_t endOfMovi = riffSize_ + 8;

    ByteWriter index;
    index.fourcc("idx1");
    index.u32(static_cast<std::uint32_t>(kIndexEntryBytes * index_.size()));
    for (std::uint32_t offset : index_) {
        index.fourcc("00db");
        index.u32(kIndexFlagKeyFrame);
        index.u32(offset);  // from the "movi" list type
        index.u32(frameBytes_);
    }
    bool ok = file_.seek(endOfMovi) && file_.write(index.data(), index.size());
    riffSize_ += index.size();
    // A frame the system refused (a full disk) may have left part of its chunk beyond the
    // index: the file ends where its RIFF size says.
    if (ok && writeFailed_) {
        ok = file_.truncate(riffSize_ + 8);
    }

    const std::uint32_t rate = nonZeroRate(rate_);  // hundredths of a frame per second
    ok = patch(riffSizePos_, static_cast<std::uint32_t>(riffSize_)) && ok;
    ok = patch(moviSizePos_, moviSize_) && ok;
    ok = patch(totalFramesPos_, frameCount_) && ok;
    ok = patch(streamLengthPos_, frameCount_) && ok;
    ok = patch(microSecPerFramePos_, 100'000'000u / rate) && ok;
    ok = patch(streamScalePos_, 1'000'000'000u / rate) && ok;
    ok = file_.close() && ok;
    reset();
    return ok;
}

}  // namespace ostrel::output
