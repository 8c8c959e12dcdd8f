// The settings store's analog, image filter and gray filter groups: subkeys "Gain", "Filter" and
// "Gray" of the settings key.
#include <cstddef>

#include "settings/settings_store.h"
#include "settings/settings_store_values.h"

namespace ostrel::ui {

using imaging::AnalogWord;
using imaging::SettingsWord;
using platform::RegistryAccess;
using platform::RegistryKey;
using platform::RegistryRoot;

namespace {

struct AnalogValue {
    std::string_view name;
    AnalogWord word;
};

// In the order they are read and written.
constexpr AnalogValue kGainValues[] = {
    {"Global", AnalogWord::GlobalGain},    {"ColorG1", AnalogWord::ColourGainG1},
    {"ColorR", AnalogWord::ColourGainR},   {"ColorB", AnalogWord::ColourGainB},
    {"ColorG2", AnalogWord::ColourGainG2}, {"Exposure", AnalogWord::Exposure},
    {"V_Mirror", AnalogWord::MirrorV},     {"H_Mirror", AnalogWord::MirrorH},
    {"AutoIris", AnalogWord::AutoIris},
};
// "Global" and the four colour gains share one temporary when they are read.
constexpr std::size_t kSharedGainValues = 5;

constexpr std::int32_t kDefaultGlobalGain = 100;
constexpr std::int32_t kDefaultExposure = 100;

struct BlockValue {
    std::string_view name;
    SettingsWord word;
    std::int32_t fallback;  // used when the subkey cannot be opened
};

constexpr BlockValue kFilterValues[] = {
    {"Brightness", SettingsWord::Brightness, 0},
    {"Contrast", SettingsWord::Contrast, 0},
    {"Hue", SettingsWord::Hue, 0},
    {"Saturation", SettingsWord::Saturation, 0},
    {"Sharpness", SettingsWord::Sharpness, 0},
    {"R_Gain", SettingsWord::ColourGainRed, 100},
    {"G_Gain", SettingsWord::ColourGainGreen, 100},
    {"B_Gain", SettingsWord::ColourGainBlue, 100},
    {"Gamma", SettingsWord::Gamma, 100},
    {"BayerMode", SettingsWord::BayerMode, 3},
};

constexpr BlockValue kGrayValues[] = {
    {"Mode", SettingsWord::GrayMode, 0},         {"GainR1", SettingsWord::GrayGainR, 128},
    {"GainG1", SettingsWord::GrayGainG1, 128},   {"GainG2", SettingsWord::GrayGainG2, 128},
    {"GainB1", SettingsWord::GrayGainB, 128},    {"OffsetR1", SettingsWord::GrayOffsetR, 0},
    {"OffsetG1", SettingsWord::GrayOffsetG1, 0}, {"OffsetG2", SettingsWord::GrayOffsetG2, 0},
    {"OffsetB1", SettingsWord::GrayOffsetB, 0},
};

// Words 21..30 of the block (0-based 20..29): reserved words, the automatic colour gain and its
// companion flags, the automatic gray-gain countdown. Cleared with the image filter defaults, so
// that a camera starting on defaults runs no automatic adjustment.
constexpr std::size_t kFirstClearedWord = static_cast<std::size_t>(SettingsWord::Reserved20);
constexpr std::size_t kLastClearedWord =
    static_cast<std::size_t>(SettingsWord::AutoGrayGainCountdown);

// Opens the settings key and its subkey for reading; false when either is missing.
bool openGroup(std::string_view subkey, RegistryKey &main, RegistryKey &group) {
    return main.open(RegistryRoot::CurrentUser, kSettingsKeyPath, RegistryAccess::Read) ==
               platform::kRegistryOk &&
           group.open(main, subkey, RegistryAccess::Read) == platform::kRegistryOk;
}

// Creates (or opens) the settings key and its subkey for writing.
bool createGroup(std::string_view subkey, RegistryKey &main, RegistryKey &group) {
    return main.create(RegistryRoot::CurrentUser, kSettingsKeyPath) == platform::kRegistryOk &&
           group.create(main, subkey) == platform::kRegistryOk;
}

template <std::size_t N>
bool loadBlockGroup(std::string_view subkey, const BlockValue (&values)[N],
                    imaging::SettingsBlock &block) {
    RegistryKey main;
    RegistryKey group;
    if (!openGroup(subkey, main, group)) {
        for (const BlockValue &value : values) {
            block.set(value.word, value.fallback);
        }
        return false;
    }
    for (const BlockValue &value : values) {
        std::int32_t word = block.get(value.word);
        if (detail::readWord(group, value.name, word)) {
            block.set(value.word, word);
        }
    }
    return true;
}

template <std::size_t N>
bool saveBlockGroup(std::string_view subkey, const BlockValue (&values)[N],
                    const imaging::SettingsBlock &block) {
    RegistryKey main;
    RegistryKey group;
    if (!createGroup(subkey, main, group)) {
        return false;
    }
    for (const BlockValue &value : values) {
        detail::writeWord(group, value.name, block.get(value.word));
    }
    return true;
}

}  // namespace

bool loadAnalogSettings(imaging::AnalogSettings &settings, std::int32_t mirrorVDefault,
                        std::int32_t mirrorHDefault) {
    RegistryKey main;
    RegistryKey group;
    if (!openGroup("Gain", main, group)) {
        settings.set(AnalogWord::GlobalGain, kDefaultGlobalGain);
        settings.set(AnalogWord::ColourGainG1, 0);
        settings.set(AnalogWord::ColourGainR, 0);
        settings.set(AnalogWord::ColourGainB, 0);
        settings.set(AnalogWord::ColourGainG2, 0);
        settings.set(AnalogWord::Exposure, kDefaultExposure);
        settings.set(AnalogWord::MirrorV, mirrorVDefault);
        settings.set(AnalogWord::MirrorH, mirrorHDefault);
        settings.set(AnalogWord::AutoIris, imaging::kAutoIrisOff);
        return true;
    }
    // A colour gain that is missing repeats the value before it, so a subkey that holds only
    // "Global" gives all four colour gains the global gain, as the global gain setter does.
    std::int32_t shared = 0;
    for (std::size_t i = 0; i < kSharedGainValues; ++i) {
        detail::readWord(group, kGainValues[i].name, shared);
        settings.set(kGainValues[i].word, shared);
    }
    for (std::size_t i = kSharedGainValues; i < std::size(kGainValues); ++i) {
        std::int32_t word = settings.get(kGainValues[i].word);
        if (detail::readWord(group, kGainValues[i].name, word)) {
            settings.set(kGainValues[i].word, word);
        }
    }
    return true;
}

bool saveAnalogSettings(const imaging::AnalogSettings &settings) {
    RegistryKey main;
    RegistryKey group;
    if (!createGroup("Gain", main, group)) {
        return false;
    }
    for (const AnalogValue &value : kGainValues) {
        detail::writeWord(group, value.name, settings.get(value.word));
    }
    return true;
}

bool loadImageFilterSettings(imaging::SettingsBlock &block) {
    if (loadBlockGroup("Filter", kFilterValues, block)) {
        return true;
    }
    for (std::size_t i = kFirstClearedWord; i <= kLastClearedWord; ++i) {
        block.setWord(i, 0);
    }
    return false;
}

bool saveImageFilterSettings(const imaging::SettingsBlock &block) {
    return saveBlockGroup("Filter", kFilterValues, block);
}

bool loadGrayFilterSettings(imaging::SettingsBlock &block) {
    return loadBlockGroup("Gray", kGrayValues, block);
}

bool saveGrayFilterSettings(const imaging::SettingsBlock &block) {
    return saveBlockGroup("Gray", kGrayValues, block);
}

}  // namespace ostrel::ui
