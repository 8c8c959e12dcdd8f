// One slider row of the image and gray filter pages: a trackbar, an edit and an up-down
// control that all show one word of the settings block.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "platform/settings_block.h"
#include "ui/dialog_view.h"

namespace ostrel::ui {

struct SliderRow {
    int trackbar;
    int edit;
    int upDown;
    std::int32_t minimum;
    std::int32_t maximum;
    imaging::SettingsWord word;
};

// Range, position and text of the row from its word, and the three controls enabled or not.
void setUpSliderRow(DialogView &view, const SliderRow &row, std::int32_t value, bool enabled);
// Position and text of the row from its word (the range and enabling stay).
void showSliderRow(DialogView &view, const SliderRow &row, std::int32_t value);

// The row whose trackbar, or whose edit, is control; nullopt when none is.
std::optional<SliderRow> rowOfTrackbar(std::span<const SliderRow> rows, int control);
std::optional<SliderRow> rowOfEdit(std::span<const SliderRow> rows, int control);

}  // namespace ostrel::ui
