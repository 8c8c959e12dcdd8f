// The little-endian header writer shared by the bitmap and AVI files.
#include "output/byte_writer.h"

#include <cassert>
#include <cstring>

namespace ostrel::output {

void ByteWriter::u8(std::uint8_t value) {
    buffer_.push_back(value);
}

void ByteWriter::u16(std::uint16_t value) {
    buffer_.push_back(static_cast<std::uint8_t>(value));
    buffer_.push_back(static_cast<std::uint8_t>(value >> 8));
}

void ByteWriter::u32(std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        buffer_.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void ByteWriter::fourcc(const char (&code)[5]) {
    bytes(code, 4);
}

void ByteWriter::zeros(std::size_t count) {
    buffer_.insert(buffer_.end(), count, 0);
}

void ByteWriter::bytes(const void *data, std::size_t count) {
    const auto *p = static_cast<const std::uint8_t *>(data);
    buffer_.insert(buffer_.end(), p, p + count);
}

std::size_t ByteWriter::beginChunk(const char (&id)[5]) {
    fourcc(id);
    const std::size_t sizePosition = position();
    u32(0);
    return sizePosition;
}

std::size_t ByteWriter::beginList(const char (&listType)[5]) {
    const std::size_t sizePosition = beginChunk("LIST");
    fourcc(listType);
    return sizePosition;
}

void ByteWriter::endChunk(std::size_t sizePosition) {
    patchU32(sizePosition, static_cast<std::uint32_t>(position() - sizePosition - 4));
}

void ByteWriter::patchU32(std::size_t position, std::uint32_t value) {
    assert(position + 4 <= buffer_.size());
    for (int i = 0; i < 4; ++i) {
        buffer_[position + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

}  // namespace ostrel::output
