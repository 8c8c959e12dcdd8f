// The gray filter page of the image dialog, present in the monochrome colour modes: the gray
// mode, a gain and an offset for each of the four mosaic positions, the automatic gray gain and
// the Bayer mode, all words of the context's settings block that change at once.
//
// Threads: the dialog's thread (see the image filter page).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/settings_block.h"
#include "ui/dialog_slider_row.h"
#include "ui/dialog_view.h"

namespace ostrel::ui {

// Gains then offsets of red, green 1, green 2 and blue.
inline constexpr std::array<SliderRow, 8> kGrayFilterRows{{
    {2100, 2101, 2102, 0, 400, imaging::SettingsWord::GrayGainR},
    {2103, 2104, 2105, 0, 400, imaging::SettingsWord::GrayGainG1},
    {2106, 2107, 2108, 0, 400, imaging::SettingsWord::GrayGainG2},
    {2109, 2110, 2111, 0, 400, imaging::SettingsWord::GrayGainB},
    {2112, 2113, 2114, -255, 255, imaging::SettingsWord::GrayOffsetR},
    {2115, 2116, 2117, -255, 255, imaging::SettingsWord::GrayOffsetG1},
    {2118, 2119, 2120, -255, 255, imaging::SettingsWord::GrayOffsetG2},
    {2121, 2122, 2123, -255, 255, imaging::SettingsWord::GrayOffsetB},
}};

// The filter mode radio buttons "Bayer", "Bayer convert" and "Grayscale" (gray modes 0, 1, 2).
inline constexpr std::array<int, 3> kGrayModeRadios{1046, 1047, 1048};

class GrayFilterPage {
public:
    GrayFilterPage(imaging::SettingsBlock &block, DialogView &view);
    GrayFilterPage(const GrayFilterPage &) = delete;
    GrayFilterPage &operator=(const GrayFilterPage &) = delete;

    void initialise();
    void sliderMoved(int control, std::int32_t position);
    void editChanged(int control, std::string_view text);
    void clicked(int control);

    // Shows words 13 to 20 in the rows (the radio buttons stay).
    void loadControls();
    // Takes the rows' edits into the block (the radio buttons' words were set when clicked).
    void storeControls();

private:
    imaging::SettingsBlock &block_;
    DialogView &view_;
    bool ready_ = false;
    std::array<std::string, kGrayFilterRows.size()> editTexts_;
    bool allFrames_ = false;
};

}  // namespace ostrel::ui
