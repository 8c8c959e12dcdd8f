// The BMP file, written field by field and row by row from the image.
#include "output/bmp_writer.h"

#include <cstdint>

#include "output/bitmap_header.h"
#include "output/byte_writer.h"
#include "output/output_file.h"

namespace ostrel::output {

namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kColourTableSize = 256 * 4;

}  // namespace

SaveResult writeBmp(const char *fileName, const imaging::DibImage &image) {
    if (image.isEmpty()) {
        return SaveResult::NoImage;
    }
    const std::int32_t height = image.height();
    const std::size_t stride = static_cast<std::size_t>(image.stride());
    const bool hasColourTable = image.bitCount() <= 8;
    const std::uint32_t dataOffset =
        kFileHeaderSize + kBitmapInfoHeaderSize + (hasColourTable ? kColourTableSize : 0);
    const std::uint64_t fileSize = dataOffset + std::uint64_t{stride} * height;
    if (fileSize > 0xFFFFFFFFu) {
        return SaveResult::UnsupportedFormat;  // the file size field would not hold it
    }

    ByteWriter header;
    header.u8('B');  // signature "BM"
    header.u8('M');
    header.u32(static_cast<std::uint32_t>(fileSize));  // file size
    header.u16(0);                                     // reserved
    header.u16(0);                                     // reserved
    header.u32(dataOffset);                            // data offset
    writeBitmapInfoHeader(header, image.width(), height, image.bitCount());
    if (hasColourTable) {
        for (int i = 0; i < 256; ++i) {  // the grey ramp: blue, green, red, reserved
            header.u8(static_cast<std::uint8_t>(i));
            header.u8(static_cast<std::uint8_t>(i));
            header.u8(static_cast<std::uint8_t>(i));
            header.u8(0);
        }
    }

    OutputFile file;
    if (!file.open(fileName, FileSharing::Exclusive)) {
        return SaveResult::OpenFailed;
    }
    bool ok = file.write(header.data(), header.size());
    // The file is bottom-up: the last memory row (the bottom of the picture) goes first.
    for (std::int32_t row = height - 1; ok && row >= 0; --row) {
        ok = file.write(image.row(row), stride);
    }
    ok = file.close() && ok;
    return ok ? SaveResult::Saved : SaveResult::WriteFailed;
}

}  // namespace ostrel::output
