// Contrast tables and kernels.
#include "imaging/contrast.h"

#include <cmath>

#include "imaging/adjustment_params.h"
#include "imaging/sample_tables.h"

namespace ostrel::imaging {

void buildContrastTable(std::int64_t c, int top, std::uint16_t *table) {
    const std::int64_t half = (top + 1) / 2;  // 128 or 512
    if (c >= half) {
        for (int i = 0; i <= top; ++i) {
            table[i] = 0;
        }
        return;
    }
    // Any stored setting keeps every entry within 0..top: for c < half the slope times the
    // distance from c never reaches top + 1.
    const double slope = static_cast<double>(top + 1) / (2.0 * static_cast<double>(half - c));
    for (int i = 0; i <= top; ++i) {
        if (i < c) {
            table[i] = 0;
        } else if (i > top - c) {
            table[i] = static_cast<std::uint16_t>(top);
        } else {
            const double v = std::trunc(slope * static_cast<double>(i - c));
            table[i] = static_cast<std::uint16_t>(v < 0.0 ? 0.0 : (v > top ? top : v));
        }
    }
}

namespace {

void table8(const KernelArgs &args, Table8 &out) {
    std::uint16_t wide[256];
    buildContrastTable(singleValue(args.params), 255, wide);
    for (int i = 0; i < 256; ++i) {
        out[i] = static_cast<std::uint8_t>(wide[i]);
    }
}

// The 10-bit monochrome kernel acts at four times the strength of the 10-bit colour kernel.
void table16(const KernelArgs &args, Table10 &out) {
    buildContrastTable(4 * static_cast<std::int64_t>(singleValue(args.params)), 1023, out);
}

void table48(const KernelArgs &args, Table10 &out) {
    buildContrastTable(singleValue(args.params), 1023, out);
}

}  // namespace

std::int32_t Contrast8(const KernelArgs &args) {
    Table8 table;
    table8(args, table);
    applyTable8(args, table, 1);
    return 1;
}

std::int32_t Contrast24(const KernelArgs &args) {
    Table8 table;
    table8(args, table);
    applyTable8(args, table, 3);
    return 1;
}

std::int32_t Contrast16(const KernelArgs &args) {
    Table10 table;
    table16(args, table);
    applyTable10(args, table, 1);
    return 1;
}

std::int32_t Contrast48(const KernelArgs &args) {
    Table10 table;
    table48(args, table);
    applyTable10(args, table, 3);
    return 1;
}

namespace reference {

std::int32_t Contrast8(const KernelArgs &args) {
    Table8 table;
    table8(args, table);
    reference::applyTable8(args, table, 1);
    return 1;
}

std::int32_t Contrast24(const KernelArgs &args) {
    Table8 table;
    table8(args, table);
    reference::applyTable8(args, table, 3);
    return 1;
}

std::int32_t Contrast16(const KernelArgs &args) {
    Table10 table;
    table16(args, table);
    reference::applyTable10(args, table, 1);
    return 1;
}

std::int32_t Contrast48(const KernelArgs &args) {
    Table10 table;
    table48(args, table);
    reference::applyTable10(args, table, 3);
    return 1;
}

}  // namespace reference
}  // namespace ostrel::imaging
