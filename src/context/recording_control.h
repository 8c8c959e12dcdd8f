// RecordingControl: one recording of a running stream into an AVI file. It owns the AviWriter,
// the recording thread with its end event, the recording flag, the recording's start and end
// times and the recorder-frame flag the capture thread raises after each converted frame.
//
// The recording thread looks for a flagged frame every poll interval, converts the stream's
// output image into a 24-bit picture under the frame lock (so the capture thread cannot change
// it meanwhile), appends it outside the lock and, once the duration has passed, finishes the file
// with the rate it measured. However a recording ends (its duration, a stop, the file's size
// limit, a failed write), the thread finishes the file so that every frame written stays
// readable, and the recording is over before the thread has set its end event.
//
// Threads: start, stop and the destructor run on the application's thread (one call at a time);
// frameConverted on the capture thread; isRecording on any thread. The error sink is called on
// the recording thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "context/error_code.h"
#include "imaging/record_conversion.h"
#include "output/avi_writer.h"
#include "platform/event.h"

namespace ostrel::imaging {
class DibImage;
}

namespace ostrel::context {

// The millisecond clock a recording is timed by (32 bits, compared by unsigned difference).
using RecordingClock = std::function<std::uint32_t()>;

struct RecordingOptions {
    RecordingClock clock;       // null: the multimedia time
    std::uint32_t pollMs = 10;  // how often the thread looks for a new frame
    std::uint64_t maxRiffSize = output::AviWriter::kMaxRiffSize;  // smaller only in tests
};

enum class RecordingStart {
    Started,
    NoImage,           // the output image holds no pixels: there is no size to record
    FileNotCreated,    // the file could be neither truncated nor created
    OutOfMemory,       // the frame buffer could not be allocated
    ThreadNotStarted,  // the recording thread could not be started
};

// How the last recording ended.
enum class RecordingEnd {
    Running,           // not ended yet (or never started)
    DurationPassed,    // its duration passed; the file is finished
    Stopped,           // stopped early; the file is finished with the frames written so far
    SizeLimit,         // the next frame would have passed the file's size limit
    WriteFailed,       // the system refused a write; what could be finished was finished
    ConversionFailed,  // a frame could not be converted (no memory); the file is finished
};

struct RecordingSummary {
    RecordingEnd end = RecordingEnd::Running;
    std::uint32_t frames = 0;  // frames in the file
    std::uint32_t rate = 0;    // the closing rate, hundredths of a frame per second
    bool finished = false;     // index written and header patched without a failed write
};

class RecordingControl {
public:
    // Called on the recording thread with the code of a failure it met (12 for a failed write,
    // 5 for a frame that could not be converted).
    using ErrorSink = std::function<void(ErrorCode)>;

    // The placeholder rate (frames per second) the header carries until the file is finished,
    // and the closing rate used when none can be measured (hundredths).
    static constexpr std::uint32_t kNominalRate = 30;
    static constexpr std::uint32_t kNominalClosingRate = kNominalRate * 100;

    RecordingControl();
    explicit RecordingControl(RecordingOptions options);
    // Stops a running recording (its file is finished).
    ~RecordingControl();
    RecordingControl(const RecordingControl &) = delete;
    RecordingControl &operator=(const RecordingControl &) = delete;

    // Ends a recording that still runs (finishing its file), then records the frames converted
    // into `image` into fileName for durationMs milliseconds, counted from the first frame
    // (unsigned: a negative duration from the interface records until stopped). The image's
    // size, read under frameLock, is the size of every frame; the image must stay the stream's
    // output image until the recording has ended. On any failure nothing is left running or
    // open (a file created before a thread failed is finished as an empty recording).
    [[nodiscard]] RecordingStart start(const char *fileName, std::uint32_t durationMs,
                                       const imaging::DibImage &image, std::mutex &frameLock,
                                       ErrorSink onError);

    // Ends the recording, if one runs, and waits for the recording thread; the file is finished
    // with the rate measured up to now. Nothing happens when no recording was started.
    void stop();

    // Raised by the capture thread after every frame it has converted into the output image.
    void frameConverted() noexcept { frameFlag_.store(1); }

    // The stream being recorded has ended by itself (the camera failed): no frame will come, so
    // the recording thread finishes the file now and ends, without waiting for a stop (which
    // still joins it). Any thread.
    void streamEnded() noexcept {
        recordingFlag_.store(0);
        stopRequested_.set();
    }

    // True from a successful start until the recording has ended (its file finished by then
    // once the end event is set). Any thread.
    bool isRecording() const noexcept { return recordingFlag_.load() != 0; }

    // Frames appended to the file of the running (or last) recording so far. Any thread.
    std::uint32_t framesWritten() const noexcept { return framesWritten_.load(); }

    // The outcome of the last recording. Application thread, after stop() or once
    // isRecording() is false and waitUntilEnded() has returned.
    RecordingSummary lastRecording() const;

    // Waits for the recording thread to end by itself (its duration, a limit or a failure).
    // For tests; returns at once when none runs.
    void waitUntilEnded();

    // The closing rate of `frames` over `elapsedMs`: hundredths of a frame per second, never 0
    // (it divides the header's frame times); the nominal rate when no time was measured.
    static std::uint32_t closingRate(std::uint32_t frames, std::uint32_t elapsedMs);

private:
    void run();
    // Converts the flagged frame and appends it: Running, or why the recording must end.
    RecordingEnd recordFrame(imaging::RecordConversion &conversion);
    // Sets the measured rate, writes the index and closes the file.
    void finish(RecordingEnd end, std::uint32_t nowMs);
    void report(ErrorCode code) const noexcept;
    std::uint32_t now() const;

    RecordingOptions options_;
    output::AviWriter writer_;
    // The picture handed to the writer when the converted frame's rows carry padding.
    std::vector<std::uint8_t> packed_;

    // What the running recording reads; set before its thread starts.
    const imaging::DibImage *image_ = nullptr;
    std::mutex *frameLock_ = nullptr;
    ErrorSink onError_;
    std::uint32_t durationMs_ = 0;
    // The time of the first frame, once there was one (recording thread only, after start).
    bool timing_ = false;
    std::uint32_t startMs_ = 0;

    std::atomic<std::int32_t> recordingFlag_{0};
    std::atomic<std::int32_t> frameFlag_{0};
    std::atomic<std::uint32_t> framesWritten_{0};
    std::thread thread_;
    platform::ManualResetEvent ended_{true};  // set whenever no recording thread runs
    platform::ManualResetEvent stopRequested_;

    mutable std::mutex summaryMutex_;
    RecordingSummary summary_;
};

}  // namespace ostrel::context
