// Two-sided readout re-ordering. The fast version splits 16 pairs at a time into their left and
// right bytes with SSE2 (present on every processor both builds target) and reverses the right
// bytes in registers; a frame is bounded by memory traffic, not arithmetic.
#include "device/two_sided_readout.h"

#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "device/split_frame.h"

namespace ostrel::device {

namespace {

void reorderRowScalar(const std::uint8_t *src, std::uint8_t *dst, int first, int pairs) {
    const int last = 2 * pairs - 1;
    for (int j = first; j < pairs; ++j) {
        dst[j] = src[2 * j];
        dst[last - j] = src[2 * j + 1];
    }
}

#if defined(__SSE2__)
// Reverses the 16 bytes of a register.
inline __m128i reverseBytes(__m128i v) {
    v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));  // bytes within words
    v = _mm_shufflelo_epi16(v, 0x1B);                              // words within each half
    v = _mm_shufflehi_epi16(v, 0x1B);
    return _mm_shuffle_epi32(v, 0x4E);  // the two halves
}

void reorderRow(const std::uint8_t *src, std::uint8_t *dst, int pairs) {
    const __m128i lowBytes = _mm_set1_epi16(0x00FF);
    int j = 0;
    for (; j + 16 <= pairs; j += 16) {
        const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + 2 * j));
        const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + 2 * j + 16));
        const __m128i left =
            _mm_packus_epi16(_mm_and_si128(v0, lowBytes), _mm_and_si128(v1, lowBytes));
        const __m128i right = _mm_packus_epi16(_mm_srli_epi16(v0, 8), _mm_srli_epi16(v1, 8));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + j), left);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + 2 * pairs - 16 - j),
                         reverseBytes(right));
    }
    reorderRowScalar(src, dst, j, pairs);
}
#else
void reorderRow(const std::uint8_t *src, std::uint8_t *dst, int pairs) {
    reorderRowScalar(src, dst, 0, pairs);
}
#endif

}  // namespace

void reorderTwoSided(const std::uint8_t *source, std::uint8_t *destination, int rows, int pairs,
                     int rowWidth) {
    for (int r = 0; r < rows; ++r) {
        reorderRow(source + static_cast<std::size_t>(r) * 2 * pairs,
                   destination + static_cast<std::size_t>(r) * rowWidth, pairs);
    }
}

void reorderTwoSidedRow(const std::uint8_t *source, std::uint8_t *destination, int pairs) {
    reorderRow(source, destination, pairs);
}

void reorderTwoSidedSplit(const std::uint8_t *first, const std::uint8_t *second, std::size_t split,
                          std::uint8_t *destination, int rows, int pairs, int rowWidth) {
    const SplitFrame frame{first, second, split};
    const std::size_t rowBytes = static_cast<std::size_t>(2) * pairs;
    std::vector<std::uint8_t> straddling;
    for (int r = 0; r < rows; ++r) {
        const std::uint8_t *row =
            frame.span(static_cast<std::size_t>(r) * rowBytes, rowBytes, straddling);
        reorderRow(row, destination + static_cast<std::size_t>(r) * rowWidth, pairs);
    }
}

void reorderTwoSidedReference(const std::uint8_t *source, std::uint8_t *destination, int rows,
                              int pairs, int rowWidth) {
    for (int r = 0; r < rows; ++r) {
        const std::uint8_t *src = source + static_cast<std::size_t>(r) * 2 * pairs;
        std::uint8_t *dst = destination + static_cast<std::size_t>(r) * rowWidth;
        for (int j = 0; j < pairs; ++j) {
            dst[j] = src[2 * j];
            dst[2 * pairs - 1 - j] = src[2 * j + 1];
        }
    }
}

}  // namespace ostrel::device
