// Processor identification: reading the identification words, decoding them into the record and
// the product name table.
#include "imaging/processor_info.h"

#include "platform/instruction_probe.h"

#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#define OSTREL_HAVE_CPUID 1
#endif

namespace ostrel::imaging {
namespace {

constexpr int kAnyModel = -1;

struct NameEntry {
    const char *vendor;
    std::int32_t family;      // -1: any family
    std::int32_t firstModel;  // kAnyModel: any model
    std::int32_t lastModel;
    const char *name;
};

constexpr NameEntry kNames[] = {
    {"AuthenticAMD", 4, kAnyModel, kAnyModel, "AMD Am486"},
    {"AuthenticAMD", 5, 0, 3, "AMD K5"},
    {"AuthenticAMD", 5, 6, 7, "AMD K6"},
    {"AuthenticAMD", 5, 8, 8, "AMD K6-2"},
    {"AuthenticAMD", 5, 9, 15, "AMD K6-3"},
    {"AuthenticAMD", 6, kAnyModel, kAnyModel, "AMD ATHLON"},
    {"GenuineIntel", 4, 0, 1, "INTEL 486DX"},
    {"GenuineIntel", 4, 2, 2, "INTEL 486SX"},
    {"GenuineIntel", 4, 3, 3, "INTEL 486DX2"},
    {"GenuineIntel", 4, 4, 4, "INTEL 486SL"},
    {"GenuineIntel", 4, 5, 5, "INTEL 486SX2"},
    {"GenuineIntel", 4, 7, 7, "INTEL 486DX2E"},
    {"GenuineIntel", 4, 8, 8, "INTEL 486DX4"},
    {"GenuineIntel", 5, 1, 3, "INTEL Pentium"},
    {"GenuineIntel", 5, 4, 4, "INTEL Pentium-MMX"},
    {"GenuineIntel", 6, 1, 1, "INTEL Pentium-Pro"},
    {"GenuineIntel", 6, 3, 3, "INTEL Pentium-II"},
    {"GenuineIntel", 6, 5, 5, "INTEL Pentium-II"},
    {"GenuineIntel", 6, 6, 6, "INTEL Celeron"},
    {"GenuineIntel", 6, 7, 8, "INTEL Pentium-III"},
    {"GenuineIntel", 6, 10, 10, "INTEL Pentium-III"},
    {"GenuineIntel", 15, 0, 0, "INTEL Pentium-4"},
    {"CyrixInstead", -1, kAnyModel, kAnyModel, "Cyrix"},
    {"CentaurHauls", -1, kAnyModel, kAnyModel, "Centaur"},
};

constexpr char kUnknownName[] = "Unknown";

constexpr std::uint32_t kLeaf1EdxMmx = 1u << 23;
constexpr std::uint32_t kLeaf1EdxSse = 1u << 25;
constexpr std::uint32_t kLeaf1EdxSse2 = 1u << 26;
constexpr std::uint32_t kLeaf1EcxSse3 = 1u << 0;
constexpr std::uint32_t kLeaf1EcxBit8 = 1u << 8;
constexpr std::uint32_t kExtendedEdx3DNow = 1u << 31;
constexpr std::uint32_t kExtendedBase = 0x80000000u;

// Copies text into a fixed field, leaving at least one terminating 0.
template <std::size_t N>
void copyText(char (&field)[N], const char *text, std::size_t length) {
    const std::size_t n = length < N - 1 ? length : N - 1;
    std::memcpy(field, text, n);
}

#ifdef OSTREL_HAVE_CPUID
// A processor shows that it has the identification instruction by letting the identification
// flag (bit 21) of EFLAGS be toggled; every x86-64 processor has it.
bool hasCpuidInstruction() {
#ifdef __x86_64__
    return true;
#else
    unsigned before = 0, after = 0;
    asm volatile(
        "pushfl\n\t"
        "pushfl\n\t"
        "popl %0\n\t"
        "movl %0, %1\n\t"
        "xorl $0x200000, %0\n\t"
        "pushl %0\n\t"
        "popfl\n\t"
        "pushfl\n\t"
        "popl %0\n\t"
        "popfl"
        : "=&r"(after), "=&r"(before));
    return ((before ^ after) & 0x200000u) != 0;
#endif
}
#endif

}  // namespace

const char *processorName(const char *vendor, std::int32_t family, std::int32_t model) {
    for (const NameEntry &entry : kNames) {
        if (std::strncmp(vendor, entry.vendor, 12) != 0) {
            continue;
        }
        if (entry.family >= 0 && entry.family != family) {
            continue;
        }
        if (entry.firstModel != kAnyModel &&
            (model < entry.firstModel || model > entry.lastModel)) {
            continue;
        }
        return entry.name;
    }
    return kUnknownName;
}

ProcessorInfo decodeProcessor(const CpuidWords &words, ConfirmFeature confirm) {
    ProcessorInfo info;
    std::memset(&info, 0, sizeof info);

    const bool hasLeaf1 = words.maxLeaf >= 1;
    const std::uint32_t signature = hasLeaf1 ? words.signature : 0;
    const std::uint32_t edx = hasLeaf1 ? words.featuresEdx : 0;
    const std::uint32_t ecx = hasLeaf1 ? words.featuresEcx : 0;
    const std::uint32_t extendedEdx =
        words.maxExtendedLeaf >= kExtendedBase + 1 ? words.extendedFeaturesEdx : 0;

    // Each feature with a confirming instruction, in the order they are tried.
    struct Checked {
        bool declared;
        std::uint32_t bit;
    };
    const Checked checked[] = {
        {(edx & kLeaf1EdxMmx) != 0, kFeatureMmx},
        {(extendedEdx & kExtendedEdx3DNow) != 0, kFeature3DNow},
        {(edx & kLeaf1EdxSse) != 0, kFeatureSse},
        {(edx & kLeaf1EdxSse2) != 0, kFeatureSse2},
    };
    for (const Checked &feature : checked) {
        if (!feature.declared) {
            continue;
        }
        info.declaredFeatures |= feature.bit;
        if (confirm(feature.bit)) {
            info.usableFeatures |= feature.bit;
        }
    }
    // Nothing to run for these: declaring them is enough.
    for (const Checked &feature : {Checked{(ecx & kLeaf1EcxSse3) != 0, kFeatureSse3},
                                   Checked{(ecx & kLeaf1EcxBit8) != 0, kFeatureLeaf1EcxBit8}}) {
        if (feature.declared) {
            info.declaredFeatures |= feature.bit;
            info.usableFeatures |= feature.bit;
        }
    }

    const auto familyBits = static_cast<std::int32_t>((signature >> 8) & 0xF);
    const auto extendedFamily = static_cast<std::int32_t>((signature >> 20) & 0xFF);
    info.family = familyBits == 15 ? extendedFamily * 16 + 15 : familyBits;
    info.model = static_cast<std::int32_t>((signature >> 4) & 0xF);
    info.stepping = static_cast<std::int32_t>(signature & 0xF);

    copyText(info.vendor, words.vendor.data(), words.vendor.size());
    const char *name = processorName(info.vendor, info.family, info.model);
    copyText(info.name, name, std::strlen(name));
    info.checkedFeatures = kCheckedFeatures;
    return info;
}

bool readCpuidWords(CpuidWords &words) {
#ifdef OSTREL_HAVE_CPUID
    if (!hasCpuidInstruction()) {
        return false;
    }
    unsigned a = 0, b = 0, c = 0, d = 0;
    CpuidWords read;
    __cpuid(0, a, b, c, d);
    read.maxLeaf = a;
    std::memcpy(read.vendor.data(), &b, 4);
    std::memcpy(read.vendor.data() + 4, &d, 4);
    std::memcpy(read.vendor.data() + 8, &c, 4);
    if (read.maxLeaf >= 1) {
        __cpuid(1, a, b, c, d);
        read.signature = a;
        read.featuresEdx = d;
        read.featuresEcx = c;
    }
    __cpuid(kExtendedBase, a, b, c, d);
    read.maxExtendedLeaf = a;
    if (read.maxExtendedLeaf >= kExtendedBase + 1) {
        __cpuid(kExtendedBase + 1, a, b, c, d);
        read.extendedFeaturesEdx = d;
    }
    words = read;
    return true;
#else
    (void)words;
    return false;
#endif
}

std::uint32_t identifyProcessor(ProcessorInfo *record) {
    CpuidWords words;
    if (!readCpuidWords(words)) {
        return 0;
    }
    if (record == nullptr) {
        // Only the declared mask is wanted: nothing needs to run.
        return decodeProcessor(words, [](std::uint32_t) { return false; }).declaredFeatures;
    }
    using platform::executesWithoutFault;
    using platform::InstructionProbe;
    *record = decodeProcessor(words, [](std::uint32_t feature) {
        switch (feature) {
            case kFeatureMmx:
                return executesWithoutFault(InstructionProbe::Mmx);
            case kFeature3DNow:
                return executesWithoutFault(InstructionProbe::ThreeDNow);
            case kFeatureSse:
                return executesWithoutFault(InstructionProbe::Sse);
            case kFeatureSse2:
                return executesWithoutFault(InstructionProbe::Sse2);
            default:
                return false;
        }
    });
    return record->declaredFeatures;
}

}  // namespace ostrel::imaging
