// The settings reached by number through Ostrel_SetFilterValue / Ostrel_GetFilterValue: which
// word each FilterId names, its range, and how a value is stored and read back.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/analog_settings.h"
#include "platform/settings_block.h"

namespace ostrel::context {

enum class FilterId : std::int32_t {
    Brightness = 1,
    Contrast = 2,
    Hue = 3,
    Saturation = 4,
    Sharpness = 5,
    BayerGainRgb = 6,
    BayerGainRed = 7,
    BayerGainGreen = 8,
    BayerGainBlue = 9,
    BayerGainAuto = 10,
    Gamma = 11,
    BayerMode = 12,
    GlobalGain = 13,
    ColorGainRed = 14,
    ColorGainGreen1 = 15,
    ColorGainGreen2 = 16,
    ColorGainBlue = 17,
    ExposureTime = 18,
    GrayMode = 19,
    GrayGainR = 20,
    GrayGainG1 = 21,
    GrayGainG2 = 22,
    GrayGainB = 23,
    GrayOffsetR = 24,
    GrayOffsetG1 = 25,
    GrayOffsetG2 = 26,
    GrayOffsetB = 27,
};

enum class FilterKind {
    Unsupported,  // ids 14..17 and every id outside 1..27
    Word,         // one settings block word with a range
    PackedRgb,    // the three demosaicing gains packed in one value, no range check
    Flag,         // one settings block word holding 0 or 1
    GlobalGain,   // the analog gains; the camera is told at once
    Exposure,     // the analog exposure; the camera is told at once
};

struct FilterRule {
    FilterKind kind = FilterKind::Unsupported;
    imaging::SettingsWord word = imaging::SettingsWord::Brightness;  // Word and Flag
    std::int32_t min = 0;                                            // Word, GlobalGain, Exposure
    std::int32_t max = 0;
};

// The rule of any id; unknown ids are Unsupported.
[[nodiscard]] FilterRule filterRule(std::int32_t id);

// What storing a value did.
enum class FilterStore {
    Stored,          // kept in the settings block; applies from the next processed frame
    GainStored,      // kept in the analog settings; the camera is to get the global gain now
    ExposureStored,  // kept in the analog settings; the camera is to get the exposure now
    Rejected,        // unsupported id or value out of range; nothing was stored
};

// Range-checks and stores one value. A rejected value leaves every word as it was.
[[nodiscard]] FilterStore storeFilterValue(imaging::SettingsBlock &block,
                                           imaging::AnalogSettings &analog, std::int32_t id,
                                           std::int32_t value);

// The value of an id kept in the settings block (Word, PackedRgb, Flag); nothing for ids whose
// value lives in the camera (GlobalGain, Exposure) or that are unsupported.
[[nodiscard]] std::optional<std::int32_t> storedFilterValue(const imaging::SettingsBlock &block,
                                                            std::int32_t id);

}  // namespace ostrel::context
