// The start and stop of a recording and the recording thread that feeds its AVI file.
#include "context/recording_control.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <limits>
#include <utility>

#include "context/context_thread.h"
#include "imaging/dib_image.h"
#include "platform/clock.h"

namespace ostrel::context {

RecordingControl::RecordingControl() : RecordingControl(RecordingOptions{}) {}

RecordingControl::RecordingControl(RecordingOptions options)
    : options_(std::move(options)), writer_(options_.maxRiffSize) {}

RecordingControl::~RecordingControl() {
    stop();
}

std::uint32_t RecordingControl::now() const {
    return options_.clock ? options_.clock() : platform::multimediaTimeMs();
}

std::uint32_t RecordingControl::closingRate(std::uint32_t frames, std::uint32_t elapsedMs) {
    if (frames == 0 || elapsedMs == 0) {
        return kNominalClosingRate;
    }
    // In 64 bits: frames × 100000 passes 32 bits after some 43000 frames.
    const std::uint64_t rate = std::uint64_t{frames} * 100'000u / elapsedMs;
    return static_cast<std::uint32_t>(
        std::clamp<std::uint64_t>(rate, 1, std::numeric_limits<std::uint32_t>::max()));
}

RecordingStart RecordingControl::start(const char *fileName, std::uint32_t durationMs,
                                       const imaging::DibImage &image, std::mutex &frameLock,
                                       ErrorSink onError) {
    stop();

    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t bitCount = 0;
    {
        std::lock_guard<std::mutex> lock(frameLock);
        if (image.isEmpty()) {
            return RecordingStart::NoImage;
        }
        width = image.width();
        height = image.height();
        bitCount = image.bitCount();
    }
    writer_.setWidth(width);
    writer_.setHeight(height);
    writer_.setBitCount(bitCount);
    writer_.setRate(kNominalRate);
    writer_.setFrameCount(0);
    if (!writer_.openRecording(fileName)) {
        return RecordingStart::FileNotCreated;
    }

    timing_ = false;
    startMs_ = 0;
    {
        std::lock_guard<std::mutex> lock(summaryMutex_);
        summary_ = RecordingSummary{};
    }
    // The file's rows are packed; a converted frame whose rows are padded is packed first.
    const bool padded = imaging::DibImage::strideFor(width, 24) != width * 3;
    try {
        if (padded) {
            packed_.assign(writer_.frameBytes(), 0);
        } else {
            std::vector<std::uint8_t>().swap(packed_);
        }
    } catch (const std::exception &) {
        finish(RecordingEnd::Stopped, now());
        return RecordingStart::OutOfMemory;
    }

    // Everything the thread reads is in place before it starts.
    image_ = &image;
    frameLock_ = &frameLock;
    onError_ = std::move(onError);
    durationMs_ = durationMs;
    frameFlag_.store(0);
    framesWritten_.store(0);
    stopRequested_.reset();
    ended_.reset();
    recordingFlag_.store(1);
    try {
        thread_ = startContextThread([this] { run(); });
    } catch (const std::exception &) {
        recordingFlag_.store(0);
        ended_.set();
        // The file exists already: leave it a well-formed recording without frames.
        finish(RecordingEnd::Stopped, now());
        onError_ = nullptr;
        return RecordingStart::ThreadNotStarted;
    }
    return RecordingStart::Started;
}

void RecordingControl::stop() {
    recordingFlag_.store(0);
    stopRequested_.set();
    if (thread_.joinable()) {
        ended_.wait();
        thread_.join();
    }
    image_ = nullptr;
    frameLock_ = nullptr;
    onError_ = nullptr;
}

void RecordingControl::waitUntilEnded() {
    ended_.wait();
}

RecordingSummary RecordingControl::lastRecording() const {
    std::lock_guard<std::mutex> lock(summaryMutex_);
    return summary_;
}

void RecordingControl::run() {
    // The work images live as long as the thread: made by the first frame, reused by every
    // later one, given back when the recording ends.
    imaging::RecordConversion conversion;
    while (recordingFlag_.load() != 0) {
        (void)stopRequested_.waitFor(options_.pollMs);
        if (recordingFlag_.load() == 0 || frameFlag_.exchange(0) == 0) {
            continue;
        }
        const std::uint32_t t = now();
        if (!timing_) {
            timing_ = true;
            startMs_ = t;
        }
        const RecordingEnd end = recordFrame(conversion);
        if (end == RecordingEnd::Running && t - startMs_ <= durationMs_) {
            continue;
        }
        finish(end == RecordingEnd::Running ? RecordingEnd::DurationPassed : end, t);
        recordingFlag_.store(0);
    }
    // Stopped early: what was recorded so far is finished all the same.
    if (writer_.isOpen()) {
        finish(RecordingEnd::Stopped, now());
    }
    ended_.set();
}

RecordingEnd RecordingControl::recordFrame(imaging::RecordConversion &conversion) {
    bool converted = false;
    {
        std::lock_guard<std::mutex> lock(*frameLock_);
        converted = conversion.convert(*image_);
    }
    const imaging::DibImage &frame = conversion.frame();
    // A frame of another size than the file's (the images were remade) cannot be appended.
    if (!converted || frame.width() != writer_.width() || frame.height() != writer_.height()) {
        report(ErrorCode::MemoryOrSize);
        return RecordingEnd::ConversionFailed;
    }
    const std::uint8_t *pixels = frame.pixels();
    if (!packed_.empty()) {
        const std::size_t rowBytes = static_cast<std::size_t>(frame.width()) * 3;
        for (std::int32_t row = 0; row < frame.height(); ++row) {
            std::memcpy(packed_.data() + static_cast<std::size_t>(row) * rowBytes, frame.row(row),
                        rowBytes);
        }
        pixels = packed_.data();
    }
    switch (writer_.writeFrame(pixels)) {
        case output::AviFrameResult::Written:
            writer_.setFrameCount(writer_.frameCount() + 1);
            framesWritten_.store(writer_.frameCount());
            return RecordingEnd::Running;
        case output::AviFrameResult::SizeLimit:
            return RecordingEnd::SizeLimit;
        case output::AviFrameResult::NoFile:
        case output::AviFrameResult::WriteFailed:
            break;
    }
    report(ErrorCode::SettingsStoreFailed);
    return RecordingEnd::WriteFailed;
}

void RecordingControl::finish(RecordingEnd end, std::uint32_t nowMs) {
    const std::uint32_t frames = writer_.frameCount();
    const std::uint32_t rate = closingRate(frames, timing_ ? nowMs - startMs_ : 0);
    writer_.setRate(rate);
    const bool finished = writer_.closeRecording();
    if (!finished && end != RecordingEnd::WriteFailed) {
        // The index or the header could not be written: the file is not complete.
        report(ErrorCode::SettingsStoreFailed);
    }
    writer_.setRate(0);
    writer_.setFrameCount(0);
    std::lock_guard<std::mutex> lock(summaryMutex_);
    summary_ = RecordingSummary{end, frames, rate, finished};
}

void RecordingControl::report(ErrorCode code) const noexcept {
    if (onError_) {
        try {
            onError_(code);
        } catch (...) {
            // A report that cannot be made is lost; the recording's outcome stays in its summary.
        }
    }
}

}  // namespace ostrel::context
