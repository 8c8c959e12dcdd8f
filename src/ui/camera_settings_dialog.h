// The camera settings dialog: the stream format (colour mode, size entry, subsampling, clock and
// the capture loop's wait time) worked on a copy of the stored table, which OK and Apply write
// back. Only OK makes the context reload; Cancel writes nothing more.
//
// Threads: the dialog's thread, while the context's acquisition is stopped.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/dialog_texts.h"
#include "ui/dialog_view.h"
#include "settings/settings_store_records.h"

namespace ostrel::ui {

namespace camera_control {
inline constexpr int kColorList = 1009;
inline constexpr int kSizeList = 1010;
inline constexpr int kSubsampleList = 1012;
inline constexpr int kClockList = 1014;
inline constexpr int kApply = 1002;
// Total width, total height, image width, image height, origin x, origin y.
inline constexpr std::array<int, 6> kSizeEdits{1039, 1040, 1041, 1042, 1043, 1044};
inline constexpr int kWaitTimeEdit = 1045;
}  // namespace camera_control

// Where the dialog's table comes from and goes to: the settings store, or a test's own.
struct CameraDialogStore {
    std::function<bool(CameraDialogTable &)> load;
    std::function<bool(const CameraDialogTable &)> save;
};
// The user's settings store.
CameraDialogStore userCameraDialogStore();

class CameraSettingsDialog {
public:
    CameraSettingsDialog(DialogLanguage language, DialogView &view, CameraDialogStore store);
    CameraSettingsDialog(const CameraSettingsDialog &) = delete;
    CameraSettingsDialog &operator=(const CameraSettingsDialog &) = delete;

    // Loads the table (a missing settings key leaves the fresh table) and fills the controls.
    void initialise();
    void selectionChanged(int control, int index);
    void editChanged(int control, std::string_view text);
    // Apply, OK or Cancel.
    DialogEnd clicked(int control);

    const CameraDialogTable &table() const { return table_; }
    bool applyEnabled() const { return applyEnabled_; }

private:
    int customIndex() const { return offersCustom() ? table_.entryCount : -1; }
    bool offersCustom() const;
    void fillSizeList();
    void showEntry(const ImageGeometry &entry);
    void enableApply(bool enabled);
    void takeControls();

    const CameraDialogTexts &texts_;
    DialogView &view_;
    CameraDialogStore store_;
    CameraDialogTable table_;
    bool applyEnabled_ = false;
    // What the controls hold now.
    int color_ = 0;
    int size_ = 0;
    int subsample_ = 0;
    int clock_ = 0;
    std::array<std::string, 6> sizeTexts_;
    std::string waitTimeText_;
};

}  // namespace ostrel::ui
