// The hue and saturation transform in AVX2: eight pixels per step in 32-bit lanes. Maxima and
// minima, the sector choice and the channel composition are masks and blends; the reciprocal of
// the chroma is an exact single-precision division (no table gather); the new chroma is computed
// as the table would hold it; each channel of a sector is span and ramp times -1, 0 or +1.
#include "imaging/hue_saturation_avx2.h"

#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
#define OSTREL_HUE_AVX2 1
#include <immintrin.h>
#endif

namespace ostrel::imaging::hue_detail {

#ifdef OSTREL_HUE_AVX2

namespace {

#define OSTREL_AVX2 __attribute__((target("avx2")))

OSTREL_AVX2 inline __m256i load(const void *p) {
    return _mm256_loadu_si256(static_cast<const __m256i *>(p));
}

OSTREL_AVX2 inline void store(void *p, __m256i v) {
    _mm256_storeu_si256(static_cast<__m256i *>(p), v);
}

// a >= b as a lane mask.
OSTREL_AVX2 inline __m256i greaterOrEqual(__m256i a, __m256i b) {
    return _mm256_xor_si256(_mm256_cmpgt_epi32(b, a), _mm256_set1_epi32(-1));
}

// where mask: a, else b.
OSTREL_AVX2 inline __m256i choose(__m256i mask, __m256i a, __m256i b) {
    return _mm256_blendv_epi8(b, a, mask);
}

// One channel: low + span x (its span factor) + ramp x (its ramp factor) for each lane's sector.
OSTREL_AVX2 inline __m256i channel(__m256i spanFactors, __m256i rampFactors, __m256i sector,
                                   __m256i low, __m256i span, __m256i ramp) {
    const __m256i fs = _mm256_permutevar8x32_epi32(spanFactors, sector);
    const __m256i fr = _mm256_permutevar8x32_epi32(rampFactors, sector);
    return _mm256_add_epi32(
        low, _mm256_add_epi32(_mm256_sign_epi32(span, fs), _mm256_sign_epi32(ramp, fr)));
}

// The transform's constants, set up once per call.
struct Turn {
    __m256i top, mirror, scale, half16, half8, steps, sectors, step254, full255, five, six, one,
        three, zero;
    __m256 dividend;
    // Per sector 0..5 (lanes 6, 7 unused): the factor of span and of ramp in red, green, blue.
    __m256i spanRed, rampRed, spanGreen, rampGreen, spanBlue, rampBlue;

    OSTREL_AVX2 explicit Turn(const HueSetup &setup)
        : top(_mm256_set1_epi32(setup.top)),
          mirror(_mm256_set1_epi32(2 * setup.top + 1)),
          scale(_mm256_set1_epi32(setup.chromaScale)),
          half16(_mm256_set1_epi32(32768)),
          half8(_mm256_set1_epi32(128)),
          steps(_mm256_set1_epi32(setup.steps)),
          sectors(_mm256_set1_epi32(setup.sectors)),
          step254(_mm256_set1_epi32(254)),
          full255(_mm256_set1_epi32(255)),
          five(_mm256_set1_epi32(5)),
          six(_mm256_set1_epi32(6)),
          one(_mm256_set1_epi32(1)),
          three(_mm256_set1_epi32(3)),
          zero(_mm256_setzero_si256()),
          dividend(_mm256_set1_ps(16711680.0f)),
          spanRed(_mm256_setr_epi32(1, 1, 1, 0, 0, 0, 0, 0)),
          rampRed(_mm256_setr_epi32(0, 0, -1, 0, 0, 1, 0, 0)),
          spanGreen(_mm256_setr_epi32(0, 0, 1, 1, 1, 0, 0, 0)),
          rampGreen(_mm256_setr_epi32(0, 1, 0, 0, -1, 0, 0, 0)),
          spanBlue(_mm256_setr_epi32(1, 0, 0, 0, 1, 1, 0, 0)),
          rampBlue(_mm256_setr_epi32(-1, 0, 0, 1, 0, 0, 0, 0)) {}

