// Table passes over 8-bit and 10-bit images, split into row bands.
#include "imaging/sample_tables.h"

#include <cstring>

#include "imaging/kernel_region.h"
#include "imaging/worker_pool.h"

namespace ostrel::imaging {
namespace {

// Rows per band: enough that a band is worth a thread hand-over.
constexpr int kMinRowsPerBand = 16;

// Maps n consecutive bytes (blue, green, red packed, or grey).
void mapBytes(const std::uint8_t *src, std::uint8_t *dst, int n, const Table8 &table) {
    int i = 0;
    // Eight samples per step: the loads, look-ups and stores of one step are independent.
    for (; i + 8 <= n; i += 8) {
        const std::uint8_t a0 = table[src[i]], a1 = table[src[i + 1]], a2 = table[src[i + 2]],
                           a3 = table[src[i + 3]], a4 = table[src[i + 4]],
                           a5 = table[src[i + 5]], a6 = table[src[i + 6]],
                           a7 = table[src[i + 7]];
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
    // Samples that lie back to back in both images are mapped as one run per row.
    const bool packed = sbpp == dbpp && sbpp == channels;
    parallelRows(region.height, kMinRowsPerBand, [&](int first, int end) {
        for (int y = first; y < end; ++y) {
            const std::uint8_t *s = region.srcRow(y);
            std::uint8_t *d = region.dstRow(y);
            if (packed) {
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
