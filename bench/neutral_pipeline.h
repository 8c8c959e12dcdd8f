// What the pipeline benchmarks need to run ProcessFrame alone: frame controls with no camera
// behind them (shared with the tests) and settings that leave every adjustment neutral.
#pragma once

#include <cstdint>

#include "imaging/quiet_frame_controls.h"
#include "imaging/settings_block.h"

namespace ostrel::bench {

// Gamma 100, colour gains 100, the camera's Bayer mode 3, everything else off.
inline imaging::SettingsBlock neutralSettings() {
    imaging::SettingsBlock settings;
    settings.set(imaging::SettingsWord::Gamma, 100);
    settings.set(imaging::SettingsWord::ColourGainRed, 100);
    settings.set(imaging::SettingsWord::ColourGainGreen, 100);
    settings.set(imaging::SettingsWord::ColourGainBlue, 100);
    settings.set(imaging::SettingsWord::BayerMode, 3);
    return settings;
}

}  // namespace ostrel::bench
