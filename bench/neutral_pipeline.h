// What the pipeline benchmarks need to run ProcessFrame alone: frame controls with no camera
// behind them and settings that leave every adjustment neutral.
#pragma once

#include <cstdint>

#include "imaging/frame_controls.h"
#include "imaging/settings_block.h"

namespace ostrel::bench {

// Controls that accept everything and do nothing, so that only the pipeline is timed.
class QuietControls final : public imaging::FrameControls {
public:
    bool hasDevice() const override { return true; }
    void setGain(std::int32_t) override {}
    void setExposure(std::int32_t) override {}
    std::int32_t maxExposure() const override { return 4455; }
    void waitMilliseconds(int) override {}
    void recordError(std::int32_t) override {}
    void postFrameNotification(std::int32_t) override {}
    void refreshAnalogPage(int, std::int32_t) override {}
    void refreshImageFilterDialog() override {}
};

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
