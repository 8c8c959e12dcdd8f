// The TIFF writer: the image is converted band by band into a small buffer of packed rows, and
// each band is appended to the file's one uncompressed strip. The file is the same as if the
// whole converted picture had been handed to libtiff at once, without a second picture-sized
// buffer (a 64-bit frame would need 230 MB more, much of a 32-bit process's address space).
// libtiff's error and warning handlers are set per file (never process-wide, where an
// application's own use of libtiff would see them): they only note that an error happened.
#include "output/tiff_writer.h"

#include <algorithm>
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

// Rows of converted samples appended to the strip at a time: about a megabyte.
constexpr std::size_t kBandBytes = std::size_t{1} << 20;

// Converts image rows first .. first + count - 1 into band, whose rows are rowBytes apart (no
// padding).
bool fillBand(const imaging::DibImage &image, const TiffLayout &layout, std::int32_t first,
              std::int32_t count, std::uint8_t *band, std::size_t rowBytes) {
    if (layout.convert == nullptr) {
        for (std::int32_t i = 0; i < count; ++i) {
            std::memcpy(band + rowBytes * static_cast<std::size_t>(i), image.row(first + i),
                        rowBytes);
        }
        return true;
    }
    imaging::KernelArgs args;
    args.dst = band;
    args.src = image.pixels();
    args.srcRect = {0, first, image.width(), first + count};
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
    const std::int32_t bandRows = static_cast<std::int32_t>(std::min<std::size_t>(
        static_cast<std::size_t>(image.height()), std::max<std::size_t>(1, kBandBytes / rowBytes)));
    const std::size_t bandBytes = rowBytes * static_cast<std::size_t>(bandRows);
    std::unique_ptr<std::uint8_t[]> band(new (std::nothrow) std::uint8_t[bandBytes]);
    if (!band) {
        return SaveResult::OutOfMemory;
    }
    if (layout.zeroFirst) {
        std::memset(band.get(), 0, bandBytes);  // no band ever writes these samples
    }

    TiffErrors errors;
    TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
    if (options == nullptr) {
        return SaveResult::OutOfMemory;
    }
    TIFFOpenOptionsSetErrorHandlerExtR(options, onTiffError, &errors);
    TIFFOpenOptionsSetWarningHandlerExtR(options, onTiffWarning, nullptr);
    TIFF *tiff = TIFFOpenExt(fileName, "w", options);  // the machine's byte order, as in memory
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
    // Uncompressed samples are their own encoding, so each band goes into strip 0 as it is;
    // libtiff appends every band to the end of the strip and counts its bytes.
    bool ok = true;
    for (std::int32_t first = 0; ok && first < image.height(); first += bandRows) {
        const std::int32_t count = std::min(bandRows, image.height() - first);
        const tmsize_t bytes = static_cast<tmsize_t>(rowBytes * static_cast<std::size_t>(count));
        ok = fillBand(image, layout, first, count, band.get(), rowBytes) &&
             TIFFWriteRawStrip(tiff, 0, band.get(), bytes) == bytes;
    }
    TIFFClose(tiff);  // writes the directory; a failure there is reported through the handler
    ok = ok && !errors.raised;
    return ok ? SaveResult::Saved : SaveResult::WriteFailed;
}

}  // namespace ostrel::output
