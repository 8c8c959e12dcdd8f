// The gray filter page's reactions to its controls.
#include "ui/gray_filter_dialog_page.h"

#include "ui/dialog_numbers.h"
#include "ui/image_filter_dialog_page.h"

namespace ostrel::ui {

using imaging::SettingsWord;

namespace {

void showGrayModeRadios(DialogView &view, std::int32_t mode) {
    for (std::size_t i = 0; i < kGrayModeRadios.size(); ++i) {
        view.setChecked(kGrayModeRadios[i], static_cast<std::int32_t>(i) == mode);
    }
}

}  // namespace

GrayFilterPage::GrayFilterPage(imaging::SettingsBlock &block, DialogView &view)
    : block_(block), view_(view) {}

void GrayFilterPage::initialise() {
    ready_ = false;
    for (std::size_t i = 0; i < kGrayFilterRows.size(); ++i) {
        const SliderRow &row = kGrayFilterRows[i];
        setUpSliderRow(view_, row, block_.get(row.word), true);
        editTexts_[i] = signedText(block_.get(row.word));
    }
    showGrayModeRadios(view_, block_.get(SettingsWord::GrayMode));
    (void)showBayerRadios(view_, block_.get(SettingsWord::BayerMode));
    allFrames_ = false;
    view_.setChecked(kAllFramesCheck, false);
    ready_ = true;
}

void GrayFilterPage::sliderMoved(int control, std::int32_t position) {
    for (std::size_t i = 0; i < kGrayFilterRows.size(); ++i) {
        const SliderRow &row = kGrayFilterRows[i];
        if (row.trackbar == control) {
            editTexts_[i] = signedText(position);
            view_.setText(row.edit, editTexts_[i]);
            block_.set(row.word, position);
            return;
        }
    }
}

void GrayFilterPage::editChanged(int control, std::string_view text) {
    for (std::size_t i = 0; i < kGrayFilterRows.size(); ++i) {
        const SliderRow &row = kGrayFilterRows[i];
        if (row.edit != control) {
            continue;
        }
        editTexts_[i] = std::string(text);
        if (ready_) {
            const std::int32_t value = signedNumberOrZero(text);
            block_.set(row.word, value);
            view_.setPosition(row.trackbar, value);
        }
        return;
    }
}

void GrayFilterPage::clicked(int control) {
    for (std::size_t i = 0; i < kGrayModeRadios.size(); ++i) {
        if (kGrayModeRadios[i] == control) {
            block_.set(SettingsWord::GrayMode, static_cast<std::int32_t>(i));
            showGrayModeRadios(view_, static_cast<std::int32_t>(i));
            return;
        }
    }
    const int bayer = bayerModeOfRadio(control);
    if (bayer >= 0) {
        block_.set(SettingsWord::BayerMode, bayer);
        (void)showBayerRadios(view_, bayer);
    } else if (control == kOnceButton) {
        block_.set(SettingsWord::AutoGrayGainCountdown, 1);
    } else if (control == kAllFramesCheck) {
        // A negative countdown never reaches 0: gains on every frame until clicked again.
        allFrames_ = !allFrames_;
        view_.setChecked(kAllFramesCheck, allFrames_);
        const std::int32_t countdown = block_.get(SettingsWord::AutoGrayGainCountdown);
        block_.set(SettingsWord::AutoGrayGainCountdown, countdown == 0 ? -1 : 0);
    }
}

void GrayFilterPage::loadControls() {
    for (std::size_t i = 0; i < kGrayFilterRows.size(); ++i) {
        const std::int32_t value = block_.get(kGrayFilterRows[i].word);
        showSliderRow(view_, kGrayFilterRows[i], value);
        editTexts_[i] = signedText(value);
    }
}

void GrayFilterPage::storeControls() {
    for (std::size_t i = 0; i < kGrayFilterRows.size(); ++i) {
        block_.set(kGrayFilterRows[i].word, signedNumberOrZero(editTexts_[i]));
    }
}

}  // namespace ostrel::ui
