// The image filter page of the image dialog: brightness, contrast, hue, saturation, sharpness,
// the three colour gains and gamma, each a slider row over one word of the context's settings
// block; the automatic white balance buttons; the Bayer mode radio buttons. Every change goes
// into the block at once, so the frame pipeline uses it from the next frame.
//
// Threads: the dialog's thread. The capture thread changes words of the same block; each word
// is atomic, and the page's controls are reloaded on the dialog's thread when it asks.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/color_mode.h"
#include "platform/settings_block.h"
#include "ui/dialog_slider_row.h"
#include "ui/dialog_view.h"

namespace ostrel::ui {

// Control identifiers shared by the image and gray filter pages.
inline constexpr int kOnceButton = 2074;
inline constexpr int kAllFramesCheck = 1035;
// The Bayer mode radio buttons for modes 0, 1, 2 and 3.
inline constexpr std::array<int, 4> kBayerRadios{1029, 1031, 1032, 1033};

// The nine slider rows, in the order of their enable flags.
inline constexpr std::array<SliderRow, 9> kImageFilterRows{{
    {2001, 2002, 2004, -255, 255, imaging::SettingsWord::Brightness},
    {2011, 2012, 2014, -127, 127, imaging::SettingsWord::Contrast},
    {2021, 2022, 2024, -360, 360, imaging::SettingsWord::Hue},
    {2031, 2032, 2034, -255, 255, imaging::SettingsWord::Saturation},
    {2041, 2042, 2044, 0, 30, imaging::SettingsWord::Sharpness},
    {2051, 2052, 2054, 0, 400, imaging::SettingsWord::ColourGainRed},
    {2061, 2062, 2063, 0, 400, imaging::SettingsWord::ColourGainGreen},
    {2071, 2072, 2073, 0, 400, imaging::SettingsWord::ColourGainBlue},
    {2081, 2082, 2084, 0, 200, imaging::SettingsWord::Gamma},
}};

// Which parts of the image dialog apply to a colour mode.
struct ImageDialogFlags {
    std::array<bool, 9> rows{};  // the slider rows, in table order
    bool whiteBalanceAndBayer = false;
    bool grayPage = false;
};

// Monochrome modes: brightness, contrast, sharpness and gamma, and the gray filter page.
// Colour modes: every row and the white balance and Bayer controls, no gray filter page.
ImageDialogFlags imageDialogFlags(imaging::ColorMode mode);

// Checks the radio button of a Bayer mode and unchecks the others (none for a mode outside
// 0..3). Returns the index checked, -1 for none.
int showBayerRadios(DialogView &view, std::int32_t mode);
// The Bayer mode of a radio button, -1 when control is none of them.
int bayerModeOfRadio(int control);

class ImageFilterPage {
public:
    // Works on block and shows it in view; both are borrowed for the page's life.
    ImageFilterPage(imaging::SettingsBlock &block, const ImageDialogFlags &flags, DialogView &view);
    ImageFilterPage(const ImageFilterPage &) = delete;
    ImageFilterPage &operator=(const ImageFilterPage &) = delete;

    // Sets up every control from the block; edit changes are ignored until it has finished.
    void initialise();

    // A trackbar moved to position.
    void sliderMoved(int control, std::int32_t position);
    // An edit's text changed (typed, or by its up-down control).
    void editChanged(int control, std::string_view text);
    // A push button, check box or radio button was clicked.
    void clicked(int control);

    // Shows the block's words in the rows and the Bayer mode radio buttons.
    void loadControls();
    // Takes the rows' edits and the checked Bayer mode radio button into the block.
    void storeControls();

    bool allFramesChecked() const { return allFrames_; }

private:
    void showRow(std::size_t index, std::int32_t value);

    imaging::SettingsBlock &block_;
    ImageDialogFlags flags_;
    DialogView &view_;
    bool ready_ = false;
    std::array<std::string, kImageFilterRows.size()> editTexts_;
    int checkedBayer_ = -1;
    bool allFrames_ = false;
};

}  // namespace ostrel::ui
