// The TIFF writer: the image is converted into one packed strip, then written with libtiff.
// libtiff's error and warning handlers are set per file (never process-wide, where an
// application's own use of libtiff would see them): they only note that an error happened.
#include "output/tiff_writer.h"

#include <cstring>
#include <memory>
#include <new>

#include <tiffio.h>

#include "imaging/conversion_kernel.h"
#include "imaging/copy_kernels.h"
#include "imaging/widen_kernels.h"

namespace ostrel::output {

namespace {

struct TiffLayout {
    std::uint16_t bitsPerSample;
    std::uint16_t photometric;
    std::uint16_t samplesPerPixel;
    imaging::ConversionKernel convert;  // null: rows copied unchanged
    bool zeroFirst;                     // the conversion leaves samples that must be 0
};

bool layoutFor(std::uint16_t bitCount, TiffLayout &layout) {
    switch (bitCount) {
        case 8:
            layout = {8, PHOTOMETRIC_MINISBLACK, 1, nullptr, false};
            return true;
        case 16:
            layout = {16, PHOTOMETRIC_MINISBLACK, 1, imaging::Widen16Mono, false};
            return true;
        case 24:
            layout = {8, PHOTOMETRIC_RGB, 3, imaging::SwapRedBlue24, false};
            return true;
        // Red, green, blue into a zeroed strip: the fourth sample stays 0.
        case 32:
            layout = {8, PHOTOMETRIC_RGB, 4, imaging::SwapRedBlue24, true};
            return true;
        case 48:
            layout = {16, PHOTOMETRIC_RGB, 3, imaging::Widen48SwapRedBlue, false};
            return true;
        case 64:
            layout = {16, PHOTOMETRIC_RGB, 4, imaging::Widen48SwapRedBlueAlpha, false};
            return true;
        default:
            return false;
    }
}

// Converts the whole image into strip, whose rows are rowBytes apart (no padding).
bool fillStrip(const imaging::DibImage &image, const TiffLayout &layout, std::uint8_t *strip,
               std::size_t rowBytes) {
    if (layout.convert == nullptr) {
        for (std::int32_t row = 0; row < image.height(); ++row) {
            std::memcpy(strip + rowBytes * static_cast<std::size_t>(row), image.row(row), rowBytes);
        }
        return true;
    }
    imaging::KernelArgs args;
    args.dst = strip;
    args.src = image.pixels();
    args.srcRect = {0, 0, image.width(), image.height()};
    args.dstBytesPerPixel = static_cast<std::uint16_t>(image.bytesPerPixel());
    args.srcBytesPerPixel = image.bytesPerPixel();
    args.dstStride = static_cast<std::int32_t>(rowBytes);
    args.srcStride = image.stride();
    return layout.convert(args) != 0;
}

struct TiffErrors {
    bool raised = false;
};

int onTiffError(TIFF *, void *userData, const char *, const char *, va_list) {
    static_cast<TiffErrors *>(userData)->raised = true;
    return 1;  // handled: libtiff's own handler does not print it
}

int onTiffWarning(TIFF *, void *, const char *, const char *, va_list) {
    return 1;
}

}  // namespace

SaveResult writeTiff(const char *fileName, const imaging::DibImage &image) {
    if (image.isEmpty()) {
        return SaveResult::NoImage;
    }
    if (fileName == nullptr || fileName[0] == '\0') {
        return SaveResult::BadFileName;
    }
    TiffLayout layout;
    if (!layoutFor(image.bitCount(), layout)) {
        return SaveResult::UnsupportedFormat;
    }
    const std::size_t rowBytes = static_cast<std::size_t>(image.width()) * image.bytesPerPixel();
    const std::size_t stripBytes = rowBytes * static_cast<std::size_t>(image.height());
    std::unique_ptr<std::uint8_t[]> strip(new (std::nothrow) std::uint8_t[stripBytes]);
    if (!strip) {
        return SaveResult::OutOfMemory;
    }
    if (layout.zeroFirst) {
        std::memset(strip.get(), 0, stripBytes);
    }
    if (!fillStrip(image, layout, strip.get(), rowBytes)) {
        return SaveResult::UnsupportedFormat;
    }

    TiffErrors errors;
    TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
    if (options == nullptr) {
        return SaveResult::OutOfMemory;
    }
    TIFFOpenOptionsSetErrorHandlerExtR(options, onTiffError, &errors);
    TIFFOpenOptionsSetWarningHandlerExtR(options, onTiffWarning, nullptr);
    TIFF *tiff = TIFFOpenExt(fileName, "w", options);
    TIFFOpenOptionsFree(options);  // the file keeps its own copy of the handlers
    if (tiff == nullptr) {
        return SaveResult::OpenFailed;
    }
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(image.width()));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(image.height()));
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, layout.bitsPerSample);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, layout.photometric);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, layout.samplesPerPixel);
    // The strip itself serves as libtiff's output buffer: uncompressed data is then written
    // straight from it instead of being copied into a second buffer of the same size. (Without
    // it libtiff makes its own buffer; the bytes written are the same.)
    (void)TIFFWriteBufferSetup(tiff, strip.get(), static_cast<tmsize_t>(stripBytes));
    const tmsize_t written =
        TIFFWriteEncodedStrip(tiff, 0, strip.get(), static_cast<tmsize_t>(stripBytes));
    TIFFClose(tiff);  // writes the directory; a failure there is reported through the handler
    const bool ok = written == static_cast<tmsize_t>(stripBytes) && !errors.raised;
    return ok ? SaveResult::Saved : SaveResult::WriteFailed;
}

}  // namespace ostrel::output
