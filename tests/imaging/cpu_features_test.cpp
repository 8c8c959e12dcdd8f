// The kernels' processor features: the environment's list, and the limit tests and benchmarks
// set, which never allows what the processor lacks and always goes back to what it replaced.
#include <gtest/gtest.h>

#include <cstdlib>

#include "imaging/cpu_features.h"

namespace ostrel::imaging {
namespace {

TEST(CpuFeatureList, NamesAllowOnlyWhatTheyList) {
    struct Case {
        const char *text;
        CpuFeatures allowed;
    };
    const Case cases[] = {
        {nullptr, kAllCpuFeatures},
        {"", kAllCpuFeatures},
        {"plain", 0},
        {"none", 0},
        {"avx2", kCpuAvx2},
        {"avx512", kCpuAvx512},
        {"avx512vbmi", kCpuAvx512Vbmi},
        {"avx2,avx512", kCpuAvx2 | kCpuAvx512},
        {"avx2 avx512vbmi", kCpuAvx2 | kCpuAvx512Vbmi},
        {"avx512,,avx2,", kCpuAvx2 | kCpuAvx512},
        // Mistyped or unknown names fall back to the plain paths.
        {"AVX2", 0},
        {"avx", 0},
        {"avx2x", 0},
        {"sse4,avx2", kCpuAvx2},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(parseCpuFeatureList(c.text), c.allowed) << (c.text ? c.text : "(null)");
    }
}

TEST(CpuFeatureLimit, LimitsNestAndNeverAllowWhatTheProcessorLacks) {
    const CpuFeatures detected = detectedCpuFeatures();
    EXPECT_EQ(detected & ~kAllCpuFeatures, 0u);
    restoreCpuFeatureLimit();
    // Without a limit of the tests' own, the environment's list is in force.
    const CpuFeatures environment =
        detected & parseCpuFeatureList(std::getenv("OSTREL_CPU_FEATURES"));
    EXPECT_EQ(cpuFeatures(), environment);
    {
        const CpuFeatureLimit plain(0);
        EXPECT_EQ(cpuFeatures(), 0u);
        EXPECT_FALSE(hasCpuFeatures(kCpuAvx2));
        EXPECT_TRUE(hasCpuFeatures(0));
        {
            const CpuFeatureLimit avx2(kCpuAvx2);
            EXPECT_EQ(cpuFeatures(), detected & kCpuAvx2);
            EXPECT_EQ(hasCpuFeatures(kCpuAvx2), (detected & kCpuAvx2) != 0);
            EXPECT_FALSE(hasCpuFeatures(kCpuAvx2 | kCpuAvx512));
        }
        EXPECT_EQ(cpuFeatures(), 0u);
        const CpuFeatureLimit everything(0xFFFFFFFFu);
        EXPECT_EQ(cpuFeatures(), detected);
    }
    EXPECT_EQ(cpuFeatures(), environment);
    limitCpuFeatures(kCpuAvx512Vbmi);
    EXPECT_EQ(cpuFeatures(), detected & kCpuAvx512Vbmi);
    restoreCpuFeatureLimit();
    EXPECT_EQ(cpuFeatures(), environment);
}

}  // namespace
}  // namespace ostrel::imaging
