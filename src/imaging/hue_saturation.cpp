// Hue and saturation kernels. The tables (reciprocals of the chroma and the saturation's chroma
// scale) are built on the stack for every call, so contexts running at once on several threads
// never share them.
#include "imaging/hue_saturation.h"

#include <algorithm>
#include <cstddef>

#include "imaging/adjustment_params.h"
#include "imaging/cpu_features.h"
#include "imaging/hue_saturation_avx2.h"
#include "imaging/kernel_region.h"
#include "imaging/worker_pool.h"

namespace ostrel::imaging {

HueShift hueShift(std::int32_t hue) {
    // The setting in 1/256 turns, modulo a full turn, as six sectors of 256 steps.
    const int h6 = static_cast<int>(((static_cast<std::uint32_t>(hue) * 256u) & 65535u) * 6u >> 8);
    int a = h6 % 512;
    if (a >= 256) {
        a -= 512;
    }
    const int b = ((h6 + 256) / 512) % 3;
    int shift = b * 510 + a;
    if (shift < 0) {
        shift += 1530;
    } else if (shift >= 1530) {
        shift -= 1530;
    }
    return HueShift{shift / 255, shift % 255};
}

namespace {

constexpr int kMinRowsPerBand = 8;

template <int kTop>
struct HueTables {
    std::int32_t reciprocal[kTop + 1];  // 16711680 / c: 255 * 65536 over the chroma
    std::int32_t chroma[kTop + 1];      // new chroma for each chroma, by the saturation
    HueShift shift;

