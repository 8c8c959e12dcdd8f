// Ostrel_Record and Ostrel_RecordW on a camera context: start (or join) the stream, then hand the
// prepared output image to the recorder, which writes every converted frame to the AVI file.
#include <cstddef>
#include <cstdint>

#include "context/camera_context.h"
#include "imaging/dib_image.h"
#include "platform/text.h"

namespace ostrel::context {
namespace {

// Wide file names are converted into a buffer of this many bytes, terminator included.
constexpr std::size_t kNarrowNameCapacity = 1024;

}  // namespace

bool CameraContext::record(const char *fileName, std::int32_t durationMs, std::int32_t display) {
    if (fileName == nullptr || fileName[0] == '\0') {
        recordError(ErrorCode::InvalidArgument);
        return false;
    }
    runner_.setTarget(DeliveryTarget{});
    if (display != 0 && !openPreviewWindow()) {
        recordError(ErrorCode::PreviewWindowFailed);
        return false;
    }
    if (!startStreaming()) {
        close();
        return false;
    }
    // The stream runs: its output image keeps its size until the next preparation, and every
    // stop ends the recording before that.
    const imaging::DibImage *output = preparedOutputImage();
    const RecordingStart started =
        output == nullptr
            ? RecordingStart::NoImage
            : recording_.start(fileName, static_cast<std::uint32_t>(durationMs), *output,
                               frameMutex_, [this](ErrorCode code) { recordError(code); });
    ErrorCode failure = ErrorCode::SettingsStoreFailed;
    switch (started) {
        case RecordingStart::Started:
            return true;
        case RecordingStart::FileNotCreated:
            failure = ErrorCode::SettingsStoreFailed;
            break;
        case RecordingStart::ThreadNotStarted:
            failure = ErrorCode::ThreadStartFailed;
            break;
        case RecordingStart::NoImage:
        case RecordingStart::OutOfMemory:
            failure = ErrorCode::MemoryOrSize;
            break;
    }
    close();
    recordError(failure);
    return false;
}

bool CameraContext::recordWide(const wchar_t *fileName, std::int32_t durationMs,
                               std::int32_t display) {
    if (fileName == nullptr) {
        return record(nullptr, durationMs, display);
    }
    // A name that does not convert, or does not fit the buffer with its terminator, fails
    // cleanly: the conversion never writes past the buffer.
    char narrow[kNarrowNameCapacity];
    if (!platform::wideToNarrow(fileName, narrow, sizeof narrow)) {
        recordError(ErrorCode::SettingsStoreFailed);
        return false;
    }
    return record(narrow, durationMs, display);
}

}  // namespace ostrel::context
