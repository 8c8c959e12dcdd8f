// Whether an AVI file a recording left is finished and readable: the RIFF size matches the file,
// the frame count in the main header matches the frames in the file, and the index that closes
// the file has one entry per frame. Used wherever a recording may have been ended by a fault.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace ostrel::reliability {

struct AviFileCheck {
    bool finished = false;  // every size and count agrees with the file
    std::uint32_t frames = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::string problem;  // what disagreed, when not finished
};

inline std::uint32_t aviU32(const std::vector<std::uint8_t> &b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 |
           static_cast<std::uint32_t>(b[at + 3]) << 24;
}

inline bool aviFourcc(const std::vector<std::uint8_t> &b, std::size_t at, const char *code) {
    return b.size() >= at + 4 &&
           std::string(b.begin() + static_cast<std::ptrdiff_t>(at),
                       b.begin() + static_cast<std::ptrdiff_t>(at + 4)) == code;
}

// Reads only the header and the index, so a file of gigabytes is checked quickly.
inline AviFileCheck checkAviFile(const std::string &path) {
    AviFileCheck check;
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        check.problem = "cannot be opened";
        return check;
    }
    const std::uint64_t size = static_cast<std::uint64_t>(in.tellg());
    // Up to the main header's height field; a recording without frames is not much longer.
    std::vector<std::uint8_t> head(72);
    in.seekg(0);
    if (size < head.size() || !in.read(reinterpret_cast<char *>(head.data()),
                                       static_cast<std::streamsize>(head.size()))) {
        check.problem = "shorter than its header";
        return check;
    }
    if (!aviFourcc(head, 0, "RIFF") || !aviFourcc(head, 8, "AVI ") ||
        !aviFourcc(head, 24, "avih")) {
        check.problem = "not an AVI file";
        return check;
    }
    if (aviU32(head, 4) + 8ull != size) {
        check.problem = "RIFF size " + std::to_string(aviU32(head, 4)) + " for a file of " +
                        std::to_string(size) + " bytes";
        return check;
    }
    check.frames = aviU32(head, 48);
    check.width = static_cast<std::int32_t>(aviU32(head, 64));
    check.height = static_cast<std::int32_t>(aviU32(head, 68));
    const std::uint64_t indexBytes = 16ull * check.frames;
    if (size < indexBytes + 8) {
        check.problem = "too short for its index";
        return check;
    }
    std::vector<std::uint8_t> index(8);
    in.seekg(static_cast<std::streamoff>(size - indexBytes - 8));
    if (!in.read(reinterpret_cast<char *>(index.data()), 8) || !aviFourcc(index, 0, "idx1") ||
        aviU32(index, 4) != indexBytes) {
        check.problem = "no index of " + std::to_string(check.frames) + " entries at its end";
        return check;
    }
    const std::uint64_t frameBytes =
        static_cast<std::uint64_t>(check.width) * 3 * static_cast<std::uint64_t>(check.height);
    // Header, then one chunk (8 + frame bytes) per frame, then the index.
    const std::uint64_t frameData = check.frames * (8 + frameBytes);
    if (size < frameData + indexBytes + 8 + 72 || size - frameData - indexBytes - 8 > 4096) {
        check.problem = "frame data does not fill the file";
        return check;
    }
    check.finished = true;
    return check;
}

}  // namespace ostrel::reliability