    // The reciprocal 16711680 / c of the plain transform's table, without a gather: the single
    // precision quotient is exact to the integer part, because c x quotient stays below 2^24, so
    // its rounding error (at most quotient x 2^-24) is below 1/c, the least distance of a
    // non-integral quotient from the next integer. c = 0 comes with d = 0, where any value does.
    OSTREL_AVX2 inline __m256i reciprocal(__m256i c) const {
        const __m256 divisor = _mm256_cvtepi32_ps(_mm256_max_epi32(c, one));
        return _mm256_cvttps_epi32(_mm256_div_ps(dividend, divisor));
    }

    // Turns eight pixels given as channel values 0..top in 32-bit lanes.
    OSTREL_AVX2 inline void apply(__m256i &b, __m256i &g, __m256i &r) const {
        const __m256i mx = _mm256_max_epi32(_mm256_max_epi32(r, g), b);
        const __m256i mn = _mm256_min_epi32(_mm256_min_epi32(r, g), b);
        const __m256i c = _mm256_sub_epi32(mx, mn);
        const __m256i l = _mm256_add_epi32(mx, mn);
        const __m256i limit = choose(_mm256_cmpgt_epi32(l, top), _mm256_sub_epi32(mirror, l), l);
        const __m256i chroma =
            _mm256_srai_epi32(_mm256_add_epi32(half16, _mm256_mullo_epi32(c, scale)), 16);
        const __m256i newChroma = _mm256_min_epi32(chroma, limit);
        const __m256i low = _mm256_srai_epi32(_mm256_sub_epi32(l, newChroma), 1);
        const __m256i span =
            _mm256_sub_epi32(_mm256_srai_epi32(_mm256_add_epi32(l, newChroma), 1), low);

        // Red is the maximum on ties with both, then green; blue only when above both.
        const __m256i redMax = _mm256_and_si256(greaterOrEqual(r, g), greaterOrEqual(r, b));
        const __m256i greenMax = _mm256_andnot_si256(redMax, greaterOrEqual(g, b));
        __m256i base = choose(redMax, one, choose(greenMax, three, five));
        __m256i d = choose(redMax, _mm256_sub_epi32(g, b),
                           choose(greenMax, _mm256_sub_epi32(b, r), _mm256_sub_epi32(r, g)));
        const __m256i negative = _mm256_cmpgt_epi32(zero, d);
        base = _mm256_add_epi32(base, negative);  // minus 1 where negative
        d = _mm256_add_epi32(d, _mm256_and_si256(c, negative));

        __m256i p = _mm256_add_epi32(
            _mm256_srai_epi32(_mm256_add_epi32(_mm256_mullo_epi32(d, reciprocal(c)), half16), 16),
            steps);
        const __m256i wrap = _mm256_cmpgt_epi32(p, step254);
        p = _mm256_sub_epi32(p, _mm256_and_si256(wrap, full255));
        __m256i sector = _mm256_sub_epi32(_mm256_add_epi32(base, sectors), wrap);
        sector = _mm256_sub_epi32(sector, _mm256_and_si256(greaterOrEqual(sector, six), six));
        const __m256i ramp =
            _mm256_srai_epi32(_mm256_add_epi32(_mm256_mullo_epi32(span, p), half8), 8);

        r = channel(spanRed, rampRed, sector, low, span, ramp);
        g = channel(spanGreen, rampGreen, sector, low, span, ramp);
        b = channel(spanBlue, rampBlue, sector, low, span, ramp);
    }
};

// Byte shuffles that move channel `channel` of each pixel of a 16-byte lane (pixels `bytes`
// apart) into the low byte of the lane's 32-bit elements, the other bytes 0.
OSTREL_AVX2 inline __m256i channelMask(int bytes, int channel) {
    alignas(32) std::uint8_t m[32];
    for (int i = 0; i < 32; ++i) {
        const int element = (i % 16) / 4;
        m[i] = i % 4 == 0 ? static_cast<std::uint8_t>(bytes * element + channel) : 0x80;
    }
    return _mm256_load_si256(reinterpret_cast<const __m256i *>(m));
}

}  // namespace

OSTREL_AVX2 void turnPlanesAvx2(std::int32_t *blue, std::int32_t *green, std::int32_t *red, int n,
                                const HueSetup &setup) {
    const Turn turn(setup);
    for (int i = 0; i < n; i += 8) {
        __m256i b = load(blue + i);
        __m256i g = load(green + i);
        __m256i r = load(red + i);
        turn.apply(b, g, r);
        store(red + i, r);
        store(green + i, g);
        store(blue + i, b);
    }
}

OSTREL_AVX2 int turnBytesAvx2(const std::uint8_t *src, int srcBytes, std::uint8_t *dst,
                              int dstBytes, int n, const HueSetup &setup) {
    if ((srcBytes != 3 && srcBytes != 4) || (dstBytes != 3 && dstBytes != 4)) {
        return 0;
    }
    const Turn turn(setup);
    // Three-byte pixels are loaded 32 bytes at a time for 24 bytes of pixels, and the upper four
    // go to the upper lane: pixels 4..7 start at byte 12.
    const __m256i spread = _mm256_setr_epi32(0, 1, 2, 3, 3, 4, 5, 6);
    const __m256i inMasks[3] = {channelMask(srcBytes, 0), channelMask(srcBytes, 1),
                                channelMask(srcBytes, 2)};
    const __m256i byteMask = _mm256_set1_epi32(0xFF);
    // Four-byte results to three-byte pixels: 12 bytes per lane, then the lanes joined.
    const __m256i packTriples =
        _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -128, -128, -128, -128, 0, 1, 2, 4,
                         5, 6, 8, 9, 10, 12, 13, 14, -128, -128, -128, -128);
    const __m256i joinTriples = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);
    const __m256i keepFourth = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    // A step reads 32 bytes; for three-byte pixels that is 8 bytes past its eight pixels.
    const int readPixels = srcBytes == 3 ? 11 : 8;
    int x = 0;
    for (; x + readPixels <= n; x += 8) {
        __m256i in = load(src + x * srcBytes);
        if (srcBytes == 3) {
            in = _mm256_permutevar8x32_epi32(in, spread);
        }
        __m256i b = _mm256_shuffle_epi8(in, inMasks[0]);
        __m256i g = _mm256_shuffle_epi8(in, inMasks[1]);
        __m256i r = _mm256_shuffle_epi8(in, inMasks[2]);
        turn.apply(b, g, r);
        const __m256i pixels =
            _mm256_or_si256(_mm256_and_si256(b, byteMask),
                            _mm256_or_si256(_mm256_slli_epi32(_mm256_and_si256(g, byteMask), 8),
                                            _mm256_slli_epi32(_mm256_and_si256(r, byteMask), 16)));
        std::uint8_t *out = dst + x * dstBytes;
        if (dstBytes == 4) {
            store(out, _mm256_blendv_epi8(pixels, load(out), keepFourth));
        } else {
            const __m256i packed =
                _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(pixels, packTriples), joinTriples);
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm256_castsi256_si128(packed));
            _mm_storel_epi64(reinterpret_cast<__m128i *>(out + 16),
                             _mm256_extracti128_si256(packed, 1));
        }
    }
    return x;
}

#else

void turnPlanesAvx2(std::int32_t *, std::int32_t *, std::int32_t *, int, const HueSetup &) {}
int turnBytesAvx2(const std::uint8_t *, int, std::uint8_t *, int, int, const HueSetup &) {
    return 0;
}

#endif

}  // namespace ostrel::imaging::hue_detail
