// The colour reconstruction's row routines in AVX2, chosen at run time when the processor has it.
// They compute exactly what the plain routine computes, 32 byte pixels or 16 word pixels at a
// time: the alternating column phases become blend masks, the 9-3-3-1 sums multiply-adds, and
// the pixels are interleaved into blue, green, red with byte shuffles. Outputs larger than the
// caches are written with streaming stores where the rows allow aligned ones: plain stores would
// first read every output line into the cache, which is nearly half the memory traffic.
#include "imaging/demosaic_rows.h"

#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
#define OSTREL_DEMOSAIC_AVX2 1
#include <immintrin.h>
#endif

namespace ostrel::imaging::demosaic_detail {

#ifdef OSTREL_DEMOSAIC_AVX2

namespace {

#define OSTREL_AVX2 __attribute__((target("avx2")))

OSTREL_AVX2 inline __m256i load(const void *p) {
    return _mm256_loadu_si256(static_cast<const __m256i *>(p));
}

OSTREL_AVX2 inline void store(void *p, __m256i v) {
    _mm256_storeu_si256(static_cast<__m256i *>(p), v);
}

// A store that bypasses the caches (p aligned to 32 bytes) or a plain one.
template <bool Stream>
OSTREL_AVX2 inline void put(void *p, __m256i v) {
    if constexpr (Stream) {
        _mm256_stream_si256(static_cast<__m256i *>(p), v);
    } else {
        store(p, v);
    }
}

// Byte shuffles that interleave three planes into blue, green, red triples, for each 16-byte
// lane: block k of 16 output bytes takes byte n = 16k + i from plane n % 3, element n / 3, where an
// element is `elementBytes` wide (1 for bytes, 2 for words). 0x80 leaves a byte 0.
struct TripleMasks {
    __m256i plane[3][3];  // [block][plane]
};

OSTREL_AVX2 TripleMasks makeTripleMasks(int elementBytes) {
    TripleMasks masks;
    for (int block = 0; block < 3; ++block) {
        alignas(32) std::uint8_t bytes[3][32];
        for (int i = 0; i < 16; ++i) {
            const int n = 16 * block + i;
            const int element = n / elementBytes;
            const int within = n % elementBytes;
            const int pixel = element / 3;
            const int channel = element % 3;
            for (int plane = 0; plane < 3; ++plane) {
                const std::uint8_t m =
                    plane == channel ? static_cast<std::uint8_t>(pixel * elementBytes + within)
                                     : 0x80;
                bytes[plane][i] = m;
                bytes[plane][i + 16] = m;
            }
        }
        for (int plane = 0; plane < 3; ++plane) {
            masks.plane[block][plane] = load(bytes[plane]);
        }
    }
    return masks;
}

// Stores `pixels` into out, keeping the bytes of `out` where keepMask is set (the fourth byte or
// word of each pixel, which the reconstruction never changes).
OSTREL_AVX2 inline void storeKeeping(std::uint8_t *out, __m256i pixels, __m256i keepMask) {
    store(out, _mm256_blendv_epi8(pixels, load(out), keepMask));
}

// Writes the three planes (each two 16-byte lanes) as 96 bytes of triples.
template <bool Stream>
OSTREL_AVX2 inline void storeTriples(std::uint8_t *out, __m256i blue, __m256i green, __m256i red,
                                     const TripleMasks &m) {
    __m256i block[3];
    for (int k = 0; k < 3; ++k) {
        block[k] = _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(blue, m.plane[k][0]),
                                                   _mm256_shuffle_epi8(green, m.plane[k][1])),
                                   _mm256_shuffle_epi8(red, m.plane[k][2]));
    }
    // block[k] holds block k of the first lane's pixels low and of the second lane's high.
    put<Stream>(out, _mm256_permute2x128_si256(block[0], block[1], 0x20));
    put<Stream>(out + 32, _mm256_permute2x128_si256(block[2], block[0], 0x30));
    put<Stream>(out + 64, _mm256_permute2x128_si256(block[1], block[2], 0x31));
}

// Four 32-byte blocks of whole pixels: stored as they are when the fourth sample may be written
// (it is 0 in the blocks and in the destination), else merged with the destination's.
template <bool Stream>
OSTREL_AVX2 inline void storeQuads(std::uint8_t *out, const __m256i (&blocks)[4], bool whole,
                                   __m256i keepMask) {
    for (int k = 0; k < 4; ++k) {
        if (whole) {
            put<Stream>(out + 32 * k, blocks[k]);
        } else {
            storeKeeping(out + 32 * k, blocks[k], keepMask);
        }
    }
}

