// Table passes over 8-bit and 10-bit images, split into row bands.
#include "imaging/sample_tables.h"

#include <cstring>
#include <memory>
#include <new>

#include "imaging/cpu_features.h"
#include "imaging/kernel_region.h"
#include "imaging/sample_tables_vbmi.h"
#include "imaging/worker_pool.h"

namespace ostrel::imaging {
namespace {

// Rows per band: enough that a band is worth a thread hand-over.
constexpr int kMinRowsPerBand = 16;

// Images with at least this many samples are mapped two bytes per look-up through a table of
// all byte pairs (128 KB, built once per call): half the look-ups, which is what limits a
// byte-table pass.
constexpr std::size_t kPairTableMinSamples = std::size_t{1} << 16;

// pairs[b0 | b1 << 8] holds table[b0] | table[b1] << 8, so a little-endian 16-bit load of two
// samples looks both up at once.
std::unique_ptr<std::uint16_t[]> makePairTable(const Table8 &table) {
    std::unique_ptr<std::uint16_t[]> pairs(new (std::nothrow) std::uint16_t[65536]);
    if (pairs) {
        for (int hi = 0; hi < 256; ++hi) {
            const auto high = static_cast<std::uint16_t>(table[hi] << 8);
            for (int lo = 0; lo < 256; ++lo) {
                pairs[hi << 8 | lo] = static_cast<std::uint16_t>(high | table[lo]);
            }
        }
    }
    return pairs;
}

// Maps n consecutive bytes through the pair table, eight per step in two 32-bit words.
void mapBytesPaired(const std::uint8_t *src, std::uint8_t *dst, int n, const std::uint16_t *pairs,
                    const Table8 &table) {
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint32_t w0, w1;
        std::memcpy(&w0, src + i, 4);
        std::memcpy(&w1, src + i + 4, 4);
        const std::uint32_t o0 = pairs[w0 & 0xFFFFu] | static_cast<std::uint32_t>(pairs[w0 >> 16])
                                                           << 16;
        const std::uint32_t o1 = pairs[w1 & 0xFFFFu] | static_cast<std::uint32_t>(pairs[w1 >> 16])
                                                           << 16;
        std::memcpy(dst + i, &o0, 4);
        std::memcpy(dst + i + 4, &o1, 4);
    }
    for (; i < n; ++i) {
        dst[i] = table[src[i]];
    }
}

// Maps blue, green, red of n 4-byte pixels; the destination's fourth byte keeps its value.
void mapQuadsPaired(const std::uint8_t *src, std::uint8_t *dst, int n, const std::uint16_t *pairs,
                    const Table8 &table) {
    for (int x = 0; x < n; ++x) {
        std::uint32_t w, kept;
        std::memcpy(&w, src + 4 * x, 4);
        std::memcpy(&kept, dst + 4 * x, 4);
        const std::uint32_t o = pairs[w & 0xFFFFu] |
                                static_cast<std::uint32_t>(table[(w >> 16) & 0xFFu]) << 16 |
                                (kept & 0xFF000000u);
        std::memcpy(dst + 4 * x, &o, 4);
    }
}

// Maps n consecutive bytes (blue, green, red packed, or grey).
void mapBytes(const std::uint8_t *src, std::uint8_t *dst, int n, const Table8 &table) {
    int i = 0;
    // Eight samples per step: the loads, look-ups and stores of one step are independent.
    for (; i + 8 <= n; i += 8) {
        const std::uint8_t a0 = table[src[i]], a1 = table[src[i + 1]], a2 = table[src[i + 2]],
                           a3 = table[src[i + 3]], a4 = table[src[i + 4]], a5 = table[src[i + 5]],
                           a6 = table[src[i + 6]], a7 = table[src[i + 7]];
        dst[i] = a0;
        dst[i + 1] = a1;
        dst[i + 2] = a2;
        dst[i + 3] = a3;
        dst[i + 4] = a4;
        dst[i + 5] = a5;
        dst[i + 6] = a6;
        dst[i + 7] = a7;
    }
    for (; i < n; ++i) {
        dst[i] = table[src[i]];
    }
}

void mapPixels8(const std::uint8_t *src, int srcStep, std::uint8_t *dst, int dstStep, int n,
                const Table8 &table) {
    for (int x = 0; x < n; ++x) {
        const std::uint8_t b = table[src[0]], g = table[src[1]], r = table[src[2]];
        dst[0] = b;
        dst[1] = g;
        dst[2] = r;
        src += srcStep;
        dst += dstStep;
    }
}

void mapWords(const std::uint16_t *src, std::uint16_t *dst, int n, const Table10 &table) {
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const std::uint16_t a0 = table[clampTo10(src[i])], a1 = table[clampTo10(src[i + 1])],
                            a2 = table[clampTo10(src[i + 2])], a3 = table[clampTo10(src[i + 3])];
        dst[i] = a0;
        dst[i + 1] = a1;
        dst[i + 2] = a2;
        dst[i + 3] = a3;
    }
    for (; i < n; ++i) {
        dst[i] = table[clampTo10(src[i])];
    }
}

