// A file being written by one of the writers: opened in binary mode, truncated or created, closed
// when the object goes away. Every write reports whether all of its bytes were accepted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace ostrel::output {

enum class FileSharing {
    Exclusive,  // nobody else may open the file while it is being written (BMP, raw, AVI)
    Shared,     // the C library's ordinary "wb" (JPEG, PNG)
};

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // Opens path for writing, truncating an existing file or creating a new one. Closes what was
    // open before. False when the file can be neither truncated nor created.
    [[nodiscard]] bool open(const char *path, FileSharing sharing);

    bool isOpen() const { return stream_ != nullptr; }
    // The C stream, for libraries that write through one (libjpeg, libpng).
    std::FILE *stream() const { return stream_; }

    // Writes size bytes at the current position; false unless all of them were accepted.
    [[nodiscard]] bool write(const void *data, std::size_t size);
    // Moves to an absolute position (files may pass 2 GiB); false on failure.
    [[nodiscard]] bool seek(std::uint64_t position);
    // Flushes, then cuts the file to `length` bytes (bytes a failed write left beyond what the
    // file keeps); false on failure.
    [[nodiscard]] bool truncate(std::uint64_t length);

    // Flushes and closes; false when buffered bytes could not be written or nothing was open.
    bool close();

private:
    std::FILE *stream_ = nullptr;
    // The stream's buffer: large, so that row-sized writes reach the system in few big calls.
    std::unique_ptr<char[]> buffer_;
};

}  // namespace ostrel::output