// Selects per lane: `ifOdd` where the mask is set, else `ifEven`.
OSTREL_AVX2 inline __m256i pick(__m256i ifEven, __m256i ifOdd, __m256i mask) {
    return _mm256_blendv_epi8(ifEven, ifOdd, mask);
}

// The rows around an output row by the role they play: the near row of a colour is the cell row
// (y-1 or y) holding it, its far row the one two further out.
template <typename Sample>
struct Roles {
    const Sample *redNear;
    const Sample *redFar;
    const Sample *blueNear;
    const Sample *blueFar;
    bool rowBIsRedNear;  // row y-1 holds red (and row y blue), else the other way round
};

template <typename Sample>
Roles<Sample> rolesFor(const RowWindow<Sample> &w, int rowPhase) {
    const Sample *a = w.rows[0];
    const Sample *b = w.rows[1];
    const Sample *c = w.rows[2];
    const Sample *d = w.rows[3];
    return rowPhase == 1 ? Roles<Sample>{c, a, b, d, false} : Roles<Sample>{b, d, c, a, true};
}

// The lane masks of a step, by the parity of its first column: `odd` is set in the lanes of
// columns with column phase 1, `greenLeft` where row y's green is in column x - 1 (the column's
// phase differs from the row's). Lanes are `elementBytes` wide.
struct StepMasks {
    __m256i odd;
    __m256i greenLeft;
};

OSTREL_AVX2 StepMasks stepMasks(int firstOdd, int rowPhase, int elementBytes) {
    // Alternate elements, starting with phase firstOdd.
    const __m256i evenFirst = elementBytes == 1 ? _mm256_set1_epi16(static_cast<short>(0xFF00))
                                                : _mm256_set1_epi32(static_cast<int>(0xFFFF0000));
    const __m256i odd =
        firstOdd != 0 ? _mm256_xor_si256(evenFirst, _mm256_set1_epi8(-1)) : evenFirst;
    const __m256i greenLeft = rowPhase == 1 ? _mm256_xor_si256(odd, _mm256_set1_epi8(-1)) : odd;
    return {odd, greenLeft};
}

// Runs `stepper.template at<false>(x, masks)` over [xBegin, xEnd), which holds at least one step:
// whole steps, and a last one that overlaps the one before (it writes the same values again).
// With `stream`, the steps whose output starts on a 32-byte boundary use streaming stores: the
// first step and the last stay plain, overlapping the streamed ones with the same values, so the
// order in which the two kinds of store land does not matter.
template <int Step, typename Stepper>
OSTREL_AVX2 inline void runSteps(Stepper &stepper, int xBegin, int xEnd, const StepMasks masks[2],
                                 int colPhase0, bool stream) {
    auto masksAt = [&](int x) -> const StepMasks & { return masks[(colPhase0 ^ x) & 1]; };
    int x = xBegin;
    if (stream) {
        int aligned = xBegin;
        while (aligned < xBegin + Step && !stepper.alignedAt(aligned)) {
            ++aligned;
        }
        if (aligned < xBegin + Step && aligned + Step <= xEnd) {
            stepper.template at<false>(xBegin, masksAt(xBegin));
            for (x = aligned; x + Step <= xEnd; x += Step) {
                stepper.template at<true>(x, masksAt(x));
            }
            if (x < xEnd) {
                stepper.template at<false>(xEnd - Step, masksAt(xEnd - Step));
            }
            return;
        }
    }
    for (; x + Step <= xEnd; x += Step) {
        stepper.template at<false>(x, masksAt(x));
    }
    if (x < xEnd) {
        stepper.template at<false>(xEnd - Step, masksAt(xEnd - Step));
    }
}

// ---- 8-bit samples ----------------------------------------------------------------------------

struct ByteStep {
    __m256i blue;
    __m256i green;
    __m256i red;
};

