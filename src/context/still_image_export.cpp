// Saving the context's output image as a still file. While the capture thread streams, the image
// is copied under the frame lock and the copy is encoded and written outside it, so frames go on
// being converted and delivered during a save that takes seconds (a full-size PNG); the file's
// bytes are those of the image as it was when the copy was taken. With no stream there is nothing
// to wait for, and the image is saved as it is.
#include <cstdint>
#include <cstring>
#include <mutex>

#include "context/camera_context.h"
#include "context/wide_still_name.h"
#include "imaging/dib_image.h"
#include "output/save_image.h"

namespace ostrel::context {
namespace {

using imaging::DibImage;

// Runs save on the output image, or on a copy of it when `copy` is set; NoImage when there is
// none (no valid colour mode) or it holds no frame yet.
template <typename Save>
output::SaveResult saveStill(std::mutex &frameLock, const DibImage *image, bool copy, Save save) {
    // The copy's memory is made before the lock is taken: the image's format changes only with a
    // preparation, which runs under the same control lock as this save. The format is checked
    // again under the lock all the same.
    DibImage still;
    const bool haveCopy = copy && image != nullptr && still.copyFormat(image);
    std::unique_lock<std::mutex> lock(frameLock);
    if (image == nullptr || image->isEmpty()) {
        return output::SaveResult::NoImage;
    }
    if (!haveCopy || still.width() != image->width() || still.height() != image->height() ||
        still.bitCount() != image->bitCount()) {
        // No memory for a copy: the save holds the lock instead, so the frame cannot change
        // under it; the stream waits, but the file is saved.
        return save(*image);
    }
    std::memcpy(still.pixels(), image->pixels(), image->sizeBytes());
    lock.unlock();
    return save(still);
}

}  // namespace

bool CameraContext::saveImage(const char *fileName, std::int32_t fileType) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    const output::SaveResult result = saveStill(
        frameMutex_, outputImage(), isCapturing(),
        [&](const DibImage &image) { return output::saveImage(fileName, image, fileType); });
    // Only a missing image is the caller's error; a writer's own failure just fails the save.
    if (result == output::SaveResult::NoImage) {
        recordError(ErrorCode::NoCamera);
    }
    return result == output::SaveResult::Saved;
}

bool CameraContext::saveImageWide(const wchar_t *fileName, std::int32_t fileType) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    const output::SaveResult result = saveStill(
        frameMutex_, outputImage(), isCapturing(),
        [&](const DibImage &image) { return saveImageUnderWideName(fileName, image, fileType); });
    if (result == output::SaveResult::NoImage || result == output::SaveResult::NameNotConverted) {
        recordError(ErrorCode::NoCamera);
    }
    return result == output::SaveResult::Saved;
}

}  // namespace ostrel::context
