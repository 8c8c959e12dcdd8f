// UTF-8 encoding of one code point, shared by the Linux text conversion and the reading of
// regedit's UTF-16 exports.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrel::platform {

// Writes the UTF-8 form of cp (at most U+10FFFF) into out and returns its length, 1 to 4.
std::size_t encodeUtf8(std::uint32_t cp, char out[4]);

}  // namespace ostrel::platform
