// The PNG writer. libpng reports errors through our error function, which jumps back into the
// one function that drives the writer; that function holds no C++ object a jump would skip, and
// its caller destroys the write structure, frees the row table and closes the file.
#include "output/png_writer.h"

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <new>

#include <png.h>

#include "output/output_file.h"

namespace ostrel::output {

namespace {

struct PngLayout {
    int colourType;
    int bitDepth;
};

bool layoutFor(std::uint16_t bitCount, PngLayout &layout) {
    switch (bitCount) {
        case 8:
            layout = {PNG_COLOR_TYPE_GRAY, 8};
            return true;
        case 16:
            layout = {PNG_COLOR_TYPE_GRAY, 16};
            return true;
        case 24:
            layout = {PNG_COLOR_TYPE_RGB, 8};
            return true;
        case 32:
            layout = {PNG_COLOR_TYPE_RGB_ALPHA, 8};
            return true;
        case 48:
            layout = {PNG_COLOR_TYPE_RGB, 16};
            return true;
        case 64:
            layout = {PNG_COLOR_TYPE_RGB_ALPHA, 16};
            return true;
        default:
            return false;
    }
}

[[noreturn]] void onPngError(png_structp png, png_const_charp message) {
    std::fprintf(stderr, "libpng error: %s\n", message);
    png_longjmp(png, 1);
}

struct PngSession {
    png_structp png = nullptr;
    png_infop info = nullptr;
};

struct PngPicture {
    std::uint32_t width;
    std::uint32_t height;
    PngLayout layout;
    png_bytepp rows;  // height row pointers, top row first
};

// Creates the writer and writes the whole file; false when libpng could not be set up or raised
// an error. No object with a destructor may live in this frame (see the file comment).
bool writeImage(PngSession &session, std::FILE *stream, const PngPicture &picture) {
    // The version of the library actually linked, which libpng checks against its own.
    session.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onPngError, nullptr);
    if (session.png == nullptr) {
        return false;
    }
    session.info = png_create_info_struct(session.png);
    if (session.info == nullptr) {
        return false;
    }
    if (setjmp(png_jmpbuf(session.png)) != 0) {
        return false;
    }
    png_init_io(session.png, stream);
    png_set_IHDR(session.png, session.info, picture.width, picture.height, picture.layout.bitDepth,
                 picture.layout.colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(session.png, session.info);
    png_set_bgr(session.png);  // the buffer holds blue before red
    if (picture.layout.bitDepth == 16) {
        png_set_swap(session.png);  // the buffer's words are little-endian
    }
    png_write_image(session.png, picture.rows);
    png_write_end(session.png, nullptr);
    return true;
}

}  // namespace

SaveResult writePng(const char *fileName, const std::uint8_t *pixels, std::int32_t width,
                    std::int32_t height, std::uint16_t bitCount) {
    if (fileName == nullptr) {
        return SaveResult::BadFileName;
    }
    if (pixels == nullptr || width <= 0 || height <= 0) {
        return SaveResult::NoImage;
    }
    PngLayout layout;
    if (!layoutFor(bitCount, layout)) {
        return SaveResult::UnsupportedFormat;
    }
    OutputFile file;
    if (!file.open(fileName, FileSharing::Shared)) {
        return SaveResult::OpenFailed;
    }
    std::unique_ptr<png_bytep[]> rows(new (std::nothrow)
                                          png_bytep[static_cast<std::size_t>(height)]);
    if (!rows) {
        return SaveResult::OutOfMemory;
    }
    const std::size_t stride =
        (static_cast<std::size_t>(width) * (bitCount / 8) + 3) & ~std::size_t{3};
    for (std::int32_t i = 0; i < height; ++i) {
        rows[i] = const_cast<png_bytep>(pixels) + stride * static_cast<std::size_t>(i);
    }

    PngSession session;
    const PngPicture picture{static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                             layout, rows.get()};
    const bool written = writeImage(session, file.stream(), picture);
    png_destroy_write_struct(&session.png, &session.info);
    const bool closed = file.close();
    return written && closed ? SaveResult::Saved : SaveResult::WriteFailed;
}

}  // namespace ostrel::output
