// Unsharp masking kernels. The fast version works row by row: the vertical sums of four rows,
// then the horizontal sums of four columns give each 4 x 4 mean, and the sharpened sample is
// computed from it straight away (the two passes of the reference give the same values because
// the second pass reads only the mean of the same sample).
#include "imaging/sharpen.h"

#include <algorithm>
#include <cstdlib>

#include "imaging/adjustment_params.h"
#include "imaging/cpu_features.h"
#include "imaging/kernel_region.h"
#include "imaging/worker_pool.h"

namespace ostrel::imaging {
namespace {

constexpr int kMinRowsPerBand = 8;
// Samples handled per step of a row, so the sums fit in small buffers on the stack.
constexpr int kChunk = 1024;
// Settings up to this size keep s * difference within 16 bits for 10-bit samples, which lets
// the compiler vectorise the difference term; larger (stored) settings use the table.
constexpr int kSmallSetting = 32;

// The difference term (s * diff) / 10, truncated toward zero. Limiting it to +-(top + 1) leaves
// every clipped result the same while keeping any stored setting free of overflow.
int differenceTerm(std::int32_t setting, int diff, int top) {
    const std::int64_t term = static_cast<std::int64_t>(setting) * diff / 10;
    return static_cast<int>(std::clamp<std::int64_t>(term, -(top + 1), top + 1));
}

template <typename Sample>
int sampleValue(Sample s) {
    if constexpr (sizeof(Sample) == 1) {
        return s;
    } else {
        return clampTo10(s);
    }
}

struct SharpenJob {
    KernelRegion region;
    int samplesPerPixel = 0;  // bytes per pixel over sample size
    int channels = 0;         // samples per pixel that are sharpened
    std::int32_t setting = 0;
    const int *table = nullptr;  // difference term by diff + top, 2 * top + 1 entries
};

// The 4 x 4 mean from four vertical sums. Sixteen samples of at most 1023 sum to 16368, so the
// sum is taken in 16 bits, which keeps the compiler's vectors at 16-bit lanes.
__attribute__((always_inline)) inline int meanOf(const std::uint16_t *sums, int k, int spp) {
    const auto total =
        static_cast<std::uint16_t>(sums[k] + sums[k + spp] + sums[k + 2 * spp] + sums[k + 3 * spp]);
    return total >> 4;
}

// The row loop, inlined into a plain and an AVX2 entry point: the same source compiled twice, so
// the compiler's vectorised loops use 32-byte vectors where the processor has them.
template <typename Sample, int kTop>
__attribute__((always_inline)) inline void sharpenRowsBody(const SharpenJob &job, int firstRow,
                                                           int endRow) {
    const KernelRegion &r = job.region;
    const int spp = job.samplesPerPixel;
    const int begin = 2 * spp;
    const int stop = (r.width - 2) * spp;
    const bool small = std::abs(job.setting) <= kSmallSetting;
    const auto setting = static_cast<std::int16_t>(small ? job.setting : 0);

    std::uint16_t sums[kChunk + 3 * 4];  // vertical sums, 3 pixels of margin
    std::int16_t result[kChunk];
    for (int y = firstRow; y < endRow; ++y) {
        const Sample *rows[4];
        for (int k = 0; k < 4; ++k) {
            rows[k] = reinterpret_cast<const Sample *>(r.srcRow(y - 2 + k));
        }
        const Sample *centre = reinterpret_cast<const Sample *>(r.srcRow(y));
        Sample *out = reinterpret_cast<Sample *>(r.dstRow(y));
        for (int a = begin; a < stop; a += kChunk) {
            const int b = std::min(a + kChunk, stop);
            const int count = b - a;
            const int base = a - 2 * spp;
            const int sumCount = count + 3 * spp;
            for (int j = 0; j < sumCount; ++j) {
                sums[j] = static_cast<std::uint16_t>(
                    sampleValue(rows[0][base + j]) + sampleValue(rows[1][base + j]) +
                    sampleValue(rows[2][base + j]) + sampleValue(rows[3][base + j]));
            }
            if (small) {
                for (int k = 0; k < count; ++k) {
                    const int mean = meanOf(sums, k, spp);
                    const int v = sampleValue(centre[a + k]);
                    const auto diff = static_cast<std::int16_t>(v - mean);
                    const auto term =
                        static_cast<std::int16_t>(static_cast<std::int16_t>(setting * diff) / 10);
                    const int sharpened = v + term;
                    result[k] = static_cast<std::int16_t>(
                        sharpened < 0 ? 0 : (sharpened > kTop ? kTop : sharpened));
                }
            } else {
                for (int k = 0; k < count; ++k) {
                    const int mean = meanOf(sums, k, spp);
                    const int v = sampleValue(centre[a + k]);
                    const int sharpened = v + job.table[v - mean + kTop];
                    result[k] = static_cast<std::int16_t>(
                        sharpened < 0 ? 0 : (sharpened > kTop ? kTop : sharpened));
                }
            }
            if (spp == job.channels) {
                for (int k = 0; k < count; ++k) {
                    out[a + k] = static_cast<Sample>(result[k]);
                }
            } else {
                // Only the first channels of each pixel (the channel is the sample's index in
                // the row modulo spp); a fourth sample is left alone.
                for (int k = 0; k < count; ++k) {
                    if ((a + k) % spp < job.channels) {
                        out[a + k] = static_cast<Sample>(result[k]);
                    }
                }
            }
        }
    }
}

template <typename Sample, int kTop>
void sharpenRows(const SharpenJob &job, int firstRow, int endRow) {
    sharpenRowsBody<Sample, kTop>(job, firstRow, endRow);
}

#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
template <typename Sample, int kTop>
__attribute__((target("avx2"))) void sharpenRowsAvx2(const SharpenJob &job, int firstRow,
                                                     int endRow) {
    sharpenRowsBody<Sample, kTop>(job, firstRow, endRow);
}
#endif

template <typename Sample, int kTop>
std::int32_t sharpen(const KernelArgs &args, int channels) {
    SharpenJob job;
    job.region = kernelRegion(args);
    const KernelRegion &r = job.region;
    constexpr int kSampleBytes = sizeof(Sample);
    if (r.empty() || r.dst == nullptr || r.width < 5 || r.height < 5 ||
        r.srcBytesPerPixel != r.dstBytesPerPixel || r.srcBytesPerPixel < channels * kSampleBytes ||
        r.srcBytesPerPixel % kSampleBytes != 0) {
        return 1;
    }
    job.samplesPerPixel = r.srcBytesPerPixel / kSampleBytes;
    job.channels = channels;
    job.setting = singleValue(args.params);
    int table[2 * kTop + 1];
    for (int k = 0; k <= 2 * kTop; ++k) {
        table[k] = differenceTerm(job.setting, k - kTop, kTop);
    }
    job.table = table;
    void (*rows)(const SharpenJob &, int, int) = sharpenRows<Sample, kTop>;
#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
    if (hasCpuFeatures(kCpuAvx2)) {
        rows = sharpenRowsAvx2<Sample, kTop>;
    }
#endif
    parallelRows(r.height - 4, kMinRowsPerBand,
                 [&](int first, int end) { rows(job, first + 2, end + 2); });
    return 1;
}

}  // namespace

std::int32_t Sharpen8(const KernelArgs &args) {
    return sharpen<std::uint8_t, 255>(args, 1);
}
std::int32_t Sharpen24(const KernelArgs &args) {
    return sharpen<std::uint8_t, 255>(args, 3);
}
std::int32_t Sharpen16(const KernelArgs &args) {
    return sharpen<std::uint16_t, 1023>(args, 1);
}
std::int32_t Sharpen48(const KernelArgs &args) {
    return sharpen<std::uint16_t, 1023>(args, 3);
}

namespace reference {
namespace {

int load(const std::uint8_t *p, int sampleBytes) {
    return sampleBytes == 1 ? *p : clampTo10(loadWord(p));
}

void store(std::uint8_t *p, int sampleBytes, int value) {
    if (sampleBytes == 1) {
        *p = static_cast<std::uint8_t>(value);
    } else {
        storeWord(p, static_cast<std::uint16_t>(value));
    }
}

std::int32_t sharpen(const KernelArgs &args, int sampleBytes, int channels) {
    const KernelRegion r = kernelRegion(args);
    if (r.empty() || r.dst == nullptr) {
        return 1;
    }
    const int top = sampleBytes == 1 ? 255 : kTop10;
    const std::int32_t s = singleValue(args.params);
    auto srcAt = [&](int x, int y, int c) {
        return r.srcRow(y) + x * r.srcBytesPerPixel + c * sampleBytes;
    };
    auto dstAt = [&](int x, int y, int c) {
        return r.dstRow(y) + x * r.dstBytesPerPixel + c * sampleBytes;
    };
    // Pass 1: the 4 x 4 means into the output image.
    for (int y = 2; y <= r.height - 3; ++y) {
        for (int x = 2; x <= r.width - 3; ++x) {
            for (int c = 0; c < channels; ++c) {
                int sum = 0;
                for (int yy = y - 2; yy <= y + 1; ++yy) {
                    for (int xx = x - 2; xx <= x + 1; ++xx) {
                        sum += load(srcAt(xx, yy, c), sampleBytes);
                    }
                }
                store(dstAt(x, y, c), sampleBytes, sum >> 4);
            }
        }
    }
    // Pass 2: each sample plus the table's share of its difference to the mean.
    for (int y = 2; y <= r.height - 3; ++y) {
        for (int x = 2; x <= r.width - 3; ++x) {
            for (int c = 0; c < channels; ++c) {
                const int v = load(srcAt(x, y, c), sampleBytes);
                const int u = load(dstAt(x, y, c), sampleBytes);
                const int out = v + differenceTerm(s, v - u, top);
                store(dstAt(x, y, c), sampleBytes, std::clamp(out, 0, top));
            }
        }
    }
    return 1;
}

}  // namespace

std::int32_t Sharpen8(const KernelArgs &args) {
    return sharpen(args, 1, 1);
}
std::int32_t Sharpen16(const KernelArgs &args) {
    return sharpen(args, 2, 1);
}
std::int32_t Sharpen24(const KernelArgs &args) {
    return sharpen(args, 1, 3);
}
std::int32_t Sharpen48(const KernelArgs &args) {
    return sharpen(args, 2, 3);
}

}  // namespace reference
}  // namespace ostrel::imaging
