// Byte-table passes with AVX-512 VBMI byte permutes.
#include "imaging/sample_tables_vbmi.h"

#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
#define OSTREL_TABLE_VBMI 1
#include <immintrin.h>
#endif

namespace ostrel::imaging::table_detail {

#ifdef OSTREL_TABLE_VBMI

namespace {

#define OSTREL_VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi")))

struct Table {
    __m512i quarter[4];
};

OSTREL_VBMI inline __m512i lookUp(const __m512i *q, __m512i samples) {
    // Index bits 0..6 pick one of 128 bytes of a register pair; bit 7 picks the pair.
    const __m512i low = _mm512_permutex2var_epi8(q[0], samples, q[1]);
    const __m512i high = _mm512_permutex2var_epi8(q[2], samples, q[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(samples), low, high);
}

// The lowest `count` bits set (count 0..64).
inline std::uint64_t lowBits(int count) {
    return count >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << count) - 1;
}

}  // namespace

OSTREL_VBMI void mapBytesVbmi(const std::uint8_t *src, std::uint8_t *dst, int n,
                              const std::uint8_t *table) {
    const __m512i q[4] = {_mm512_loadu_si512(table), _mm512_loadu_si512(table + 64),
                          _mm512_loadu_si512(table + 128), _mm512_loadu_si512(table + 192)};
    int i = 0;
    for (; i + 64 <= n; i += 64) {
        _mm512_storeu_si512(dst + i, lookUp(q, _mm512_loadu_si512(src + i)));
    }
    if (i < n) {
        const __mmask64 rest = lowBits(n - i);
        _mm512_mask_storeu_epi8(dst + i, rest, lookUp(q, _mm512_maskz_loadu_epi8(rest, src + i)));
    }
}

OSTREL_VBMI void mapQuadsVbmi(const std::uint8_t *src, std::uint8_t *dst, int n,
                              const std::uint8_t *table) {
    const __m512i q[4] = {_mm512_loadu_si512(table), _mm512_loadu_si512(table + 64),
                          _mm512_loadu_si512(table + 128), _mm512_loadu_si512(table + 192)};
    const std::uint64_t firstThree = 0x7777777777777777ull;  // bytes 0..2 of every pixel
    const int bytes = 4 * n;
    int i = 0;
    for (; i + 64 <= bytes; i += 64) {
        _mm512_mask_storeu_epi8(dst + i, firstThree, lookUp(q, _mm512_loadu_si512(src + i)));
    }
    if (i < bytes) {
        const std::uint64_t rest = lowBits(bytes - i);
        _mm512_mask_storeu_epi8(dst + i, rest & firstThree,
                                lookUp(q, _mm512_maskz_loadu_epi8(rest, src + i)));
    }
}

#else

void mapBytesVbmi(const std::uint8_t *, std::uint8_t *, int, const std::uint8_t *) {}
void mapQuadsVbmi(const std::uint8_t *, std::uint8_t *, int, const std::uint8_t *) {}

#endif

}  // namespace ostrel::imaging::table_detail
