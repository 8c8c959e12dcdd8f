// Helpers of the output tests: a scratch folder removed afterwards, whole-file reads and
// little-endian field reads.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace ostrel::output::test {

class ScratchDir {
public:
    ScratchDir() {
        std::random_device seed;
        std::ostringstream name;
        name << "ostrel-output-" << std::hex << seed() << seed();
        path_ = std::filesystem::temp_directory_path() / name.str();
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;

    std::string file(const std::string &name) const { return (path_ / name).string(); }
    const std::filesystem::path &path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline std::vector<std::uint8_t> readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::string &path, const std::vector<std::uint8_t> &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline std::uint16_t le16(const std::vector<std::uint8_t> &bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes.at(at) | (bytes.at(at + 1) << 8));
}

inline std::uint32_t le32(const std::vector<std::uint8_t> &bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes.at(at)) |
           (static_cast<std::uint32_t>(bytes.at(at + 1)) << 8) |
           (static_cast<std::uint32_t>(bytes.at(at + 2)) << 16) |
           (static_cast<std::uint32_t>(bytes.at(at + 3)) << 24);
}

inline std::string fourccAt(const std::vector<std::uint8_t> &bytes, std::size_t at) {
    return std::string(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                       bytes.begin() + static_cast<std::ptrdiff_t>(at + 4));
}

// Bytes from a listing of hexadecimal pairs; anything else (spaces, line breaks, comments after
// '#' up to the end of the line) is skipped.
inline std::vector<std::uint8_t> hexBytes(const std::string &text) {
    std::vector<std::uint8_t> bytes;
    int high = -1;
    bool comment = false;
    for (char c : text) {
        if (comment) {
            comment = c != '\n';
            continue;
        }
        if (c == '#') {
            comment = true;
            continue;
        }
        int nibble = -1;
        if (c >= '0' && c <= '9')
            nibble = c - '0';
        if (c >= 'a' && c <= 'f')
            nibble = c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            nibble = c - 'A' + 10;
        if (nibble < 0)
            continue;
        if (high < 0) {
            high = nibble;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high * 16 + nibble));
            high = -1;
        }
    }
    return bytes;
}

}  // namespace ostrel::output::test
