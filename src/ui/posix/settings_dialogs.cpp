// Linux has no window toolkit bound to the library: no settings dialog can be shown, and the
// context reports "not supported" before asking for one.
#include "ui/settings_dialogs.h"

namespace ostrel::ui {

bool settingsDialogsSupported() {
    return false;
}

std::optional<DialogEnd> runCameraSettingsDialog(platform::WindowHandle, DialogLanguage,
                                                 CameraDialogStore) {
    return std::nullopt;
}

std::optional<DialogEnd> runImageDialog(platform::WindowHandle, DialogLanguage,
                                        imaging::SettingsBlock &, imaging::ColorMode,
                                        const PublishRefresher &) {
    return std::nullopt;
}

std::optional<DialogEnd> runAnalogDialog(platform::WindowHandle, DialogLanguage,
                                         imaging::AnalogSettings &, imaging::SettingsBlock &,
                                         AnalogCamera &, const PublishRefresher &) {
    return std::nullopt;
}

}  // namespace ostrel::ui
