// Automatic colour and gray gains.
#include "imaging/auto_gains.h"

#include <algorithm>

#include "imaging/apply_kernel.h"
#include "imaging/gray_gains.h"
#include "imaging/white_balance.h"

namespace ostrel::imaging {

void AutoColourGain(DibImage &raw, SettingsBlock &settings, FrameControls &controls) {
    if (settings.get(SettingsWord::AutoColourGain) == 0) {
        return;
    }
    WhiteBalanceGains gains;
    const WhiteBalanceParams params{settings.get(SettingsWord::BayerMode), &gains};
    const ConversionKernel measure =
        raw.bitCount() == 16 ? MeasureWhiteBalance16 : MeasureWhiteBalance8;
    if (ApplyKernel(raw, measure, raw, nullptr, 0, 0, &params, 0) != 1) {
        return;
    }
    settings.set(SettingsWord::ColourGainBlue, std::min(gains.blue, kMaxAutoColourGain));
    settings.set(SettingsWord::ColourGainGreen, std::min(gains.green, kMaxAutoColourGain));
    settings.set(SettingsWord::ColourGainRed, std::min(gains.red, kMaxAutoColourGain));
    controls.refreshImageFilterDialog();
    if (settings.get(SettingsWord::AutoColourGain) != 0 &&
        settings.get(SettingsWord::AutoColourGainOnce1) != 0 &&
        settings.get(SettingsWord::AutoColourGainOnce2) != 0) {
        settings.set(SettingsWord::AutoColourGain, 0);
        settings.set(SettingsWord::AutoColourGainOnce1, 0);
        settings.set(SettingsWord::AutoColourGainOnce2, 0);
    }
}

void AutoGrayGain(DibImage &image8, SettingsBlock &settings, FrameControls &controls) {
    const std::int32_t countdown = settings.get(SettingsWord::AutoGrayGainCountdown);
    if (countdown == 0) {
        return;
    }
    GrayGains gains;
    const GrayGainMeasureParams params{settings.get(SettingsWord::BayerMode), &gains};
    if (ApplyKernel(image8, MeasureGrayGains, image8, nullptr, 0, 0, &params, 0) != 1) {
        return;
    }
    settings.set(SettingsWord::GrayGainR, gains.r);
    settings.set(SettingsWord::GrayGainG1, gains.g1);
    settings.set(SettingsWord::GrayGainG2, gains.g2);
    settings.set(SettingsWord::GrayGainB, gains.b);
    controls.refreshImageFilterDialog();
    // Counted down from the value read, unless the dialog changed it meanwhile; the count wraps
    // instead of overflowing after 2^31 frames of a negative countdown.
    const auto next = static_cast<std::int32_t>(static_cast<std::uint32_t>(countdown) - 1u);
    settings.compareAndSet(SettingsWord::AutoGrayGainCountdown, countdown, next);
}

}  // namespace ostrel::imaging