// 16-weighted sum of one colour for 32 pixels: 9 x near-row near + 3 x near-row far + 3 x far-row
// near + far-row far, as two vectors of 16-bit sums (lanes in unpack order), then scaled and
// packed back to 32 bytes in pixel order. Factors below 2048 scale in one multiply; larger ones
// (below 32768) with the sum shifted first and a cap, since the result may pass 255.
template <bool SmallFactors>
OSTREL_AVX2 inline __m256i colourBytes(__m256i nearNear, __m256i nearFar, __m256i farNear,
                                       __m256i farFar, __m256i factor) {
    const __m256i w93 = _mm256_set1_epi16(0x0309);  // bytes 9, 3
    const __m256i w31 = _mm256_set1_epi16(0x0103);  // bytes 3, 1
    const __m256i sumLo =
        _mm256_add_epi16(_mm256_maddubs_epi16(_mm256_unpacklo_epi8(nearNear, nearFar), w93),
                         _mm256_maddubs_epi16(_mm256_unpacklo_epi8(farNear, farFar), w31));
    const __m256i sumHi =
        _mm256_add_epi16(_mm256_maddubs_epi16(_mm256_unpackhi_epi8(nearNear, nearFar), w93),
                         _mm256_maddubs_epi16(_mm256_unpackhi_epi8(farNear, farFar), w31));
    if constexpr (SmallFactors) {
        // factor holds 32 x k: (sum x k) >> 11 is the high half of sum x 32k, below 4080, which
        // the pack caps at 255.
        return _mm256_packus_epi16(_mm256_mulhi_epu16(sumLo, factor),
                                   _mm256_mulhi_epu16(sumHi, factor));
    } else {
        // factor holds 2 x k: (sum x k) >> 11 is the high half of (16 x sum) x 2k.
        const __m256i cap = _mm256_set1_epi16(255);
        const __m256i lo =
            _mm256_min_epu16(_mm256_mulhi_epu16(_mm256_slli_epi16(sumLo, 4), factor), cap);
        const __m256i hi =
            _mm256_min_epu16(_mm256_mulhi_epu16(_mm256_slli_epi16(sumHi, 4), factor), cap);
        return _mm256_packus_epi16(lo, hi);
    }
}

template <bool SmallFactors>
struct ByteStepper {
    Roles<std::uint8_t> roles;
    __m256i redFactor;
    __m256i blueFactor;
    std::uint8_t *outRow;
    bool fourBytes;
    bool wholePixels;
    TripleMasks triples;

    bool alignedAt(int x) const {
        return (reinterpret_cast<std::uintptr_t>(outRow + (fourBytes ? 4 : 3) * x) & 31) == 0;
    }

    // 32 pixels from column x.
    OSTREL_AVX2 inline ByteStep compute(int x, const StepMasks &m) const {
        const Roles<std::uint8_t> &r = roles;
        // Red sits at column phase 0: in column x itself (far one at x - 2) where x has phase 0,
        // else in x - 1 (far one at x + 1). Blue the other way round.
        const __m256i rn0 = load(r.redNear + x), rnM1 = load(r.redNear + x - 1);
        const __m256i rnM2 = load(r.redNear + x - 2), rnP1 = load(r.redNear + x + 1);
        const __m256i rf0 = load(r.redFar + x), rfM1 = load(r.redFar + x - 1);
        const __m256i rfM2 = load(r.redFar + x - 2), rfP1 = load(r.redFar + x + 1);
        const __m256i bn0 = load(r.blueNear + x), bnM1 = load(r.blueNear + x - 1);
        const __m256i bnM2 = load(r.blueNear + x - 2), bnP1 = load(r.blueNear + x + 1);
        const __m256i bf0 = load(r.blueFar + x), bfM1 = load(r.blueFar + x - 1);
        const __m256i bfM2 = load(r.blueFar + x - 2), bfP1 = load(r.blueFar + x + 1);

        ByteStep s;
        s.red =
            colourBytes<SmallFactors>(pick(rn0, rnM1, m.odd), pick(rnM2, rnP1, m.odd),
                                      pick(rf0, rfM1, m.odd), pick(rfM2, rfP1, m.odd), redFactor);
        s.blue =
            colourBytes<SmallFactors>(pick(bnM1, bn0, m.odd), pick(bnP1, bnM2, m.odd),
                                      pick(bfM1, bf0, m.odd), pick(bfP1, bfM2, m.odd), blueFactor);
        // The greens: row y's in x or x - 1, row y-1's in the other one. Rows y-1 and y are the
        // near rows of red and blue, so their samples are loaded already.
        const __m256i b0 = r.rowBIsRedNear ? rn0 : bn0;
        const __m256i bM1 = r.rowBIsRedNear ? rnM1 : bnM1;
        const __m256i c0 = r.rowBIsRedNear ? bn0 : rn0;
        const __m256i cM1 = r.rowBIsRedNear ? bnM1 : rnM1;
        const __m256i gC = pick(c0, cM1, m.greenLeft);
        const __m256i gB = pick(bM1, b0, m.greenLeft);
        // Floor of the mean: the rounding-up average minus the lost half.
        s.green = _mm256_sub_epi8(_mm256_avg_epu8(gB, gC),
                                  _mm256_and_si256(_mm256_xor_si256(gB, gC), _mm256_set1_epi8(1)));
        return s;
    }

