// Processor feature detection for the kernels and the one limit on it.
#include "imaging/cpu_features.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace ostrel::imaging {
namespace {

CpuFeatures detect() {
#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
    // The compiler's checks include the system's support: AVX state saved by the system, and for
    // AVX-512 the mask and upper register state as well.
    __builtin_cpu_init();
    CpuFeatures found = 0;
    if (__builtin_cpu_supports("avx2")) {
        found |= kCpuAvx2;
    }
    const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    if (avx512 && __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq")) {
        found |= kCpuAvx512;
    }
    if (avx512 && __builtin_cpu_supports("avx512vbmi")) {
        found |= kCpuAvx512Vbmi;
    }
    return found;
#else
    return 0;
#endif
}

struct Detected {
    CpuFeatures present;
    CpuFeatures environmentLimit;
};

const Detected &detected() {
    static const Detected d{detect(), parseCpuFeatureList(std::getenv("OSTREL_CPU_FEATURES"))};
    return d;
}

// The programmatic limit, with kNoLimit when the environment's is in force.
constexpr std::uint32_t kNoLimit = 0x80000000u;
std::atomic<std::uint32_t> programmaticLimit{kNoLimit};

CpuFeatures featureNamed(std::string_view name) {
    if (name == "avx2") {
        return kCpuAvx2;
    }
    if (name == "avx512") {
        return kCpuAvx512;
    }
    if (name == "avx512vbmi") {
        return kCpuAvx512Vbmi;
    }
    return 0;  // "plain", "none" and anything unknown
}

}  // namespace

CpuFeatures detectedCpuFeatures() {
    return detected().present;
}

CpuFeatures parseCpuFeatureList(const char *text) {
    if (text == nullptr || *text == '\0') {
        return kAllCpuFeatures;
    }
    CpuFeatures allowed = 0;
    const std::string_view list(text);
    std::size_t at = 0;
    while (at < list.size()) {
        const std::size_t end = list.find_first_of(", ", at);
        const std::size_t stop = end == std::string_view::npos ? list.size() : end;
        allowed |= featureNamed(list.substr(at, stop - at));
        at = stop + 1;
    }
    return allowed;
}

CpuFeatures cpuFeatures() {
    const Detected &d = detected();
    const std::uint32_t limit = programmaticLimit.load(std::memory_order_relaxed);
    return d.present & (limit == kNoLimit ? d.environmentLimit : limit);
}

void limitCpuFeatures(CpuFeatures allowed) {
    programmaticLimit.store(allowed & kAllCpuFeatures, std::memory_order_relaxed);
}

void restoreCpuFeatureLimit() {
    programmaticLimit.store(kNoLimit, std::memory_order_relaxed);
}

CpuFeatureLimit::CpuFeatureLimit(CpuFeatures allowed)
    : previous_(programmaticLimit.load(std::memory_order_relaxed)) {
    limitCpuFeatures(allowed);
}

CpuFeatureLimit::~CpuFeatureLimit() {
    programmaticLimit.store(previous_, std::memory_order_relaxed);
}

}  // namespace ostrel::imaging