    explicit HueTables(const HueSaturationParams &params) : shift(hueShift(params.hue)) {
        const std::int32_t saturation =
            std::clamp(params.saturation, kMinSaturation, kMaxSaturation);
        const std::int32_t scale = (saturation + 256) * 256;
        reciprocal[0] = 0;
        chroma[0] = 32768 >> 16;
        for (int c = 1; c <= kTop; ++c) {
            reciprocal[c] = 16711680 / c;
            chroma[c] = (32768 + c * scale) >> 16;
        }
    }
};

// Turns one pixel (channels 0..kTop).
template <int kTop>
inline void turnPixel(const HueTables<kTop> &t, int &blue, int &green, int &red) {
    const int mx = std::max(red, std::max(green, blue));
    const int mn = std::min(red, std::min(green, blue));
    const int c = mx - mn;
    const int l = mx + mn;
    const int limit = l <= kTop ? l : 2 * kTop + 1 - l;
    const int newChroma = std::min(t.chroma[c], limit);
    const int low = (l - newChroma) >> 1;
    const int span = ((l + newChroma) >> 1) - low;
    if (c == 0) {
        blue = green = red = low;
        return;
    }
    int base;
    int d;
    if (red >= green && red >= blue) {
        base = 1;
        d = green - blue;
    } else if (green >= blue) {
        base = 3;
        d = blue - red;
    } else {
        base = 5;
        d = red - green;
    }
    if (d < 0) {
        base -= 1;
        d += c;
    }
    int p = (d * t.reciprocal[c] + 32768) >> 16;
    p += t.shift.steps;
    int sector = base + t.shift.sectors;
    if (p >= 255) {
        p -= 255;
        sector += 1;
    }
    const int ramp = (span * p + 128) >> 8;
    int r = 0, g = 0, b = 0;
    switch (sector % 6) {
        case 0:
            r = span;
            g = 0;
            b = span - ramp;
            break;
        case 1:
            r = span;
            g = ramp;
            b = 0;
            break;
        case 2:
            r = span - ramp;
            g = span;
            b = 0;
            break;
        case 3:
            r = 0;
            g = span;
            b = ramp;
            break;
        case 4:
            r = 0;
            g = span - ramp;
            b = span;
            break;
        default:
            r = ramp;
            g = 0;
            b = span;
            break;
    }
    blue = low + b;
    green = low + g;
    red = low + r;
}

// Pixels per step of the AVX2 path: unpacked into three planes on the stack, turned, packed back.
constexpr int kPlanePixels = 256;

template <int kTop>
hue_detail::HueSetup setupOf(const HueTables<kTop> &t, const HueSaturationParams &params) {
    hue_detail::HueSetup setup;
    setup.top = kTop;
    setup.chromaScale = (std::clamp(params.saturation, kMinSaturation, kMaxSaturation) + 256) * 256;
    setup.sectors = t.shift.sectors;
    setup.steps = t.shift.steps;
    setup.reciprocal = t.reciprocal;
    return setup;
}

// One row through the AVX2 path. Sample is the channel type; a pixel is `step` samples apart.
template <int kTop, typename Sample>
void turnRowAvx2(const Sample *s, int sstep, Sample *d, int dstep, int width,
                 const HueTables<kTop> &t, const hue_detail::HueSetup &setup) {
    alignas(32) std::int32_t blue[kPlanePixels], green[kPlanePixels], red[kPlanePixels];
    for (int x0 = 0; x0 < width; x0 += kPlanePixels) {
        const int n = std::min(kPlanePixels, width - x0);
        const Sample *in = s + static_cast<std::ptrdiff_t>(x0) * sstep;
        for (int i = 0; i < n; ++i, in += sstep) {
            blue[i] = in[0];
            green[i] = in[1];
            red[i] = in[2];
            if constexpr (kTop == kTop10) {
                blue[i] = clampTo10(blue[i]);
                green[i] = clampTo10(green[i]);
                red[i] = clampTo10(red[i]);
            }
        }
        const int vectorPixels = n / 8 * 8;
        hue_detail::turnPlanesAvx2(blue, green, red, vectorPixels, setup);
        for (int i = vectorPixels; i < n; ++i) {
            turnPixel(t, blue[i], green[i], red[i]);
        }
        Sample *out = d + static_cast<std::ptrdiff_t>(x0) * dstep;
        for (int i = 0; i < n; ++i, out += dstep) {
            out[0] = static_cast<Sample>(blue[i]);
            out[1] = static_cast<Sample>(green[i]);
            out[2] = static_cast<Sample>(red[i]);
        }
    }
}

bool usable(const KernelRegion &region, int sampleBytes) {
    return !region.empty() && region.dst != nullptr && region.srcBytesPerPixel >= 3 * sampleBytes &&
           region.dstBytesPerPixel >= 3 * sampleBytes;
}

const HueSaturationParams &paramsOf(const KernelArgs &args) {
    static const HueSaturationParams kNeutral{};
    return args.params == nullptr ? kNeutral
                                  : *static_cast<const HueSaturationParams *>(args.params);
}

}  // namespace

std::int32_t HueSaturation24(const KernelArgs &args) {
    const KernelRegion region = kernelRegion(args);
    if (!usable(region, 1)) {
        return 1;
    }
    const HueTables<255> tables(paramsOf(args));
    const hue_detail::HueSetup setup = setupOf(tables, paramsOf(args));
    const bool avx2 = hasCpuFeatures(kCpuAvx2);
    parallelRows(region.height, kMinRowsPerBand, [&](int first, int end) {
        // Locals, so the byte stores below cannot be taken to change them.
        const HueTables<255> t = tables;
        const int sbpp = region.srcBytesPerPixel, dbpp = region.dstBytesPerPixel;
        const int width = region.width;
        for (int y = first; y < end; ++y) {
            const std::uint8_t *s = region.srcRow(y);
            std::uint8_t *d = region.dstRow(y);
            if (avx2) {
                const int done = hue_detail::turnBytesAvx2(s, sbpp, d, dbpp, width, setup);
                turnRowAvx2(s + done * sbpp, sbpp, d + done * dbpp, dbpp, width - done, t, setup);
                continue;
            }
            for (int x = 0; x < width; ++x, s += sbpp, d += dbpp) {
                int b = s[0], g = s[1], r = s[2];
                turnPixel(t, b, g, r);
                d[0] = static_cast<std::uint8_t>(b);
                d[1] = static_cast<std::uint8_t>(g);
                d[2] = static_cast<std::uint8_t>(r);
            }
        }
    });
    return 1;
}

std::int32_t HueSaturation48(const KernelArgs &args) {
    const KernelRegion region = kernelRegion(args);
    if (!usable(region, 2)) {
        return 1;
    }
    const HueTables<1023> tables(paramsOf(args));
    const hue_detail::HueSetup setup = setupOf(tables, paramsOf(args));
    const bool avx2 = hasCpuFeatures(kCpuAvx2);
    parallelRows(region.height, kMinRowsPerBand, [&](int first, int end) {
        const int sstep = region.srcBytesPerPixel / 2, dstep = region.dstBytesPerPixel / 2;
        const int width = region.width;
        for (int y = first; y < end; ++y) {
            const auto *s = reinterpret_cast<const std::uint16_t *>(region.srcRow(y));
            auto *d = reinterpret_cast<std::uint16_t *>(region.dstRow(y));
            if (avx2) {
                turnRowAvx2(s, sstep, d, dstep, width, tables, setup);
                continue;
            }
            for (int x = 0; x < width; ++x, s += sstep, d += dstep) {
                int b = clampTo10(s[0]), g = clampTo10(s[1]), r = clampTo10(s[2]);
                turnPixel(tables, b, g, r);
                d[0] = static_cast<std::uint16_t>(b);
                d[1] = static_cast<std::uint16_t>(g);
                d[2] = static_cast<std::uint16_t>(r);
            }
        }
    });
    return 1;
}

namespace reference {
namespace {

// The transform as a sequence of plain steps: sector and offset, new chroma and minimum, then
// the sector table.
template <int kTop>
void turn(const HueSaturationParams &params, int bgr[3]) {
    const HueShift shift = hueShift(params.hue);
    const int saturation = std::clamp(params.saturation, kMinSaturation, kMaxSaturation);
    const int blue = bgr[0], green = bgr[1], red = bgr[2];
    const int mx = std::max({blue, green, red});
    const int mn = std::min({blue, green, red});
    const int c = mx - mn;
    const int l = mx + mn;
    int base = 0;
    int d = 0;
    if (red >= green && red >= blue) {
        base = 1;
        d = green - blue;
    } else if (green > red && green >= blue) {
        base = 3;
        d = blue - red;
    } else {
        base = 5;
        d = red - green;
    }
    if (d < 0) {
        base -= 1;
        d += c;
    }
    const int sat = (32768 + c * ((saturation + 256) * 256)) >> 16;
    const int newChroma = std::min(sat, l < kTop + 1 ? l : 2 * kTop + 1 - l);
    const int n = (l - newChroma) >> 1;
    const int span = ((l + newChroma) >> 1) - n;
    if (c == 0) {
        bgr[0] = bgr[1] = bgr[2] = n;
        return;
    }
    const int reciprocal = 16711680 / c;
    int p = (d * reciprocal + 32768) >> 16;
    p += shift.steps;
    int s = base + shift.sectors;
    if (p >= 255) {
        p -= 255;
        s += 1;
    }
    const int r = (span * p + 128) >> 8;
    static const int kSectorTable[6][3] = {
        // red, green, blue: 0 = nothing, 1 = span, 2 = span - ramp, 3 = ramp
        {1, 0, 2}, {1, 3, 0}, {2, 1, 0}, {0, 1, 3}, {0, 2, 1}, {3, 0, 1}};
    auto part = [&](int code) {
        return code == 0 ? 0 : code == 1 ? span : code == 2 ? span - r : r;
    };
    const int *row = kSectorTable[s % 6];
    bgr[2] = n + part(row[0]);
    bgr[1] = n + part(row[1]);
    bgr[0] = n + part(row[2]);
}

std::int32_t hueSaturation(const KernelArgs &args, int sampleBytes) {
    const KernelRegion region = kernelRegion(args);
    if (!usable(region, sampleBytes)) {
        return 1;
    }
    const HueSaturationParams &params = paramsOf(args);
    for (int y = 0; y < region.height; ++y) {
        for (int x = 0; x < region.width; ++x) {
            const std::uint8_t *s = region.srcRow(y) + x * region.srcBytesPerPixel;
            std::uint8_t *d = region.dstRow(y) + x * region.dstBytesPerPixel;
            int bgr[3];
            for (int k = 0; k < 3; ++k) {
                bgr[k] = sampleBytes == 1 ? s[k] : clampTo10(loadWord(s + 2 * k));
            }
            if (sampleBytes == 1) {
                turn<255>(params, bgr);
            } else {
                turn<1023>(params, bgr);
            }
            for (int k = 0; k < 3; ++k) {
                if (sampleBytes == 1) {
                    d[k] = static_cast<std::uint8_t>(bgr[k]);
                } else {
                    storeWord(d + 2 * k, static_cast<std::uint16_t>(bgr[k]));
                }
            }
        }
    }
    return 1;
}

}  // namespace

std::int32_t HueSaturation24(const KernelArgs &args) {
    return hueSaturation(args, 1);
}
std::int32_t HueSaturation48(const KernelArgs &args) {
    return hueSaturation(args, 2);
}

}  // namespace reference
}  // namespace ostrel::imaging
