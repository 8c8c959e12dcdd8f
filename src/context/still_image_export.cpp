// Saving the context's output image as a still file: the frame lock is held for the length of
// the save, so the capture thread cannot convert the next frame into the image meanwhile.
#include <cstdint>
#include <mutex>

#include "context/camera_context.h"
#include "context/wide_still_name.h"
#include "imaging/dib_image.h"
#include "output/save_image.h"

namespace ostrel::context {
namespace {

// Runs save on the output image under the frame lock; NoImage when there is none (no valid
// colour mode) or it holds no frame yet.
template <typename Save>
output::SaveResult saveUnderLock(std::mutex &frameLock, const imaging::DibImage *image, Save save) {
    std::lock_guard<std::mutex> lock(frameLock);
    if (image == nullptr || image->isEmpty()) {
        return output::SaveResult::NoImage;
    }
    return save(*image);
}

}  // namespace

bool CameraContext::saveImage(const char *fileName, std::int32_t fileType) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    const output::SaveResult result =
        saveUnderLock(frameMutex_, outputImage(), [&](const imaging::DibImage &image) {
            return output::saveImage(fileName, image, fileType);
        });
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
    const output::SaveResult result =
        saveUnderLock(frameMutex_, outputImage(), [&](const imaging::DibImage &image) {
            return saveImageUnderWideName(fileName, image, fileType);
        });
    if (result == output::SaveResult::NoImage || result == output::SaveResult::NameNotConverted) {
        recordError(ErrorCode::NoCamera);
    }
    return result == output::SaveResult::Saved;
}

}  // namespace ostrel::context
