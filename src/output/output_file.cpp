// Opening, writing and closing output files with the C library, in binary mode on every system.
#include "output/output_file.h"

#include <new>

#if defined(_WIN32)
#include <io.h>
#include <share.h>
#else
#include <unistd.h>
#endif

namespace ostrel::output {

namespace {

constexpr std::size_t kStreamBufferBytes = std::size_t{1} << 20;

}  // namespace

OutputFile::~OutputFile() {
    close();
}

bool OutputFile::open(const char *path, FileSharing sharing) {
    close();
    if (path == nullptr || path[0] == '\0') {
        return false;
    }
#if defined(_WIN32)
    const int share = sharing == FileSharing::Exclusive ? _SH_DENYRW : _SH_DENYNO;
    stream_ = _fsopen(path, "wb", share);
#else
    (void)sharing;  // no mandatory locks here; the name is the caller's alone
    stream_ = std::fopen(path, "wb");
#endif
    if (stream_ == nullptr) {
        return false;
    }
    if (!buffer_) {
        buffer_.reset(new (std::nothrow) char[kStreamBufferBytes]);
    }
    if (buffer_) {  // without it the stream keeps its own small buffer
        std::setvbuf(stream_, buffer_.get(), _IOFBF, kStreamBufferBytes);
    }
    return true;
}

bool OutputFile::write(const void *data, std::size_t size) {
    if (stream_ == nullptr) {
        return false;
    }
    if (size == 0) {
        return true;
    }
    return std::fwrite(data, 1, size, stream_) == size;
}

bool OutputFile::seek(std::uint64_t position) {
    if (stream_ == nullptr) {
        return false;
    }
    std::clearerr(stream_);
#if defined(_WIN32)
    return _fseeki64(stream_, static_cast<__int64>(position), SEEK_SET) == 0;
#else
    return fseeko(stream_, static_cast<off_t>(position), SEEK_SET) == 0;
#endif
}

bool OutputFile::truncate(std::uint64_t length) {
    if (stream_ == nullptr || std::fflush(stream_) != 0) {
        return false;
    }
#if defined(_WIN32)
    return _chsize_s(_fileno(stream_), static_cast<__int64>(length)) == 0;
#else
    return ftruncate(fileno(stream_), static_cast<off_t>(length)) == 0;
#endif
}

bool OutputFile::close() {
    if (stream_ == nullptr) {
        return false;
    }
    const bool flushed = std::fflush(stream_) == 0 && std::ferror(stream_) == 0;
    const bool closed = std::fclose(stream_) == 0;
    stream_ = nullptr;
    return flushed && closed;
}

}  // namespace ostrel::output
