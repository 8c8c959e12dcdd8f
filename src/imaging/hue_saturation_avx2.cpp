// The hue and saturation transform in AVX2: eight pixels per step in 32-bit lanes. Maxima and
// minima, the sector choice and the channel composition are masks and blends; the reciprocal of
// the chroma is a gather from the same table as the plain transform; the new chroma is computed
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

OSTREL_AVX2 inline __m256i load(const std::int32_t *p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
}

OSTREL_AVX2 inline void store(std::int32_t *p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(p), v);
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

}  // namespace

OSTREL_AVX2 void turnPlanesAvx2(std::int32_t *blue, std::int32_t *green, std::int32_t *red, int n,
                                const HueSetup &setup) {
    const __m256i top = _mm256_set1_epi32(setup.top);
    const __m256i mirror = _mm256_set1_epi32(2 * setup.top + 1);
    const __m256i scale = _mm256_set1_epi32(setup.chromaScale);
    const __m256i half16 = _mm256_set1_epi32(32768);
    const __m256i half8 = _mm256_set1_epi32(128);
    const __m256i steps = _mm256_set1_epi32(setup.steps);
    const __m256i sectors = _mm256_set1_epi32(setup.sectors);
    const __m256i step254 = _mm256_set1_epi32(254);
    const __m256i full255 = _mm256_set1_epi32(255);
    const __m256i five = _mm256_set1_epi32(5);
    const __m256i six = _mm256_set1_epi32(6);
    const __m256i one = _mm256_set1_epi32(1);
    const __m256i three = _mm256_set1_epi32(3);
    const __m256i zero = _mm256_setzero_si256();
    // Per sector 0..5 (lanes 6, 7 unused): the factor of span and of ramp in red, green, blue.
    const __m256i spanRed = _mm256_setr_epi32(1, 1, 1, 0, 0, 0, 0, 0);
    const __m256i rampRed = _mm256_setr_epi32(0, 0, -1, 0, 0, 1, 0, 0);
    const __m256i spanGreen = _mm256_setr_epi32(0, 0, 1, 1, 1, 0, 0, 0);
    const __m256i rampGreen = _mm256_setr_epi32(0, 1, 0, 0, -1, 0, 0, 0);
    const __m256i spanBlue = _mm256_setr_epi32(1, 0, 0, 0, 1, 1, 0, 0);
    const __m256i rampBlue = _mm256_setr_epi32(-1, 0, 0, 1, 0, 0, 0, 0);

    for (int i = 0; i < n; i += 8) {
        const __m256i b = load(blue + i);
        const __m256i g = load(green + i);
        const __m256i r = load(red + i);
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

        const __m256i reciprocal = _mm256_i32gather_epi32(setup.reciprocal, c, 4);
        __m256i p = _mm256_add_epi32(
            _mm256_srai_epi32(_mm256_add_epi32(_mm256_mullo_epi32(d, reciprocal), half16), 16),
            steps);
        const __m256i wrap = _mm256_cmpgt_epi32(p, step254);
        p = _mm256_sub_epi32(p, _mm256_and_si256(wrap, full255));
        __m256i sector = _mm256_sub_epi32(_mm256_add_epi32(base, sectors), wrap);
        sector = _mm256_sub_epi32(sector, _mm256_and_si256(greaterOrEqual(sector, six), six));
        const __m256i ramp =
            _mm256_srai_epi32(_mm256_add_epi32(_mm256_mullo_epi32(span, p), half8), 8);

        store(red + i, channel(spanRed, rampRed, sector, low, span, ramp));
        store(green + i, channel(spanGreen, rampGreen, sector, low, span, ramp));
        store(blue + i, channel(spanBlue, rampBlue, sector, low, span, ramp));
    }
}

#else

void turnPlanesAvx2(std::int32_t *, std::int32_t *, std::int32_t *, int, const HueSetup &) {}

#endif

}  // namespace ostrel::imaging::hue_detail
