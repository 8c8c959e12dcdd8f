// The still image dispatch: each format's conversion of the image into a temporary one made for
// the save (released before the save returns), then the format's writer.
#include "output/save_image.h"

#include "imaging/apply_kernel.h"
#include "imaging/copy_kernels.h"
#include "imaging/reduce_kernels.h"
#include "imaging/widen_kernels.h"
#include "output/bmp_writer.h"
#include "output/jpeg_writer.h"
#include "output/png_writer.h"
#include "output/raw_writer.h"
#include "output/tiff_writer.h"

namespace ostrel::output {

namespace {

// Makes temporary of bitCount bits at the image's size and fills it from image with kernel.
SaveResult convertInto(imaging::DibImage &temporary, std::uint16_t bitCount,
                       imaging::ConversionKernel kernel, const imaging::DibImage &image) {
    if (!temporary.create(image.width(), image.height(), bitCount)) {
        return SaveResult::OutOfMemory;
    }
    if (imaging::ApplyKernel(temporary, kernel, image, nullptr, 0, 0, nullptr, 0) == 0) {
        return SaveResult::UnsupportedFormat;
    }
    return SaveResult::Saved;
}

// JPEG takes 8-bit grey or 24-bit colour, stored upside down (the writer walks it backwards).
SaveResult saveJpeg(const char *fileName, const imaging::DibImage &image, int quality) {
    imaging::DibImage picture;
    SaveResult converted;
    switch (image.bitCount()) {
        case 8:
            converted = convertInto(picture, 8, imaging::CopyRowsFlipped, image);
            break;
        case 16:
            converted = convertInto(picture, 8, imaging::Reduce16To8Flipped, image);
            break;
        case 24:
        case 32:
            converted = convertInto(picture, 24, imaging::Copy24Flipped, image);
            break;
        case 48:
        case 64:
            converted = convertInto(picture, 24, imaging::Reduce48To24Flipped, image);
            break;
        default:
            return SaveResult::UnsupportedFormat;
    }
    if (converted != SaveResult::Saved) {
        return converted;
    }
    return writeJpeg(fileName, picture, quality, true);
}

// PNG takes 8- and 24-bit images as they are; the others are widened (and their fourth channel
// made an alpha) in a temporary of the same format, rows in the same order.
SaveResult savePng(const char *fileName, const imaging::DibImage &image) {
    imaging::ConversionKernel kernel = nullptr;
    switch (image.bitCount()) {
        case 8:
        case 24:
            return writePng(fileName, image.pixels(), image.width(), image.height(),
                            image.bitCount());
        case 16:
            kernel = imaging::Widen16Mono;
            break;
        case 32:
            kernel = imaging::Copy32InvertFourth;
            break;
        case 48:
            kernel = imaging::Widen48;
            break;
        case 64:
            kernel = imaging::Widen48Alpha;
            break;
        default:
            return SaveResult::UnsupportedFormat;
    }
    imaging::DibImage widened;
    const SaveResult converted = convertInto(widened, image.bitCount(), kernel, image);
    if (converted != SaveResult::Saved) {
        return converted;
    }
    return writePng(fileName, widened.pixels(), widened.width(), widened.height(),
                    widened.bitCount());
}

}  // namespace

SaveResult saveImage(const char *fileName, const imaging::DibImage &image, std::int32_t fileType) {
    if (fileType < static_cast<std::int32_t>(ImageFileType::Bmp) ||
        fileType > static_cast<std::int32_t>(ImageFileType::Tiff)) {
        return SaveResult::UnknownFileType;
    }
    if (image.isEmpty() || image.width() <= 0 || image.height() <= 0) {
        return SaveResult::NoImage;
    }
    if (fileName == nullptr || fileName[0] == '\0') {
        return SaveResult::BadFileName;
    }
    switch (static_cast<ImageFileType>(fileType)) {
        case ImageFileType::Bmp:
            return writeBmp(fileName, image);
        case ImageFileType::Raw:
            return writeRaw(fileName, image);
        case ImageFileType::Jpeg100:
            return saveJpeg(fileName, image, 100);
        case ImageFileType::Jpeg70:
            return saveJpeg(fileName, image, 70);
        case ImageFileType::Jpeg20:
            return saveJpeg(fileName, image, 20);
        case ImageFileType::Png:
            return savePng(fileName, image);
        case ImageFileType::Tiff:
            return writeTiff(fileName, image);
    }
    return SaveResult::UnknownFileType;
}

}  // namespace ostrel::output
