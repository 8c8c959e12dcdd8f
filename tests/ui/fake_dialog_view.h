// A dialog view for the dialog logic tests: it keeps what each control would show, and keeps
// trackbar and up-down positions within their range as the real controls do.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/dialog_view.h"

namespace ostrel::ui::testing {

struct FakeControl {
    bool hasRange = false;
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
    std::int32_t position = 0;
    std::string text;
    bool checked = false;
    bool enabled = true;
    std::vector<std::string> items;
    int selected = -1;
};

class FakeDialogView : public DialogView {
public:
    void setRange(int control, std::int32_t minimum, std::int32_t maximum) override {
        FakeControl &c = controls[control];
        c.hasRange = true;
        c.minimum = minimum;
        c.maximum = maximum;
        c.position = std::clamp(c.position, minimum, std::max(minimum, maximum));
    }
    void setPosition(int control, std::int32_t position) override {
        FakeControl &c = controls[control];
        c.position =
            c.hasRange ? std::clamp(position, c.minimum, std::max(c.minimum, c.maximum)) : position;
    }
    void setText(int control, std::string_view text) override {
        controls[control].text = std::string(text);
    }
    void setChecked(int control, bool checked) override { controls[control].checked = checked; }
    void setEnabled(int control, bool enabled) override { controls[control].enabled = enabled; }
    void setItems(int control, std::span<const std::string> items) override {
        controls[control].items.assign(items.begin(), items.end());
        controls[control].selected = -1;
    }
    void selectItem(int control, int index) override { controls[control].selected = index; }

    const FakeControl &operator[](int control) { return controls[control]; }

    std::map<int, FakeControl> controls;
};

}  // namespace ostrel::ui::testing
