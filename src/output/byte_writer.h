// A little-endian byte writer for file headers: fields are appended one by one (u16, u32,
// four-character codes), chunks are opened and closed with their sizes patched in, and any
// position can be remembered and rewritten later. Headers are built in memory and then written
// to the file in one piece.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ostrel::output {

class ByteWriter {
public:
    void u8(std::uint8_t value);
    void u16(std::uint16_t value);
    void u32(std::uint32_t value);
    void i32(std::int32_t value) { u32(static_cast<std::uint32_t>(value)); }
    // A four-character code such as "RIFF" (exactly four characters).
    void fourcc(const char (&code)[5]);
    void zeros(std::size_t count);
    void bytes(const void *data, std::size_t count);

    // Writes the chunk id and a size placeholder; returns the position of the size field.
    std::size_t beginChunk(const char (&id)[5]);
    // A "LIST" chunk with its list type; returns the position of the size field.
    std::size_t beginList(const char (&listType)[5]);
    // Patches the size field at sizePosition with the number of bytes written after it.
    void endChunk(std::size_t sizePosition);

    // Rewrites the 32-bit field at position (which must already have been written).
    void patchU32(std::size_t position, std::uint32_t value);

    std::size_t position() const { return buffer_.size(); }
    const std::uint8_t *data() const { return buffer_.data(); }
    std::size_t size() const { return buffer_.size(); }
    void clear() { buffer_.clear(); }

private:
    std::vector<std::uint8_t> buffer_;
};

}  // namespace ostrel::output
