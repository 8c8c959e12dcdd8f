// The processor features the pixel kernels have special paths for, detected once for the whole
// library, and the one switch that limits them: every kernel asks here before it takes a path
// that needs an extension, so a test or benchmark can force the plain paths (or only some of the
// special ones) everywhere at once.
//
// Two ways to limit them, the second winning over the first while it is set:
// - the environment variable OSTREL_CPU_FEATURES, read once: unset or empty allows everything
//   the processor has; "plain" (or "none") allows nothing; otherwise a list of names separated by
//   commas or spaces ("avx2", "avx512", "avx512vbmi") allows those only. Unknown names allow
//   nothing, so a mistyped list falls back to the plain paths, never to an unwanted one;
// - limitCpuFeatures() / CpuFeatureLimit for tests and benchmarks in the same process.
// Nothing allows a feature the processor (and the system) does not have. Every choice gives the
// same output bytes: the special paths are exact copies of the plain ones.
#pragma once

#include <cstdint>

namespace ostrel::imaging {

using CpuFeatures = std::uint32_t;

inline constexpr CpuFeatures kCpuAvx2 = 0x1;
// AVX-512 foundation with the byte/word, vector-length and doubleword/quadword extensions.
inline constexpr CpuFeatures kCpuAvx512 = 0x2;
// AVX-512 foundation with the byte/word extension and the byte permutes (VBMI).
inline constexpr CpuFeatures kCpuAvx512Vbmi = 0x4;
inline constexpr CpuFeatures kAllCpuFeatures = kCpuAvx2 | kCpuAvx512 | kCpuAvx512Vbmi;

// What the processor and the system support, detected on first use.
CpuFeatures detectedCpuFeatures();

// The features an OSTREL_CPU_FEATURES value allows (before intersecting with the detected
// ones); a null or empty text allows all.
CpuFeatures parseCpuFeatureList(const char *text);

// The features the kernels may use now: detected, and allowed by the limit in force.
CpuFeatures cpuFeatures();

// True when every feature of `wanted` may be used now.
inline bool hasCpuFeatures(CpuFeatures wanted) {
    return (cpuFeatures() & wanted) == wanted;
}

// Replaces the limit in force (the environment's at first) by `allowed`; restoreCpuFeatureLimit
// goes back to the environment's. Not while kernels are running.
void limitCpuFeatures(CpuFeatures allowed);
void restoreCpuFeatureLimit();

// Limits the features for as long as it lives, then puts the previous limit back.
class CpuFeatureLimit {
public:
    explicit CpuFeatureLimit(CpuFeatures allowed);
    ~CpuFeatureLimit();
    CpuFeatureLimit(const CpuFeatureLimit &) = delete;
    CpuFeatureLimit &operator=(const CpuFeatureLimit &) = delete;

private:
    std::uint32_t previous_;
};

}  // namespace ostrel::imaging
