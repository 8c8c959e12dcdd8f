// Processor identification: decoding of the identification words (names, the family rule,
// the feature masks and the order features are confirmed in), the illegal-instruction guard,
// and the record made for the processor the tests run on.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "imaging/processor_info.h"
#include "platform/instruction_probe.h"

namespace ostrel::imaging {
namespace {

using platform::executesWithoutFault;
using platform::InstructionProbe;

CpuidWords wordsFor(const char *vendor, std::uint32_t family, std::uint32_t model,
                    std::uint32_t stepping = 0, std::uint32_t extendedFamily = 0) {
    CpuidWords words;
    words.maxLeaf = 1;
    std::memcpy(words.vendor.data(), vendor, 12);
    words.signature = (extendedFamily << 20) | (family << 8) | (model << 4) | stepping;
    return words;
}

// Confirms every feature it is asked about, remembering the order.
struct RecordingConfirm {
    std::vector<std::uint32_t> asked;
    bool answer = true;
    std::uint32_t refuse = 0;  // bits to report as faulting
    bool operator()(std::uint32_t feature) {
        asked.push_back(feature);
        return answer && (feature & refuse) == 0;
    }
};

ProcessorInfo decode(const CpuidWords &words) {
    RecordingConfirm confirm;
    return decodeProcessor(words, confirm);
}

TEST(ProcessorName, FollowsTheTableByVendorFamilyAndModel) {
    struct Case {
        const char *vendor;
        std::uint32_t family;
        std::uint32_t model;
        const char *name;
    };
    const Case cases[] = {
        {"AuthenticAMD", 4, 9, "AMD Am486"},
        {"AuthenticAMD", 5, 0, "AMD K5"},
        {"AuthenticAMD", 5, 3, "AMD K5"},
        {"AuthenticAMD", 5, 4, "Unknown"},
        {"AuthenticAMD", 5, 5, "Unknown"},
        {"AuthenticAMD", 5, 6, "AMD K6"},
        {"AuthenticAMD", 5, 7, "AMD K6"},
        {"AuthenticAMD", 5, 8, "AMD K6-2"},
        {"AuthenticAMD", 5, 9, "AMD K6-3"},
        {"AuthenticAMD", 5, 15, "AMD K6-3"},
        {"AuthenticAMD", 6, 0, "AMD ATHLON"},
        {"AuthenticAMD", 7, 0, "Unknown"},
        {"GenuineIntel", 4, 0, "INTEL 486DX"},
        {"GenuineIntel", 4, 1, "INTEL 486DX"},
        {"GenuineIntel", 4, 2, "INTEL 486SX"},
        {"GenuineIntel", 4, 3, "INTEL 486DX2"},
        {"GenuineIntel", 4, 4, "INTEL 486SL"},
        {"GenuineIntel", 4, 5, "INTEL 486SX2"},
        {"GenuineIntel", 4, 6, "Unknown"},
        {"GenuineIntel", 4, 7, "INTEL 486DX2E"},
        {"GenuineIntel", 4, 8, "INTEL 486DX4"},
        {"GenuineIntel", 4, 9, "Unknown"},
        {"GenuineIntel", 5, 0, "Unknown"},
        {"GenuineIntel", 5, 1, "INTEL Pentium"},
        {"GenuineIntel", 5, 3, "INTEL Pentium"},
        {"GenuineIntel", 5, 4, "INTEL Pentium-MMX"},
        {"GenuineIntel", 6, 1, "INTEL Pentium-Pro"},
        {"GenuineIntel", 6, 2, "Unknown"},
        {"GenuineIntel", 6, 3, "INTEL Pentium-II"},
        {"GenuineIntel", 6, 4, "Unknown"},
        {"GenuineIntel", 6, 5, "INTEL Pentium-II"},
        {"GenuineIntel", 6, 6, "INTEL Celeron"},
        {"GenuineIntel", 6, 7, "INTEL Pentium-III"},
        {"GenuineIntel", 6, 8, "INTEL Pentium-III"},
        {"GenuineIntel", 6, 9, "Unknown"},
        {"GenuineIntel", 6, 10, "INTEL Pentium-III"},
        {"GenuineIntel", 6, 11, "Unknown"},
        {"GenuineIntel", 15, 0, "INTEL Pentium-4"},
        {"GenuineIntel", 15, 1, "Unknown"},
        {"CyrixInstead", 4, 2, "Cyrix"},
        {"CyrixInstead", 6, 0, "Cyrix"},
        {"CentaurHauls", 6, 9, "Centaur"},
        {"HygonGenuine", 6, 0, "Unknown"},
        {"GenuineIotel", 6, 1, "Unknown"},
    };
    for (const Case &c : cases) {
        const ProcessorInfo info = decode(wordsFor(c.vendor, c.family, c.model));
        EXPECT_STREQ(info.name, c.name)
            << c.vendor << " family " << c.family << " model " << c.model;
    }
}

TEST(ProcessorName, ComparesTheVendorOnItsFirstTwelveCharacters) {
    EXPECT_STREQ(processorName("GenuineIntel and more", 6, 1), "INTEL Pentium-Pro");
    EXPECT_STREQ(processorName("GenuineInte", 6, 1), "Unknown");
}

TEST(ProcessorDecode, FamilyFifteenAddsSixteenTimesTheExtendedFamily) {
    ProcessorInfo info = decode(wordsFor("GenuineIntel", 15, 0, 7, 0));
    EXPECT_EQ(info.family, 15);
    EXPECT_STREQ(info.name, "INTEL Pentium-4");

    info = decode(wordsFor("GenuineIntel", 15, 0, 7, 1));
    EXPECT_EQ(info.family, 31);  // not the architectural 15 + 1
    EXPECT_STREQ(info.name, "Unknown");

    info = decode(wordsFor("AuthenticAMD", 15, 1, 2, 0x0A));
    EXPECT_EQ(info.family, 0xA * 16 + 15);

    // Below 15 the extended family is ignored.
    info = decode(wordsFor("GenuineIntel", 6, 9, 3, 0x12));
    EXPECT_EQ(info.family, 6);
}

TEST(ProcessorDecode, ModelAndSteppingComeFromTheirOwnBitsOnly) {
    CpuidWords words = wordsFor("GenuineIntel", 6, 9, 5);
    words.signature |= 0x000A0000;  // extended model 10: not added
    words.signature |= 0x3000;      // processor type: ignored
    const ProcessorInfo info = decode(words);
    EXPECT_EQ(info.family, 6);
    EXPECT_EQ(info.model, 9);
    EXPECT_EQ(info.stepping, 5);
    EXPECT_STREQ(info.name, "Unknown");
}

TEST(ProcessorDecode, FillsTheRecordFieldByFieldWithZeroPadding) {
    CpuidWords words = wordsFor("CentaurHauls", 6, 10, 1);
    const ProcessorInfo info = decode(words);

    ProcessorInfo expected;
    std::memset(&expected, 0, sizeof expected);
    std::memcpy(expected.vendor, "CentaurHauls", 12);
    std::memcpy(expected.name, "Centaur", 7);
    expected.family = 6;
    expected.model = 10;
    expected.stepping = 1;
    expected.checkedFeatures = 0x3F;
    EXPECT_EQ(std::memcmp(&info, &expected, sizeof info), 0);
}

TEST(ProcessorFeatures, ConfirmsMmx3DNowSseSse2InThatOrder) {
    CpuidWords words = wordsFor("AuthenticAMD", 6, 4);
    words.featuresEdx = (1u << 23) | (1u << 25) | (1u << 26);
    words.maxExtendedLeaf = 0x80000001;
    words.extendedFeaturesEdx = 1u << 31;
    RecordingConfirm confirm;
    const ProcessorInfo info = decodeProcessor(words, confirm);
    EXPECT_EQ(confirm.asked,
              (std::vector<std::uint32_t>{kFeatureMmx, kFeature3DNow, kFeatureSse, kFeatureSse2}));
    EXPECT_EQ(info.declaredFeatures, 0x0Fu);
    EXPECT_EQ(info.usableFeatures, 0x0Fu);
    EXPECT_EQ(info.checkedFeatures, 0x3Fu);
}

TEST(ProcessorFeatures, AFaultingInstructionIsDeclaredButNotUsable) {
    CpuidWords words = wordsFor("GenuineIntel", 6, 8);
    words.featuresEdx = (1u << 23) | (1u << 25) | (1u << 26);
    RecordingConfirm confirm;
    confirm.refuse = kFeatureSse | kFeatureSse2;
    const ProcessorInfo info = decodeProcessor(words, confirm);
    EXPECT_EQ(info.declaredFeatures, kFeatureMmx | kFeatureSse | kFeatureSse2);
    EXPECT_EQ(info.usableFeatures, kFeatureMmx);
}

TEST(ProcessorFeatures, UndeclaredFeaturesAreNeitherRunNorSet) {
    CpuidWords words = wordsFor("GenuineIntel", 6, 8);
    words.featuresEdx = ~((1u << 23) | (1u << 25) | (1u << 26));
    words.featuresEcx = ~((1u << 0) | (1u << 8));
    RecordingConfirm confirm;
    const ProcessorInfo info = decodeProcessor(words, confirm);
    EXPECT_TRUE(confirm.asked.empty());
    EXPECT_EQ(info.declaredFeatures, 0u);
    EXPECT_EQ(info.usableFeatures, 0u);
    EXPECT_EQ(info.checkedFeatures, 0x3Fu);
}

TEST(ProcessorFeatures, Sse3AndEcxBit8AreUsableWithoutRunningAnything) {
    CpuidWords words = wordsFor("GenuineIntel", 15, 2);
    words.featuresEcx = 1u << 0;
    RecordingConfirm confirm;
    confirm.answer = false;
    ProcessorInfo info = decodeProcessor(words, confirm);
    EXPECT_TRUE(confirm.asked.empty());
    EXPECT_EQ(info.declaredFeatures, kFeatureSse3);
    EXPECT_EQ(info.usableFeatures, kFeatureSse3);

    words.featuresEcx = 1u << 8;
    info = decodeProcessor(words, confirm);
    EXPECT_TRUE(confirm.asked.empty());
    EXPECT_EQ(info.declaredFeatures, kFeatureLeaf1EcxBit8);
    EXPECT_EQ(info.usableFeatures, kFeatureLeaf1EcxBit8);
}

TEST(ProcessorFeatures, ThreeDNowNeedsTheExtendedLeafToBeReported) {
    CpuidWords words = wordsFor("AuthenticAMD", 5, 8);
    words.extendedFeaturesEdx = 1u << 31;
    // The extended range reports no leaf beyond 0x80000000 (or is not there at all): whatever
    // stands in the words of leaf 0x80000001 is not that leaf's.
    for (std::uint32_t maxExtended : {0u, 0x16u, 0x80000000u}) {
        words.maxExtendedLeaf = maxExtended;
        EXPECT_EQ(decode(words).declaredFeatures, 0u) << std::hex << maxExtended;
    }
    words.maxExtendedLeaf = 0x80000008;
    EXPECT_EQ(decode(words).declaredFeatures, kFeature3DNow);
}

TEST(ProcessorFeatures, Leaf1CountsOnlyWhenLeaf0ReportsIt) {
    CpuidWords words = wordsFor("GenuineIntel", 5, 4, 3);
    words.featuresEdx = 1u << 23;
    words.featuresEcx = 1u << 0;
    words.maxLeaf = 0;
    const ProcessorInfo info = decode(words);
    EXPECT_EQ(info.declaredFeatures, 0u);
    EXPECT_EQ(info.family, 0);
    EXPECT_EQ(info.model, 0);
    EXPECT_EQ(info.stepping, 0);
    EXPECT_STREQ(info.vendor, "GenuineIntel");
    EXPECT_STREQ(info.name, "Unknown");
}

#if defined(__i386__) || defined(__x86_64__)

TEST(InstructionProbe, AnInstructionThatFaultsIsReportedAndExecutionGoesOn) {
    EXPECT_FALSE(executesWithoutFault(InstructionProbe::Undefined));
    // The guard is gone again and works a second time.
    EXPECT_FALSE(executesWithoutFault(InstructionProbe::Undefined));
    // Every processor that runs these tests has MMX, SSE and SSE2 (the builds require SSE2).
    EXPECT_TRUE(executesWithoutFault(InstructionProbe::Mmx));
    EXPECT_TRUE(executesWithoutFault(InstructionProbe::Sse));
    EXPECT_TRUE(executesWithoutFault(InstructionProbe::Sse2));
}

TEST(IdentifyProcessor, FillsTheRecordOfThisProcessor) {
    CpuidWords words;
    ASSERT_TRUE(readCpuidWords(words));

    ProcessorInfo info;
    std::memset(&info, 0xCC, sizeof info);
    const std::uint32_t declared = identifyProcessor(&info);

    EXPECT_EQ(declared, info.declaredFeatures);
    EXPECT_EQ(std::string(info.vendor), std::string(words.vendor.data(), 12));
    EXPECT_EQ(info.vendor[12], '\0');
    EXPECT_STREQ(info.name, processorName(info.vendor, info.family, info.model));
    // Everything after the name's terminator is cleared.
    const std::size_t nameLength = std::strlen(info.name);
    for (std::size_t i = nameLength; i < sizeof info.name; ++i) {
        ASSERT_EQ(info.name[i], '\0') << i;
    }
    const std::uint32_t required = kFeatureMmx | kFeatureSse | kFeatureSse2;
    EXPECT_EQ(info.declaredFeatures & required, required);
    EXPECT_EQ(info.usableFeatures & required, required);
    EXPECT_EQ(info.usableFeatures & ~info.declaredFeatures, 0u);
    EXPECT_EQ(info.checkedFeatures, 0x3Fu);
    EXPECT_EQ(info.stepping, static_cast<std::int32_t>(words.signature & 0xF));

    // Without a record only the declared mask comes back.
    EXPECT_EQ(identifyProcessor(nullptr), declared);
}

#else

TEST(IdentifyProcessor, LeavesTheRecordAloneWithoutTheIdentificationInstruction) {
    ProcessorInfo info;
    std::memset(&info, 0, sizeof info);
    EXPECT_EQ(identifyProcessor(&info), 0u);
    const ProcessorInfo zero{};
    EXPECT_EQ(std::memcmp(&info, &zero, sizeof info), 0);
    EXPECT_FALSE(executesWithoutFault(InstructionProbe::Mmx));
}

#endif

}  // namespace
}  // namespace ostrel::imaging
