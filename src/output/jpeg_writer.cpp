// The JPEG writer. libjpeg reports errors by calling a function that must not return; ours jumps
// back into the one function that drives the compressor, which holds no C++ object that a jump
// would skip, and the caller then destroys the compressor and closes the file.
#include "output/jpeg_writer.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include <jpeglib.h>

#include "output/output_file.h"

static_assert(JPEG_LIB_VERSION == 62, "the JPEG writer is built against the libjpeg 6b interface");

namespace ostrel::output {

namespace {

struct JpegSession {
    jpeg_compress_struct compressor;
    jpeg_error_mgr errors;  // compressor.err points here
    std::jmp_buf failed;
};

[[noreturn]] void onJpegError(j_common_ptr common) {
    // errors is reached through the compressor it belongs to.
    JpegSession *session = reinterpret_cast<JpegSession *>(common);
    std::longjmp(session->failed, 1);
}

// A library inside an application has no console of its own: warnings are not printed.
void discardJpegMessage(j_common_ptr) {}

struct JpegPicture {
    const imaging::DibImage *image;
    int components;
    int quality;
    bool progressive;
    std::uint8_t *rowBuffer;  // width × components bytes
};

// Runs the compressor from creation to the end of the file; false when libjpeg raised an error.
// No object with a destructor may live in this frame (see the file comment).
bool compress(JpegSession &session, std::FILE *stream, const JpegPicture &picture) {
    jpeg_compress_struct &c = session.compressor;
    c.err = jpeg_std_error(&session.errors);
    session.errors.error_exit = onJpegError;
    session.errors.output_message = discardJpegMessage;
    if (setjmp(session.failed) != 0) {
        return false;
    }
    jpeg_CreateCompress(&c, JPEG_LIB_VERSION, sizeof(c));
    jpeg_stdio_dest(&c, stream);

    const imaging::DibImage &image = *picture.image;
    c.image_width = static_cast<JDIMENSION>(image.width());
    c.image_height = static_cast<JDIMENSION>(image.height());
    c.input_components = picture.components;
    c.in_color_space = picture.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, picture.quality, TRUE);
    if (picture.progressive) {
        jpeg_simple_progression(&c);
    }
    jpeg_start_compress(&c, TRUE);

    const int width = image.width();
    for (int row = image.height() - 1; row >= 0; --row) {
        const std::uint8_t *in = image.row(row);
        std::uint8_t *out = picture.rowBuffer;
        if (picture.components == 1) {
            std::memcpy(out, in, static_cast<std::size_t>(width));
        } else {
            for (int x = 0; x < width; ++x, in += 3, out += 3) {  // blue, green, red to RGB
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
            }
        }
        JSAMPROW rows[1] = {picture.rowBuffer};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    return true;
}

}  // namespace

SaveResult writeJpeg(const char *fileName, const imaging::DibImage &picture, int quality,
                     bool progressive) {
    if (picture.isEmpty()) {
        return SaveResult::NoImage;
    }
    const int components = picture.bitCount() == 8 ? 1 : picture.bitCount() == 24 ? 3 : 0;
    if (components == 0) {
        return SaveResult::UnsupportedFormat;
    }
    OutputFile file;
    if (!file.open(fileName, FileSharing::Shared)) {
        return SaveResult::OpenFailed;
    }
    const std::size_t rowBytes = static_cast<std::size_t>(picture.width()) * components;
    std::unique_ptr<std::uint8_t[]> rowBuffer(new (std::nothrow) std::uint8_t[rowBytes]);
    if (!rowBuffer) {
        return SaveResult::OutOfMemory;
    }

    // Zeroed, so that destroying a compressor that was never created does nothing.
    std::unique_ptr<JpegSession> session(new (std::nothrow) JpegSession());
    if (!session) {
        return SaveResult::OutOfMemory;
    }
    const JpegPicture job{&picture, components, quality, progressive, rowBuffer.get()};
    const bool compressed = compress(*session, file.stream(), job);
    jpeg_destroy_compress(&session->compressor);
    const bool closed = file.close();
    return compressed && closed ? SaveResult::Saved : SaveResult::WriteFailed;
}

}  // namespace ostrel::output
