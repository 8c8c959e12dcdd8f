// The display image of each colour mode and the scaled scratch image of the preview window.
#include "ui/preview_window_frame.h"

#include "imaging/apply_kernel.h"
#include "imaging/copy_kernels.h"
#include "imaging/reduce_kernels.h"
#include "imaging/scale_nearest.h"

namespace ostrel::ui {
namespace {

using imaging::ColorMode;
using imaging::DibImage;

bool usable(const DibImage *image) {
    return image != nullptr && !image->isEmpty();
}

// Reduces `source` into `target` with the kernel, whole image to whole image; null when either
// is unusable or their sizes differ (a partial picture would mix two frames).
DibImage *reduceInto(DibImage *target, imaging::ConversionKernel kernel, DibImage *source) {
    if (!usable(target) || !usable(source) || target->width() != source->width() ||
        target->height() != source->height()) {
        return nullptr;
    }
    if (imaging::ApplyKernel(*target, kernel, *source, nullptr, 0, 0, nullptr, 0) == 0) {
        return nullptr;
    }
    return target;
}

DibImage *shownAsIs(DibImage *image) {
    return usable(image) ? image : nullptr;
}

}  // namespace

DibImage *prepareDisplayImage(ColorMode mode, const PreviewImages &images) {
    switch (mode) {
        case ColorMode::Mono8:
            return shownAsIs(images.image8);
        case ColorMode::Mono16:
            return reduceInto(images.image8, imaging::Reduce16To8, images.image16);
        case ColorMode::Bgr24:
            return shownAsIs(images.image24);
        case ColorMode::Bgr32:
            return reduceInto(images.image24, imaging::Copy32To24, images.image32);
        case ColorMode::Bgr48:
            return reduceInto(images.image24, imaging::Reduce48To24, images.image48);
        case ColorMode::Bgr64:
            return reduceInto(images.image24, imaging::Reduce48To24, images.image64);
    }
    return nullptr;
}

std::uint16_t scratchBitCount(ColorMode mode) {
    return imaging::isColour(mode) ? std::uint16_t{24} : std::uint16_t{8};
}

bool fitScratchImage(DibImage &scratch, std::int32_t width, std::int32_t height,
                     std::uint16_t bitCount) {
    if (!scratch.isEmpty() && scratch.width() == width && scratch.height() == height &&
        scratch.bitCount() == bitCount) {
        return true;
    }
    scratch.release();
    return scratch.create(width, height, bitCount);
}

bool scaleIntoScratch(DibImage &scratch, const DibImage &display) {
    if (scratch.isEmpty() || display.isEmpty() || scratch.bitCount() != display.bitCount()) {
        return false;
    }
    imaging::ScaledConversionKernel kernel = nullptr;
    if (display.bitCount() == 8) {
        kernel = imaging::ScaleNearest8;
    } else if (display.bitCount() == 24) {
        kernel = imaging::ScaleNearest24;
    } else {
        return false;
    }
    return imaging::ApplyKernelScaled(scratch, kernel, display) != 0;
}

}  // namespace ostrel::ui
