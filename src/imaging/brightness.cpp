// Brightness tables and kernels.
#include "imaging/brightness.h"

#include <cmath>

#include "imaging/adjustment_params.h"
#include "imaging/kernel_region.h"
#include "imaging/sample_tables.h"

namespace ostrel::imaging {
namespace {

int scaled(double factor, int v, int top) {
    const double product = std::trunc(factor * static_cast<double>(v));
    if (product <= 0.0) {
        return 0;
    }
    return product >= top ? top : static_cast<int>(product);
}

void table8(const KernelArgs &args, Table8 &out) {
    std::uint16_t wide[256];
    buildBrightnessTable(singleValue(args.params), 255, wide);
    for (int i = 0; i < 256; ++i) {
        out[i] = static_cast<std::uint8_t>(wide[i]);
    }
}

}  // namespace

double brightnessFactor(std::int32_t setting) {
    const double b = static_cast<double>(setting);
    if (setting < 0) {
        return 1.0 - std::fabs(b) / 255.0;
    }
    if (setting > 0) {
        return 1.0 + 10.0 * b / 255.0;
    }
    return 1.0;
}

void buildBrightnessTable(std::int32_t setting, int top, std::uint16_t *table) {
    const double k = brightnessFactor(setting);
    for (int v = 0; v <= top; ++v) {
        table[v] = static_cast<std::uint16_t>(scaled(k, v, top));
    }
}

std::int32_t Brightness8(const KernelArgs &args) {
    Table8 table;
    table8(args, table);
    applyTable8(args, table, 1);
    return 1;
}

std::int32_t Brightness24(const KernelArgs &args) {
    Table8 table;
    table8(args, table);
    applyTable8(args, table, 3);
    return 1;
}

std::int32_t Brightness16(const KernelArgs &args) {
    Table10 table;
    buildBrightnessTable(singleValue(args.params), 1023, table);
    applyTable10(args, table, 1);
    return 1;
}

std::int32_t Brightness48(const KernelArgs &args) {
    Table10 table;
    buildBrightnessTable(singleValue(args.params), 1023, table);
    applyTable10(args, table, 3);
    return 1;
}

namespace reference {
namespace {

std::int32_t brighten(const KernelArgs &args, int sampleBytes, int channels) {
    const KernelRegion region = kernelRegion(args);
    if (region.empty() || region.dst == nullptr) {
        return 1;
    }
    const double k = brightnessFactor(singleValue(args.params));
    for (int y = 0; y < region.height; ++y) {
        for (int x = 0; x < region.width; ++x) {
            const std::uint8_t *s = region.srcRow(y) + x * region.srcBytesPerPixel;
            std::uint8_t *d = region.dstRow(y) + x * region.dstBytesPerPixel;
            for (int c = 0; c < channels; ++c) {
                if (sampleBytes == 1) {
                    d[c] = static_cast<std::uint8_t>(scaled(k, s[c], 255));
                } else {
                    const int v = clampTo10(loadWord(s + 2 * c));
                    storeWord(d + 2 * c, static_cast<std::uint16_t>(scaled(k, v, kTop10)));
                }
            }
        }
    }
    return 1;
}

}  // namespace

std::int32_t Brightness8(const KernelArgs &args) {
    return brighten(args, 1, 1);
}
std::int32_t Brightness16(const KernelArgs &args) {
    return brighten(args, 2, 1);
}
std::int32_t Brightness24(const KernelArgs &args) {
    return brighten(args, 1, 3);
}
std::int32_t Brightness48(const KernelArgs &args) {
    return brighten(args, 2, 3);
}

}  // namespace reference
}  // namespace ostrel::imaging
