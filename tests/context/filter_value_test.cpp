// The FilterId table: ranges (inclusive, checked before anything is stored), the packed colour
// gains, the automatic colour gain flag and the analog words behind global gain and exposure.
#include "context/filter_value.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace ostrel::context {
namespace {

using imaging::AnalogSettings;
using imaging::AnalogWord;
using imaging::SettingsBlock;
using imaging::SettingsWord;

struct RangeCase {
    FilterId id;
    SettingsWord word;
    std::int32_t min;
    std::int32_t max;
};

// Every id stored in one settings block word, with its range.
const std::vector<RangeCase> kWordRanges = {
    {FilterId::Brightness, SettingsWord::Brightness, -255, 255},
    {FilterId::Contrast, SettingsWord::Contrast, -127, 127},
    {FilterId::Hue, SettingsWord::Hue, -360, 360},
    {FilterId::Saturation, SettingsWord::Saturation, -255, 255},
    {FilterId::Sharpness, SettingsWord::Sharpness, 0, 30},
    {FilterId::BayerGainRed, SettingsWord::ColourGainRed, 0, 800},
    {FilterId::BayerGainGreen, SettingsWord::ColourGainGreen, 0, 800},
    {FilterId::BayerGainBlue, SettingsWord::ColourGainBlue, 0, 800},
    {FilterId::Gamma, SettingsWord::Gamma, 0, 200},
    {FilterId::BayerMode, SettingsWord::BayerMode, 0, 3},
    {FilterId::GrayMode, SettingsWord::GrayMode, 0, 2},
    {FilterId::GrayGainR, SettingsWord::GrayGainR, 0, 255},
    {FilterId::GrayGainG1, SettingsWord::GrayGainG1, 0, 255},
    {FilterId::GrayGainG2, SettingsWord::GrayGainG2, 0, 255},
    {FilterId::GrayGainB, SettingsWord::GrayGainB, 0, 255},
    {FilterId::GrayOffsetR, SettingsWord::GrayOffsetR, -255, 255},
    {FilterId::GrayOffsetG1, SettingsWord::GrayOffsetG1, -255, 255},
    {FilterId::GrayOffsetG2, SettingsWord::GrayOffsetG2, -255, 255},
    {FilterId::GrayOffsetB, SettingsWord::GrayOffsetB, -255, 255},
};

std::int32_t id(FilterId filter) {
    return static_cast<std::int32_t>(filter);
}

// A block with a recognisable value in every word, so a stray store shows.
SettingsBlock markedBlock() {
    SettingsBlock block;
    for (std::size_t i = 0; i < SettingsBlock::kWordCount; ++i) {
        block.setWord(i, 1000 + static_cast<std::int32_t>(i));
    }
    return block;
}

TEST(FilterValue, EachWordAcceptsItsBoundsAndKeepsThem) {
    for (const RangeCase &c : kWordRanges) {
        SettingsBlock block;
        AnalogSettings analog;
        for (std::int32_t value : {c.min, c.max}) {
            ASSERT_EQ(storeFilterValue(block, analog, id(c.id), value), FilterStore::Stored)
                << "id " << id(c.id) << " value " << value;
            EXPECT_EQ(block.get(c.word), value);
            EXPECT_EQ(storedFilterValue(block, id(c.id)), value);
        }
    }
}

TEST(FilterValue, ValuesJustOutsideTheRangeStoreNothing) {
    for (const RangeCase &c : kWordRanges) {
        for (std::int32_t value : {c.min - 1, c.max + 1, INT_MIN, INT_MAX}) {
            SettingsBlock block = markedBlock();
            AnalogSettings analog;
            EXPECT_EQ(storeFilterValue(block, analog, id(c.id), value), FilterStore::Rejected)
                << "id " << id(c.id) << " value " << value;
            EXPECT_EQ(block.values(), markedBlock().values());
            EXPECT_EQ(analog.values(), imaging::AnalogValues{});
        }
    }
}

TEST(FilterValue, PackedColourGainsSplitIntoTheThreeGainWordsAndPackBack) {
    SettingsBlock block;
    AnalogSettings analog;
    const std::int32_t packed = 255 << 16 | 128 << 8 | 64;
    ASSERT_EQ(storeFilterValue(block, analog, id(FilterId::BayerGainRgb), packed),
              FilterStore::Stored);
    EXPECT_EQ(block.get(SettingsWord::ColourGainRed), 64);
    EXPECT_EQ(block.get(SettingsWord::ColourGainGreen), 128);
    EXPECT_EQ(block.get(SettingsWord::ColourGainBlue), 255);
    EXPECT_EQ(storedFilterValue(block, id(FilterId::BayerGainRgb)), packed);
}

TEST(FilterValue, PackedColourGainsIgnoreTheTopByteAndReadBackEightBitsEach) {
    SettingsBlock block;
    AnalogSettings analog;
    ASSERT_EQ(storeFilterValue(block, analog, id(FilterId::BayerGainRgb), -1), FilterStore::Stored);
    EXPECT_EQ(block.get(SettingsWord::ColourGainRed), 255);
    EXPECT_EQ(block.get(SettingsWord::ColourGainBlue), 255);
    // A single gain set above 255 reads back through the packed form as its low 8 bits.
    ASSERT_EQ(storeFilterValue(block, analog, id(FilterId::BayerGainGreen), 800),
              FilterStore::Stored);
    EXPECT_EQ(storedFilterValue(block, id(FilterId::BayerGainRgb)), 0x00FF20FF);
}

TEST(FilterValue, AutomaticColourGainStoresAnyValueAsZeroOrOne) {
    SettingsBlock block;
    AnalogSettings analog;
    ASSERT_EQ(storeFilterValue(block, analog, id(FilterId::BayerGainAuto), -7),
              FilterStore::Stored);
    EXPECT_EQ(block.get(SettingsWord::AutoColourGain), 1);
    EXPECT_EQ(storedFilterValue(block, id(FilterId::BayerGainAuto)), 1);
    ASSERT_EQ(storeFilterValue(block, analog, id(FilterId::BayerGainAuto), 0), FilterStore::Stored);
    EXPECT_EQ(storedFilterValue(block, id(FilterId::BayerGainAuto)), 0);
}

TEST(FilterValue, GlobalGainSetsAllFiveGainWordsAndAsksForTheCamera) {
    SettingsBlock block;
    AnalogSettings analog;
    ASSERT_EQ(storeFilterValue(block, analog, id(FilterId::GlobalGain), 1023),
              FilterStore::GainStored);
    EXPECT_EQ(analog.values(), (imaging::AnalogValues{1023, 1023, 1023, 1023, 1023, 0, 0, 0, 0}));
    EXPECT_EQ(storeFilterValue(block, analog, id(FilterId::GlobalGain), 1024),
              FilterStore::Rejected);
    EXPECT_EQ(storeFilterValue(block, analog, id(FilterId::GlobalGain), -1), FilterStore::Rejected);
    EXPECT_EQ(analog.get(AnalogWord::GlobalGain), 1023);
    // The gain the camera runs with is read from the camera, not from the block.
    EXPECT_EQ(storedFilterValue(block, id(FilterId::GlobalGain)), std::nullopt);
}

TEST(FilterValue, ExposureRangeStartsAtOne) {
    SettingsBlock block;
    AnalogSettings analog;
    EXPECT_EQ(storeFilterValue(block, analog, id(FilterId::ExposureTime), 0),
              FilterStore::Rejected);
    EXPECT_EQ(storeFilterValue(block, analog, id(FilterId::ExposureTime), 4456),
              FilterStore::Rejected);
    EXPECT_EQ(analog.get(AnalogWord::Exposure), 0);
    EXPECT_EQ(storeFilterValue(block, analog, id(FilterId::ExposureTime), 1),
              FilterStore::ExposureStored);
    EXPECT_EQ(storeFilterValue(block, analog, id(FilterId::ExposureTime), 4455),
              FilterStore::ExposureStored);
    EXPECT_EQ(analog.get(AnalogWord::Exposure), 4455);
    EXPECT_EQ(analog.get(AnalogWord::GlobalGain), 0);
    EXPECT_EQ(storedFilterValue(block, id(FilterId::ExposureTime)), std::nullopt);
}

TEST(FilterValue, SeparateColourGainsAndUnknownIdsAreRefused) {
    for (std::int32_t unsupported : {14, 15, 16, 17, 0, 28, -1, INT_MIN, INT_MAX}) {
        SettingsBlock block = markedBlock();
        AnalogSettings analog;
        EXPECT_EQ(filterRule(unsupported).kind, FilterKind::Unsupported) << unsupported;
        EXPECT_EQ(storeFilterValue(block, analog, unsupported, 0), FilterStore::Rejected);
        EXPECT_EQ(block.values(), markedBlock().values());
        EXPECT_EQ(analog.values(), imaging::AnalogValues{});
        EXPECT_EQ(storedFilterValue(block, unsupported), std::nullopt);
    }
}

}  // namespace
}  // namespace ostrel::context