    template <bool Stream>
    OSTREL_AVX2 inline void at(int x, const StepMasks &m) {
        const ByteStep s = compute(x, m);
        if (!fourBytes) {
            storeTriples<Stream>(outRow + 3 * x, s.blue, s.green, s.red, triples);
            return;
        }
        const __m256i keep = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
        const __m256i bgLo = _mm256_unpacklo_epi8(s.blue, s.green);
        const __m256i bgHi = _mm256_unpackhi_epi8(s.blue, s.green);
        const __m256i r0Lo = _mm256_unpacklo_epi8(s.red, _mm256_setzero_si256());
        const __m256i r0Hi = _mm256_unpackhi_epi8(s.red, _mm256_setzero_si256());
        const __m256i q0 = _mm256_unpacklo_epi16(bgLo, r0Lo);  // pixels 0-3 | 16-19
        const __m256i q1 = _mm256_unpackhi_epi16(bgLo, r0Lo);  // 4-7 | 20-23
        const __m256i q2 = _mm256_unpacklo_epi16(bgHi, r0Hi);  // 8-11 | 24-27
        const __m256i q3 = _mm256_unpackhi_epi16(bgHi, r0Hi);  // 12-15 | 28-31
        const __m256i blocks[4] = {
            _mm256_permute2x128_si256(q0, q1, 0x20), _mm256_permute2x128_si256(q2, q3, 0x20),
            _mm256_permute2x128_si256(q0, q1, 0x31), _mm256_permute2x128_si256(q2, q3, 0x31)};
        storeQuads<Stream>(outRow + 4 * x, blocks, wholePixels, keep);
    }
};

template <bool SmallFactors>
OSTREL_AVX2 void rowBytesWith(const Geometry &g, const RowWindow<std::uint8_t> &w, int y,
                              int xBegin, int xEnd) {
    constexpr int kStep = 32;
    const int rowPhase = g.rowPhase0 ^ (y & 1);
    ByteStepper<SmallFactors> stepper;
    stepper.roles = rolesFor(w, rowPhase);
    const std::uint32_t scale = SmallFactors ? 32 : 2;
    stepper.redFactor = _mm256_set1_epi16(static_cast<short>(g.redFactor * scale));
    stepper.blueFactor = _mm256_set1_epi16(static_cast<short>(g.blueFactor * scale));
    stepper.outRow = g.dst + y * g.dstStride;
    stepper.fourBytes = g.dstBytes == 4;
    stepper.wholePixels = g.wholePixels;
    if (!stepper.fourBytes) {
        stepper.triples = makeTripleMasks(1);
    }
    const StepMasks masks[2] = {stepMasks(0, rowPhase, 1), stepMasks(1, rowPhase, 1)};
    runSteps<kStep>(stepper, xBegin, xEnd, masks, g.colPhase0,
                    g.streaming && (!stepper.fourBytes || g.wholePixels));
}

OSTREL_AVX2 void rowBytes(const Geometry &g, const RowWindow<std::uint8_t> &w, int y, int xBegin,
                          int xEnd) {
    if (xEnd - xBegin < 32) {
        rowPortable<std::uint8_t>(g, w, y, xBegin, xEnd);
    } else if (factorsBelowLimit(g)) {
        rowBytesWith<true>(g, w, y, xBegin, xEnd);
    } else {
        rowBytesWith<false>(g, w, y, xBegin, xEnd);
    }
}

// ---- 10-bit samples in 16-bit words ---------------------------------------------------------

struct WordStep {
    __m256i blue;
    __m256i green;
    __m256i red;
};

