// Gamma tables and kernels. An entry is the integer just below T * (i / T)^gamma, found by
// comparing logarithms so that whole results fall one below (T maps to T - 1).
#include "imaging/gamma.h"

#include <algorithm>
#include <cmath>

#include "imaging/adjustment_params.h"
#include "imaging/sample_tables.h"

namespace ostrel::imaging {
namespace {

template <typename Build>
void buildTable8(std::int32_t setting, Build build, Table8 &out) {
    std::uint16_t wide[256];
    build(setting, 255, wide);
    for (int i = 0; i < 256; ++i) {
        out[i] = static_cast<std::uint8_t>(wide[i]);
    }
}

}  // namespace

double gammaExponent(std::int32_t setting) {
    const double gamma = setting <= 100 ? setting * 0.01 : (setting - 100) * 0.1 + 1.0;
    return std::clamp(gamma, 0.001, 99.999);
}

void buildGammaTable(std::int32_t setting, int top, std::uint16_t *table) {
    const double gamma = gammaExponent(setting);
    const double logTop = std::log10(static_cast<double>(top));
    // log10 j for j = 3..top, increasing, so the smallest j with m <= log10 j is found by
    // binary search with the same comparisons as the entry-by-entry search.
    double logs[1024];
    for (int j = 3; j <= top; ++j) {
        logs[j] = std::log10(static_cast<double>(j));
    }
    table[0] = 0;
    for (int i = 1; i <= top; ++i) {
        const double m = logTop + gamma * (std::log10(static_cast<double>(i)) - logTop);
        if (m < 0.0) {
            table[i] = 1;
            continue;
        }
        const double *found = std::lower_bound(logs + 3, logs + top + 1, m);
        table[i] = static_cast<std::uint16_t>(found == logs + top + 1 ? top : (found - logs) - 1);
    }
}

std::int32_t Gamma8(const KernelArgs &args) {
    Table8 table;
    buildTable8(singleValue(args.params), buildGammaTable, table);
    applyTable8(args, table, 1);
    return 1;
}

std::int32_t Gamma24(const KernelArgs &args) {
    Table8 table;
    buildTable8(singleValue(args.params), buildGammaTable, table);
    applyTable8(args, table, 3);
    return 1;
}

std::int32_t Gamma16(const KernelArgs &args) {
    Table10 table;
    buildGammaTable(singleValue(args.params), 1023, table);
    applyTable10(args, table, 1);
    return 1;
}

std::int32_t Gamma48(const KernelArgs &args) {
    Table10 table;
    buildGammaTable(singleValue(args.params), 1023, table);
    applyTable10(args, table, 3);
    return 1;
}

namespace reference {

void buildGammaTable(std::int32_t setting, int top, std::uint16_t *table) {
    const double gamma = gammaExponent(setting);
    table[0] = 0;
    for (int i = 1; i <= top; ++i) {
        const double m =
            std::log10(static_cast<double>(top)) +
            gamma * (std::log10(static_cast<double>(i)) - std::log10(static_cast<double>(top)));
        if (m < 0.0) {
            table[i] = 1;
            continue;
        }
        int entry = top;
        for (int j = 3; j <= top; ++j) {
            if (m <= std::log10(static_cast<double>(j))) {
                entry = j - 1;
                break;
            }
        }
        table[i] = static_cast<std::uint16_t>(entry);
    }
}

std::int32_t Gamma8(const KernelArgs &args) {
    Table8 table;
    buildTable8(singleValue(args.params), buildGammaTable, table);
    reference::applyTable8(args, table, 1);
    return 1;
}

std::int32_t Gamma24(const KernelArgs &args) {
    Table8 table;
    buildTable8(singleValue(args.params), buildGammaTable, table);
    reference::applyTable8(args, table, 3);
    return 1;
}

std::int32_t Gamma16(const KernelArgs &args) {
    Table10 table;
    buildGammaTable(singleValue(args.params), 1023, table);
    reference::applyTable10(args, table, 1);
    return 1;
}

std::int32_t Gamma48(const KernelArgs &args) {
    Table10 table;
    buildGammaTable(singleValue(args.params), 1023, table);
    reference::applyTable10(args, table, 3);
    return 1;
}

}  // namespace reference
}  // namespace ostrel::imaging
