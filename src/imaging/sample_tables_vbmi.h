// Internal to the table passes: 8-bit table look-ups 64 samples at a time with the AVX-512 byte
// permutes (VBMI), used when kCpuAvx512Vbmi may be used. The 256-entry table sits in four
// registers; each look-up is two two-register permutes and a blend by the sample's top bit, so the
// pass runs at the speed of a copy. The results are those of the plain look-up.
#pragma once

#include <cstdint>

namespace ostrel::imaging::table_detail {

// dst[i] = table[src[i]] for n bytes (in place allowed).
void mapBytesVbmi(const std::uint8_t *src, std::uint8_t *dst, int n, const std::uint8_t *table);

// The first three bytes of n 4-byte pixels looked up; the destination's fourth bytes untouched.
void mapQuadsVbmi(const std::uint8_t *src, std::uint8_t *dst, int n, const std::uint8_t *table);

}  // namespace ostrel::imaging::table_detail
