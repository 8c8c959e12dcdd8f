// The FilterId table: ranges, words and the packed colour gains.
#include "context/filter_value.h"

#include <array>

#include "context/exposure_time.h"

namespace ostrel::context {
namespace {

using imaging::AnalogWord;
using imaging::SettingsWord;

constexpr FilterRule word(SettingsWord w, std::int32_t min, std::int32_t max) {
    return FilterRule{FilterKind::Word, w, min, max};
}
constexpr FilterRule kind(FilterKind k, std::int32_t min = 0, std::int32_t max = 0) {
    return FilterRule{k, SettingsWord::Brightness, min, max};
}

// Indexed by FilterId; entry 0 stands for every id outside the table.
constexpr std::array<FilterRule, 28> kRules = {
    kind(FilterKind::Unsupported),
    word(SettingsWord::Brightness, -255, 255),
    word(SettingsWord::Contrast, -127, 127),
    word(SettingsWord::Hue, -360, 360),
    word(SettingsWord::Saturation, -255, 255),
    word(SettingsWord::Sharpness, 0, 30),
    kind(FilterKind::PackedRgb),
    word(SettingsWord::ColourGainRed, 0, 800),
    word(SettingsWord::ColourGainGreen, 0, 800),
    word(SettingsWord::ColourGainBlue, 0, 800),
    FilterRule{FilterKind::Flag, SettingsWord::AutoColourGain, 0, 1},
    word(SettingsWord::Gamma, 0, 200),
    word(SettingsWord::BayerMode, 0, 3),
    kind(FilterKind::GlobalGain, 0, kMaxGlobalGain),
    kind(FilterKind::Unsupported),
    kind(FilterKind::Unsupported),
    kind(FilterKind::Unsupported),
    kind(FilterKind::Unsupported),
    kind(FilterKind::Exposure, kMinExposure, kMaxExposure),
    word(SettingsWord::GrayMode, 0, 2),
    word(SettingsWord::GrayGainR, 0, 255),
    word(SettingsWord::GrayGainG1, 0, 255),
    word(SettingsWord::GrayGainG2, 0, 255),
    word(SettingsWord::GrayGainB, 0, 255),
    word(SettingsWord::GrayOffsetR, -255, 255),
    word(SettingsWord::GrayOffsetG1, -255, 255),
    word(SettingsWord::GrayOffsetG2, -255, 255),
    word(SettingsWord::GrayOffsetB, -255, 255),
};

bool inRange(const FilterRule &rule, std::int32_t value) {
    return value >= rule.min && value <= rule.max;
}

}  // namespace

FilterRule filterRule(std::int32_t id) {
    if (id < 1 || id >= static_cast<std::int32_t>(kRules.size())) {
        return kRules[0];
    }
    return kRules[static_cast<std::size_t>(id)];
}

FilterStore storeFilterValue(imaging::SettingsBlock &block, imaging::AnalogSettings &analog,
                             std::int32_t id, std::int32_t value) {
    const FilterRule rule = filterRule(id);
    switch (rule.kind) {
        case FilterKind::Unsupported:
            return FilterStore::Rejected;
        case FilterKind::Word:
            if (!inRange(rule, value)) {
                return FilterStore::Rejected;
            }
            block.set(rule.word, value);
            return FilterStore::Stored;
        case FilterKind::PackedRgb:
            block.set(SettingsWord::ColourGainRed, value & 0xFF);
            block.set(SettingsWord::ColourGainGreen, (value >> 8) & 0xFF);
            block.set(SettingsWord::ColourGainBlue, (value >> 16) & 0xFF);
            return FilterStore::Stored;
        case FilterKind::Flag:
            block.set(rule.word, value != 0 ? 1 : 0);
            return FilterStore::Stored;
        case FilterKind::GlobalGain:
            if (!inRange(rule, value)) {
                return FilterStore::Rejected;
            }
            for (AnalogWord gain :
                 {AnalogWord::GlobalGain, AnalogWord::ColourGainG1, AnalogWord::ColourGainR,
                  AnalogWord::ColourGainB, AnalogWord::ColourGainG2}) {
                analog.set(gain, value);
            }
            return FilterStore::GainStored;
        case FilterKind::Exposure:
            if (!inRange(rule, value)) {
                return FilterStore::Rejected;
            }
            analog.set(AnalogWord::Exposure, value);
            return FilterStore::ExposureStored;
    }
    return FilterStore::Rejected;
}

std::optional<std::int32_t> storedFilterValue(const imaging::SettingsBlock &block,
                                              std::int32_t id) {
    const FilterRule rule = filterRule(id);
    switch (rule.kind) {
        case FilterKind::Word:
        case FilterKind::Flag:
            return block.get(rule.word);
        case FilterKind::PackedRgb:
            return (block.get(SettingsWord::ColourGainBlue) & 0xFF) << 16 |
                   (block.get(SettingsWord::ColourGainGreen) & 0xFF) << 8 |
                   (block.get(SettingsWord::ColourGainRed) & 0xFF);
        case FilterKind::Unsupported:
        case FilterKind::GlobalGain:
        case FilterKind::Exposure:
            break;
    }
    return std::nullopt;
}

}  // namespace ostrel::context
