// The analog page's reactions to its controls and its restore on Cancel.
#include "ui/analog_dialog_page.h"

#include <cstdio>

#include "ui/dialog_numbers.h"

namespace ostrel::ui {

using imaging::AnalogWord;
using imaging::SettingsWord;
using namespace analog_control;

namespace {

constexpr int kOk = 1;
constexpr int kCancel = 2;
constexpr std::int32_t kMaxGain = 1023;
constexpr std::int32_t kMaxExposure = 4455;
constexpr std::int32_t kMaxExposureSubsampled = 2228;
constexpr std::int32_t kDefaultGain = 100;
constexpr std::int32_t kDefaultExposure = 100;

// Mirroring swaps the rows or columns of the mosaic, so its phase moves with it; a mode outside
// 0..3 means nothing to the pipeline and is left alone.
void toggleBayerPhase(imaging::SettingsBlock &block, std::int32_t phaseBit) {
    const std::int32_t mode = block.get(SettingsWord::BayerMode);
    if (mode >= 0 && mode <= 3) {
        block.set(SettingsWord::BayerMode, mode ^ phaseBit);
    }
}

}  // namespace

std::string exposureLabel(std::int32_t exposure) {
    const double ms =
        ((kMaxExposure - static_cast<double>(exposure)) * 3775.0 + 1426.0) * 0.00003125;
    char text[64];
    std::snprintf(text, sizeof text, "=%.2fms", ms);
    return text;
}

AnalogPage::AnalogPage(imaging::AnalogSettings &settings, imaging::SettingsBlock &block,
                       AnalogCamera &camera, DialogView &view)
    : settings_(settings),
      block_(block),
      camera_(camera),
      view_(view),
      saved_(settings.values()),
      savedBayer_(block.get(SettingsWord::BayerMode)) {}

void AnalogPage::initialise() {
    ready_ = false;
    const std::int32_t gain = settings_.get(AnalogWord::GlobalGain);
    view_.setRange(kGainSlider, 0, kMaxGain);
    view_.setRange(kGainSpin, 0, kMaxGain);
    view_.setPosition(kGainSlider, gain);
    view_.setPosition(kGainSpin, gain);
    setEdit(kGainEdit, gain);

    constexpr std::array<AnalogWord, 4> kColourWords{
        AnalogWord::ColourGainG1, AnalogWord::ColourGainR, AnalogWord::ColourGainB,
        AnalogWord::ColourGainG2};
    for (std::size_t i = 0; i < kColourGainRows.size(); ++i) {
        const std::int32_t value = settings_.get(kColourWords[i]);
        const auto &[slider, edit, spin] = kColourGainRows[i];
        view_.setRange(slider, 0, 0);
        view_.setRange(spin, 0, 0);
        view_.setPosition(slider, value);
        view_.setPosition(spin, value);
        view_.setText(edit, signedText(value));
        for (const int control : kColourGainRows[i]) {
            view_.setEnabled(control, false);
        }
    }

    const std::int32_t maxExposure =
        camera_.subsampleMode() != 0 ? kMaxExposureSubsampled : kMaxExposure;
    const std::int32_t exposure = settings_.get(AnalogWord::Exposure);
    view_.setRange(kExposureSlider, 1, maxExposure);
    view_.setRange(kExposureSpin, 1, maxExposure);
    view_.setPosition(kExposureSlider, exposure);
    view_.setPosition(kExposureSpin, exposure);
    setEdit(kExposureEdit, exposure);

    view_.setChecked(kMirrorV, settings_.get(AnalogWord::MirrorV) != 0);
    view_.setChecked(kMirrorH, settings_.get(AnalogWord::MirrorH) != 0);
    showAutoIris();
    view_.setText(kExposureLabel, exposureLabel(exposure));
    ready_ = true;
}

void AnalogPage::showAutoIris() {
    const std::int32_t mode = settings_.get(AnalogWord::AutoIris);
    view_.setChecked(kAutoIrisExposure, mode == imaging::kAutoIrisExposure);
    view_.setChecked(kAutoIrisGain, mode == imaging::kAutoIrisGain);
}

void AnalogPage::setEdit(int control, std::int32_t value) {
    (control == kGainEdit ? gainText_ : exposureText_) = signedText(value);
    view_.setText(control, signedText(value));
}

void AnalogPage::applyGain(std::int32_t gain) {
    settings_.set(AnalogWord::GlobalGain, gain);
    view_.setPosition(kGainSlider, gain);
    camera_.setGain(gain);
}

void AnalogPage::applyExposure(std::int32_t exposure) {
    settings_.set(AnalogWord::Exposure, exposure);
    view_.setPosition(kExposureSlider, exposure);
    camera_.setExposure(exposure);
    view_.setText(kExposureLabel, exposureLabel(exposure));
}

void AnalogPage::sliderMoved(int control, std::int32_t position) {
    if (control == kGainSlider) {
        showValue(kGainEdit, position);
    } else if (control == kExposureSlider) {
        showValue(kExposureEdit, position);
    }
}

void AnalogPage::showValue(int control, std::int32_t value) {
    if (control != kGainEdit && control != kExposureEdit) {
        return;
    }
    setEdit(control, value);
    editChanged(control, signedText(value));
}

void AnalogPage::editChanged(int control, std::string_view text) {
    if (control == kGainEdit) {
        gainText_ = std::string(text);
    } else if (control == kExposureEdit) {
        exposureText_ = std::string(text);
    } else {
        return;
    }
    if (!ready_) {
        return;
    }
    // Taken as typed: only the slider and the spin control keep to their range.
    const std::int32_t value = signedNumberOrZero(text);
    if (control == kGainEdit) {
        applyGain(value);
    } else {
        applyExposure(value);
    }
}

DialogEnd AnalogPage::clicked(int control) {
    switch (control) {
        case kMirrorV: {
            const std::int32_t flag = settings_.get(AnalogWord::MirrorV) != 0 ? 0 : 1;
            settings_.set(AnalogWord::MirrorV, flag);
            view_.setChecked(kMirrorV, flag != 0);
            toggleBayerPhase(block_, 1);
            return DialogEnd::None;
        }
        case kMirrorH: {
            const std::int32_t flag = settings_.get(AnalogWord::MirrorH) != 0 ? 0 : 1;
            camera_.setMirrorH(flag);
            settings_.set(AnalogWord::MirrorH, flag);
            view_.setChecked(kMirrorH, flag != 0);
            toggleBayerPhase(block_, 2);
            return DialogEnd::None;
        }
        case kAutoIrisGain:
        case kAutoIrisExposure: {
            const std::int32_t mode =
                control == kAutoIrisGain ? imaging::kAutoIrisGain : imaging::kAutoIrisExposure;
            const bool wasTicked = settings_.get(AnalogWord::AutoIris) == mode;
            settings_.set(AnalogWord::AutoIris, wasTicked ? imaging::kAutoIrisOff : mode);
            showAutoIris();
            return DialogEnd::None;
        }
        case kDefault:
            // Mirrors and the automatic iris are the user's set-up, not levels: they stay.
            settings_.set(AnalogWord::GlobalGain, kDefaultGain);
            for (const AnalogWord word : {AnalogWord::ColourGainG1, AnalogWord::ColourGainR,
                                          AnalogWord::ColourGainB, AnalogWord::ColourGainG2}) {
                settings_.set(word, 0);
            }
            settings_.set(AnalogWord::Exposure, kDefaultExposure);
            showValue(kGainEdit, kDefaultGain);
            showValue(kExposureEdit, kDefaultExposure);
            return DialogEnd::None;
        case kOk:
            settings_.set(AnalogWord::GlobalGain, signedNumberOrZero(gainText_));
            settings_.set(AnalogWord::Exposure, signedNumberOrZero(exposureText_));
            return DialogEnd::Ok;
        case kCancel:
            return DialogEnd::Cancel;
        default:
            return DialogEnd::None;
    }
}

void AnalogPage::finish(DialogEnd end) {
    if (end == DialogEnd::Ok) {
        return;
    }
    camera_.setGain(saved_[static_cast<std::size_t>(AnalogWord::GlobalGain)]);
    camera_.setExposure(saved_[static_cast<std::size_t>(AnalogWord::Exposure)]);
    camera_.setMirrorV(saved_[static_cast<std::size_t>(AnalogWord::MirrorV)]);
    camera_.setMirrorH(saved_[static_cast<std::size_t>(AnalogWord::MirrorH)]);
    settings_.assign(saved_);
    block_.set(SettingsWord::BayerMode, savedBayer_);
}

}  // namespace ostrel::ui
