// Processor identification: which x86 processor the library runs on, and which instruction-set
// extensions it reports and can actually execute. Each camera context fills one record when it is
// initialised. The pixel kernels choose their paths from the processor features in
// cpu_features.h instead; this record is what the camera interface reports.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "imaging/function_ref.h"

namespace ostrel::imaging {

// Feature bits of the declared, usable and checked masks.
inline constexpr std::uint32_t kFeatureMmx = 0x01;
inline constexpr std::uint32_t kFeatureSse = 0x02;
inline constexpr std::uint32_t kFeatureSse2 = 0x04;
inline constexpr std::uint32_t kFeature3DNow = 0x08;
inline constexpr std::uint32_t kFeatureSse3 = 0x10;
// Leaf 1 ECX bit 8 (thermal monitor 2 on Intel processors).
inline constexpr std::uint32_t kFeatureLeaf1EcxBit8 = 0x20;
// Every feature the identification looks at.
inline constexpr std::uint32_t kCheckedFeatures = 0x3F;

// The record a context keeps, field by field in this order (68 bytes).
struct ProcessorInfo {
    char vendor[13];  // leaf 0 vendor string (EBX, EDX, ECX), 0-terminated
    char name[31];    // product name from the name table, or "Unknown"; 0-terminated
    std::int32_t family;
    std::int32_t model;
    std::int32_t stepping;
    std::uint32_t declaredFeatures;  // what the processor reports
    std::uint32_t usableFeatures;    // declared and confirmed by running an instruction
    std::uint32_t checkedFeatures;   // kCheckedFeatures once the record is filled
};
static_assert(offsetof(ProcessorInfo, family) == 44);
static_assert(sizeof(ProcessorInfo) == 68);

// The raw identification words the record is made from.
struct CpuidWords {
    std::uint32_t maxLeaf = 0;              // leaf 0 EAX
    std::array<char, 12> vendor{};          // leaf 0 EBX, EDX, ECX as characters
    std::uint32_t signature = 0;            // leaf 1 EAX
    std::uint32_t featuresEdx = 0;          // leaf 1 EDX
    std::uint32_t featuresEcx = 0;          // leaf 1 ECX
    std::uint32_t maxExtendedLeaf = 0;      // leaf 0x80000000 EAX
    std::uint32_t extendedFeaturesEdx = 0;  // leaf 0x80000001 EDX
};

// Asked once per declared feature that has a confirming instruction, in the order MMX, 3DNow!,
// SSE, SSE2, with that feature's bit; true when the instruction ran without a fault.
using ConfirmFeature = FunctionRef<bool(std::uint32_t feature)>;

// Makes the whole record from the raw words (every byte not set is 0). Leaf 1 counts only when
// leaf 0 reports it, and leaf 0x80000001 only when leaf 0x80000000 reports it: a processor
// answers an unsupported leaf with the words of another leaf, which would declare features it
// does not have. The family is leaf 1 EAX bits 8..11, except that 15 there gives the extended
// family (bits 20..27) times 16 plus 15; the model is bits 4..7 (the extended model is not added)
// and the stepping bits 0..3. SSE3 and leaf 1 ECX bit 8 are declared and usable together
// without running anything.
ProcessorInfo decodeProcessor(const CpuidWords &words, ConfirmFeature confirm);

// The product name for a vendor string (its first 12 characters count), family and model.
const char *processorName(const char *vendor, std::int32_t family, std::int32_t model);

// Reads the identification words of the processor this runs on. False, leaving `words` alone,
// when there is no identification instruction (a processor without it, or not an x86 build).
[[nodiscard]] bool readCpuidWords(CpuidWords &words);

// Identifies the processor. With a record, fills it completely (declared features confirmed by
// running their instructions); with none, only finds the declared features. Returns the declared
// mask, or 0 with the record untouched when there is no identification instruction.
std::uint32_t identifyProcessor(ProcessorInfo *record);

}  // namespace ostrel::imaging
