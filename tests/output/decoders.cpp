// The decoders of the output tests.
#include "output/decoders.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include "output/test_files.h"

namespace ostrel::output::test {

namespace {

struct JpegReadErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void onReadError(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegReadErrors *>(cinfo->err)->jump, 1);
}

void silent(j_common_ptr) {}

// Objects with destructors live in the caller, so the jump skips none.
bool decodeJpeg(std::FILE *file, jpeg_decompress_struct &cinfo, JpegReadErrors &errors,
                Decoded &out, JpegInfo *info, std::vector<std::uint8_t> &row) {
    cinfo.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = onReadError;
    errors.manager.output_message = silent;
    if (setjmp(errors.jump) != 0) {
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    if (info != nullptr) {
        info->progressive = cinfo.progressive_mode != 0;
        info->colourSpace = cinfo.jpeg_color_space;
        info->firstLuminanceQuant =
            cinfo.quant_tbl_ptrs[0] != nullptr ? cinfo.quant_tbl_ptrs[0]->quantval[0] : -1;
    }
    jpeg_start_decompress(&cinfo);
    out.width = static_cast<int>(cinfo.output_width);
    out.height = static_cast<int>(cinfo.output_height);
    out.channels = cinfo.output_components;
    out.bitDepth = 8;
    const std::size_t rowSamples = static_cast<std::size_t>(out.width) * out.channels;
    row.resize(rowSamples);
    out.samples.resize(rowSamples * static_cast<std::size_t>(out.height));
    while (cinfo.output_scanline < cinfo.output_height) {
        const std::size_t y = cinfo.output_scanline;
        JSAMPROW rows[1] = {row.data()};
        jpeg_read_scanlines(&cinfo, rows, 1);
        for (std::size_t i = 0; i < rowSamples; ++i) {
            out.samples[y * rowSamples + i] = row[i];
        }
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

}  // namespace

Decoded readJpeg(const std::string &path, JpegInfo *info) {
    Decoded out;
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        out.error = "cannot open " + path;
        return out;
    }
    jpeg_decompress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    JpegReadErrors errors;
    std::vector<std::uint8_t> row;
    const bool ok = decodeJpeg(file, cinfo, errors, out, info, row);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(file);
    out.ok = ok;
    if (!ok) {
        out.error = "libjpeg could not decode " + path;
    }
    return out;
}

namespace {

struct PngReadState {
    png_structp png = nullptr;
    png_infop info = nullptr;
};

void onPngReadError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void onPngReadWarning(png_structp, png_const_charp) {}

bool decodePng(std::FILE *file, PngReadState &state, Decoded &out, PngInfo *info,
               std::vector<std::uint8_t> &bytes, std::vector<png_bytep> &rows) {
    state.png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onPngReadError, onPngReadWarning);
    if (state.png == nullptr) {
        return false;
    }
    state.info = png_create_info_struct(state.png);
    if (state.info == nullptr) {
        return false;
    }
    if (setjmp(png_jmpbuf(state.png)) != 0) {
        return false;
    }
    png_init_io(state.png, file);
    png_read_info(state.png, state.info);
    out.width = static_cast<int>(png_get_image_width(state.png, state.info));
    out.height = static_cast<int>(png_get_image_height(state.png, state.info));
    out.bitDepth = png_get_bit_depth(state.png, state.info);
    out.channels = png_get_channels(state.png, state.info);
    if (info != nullptr) {
        info->colourType = png_get_color_type(state.png, state.info);
        info->interlace = png_get_interlace_type(state.png, state.info);
    }
    const std::size_t rowBytes = png_get_rowbytes(state.png, state.info);
    bytes.assign(rowBytes * static_cast<std::size_t>(out.height), 0);
    rows.resize(static_cast<std::size_t>(out.height));
    for (int y = 0; y < out.height; ++y) {
        rows[static_cast<std::size_t>(y)] = bytes.data() + rowBytes * static_cast<std::size_t>(y);
    }
    png_read_image(state.png, rows.data());
    png_read_end(state.png, nullptr);
    return true;
}

}  // namespace

Decoded readPng(const std::string &path, PngInfo *info) {
    Decoded out;
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        out.error = "cannot open " + path;
        return out;
    }
    PngReadState state;
    std::vector<std::uint8_t> bytes;
    std::vector<png_bytep> rows;
    const bool ok = decodePng(file, state, out, info, bytes, rows);
    png_destroy_read_struct(&state.png, &state.info, nullptr);
    std::fclose(file);
    if (!ok) {
        out.error = "libpng could not decode " + path;
        return out;
    }
    // Samples as stored: 16-bit ones most significant byte first.
    const std::size_t count = static_cast<std::size_t>(out.width) * out.height * out.channels;
    out.samples.resize(count);
    const std::size_t rowSamples = static_cast<std::size_t>(out.width) * out.channels;
    const std::size_t rowBytes = rowSamples * (out.bitDepth / 8);
    for (int y = 0; y < out.height; ++y) {
        const std::uint8_t *row = bytes.data() + rowBytes * static_cast<std::size_t>(y);
        for (std::size_t i = 0; i < rowSamples; ++i) {
            out.samples[y * rowSamples + i] =
                out.bitDepth == 16 ? static_cast<std::uint16_t>(row[2 * i] << 8 | row[2 * i + 1])
                                   : row[i];
        }
    }
    if (info != nullptr) {
        // Walk the chunk list of the file itself.
        const auto file = readFile(path);
        for (std::size_t at = 8; at + 8 <= file.size();) {
            const std::uint32_t length = static_cast<std::uint32_t>(
                file[at] << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3]);
            info->chunks.push_back(fourccAt(file, at + 4));
            at += 12 + length;
        }
    }
    out.ok = true;
    return out;
}