// 9 x near + 3 x (nearFar + farNear) + farFar, scaled and capped at 1023. Every term is a sample
// limited to 1023, so the sum (at most 16368) fits in 16 bits; so does 4 x sum. Factors below 2048
// scale the sum itself (factor holds 32 x k), larger ones (below 8192) 4 x sum (factor holds 8 x
// k).
template <bool SmallFactors>
OSTREL_AVX2 inline __m256i colourWords(__m256i nearNear, __m256i nearFar, __m256i farNear,
                                       __m256i farFar, __m256i factor, __m256i cap) {
    const __m256i sum = _mm256_add_epi16(
        _mm256_add_epi16(_mm256_mullo_epi16(_mm256_min_epu16(nearNear, cap), _mm256_set1_epi16(9)),
                         _mm256_mullo_epi16(_mm256_add_epi16(_mm256_min_epu16(nearFar, cap),
                                                             _mm256_min_epu16(farNear, cap)),
                                            _mm256_set1_epi16(3))),
        _mm256_min_epu16(farFar, cap));
    const __m256i scaled = SmallFactors ? sum : _mm256_slli_epi16(sum, 2);
    return _mm256_min_epu16(_mm256_mulhi_epu16(scaled, factor), cap);
}

template <bool SmallFactors>
struct WordStepper {
    Roles<std::uint16_t> roles;
    __m256i redFactor;
    __m256i blueFactor;
    std::uint8_t *outRow;
    bool fourWords;
    bool wholePixels;
    TripleMasks triples;

    bool alignedAt(int x) const {
        return (reinterpret_cast<std::uintptr_t>(outRow + (fourWords ? 8 : 6) * x) & 31) == 0;
    }

    // 16 pixels from column x. Samples above 1023 are limited after the selection, where fewer
    // vectors remain.
    OSTREL_AVX2 inline WordStep compute(int x, const StepMasks &m) const {
        const Roles<std::uint16_t> &r = roles;
        const __m256i cap = _mm256_set1_epi16(1023);
        const __m256i rn0 = load(r.redNear + x), rnM1 = load(r.redNear + x - 1);
        const __m256i rnM2 = load(r.redNear + x - 2), rnP1 = load(r.redNear + x + 1);
        const __m256i rf0 = load(r.redFar + x), rfM1 = load(r.redFar + x - 1);
        const __m256i rfM2 = load(r.redFar + x - 2), rfP1 = load(r.redFar + x + 1);
        const __m256i bn0 = load(r.blueNear + x), bnM1 = load(r.blueNear + x - 1);
        const __m256i bnM2 = load(r.blueNear + x - 2), bnP1 = load(r.blueNear + x + 1);
        const __m256i bf0 = load(r.blueFar + x), bfM1 = load(r.blueFar + x - 1);
        const __m256i bfM2 = load(r.blueFar + x - 2), bfP1 = load(r.blueFar + x + 1);

        WordStep s;
        s.red = colourWords<SmallFactors>(pick(rn0, rnM1, m.odd), pick(rnM2, rnP1, m.odd),
                                          pick(rf0, rfM1, m.odd), pick(rfM2, rfP1, m.odd),
                                          redFactor, cap);
        s.blue = colourWords<SmallFactors>(pick(bnM1, bn0, m.odd), pick(bnP1, bnM2, m.odd),
                                           pick(bfM1, bf0, m.odd), pick(bfP1, bfM2, m.odd),
                                           blueFactor, cap);
        const __m256i b0 = r.rowBIsRedNear ? rn0 : bn0;
        const __m256i bM1 = r.rowBIsRedNear ? rnM1 : bnM1;
        const __m256i c0 = r.rowBIsRedNear ? bn0 : rn0;
        const __m256i cM1 = r.rowBIsRedNear ? bnM1 : rnM1;
        const __m256i gC = _mm256_min_epu16(pick(c0, cM1, m.greenLeft), cap);
        const __m256i gB = _mm256_min_epu16(pick(bM1, b0, m.greenLeft), cap);
        s.green = _mm256_srli_epi16(_mm256_add_epi16(gB, gC), 1);
        return s;
    }

