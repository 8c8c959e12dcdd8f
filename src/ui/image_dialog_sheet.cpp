// The image dialog's buttons and its restore on Cancel.
#include "ui/image_dialog_sheet.h"

namespace ostrel::ui {

using imaging::SettingsWord;

namespace {

constexpr int kOk = 1;
constexpr int kCancel = 2;

void resetImageFilterWords(imaging::SettingsBlock &block) {
    for (const SettingsWord word :
         {SettingsWord::Brightness, SettingsWord::Contrast, SettingsWord::Hue,
          SettingsWord::Saturation, SettingsWord::Sharpness}) {
        block.set(word, 0);
    }
    for (const SettingsWord word : {SettingsWord::ColourGainRed, SettingsWord::ColourGainGreen,
                                    SettingsWord::ColourGainBlue, SettingsWord::Gamma}) {
        block.set(word, 100);
    }
    block.set(SettingsWord::BayerMode, 3);
}

void resetGrayFilterWords(imaging::SettingsBlock &block) {
    for (const SliderRow &row : kGrayFilterRows) {
        const bool gain = row.minimum == 0;
        block.set(row.word, gain ? 128 : 0);
    }
}

}  // namespace

ImageFilterSheet::ImageFilterSheet(imaging::SettingsBlock &block, imaging::ColorMode mode,
                                   DialogView &imageView, DialogView &grayView)
    : block_(block), saved_(block.values()), imagePage_(block, imageDialogFlags(mode), imageView) {
    if (imageDialogFlags(mode).grayPage) {
        grayPage_ = std::make_unique<GrayFilterPage>(block, grayView);
    }
}

void ImageFilterSheet::initialise() {
    imagePage_.initialise();
    if (grayPage_) {
        grayPage_->initialise();
    }
}

DialogEnd ImageFilterSheet::clicked(int control) {
    switch (control) {
        case kOk:
            imagePage_.storeControls();
            if (grayPage_) {
                grayPage_->storeControls();
            }
            return DialogEnd::Ok;
        case kCancel:
            return DialogEnd::Cancel;
        case kDefaultButton:
            resetImageFilterWords(block_);
            if (grayPage_) {
                // The gray mode is the user's choice of filter, not an adjustment: it stays.
                resetGrayFilterWords(block_);
            }
            reloadControls();
            return DialogEnd::None;
        default:
            return DialogEnd::None;
    }
}

void ImageFilterSheet::reloadControls() {
    imagePage_.loadControls();
    if (grayPage_) {
        grayPage_->loadControls();
    }
}

void ImageFilterSheet::finish(DialogEnd end) {
    if (end != DialogEnd::Ok) {
        block_.assign(saved_);
    }
}

}  // namespace ostrel::ui