namespace {

int quietTiff(TIFF *, void *, const char *, const char *, va_list) {
    return 1;
}

}  // namespace

Decoded readTiff(const std::string &path, TiffInfo *info) {
    Decoded out;
    TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, quietTiff, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, quietTiff, nullptr);
    TIFF *tiff = TIFFOpenExt(path.c_str(), "r", options);
    TIFFOpenOptionsFree(options);
    if (tiff == nullptr) {
        out.error = "libtiff could not open " + path;
        return out;
    }
    std::uint32_t width = 0, height = 0;
    std::uint16_t bits = 0, samplesPerPixel = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    out.bitDepth = bits;
    out.channels = samplesPerPixel;
    if (info != nullptr) {
        TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &info->photometric);
        TIFFGetField(tiff, TIFFTAG_COMPRESSION, &info->compression);
        TIFFGetField(tiff, TIFFTAG_PLANARCONFIG, &info->planar);
        info->strips = TIFFNumberOfStrips(tiff);
        std::uint64_t *counts = nullptr;
        if (TIFFGetField(tiff, TIFFTAG_STRIPBYTECOUNTS, &counts) && counts != nullptr) {
            info->firstStripBytes = counts[0];
        }
        std::uint16_t extraCount = 0;
        std::uint16_t *extra = nullptr;
        // Only what the file itself holds: the defaulted value would invent one.
        info->hasExtraSamples =
            TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) && extraCount > 0;
    }
    const tmsize_t scanline = TIFFScanlineSize(tiff);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(scanline));
    const std::size_t rowSamples = static_cast<std::size_t>(width) * samplesPerPixel;
    out.samples.resize(rowSamples * height);
    bool ok = true;
    for (std::uint32_t y = 0; y < height && ok; ++y) {
        ok = TIFFReadScanline(tiff, row.data(), y, 0) == 1;
        for (std::size_t i = 0; ok && i < rowSamples; ++i) {
            std::uint16_t v = row[i];
            if (bits == 16) {
                std::memcpy(&v, row.data() + 2 * i, 2);  // libtiff hands out native words
            }
            out.samples[y * rowSamples + i] = v;
        }
    }
    TIFFClose(tiff);
    out.ok = ok;
    if (!ok) {
        out.error = "libtiff could not read the rows of " + path;
    }
    return out;
}

}  // namespace ostrel::output::test