void mapPixels10(const std::uint16_t *src, int srcStep, std::uint16_t *dst, int dstStep, int n,
                 const Table10 &table) {
    for (int x = 0; x < n; ++x) {
        const std::uint16_t b = table[clampTo10(src[0])], g = table[clampTo10(src[1])],
                            r = table[clampTo10(src[2])];
        dst[0] = b;
        dst[1] = g;
        dst[2] = r;
        src += srcStep;
        dst += dstStep;
    }
}

bool usable(const KernelRegion &region, int channels, int sampleBytes) {
    if (region.empty() || region.dst == nullptr) {
        return false;
    }
    const int need = channels * sampleBytes;
    return region.srcBytesPerPixel >= need && region.dstBytesPerPixel >= need;
}

}  // namespace

void applyTable8(const KernelArgs &args, const Table8 &table, int channels) {
    const KernelRegion region = kernelRegion(args);
    if (!usable(region, channels, 1)) {
        return;
    }
    const int sbpp = region.srcBytesPerPixel, dbpp = region.dstBytesPerPixel;
    // Samples that lie back to back in both images are mapped as one run per row; 4-byte pixels
    // of the same layout in both images as 32-bit words.
    const bool packed = sbpp == dbpp && sbpp == channels;
    const bool quads = channels == 3 && sbpp == 4 && dbpp == 4;
    const bool vbmi = (packed || quads) && hasCpuFeatures(kCpuAvx512Vbmi);
    std::unique_ptr<std::uint16_t[]> pairs;
    if (!vbmi && (packed || quads) &&
        static_cast<std::size_t>(region.width) * region.height * channels >= kPairTableMinSamples) {
        pairs = makePairTable(table);
    }
    parallelRows(region.height, kMinRowsPerBand, [&](int first, int end) {
        for (int y = first; y < end; ++y) {
            const std::uint8_t *s = region.srcRow(y);
            std::uint8_t *d = region.dstRow(y);
            if (vbmi && packed) {
                table_detail::mapBytesVbmi(s, d, region.width * channels, table);
            } else if (vbmi) {
                table_detail::mapQuadsVbmi(s, d, region.width, table);
            } else if (pairs && packed) {
                mapBytesPaired(s, d, region.width * channels, pairs.get(), table);
            } else if (pairs && quads) {
                mapQuadsPaired(s, d, region.width, pairs.get(), table);
            } else if (packed) {
                mapBytes(s, d, region.width * channels, table);
            } else if (channels == 1) {
                for (int x = 0; x < region.width; ++x) {
                    d[x * dbpp] = table[s[x * sbpp]];
                }
            } else {
                mapPixels8(s, sbpp, d, dbpp, region.width, table);
            }
        }
    });
}

void applyTable10(const KernelArgs &args, const Table10 &table, int channels) {
    const KernelRegion region = kernelRegion(args);
    if (!usable(region, channels, 2)) {
        return;
    }
    const int sstep = region.srcBytesPerPixel / 2, dstep = region.dstBytesPerPixel / 2;
    const bool packed = sstep == dstep && sstep == channels;
    parallelRows(region.height, kMinRowsPerBand, [&](int first, int end) {
        for (int y = first; y < end; ++y) {
            const auto *s = reinterpret_cast<const std::uint16_t *>(region.srcRow(y));
            auto *d = reinterpret_cast<std::uint16_t *>(region.dstRow(y));
            if (packed) {
                mapWords(s, d, region.width * channels, table);
            } else if (channels == 1) {
                for (int x = 0; x < region.width; ++x) {
                    d[x * dstep] = table[clampTo10(s[x * sstep])];
                }
            } else {
                mapPixels10(s, sstep, d, dstep, region.width, table);
            }
        }
    });
}

namespace reference {

void applyTable8(const KernelArgs &args, const Table8 &table, int channels) {
    const KernelRegion region = kernelRegion(args);
    if (!usable(region, channels, 1)) {
        return;
    }
    for (int y = 0; y < region.height; ++y) {
        for (int x = 0; x < region.width; ++x) {
            const std::uint8_t *s = region.srcRow(y) + x * region.srcBytesPerPixel;
            std::uint8_t *d = region.dstRow(y) + x * region.dstBytesPerPixel;
            for (int c = 0; c < channels; ++c) {
                d[c] = table[s[c]];
            }
        }
    }
}

void applyTable10(const KernelArgs &args, const Table10 &table, int channels) {
    const KernelRegion region = kernelRegion(args);
    if (!usable(region, channels, 2)) {
        return;
    }
    for (int y = 0; y < region.height; ++y) {
        for (int x = 0; x < region.width; ++x) {
            const std::uint8_t *s = region.srcRow(y) + x * region.srcBytesPerPixel;
            std::uint8_t *d = region.dstRow(y) + x * region.dstBytesPerPixel;
            for (int c = 0; c < channels; ++c) {
                storeWord(d + 2 * c, table[clampTo10(loadWord(s + 2 * c))]);
            }
        }
    }
}

}  // namespace reference
}  // namespace ostrel::imaging
