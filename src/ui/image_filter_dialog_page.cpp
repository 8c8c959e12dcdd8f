// The image filter page's reactions to its controls.
#include "ui/image_filter_dialog_page.h"

#include <algorithm>

#include "ui/dialog_numbers.h"

namespace ostrel::ui {

using imaging::SettingsWord;

ImageDialogFlags imageDialogFlags(imaging::ColorMode mode) {
    ImageDialogFlags flags;
    if (imaging::isColour(mode)) {
        flags.rows.fill(true);
        flags.whiteBalanceAndBayer = true;
        return flags;
    }
    // Brightness, contrast, sharpness and gamma.
    flags.rows = {true, true, false, false, true, false, false, false, true};
    flags.grayPage = true;
    return flags;
}

int showBayerRadios(DialogView &view, std::int32_t mode) {
    const int checked = mode >= 0 && mode <= 3 ? static_cast<int>(mode) : -1;
    for (int i = 0; i < static_cast<int>(kBayerRadios.size()); ++i) {
        view.setChecked(kBayerRadios[static_cast<std::size_t>(i)], i == checked);
    }
    return checked;
}

int bayerModeOfRadio(int control) {
    const auto found = std::find(kBayerRadios.begin(), kBayerRadios.end(), control);
    return found == kBayerRadios.end() ? -1 : static_cast<int>(found - kBayerRadios.begin());
}

ImageFilterPage::ImageFilterPage(imaging::SettingsBlock &block, const ImageDialogFlags &flags,
                                 DialogView &view)
    : block_(block), flags_(flags), view_(view) {}

void ImageFilterPage::initialise() {
    ready_ = false;
    for (std::size_t i = 0; i < kImageFilterRows.size(); ++i) {
        const SliderRow &row = kImageFilterRows[i];
        setUpSliderRow(view_, row, block_.get(row.word), flags_.rows[i]);
        editTexts_[i] = signedText(block_.get(row.word));
    }
    view_.setEnabled(kOnceButton, flags_.whiteBalanceAndBayer);
    view_.setEnabled(kAllFramesCheck, flags_.whiteBalanceAndBayer);
    for (const int radio : kBayerRadios) {
        view_.setEnabled(radio, flags_.whiteBalanceAndBayer);
    }
    checkedBayer_ = showBayerRadios(view_, block_.get(SettingsWord::BayerMode));
    // White balance on every frame is a choice of this dialog's life, whatever the block says.
    allFrames_ = false;
    view_.setChecked(kAllFramesCheck, false);
    ready_ = true;
}

void ImageFilterPage::showRow(std::size_t index, std::int32_t value) {
    showSliderRow(view_, kImageFilterRows[index], value);
    editTexts_[index] = signedText(value);
}

void ImageFilterPage::sliderMoved(int control, std::int32_t position) {
    for (std::size_t i = 0; i < kImageFilterRows.size(); ++i) {
        const SliderRow &row = kImageFilterRows[i];
        if (row.trackbar == control) {
            editTexts_[i] = signedText(position);
            view_.setText(row.edit, editTexts_[i]);
            block_.set(row.word, position);
            return;
        }
    }
}

void ImageFilterPage::editChanged(int control, std::string_view text) {
    for (std::size_t i = 0; i < kImageFilterRows.size(); ++i) {
        const SliderRow &row = kImageFilterRows[i];
        if (row.edit != control) {
            continue;
        }
        editTexts_[i] = std::string(text);
        if (!ready_) {
            return;
        }
        // Stored as typed: only the trackbar keeps to the row's range.
        const std::int32_t value = signedNumberOrZero(text);
        block_.set(row.word, value);
        view_.setPosition(row.trackbar, value);
        return;
    }
}

void ImageFilterPage::clicked(int control) {
    const int bayer = bayerModeOfRadio(control);
    if (bayer >= 0) {
        block_.set(SettingsWord::BayerMode, bayer);
        checkedBayer_ = showBayerRadios(view_, bayer);
        return;
    }
    if (control == kOnceButton) {
        // One white balance step on the next frame; the pipeline clears the three words.
        block_.set(SettingsWord::AutoColourGain, 1);
        block_.set(SettingsWord::AutoColourGainOnce1, 1);
        block_.set(SettingsWord::AutoColourGainOnce2, 1);
        allFrames_ = false;
        view_.setChecked(kAllFramesCheck, false);
    } else if (control == kAllFramesCheck) {
        allFrames_ = !allFrames_;
        view_.setChecked(kAllFramesCheck, allFrames_);
        block_.set(SettingsWord::AutoColourGain, allFrames_ ? 1 : 0);
        block_.set(SettingsWord::AutoColourGainOnce1, 0);
        block_.set(SettingsWord::AutoColourGainOnce2, 0);
    }
}

void ImageFilterPage::loadControls() {
    for (std::size_t i = 0; i < kImageFilterRows.size(); ++i) {
        showRow(i, block_.get(kImageFilterRows[i].word));
    }
    checkedBayer_ = showBayerRadios(view_, block_.get(SettingsWord::BayerMode));
}

void ImageFilterPage::storeControls() {
    for (std::size_t i = 0; i < kImageFilterRows.size(); ++i) {
        block_.set(kImageFilterRows[i].word, signedNumberOrZero(editTexts_[i]));
    }
    if (checkedBayer_ >= 0) {
        block_.set(SettingsWord::BayerMode, checkedBayer_);
    }
}

}  // namespace ostrel::ui
