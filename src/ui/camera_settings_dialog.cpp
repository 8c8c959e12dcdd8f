// The camera settings dialog's lists, edits and buttons.
#include "ui/camera_settings_dialog.h"

#include <algorithm>
#include <cstdio>

#include "ui/dialog_numbers.h"
#include "settings/settings_store.h"

namespace ostrel::ui {

using namespace camera_control;

namespace {

constexpr int kOk = 1;
constexpr int kCancel = 2;
constexpr int kColorCount = 6;

std::string sizeText(const ImageGeometry &entry) {
    char text[32];
    std::snprintf(text, sizeof text, "%d x %d", static_cast<int>(entry.imageWidth),
                  static_cast<int>(entry.imageHeight));
    return text;
}

// Lists of one item ("1/1", "Nomal") store 0 whatever an older version stored.
int onlyItem(std::int32_t /*stored*/) {
    return 0;
}

}  // namespace

CameraDialogStore userCameraDialogStore() {
    return {[](CameraDialogTable &table) { return loadCameraDialogTable(table); },
            [](const CameraDialogTable &table) { return saveCameraDialogTable(table); }};
}

CameraSettingsDialog::CameraSettingsDialog(DialogLanguage language, DialogView &view,
                                           CameraDialogStore store)
    : texts_(cameraDialogTexts(language)), view_(view), store_(std::move(store)) {}

bool CameraSettingsDialog::offersCustom() const {
    // A full table has no room for another entry.
    return table_.entryCount < static_cast<std::int32_t>(CameraDialogTable::kMaxEntries);
}

void CameraSettingsDialog::initialise() {
    CameraDialogTable loaded;
    if (store_.load && store_.load(loaded)) {
        table_ = loaded;
    }
    table_.entryCount = std::clamp<std::int32_t>(
        table_.entryCount, 0, static_cast<std::int32_t>(CameraDialogTable::kMaxEntries));

    const std::vector<std::string> colors(texts_.colorItems.begin(), texts_.colorItems.end());
    view_.setItems(kColorList, colors);
    const auto code = static_cast<int>(table_.stream.colorMode);
    color_ = code >= 0 && code < kColorCount ? code : 0;
    view_.selectItem(kColorList, color_);

    const std::vector<std::string> subsamples{std::string(texts_.fullSubsample)};
    view_.setItems(kSubsampleList, subsamples);
    subsample_ = onlyItem(table_.stream.subsampleMode);
    view_.selectItem(kSubsampleList, subsample_);

    const std::vector<std::string> clocks{std::string(texts_.normalClock)};
    view_.setItems(kClockList, clocks);
    clock_ = onlyItem(static_cast<std::int32_t>(table_.stream.clock));
    view_.selectItem(kClockList, clock_);

    // A stored selection without an item (beyond the table or negative) falls back to the
    // first entry, so that what OK stores names an entry the context can load.
    size_ = table_.selectedSize;
    const bool isEntry = size_ >= 0 && size_ < table_.entryCount;
    const bool isCustom = offersCustom() && size_ == table_.entryCount;
    if (!isEntry && !isCustom) {
        size_ = table_.entryCount > 0 ? 0 : customIndex();
    }
    table_.selectedSize = size_;
    fillSizeList();
    // A new entry starts from the whole sensor rather than an unusable 0 x 0.
    showEntry(size_ < table_.entryCount ? table_.entries[static_cast<std::size_t>(size_)]
                                        : kSensorGeometry);
    waitTimeText_ = unsignedText(static_cast<std::int32_t>(table_.stream.waitTime));
    view_.setText(kWaitTimeEdit, waitTimeText_);

    enableApply(false);
    for (const int control : {kSizeList, kSubsampleList, kClockList}) {
        view_.setEnabled(control, false);
    }
    for (const int edit : kSizeEdits) {
        view_.setEnabled(edit, false);
    }
}

void CameraSettingsDialog::fillSizeList() {
    std::vector<std::string> items;
    for (std::int32_t i = 0; i < table_.entryCount; ++i) {
        items.push_back(sizeText(table_.entries[static_cast<std::size_t>(i)]));
    }
    if (offersCustom()) {
        items.emplace_back(texts_.customSize);
    }
    view_.setItems(kSizeList, items);
    view_.selectItem(kSizeList, size_);
}

void CameraSettingsDialog::showEntry(const ImageGeometry &entry) {
    const std::array<std::int32_t, 6> values{entry.totalWidth,  entry.totalHeight, entry.imageWidth,
                                             entry.imageHeight, entry.originX,     entry.originY};
    for (std::size_t i = 0; i < values.size(); ++i) {
        sizeTexts_[i] = unsignedText(values[i]);
        view_.setText(kSizeEdits[i], sizeTexts_[i]);
    }
}

void CameraSettingsDialog::enableApply(bool enabled) {
    applyEnabled_ = enabled;
    view_.setEnabled(kApply, enabled);
}

void CameraSettingsDialog::selectionChanged(int control, int index) {
    switch (control) {
        case kColorList:
            if (index >= 0 && index < kColorCount) {
                color_ = index;
            }
            break;
        case kSubsampleList:
        case kClockList:
            break;
        case kSizeList:
            if (index < 0 || index > table_.entryCount ||
                (index == table_.entryCount && !offersCustom())) {
                return;
            }
            size_ = index;
            if (index < table_.entryCount) {
                showEntry(table_.entries[static_cast<std::size_t>(index)]);
            }
            break;
        default:
            return;
    }
    enableApply(true);
}

void CameraSettingsDialog::editChanged(int control, std::string_view text) {
    const auto found = std::find(kSizeEdits.begin(), kSizeEdits.end(), control);
    if (found != kSizeEdits.end()) {
        sizeTexts_[static_cast<std::size_t>(found - kSizeEdits.begin())] = std::string(text);
    } else if (control == kWaitTimeEdit) {
        waitTimeText_ = std::string(text);
    } else {
        return;
    }
    enableApply(true);
}

void CameraSettingsDialog::takeControls() {
    table_.stream.colorMode = static_cast<imaging::ColorMode>(color_);
    table_.stream.subsampleMode = subsample_;
    table_.stream.clock = static_cast<std::uint32_t>(clock_);
    table_.stream.waitTime = static_cast<std::uint32_t>(unsignedNumberOrZero(waitTimeText_));

    ImageGeometry &entry = table_.entries[static_cast<std::size_t>(size_)];
    entry.totalWidth = unsignedNumberOrZero(sizeTexts_[0]);
    entry.totalHeight = unsignedNumberOrZero(sizeTexts_[1]);
    entry.imageWidth = unsignedNumberOrZero(sizeTexts_[2]);
    entry.imageHeight = unsignedNumberOrZero(sizeTexts_[3]);
    entry.originX = unsignedNumberOrZero(sizeTexts_[4]);
    entry.originY = unsignedNumberOrZero(sizeTexts_[5]);
    if (size_ == table_.entryCount) {
        // "Custom" becomes a new entry just before it.
        ++table_.entryCount;
    }
    table_.selectedSize = size_;
    fillSizeList();
    enableApply(false);
}

DialogEnd CameraSettingsDialog::clicked(int control) {
    switch (control) {
        case kApply:
            takeControls();
            (void)(store_.save && store_.save(table_));
            return DialogEnd::None;
        case kOk:
            takeControls();
            // A failed write is not reported: the dialog still closes.
            (void)(store_.save && store_.save(table_));
            return DialogEnd::Ok;
        case kCancel:
            return DialogEnd::Cancel;
        default:
            return DialogEnd::None;
    }
}

}  // namespace ostrel::ui
