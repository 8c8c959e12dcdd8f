// What a settings dialog's logic asks of its window: the few control updates it makes, in the
// project's own words. The Win32 dialog procedures implement this over real controls; the tests
// implement it over a record of each control's state.
//
// Threads: called on the dialog's thread only.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace ostrel::ui {

// How a button press ends a dialog: not at all, with OK (result 1) or with Cancel (result 2).
enum class DialogEnd { None, Ok, Cancel };

// The result a modal dialog returns for an end.
constexpr std::int32_t dialogResult(DialogEnd end) {
    return end == DialogEnd::Ok ? 1 : 2;
}

class DialogView {
public:
    virtual ~DialogView() = default;
    // The range of a trackbar or up-down control.
    virtual void setRange(int control, std::int32_t minimum, std::int32_t maximum) = 0;
    // The position of a trackbar or up-down control (the control keeps it within its range).
    virtual void setPosition(int control, std::int32_t position) = 0;
    // The text of an edit or static control, in UTF-8.
    virtual void setText(int control, std::string_view text) = 0;
    virtual void setChecked(int control, bool checked) = 0;
    virtual void setEnabled(int control, bool enabled) = 0;
    // Replaces every item of a drop-down list, in UTF-8.
    virtual void setItems(int control, std::span<const std::string> items) = 0;
    // Selects an item of a drop-down list; -1 selects none.
    virtual void selectItem(int control, int index) = 0;
};

}  // namespace ostrel::ui