    template <bool Stream>
    OSTREL_AVX2 inline void at(int x, const StepMasks &m) {
        const WordStep s = compute(x, m);
        if (!fourWords) {
            storeTriples<Stream>(outRow + 6 * x, s.blue, s.green, s.red, triples);
            return;
        }
        const __m256i keep = _mm256_set1_epi64x(static_cast<long long>(0xFFFF000000000000ull));
        const __m256i bgLo = _mm256_unpacklo_epi16(s.blue, s.green);
        const __m256i bgHi = _mm256_unpackhi_epi16(s.blue, s.green);
        const __m256i r0Lo = _mm256_unpacklo_epi16(s.red, _mm256_setzero_si256());
        const __m256i r0Hi = _mm256_unpackhi_epi16(s.red, _mm256_setzero_si256());
        const __m256i q0 = _mm256_unpacklo_epi32(bgLo, r0Lo);  // pixels 0-1 | 8-9
        const __m256i q1 = _mm256_unpackhi_epi32(bgLo, r0Lo);  // 2-3 | 10-11
        const __m256i q2 = _mm256_unpacklo_epi32(bgHi, r0Hi);  // 4-5 | 12-13
        const __m256i q3 = _mm256_unpackhi_epi32(bgHi, r0Hi);  // 6-7 | 14-15
        const __m256i blocks[4] = {
            _mm256_permute2x128_si256(q0, q1, 0x20), _mm256_permute2x128_si256(q2, q3, 0x20),
            _mm256_permute2x128_si256(q0, q1, 0x31), _mm256_permute2x128_si256(q2, q3, 0x31)};
        storeQuads<Stream>(outRow + 8 * x, blocks, wholePixels, keep);
    }
};

template <bool SmallFactors>
OSTREL_AVX2 void rowWordsWith(const Geometry &g, const RowWindow<std::uint16_t> &w, int y,
                              int xBegin, int xEnd) {
    constexpr int kStep = 16;
    const int rowPhase = g.rowPhase0 ^ (y & 1);
    WordStepper<SmallFactors> stepper;
    stepper.roles = rolesFor(w, rowPhase);
    const std::uint32_t scale = SmallFactors ? 32 : 8;
    stepper.redFactor = _mm256_set1_epi16(static_cast<short>(g.redFactor * scale));
    stepper.blueFactor = _mm256_set1_epi16(static_cast<short>(g.blueFactor * scale));
    stepper.outRow = g.dst + y * g.dstStride;
    stepper.fourWords = g.dstBytes == 8;
    stepper.wholePixels = g.wholePixels;
    if (!stepper.fourWords) {
        stepper.triples = makeTripleMasks(2);
    }
    const StepMasks masks[2] = {stepMasks(0, rowPhase, 2), stepMasks(1, rowPhase, 2)};
    runSteps<kStep>(stepper, xBegin, xEnd, masks, g.colPhase0,
                    g.streaming && (!stepper.fourWords || g.wholePixels));
}

OSTREL_AVX2 void rowWords(const Geometry &g, const RowWindow<std::uint16_t> &w, int y, int xBegin,
                          int xEnd) {
    if (xEnd - xBegin < 16) {
        rowPortable<std::uint16_t>(g, w, y, xBegin, xEnd);
    } else if (factorsBelowLimit(g)) {
        rowWordsWith<true>(g, w, y, xBegin, xEnd);
    } else {
        rowWordsWith<false>(g, w, y, xBegin, xEnd);
    }
}

}  // namespace

void rowAvx2Bytes(const Geometry &g, const RowWindow<std::uint8_t> &w, int y, int xBegin,
                  int xEnd) {
    rowBytes(g, w, y, xBegin, xEnd);
}

void finishStreaming() {
    _mm_sfence();
}

void rowAvx2Words(const Geometry &g, const RowWindow<std::uint16_t> &w, int y, int xBegin,
                  int xEnd) {
    rowWords(g, w, y, xBegin, xEnd);
}

#else  // no x86: the plain routines only

void rowAvx2Bytes(const Geometry &g, const RowWindow<std::uint8_t> &w, int y, int xBegin,
                  int xEnd) {
    rowPortable<std::uint8_t>(g, w, y, xBegin, xEnd);
}

void rowAvx2Words(const Geometry &g, const RowWindow<std::uint16_t> &w, int y, int xBegin,
                  int xEnd) {
    rowPortable<std::uint16_t>(g, w, y, xBegin, xEnd);
}

void finishStreaming() {}

#endif

}  // namespace ostrel::imaging::demosaic_detail
