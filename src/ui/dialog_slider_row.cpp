// Setting up and showing the filter pages' slider rows.
#include "ui/dialog_slider_row.h"

#include "ui/dialog_numbers.h"

namespace ostrel::ui {

void setUpSliderRow(DialogView &view, const SliderRow &row, std::int32_t value, bool enabled) {
    view.setRange(row.trackbar, row.minimum, row.maximum);
    view.setRange(row.upDown, row.minimum, row.maximum);
    showSliderRow(view, row, value);
    view.setEnabled(row.trackbar, enabled);
    view.setEnabled(row.edit, enabled);
    view.setEnabled(row.upDown, enabled);
}

void showSliderRow(DialogView &view, const SliderRow &row, std::int32_t value) {
    view.setPosition(row.trackbar, value);
    view.setPosition(row.upDown, value);
    view.setText(row.edit, signedText(value));
}

std::optional<SliderRow> rowOfTrackbar(std::span<const SliderRow> rows, int control) {
    for (const SliderRow &row : rows) {
        if (row.trackbar == control) {
            return row;
        }
    }
    return std::nullopt;
}

std::optional<SliderRow> rowOfEdit(std::span<const SliderRow> rows, int control) {
    for (const SliderRow &row : rows) {
        if (row.edit == control) {
            return row;
        }
    }
    return std::nullopt;
}

}  // namespace ostrel::ui
