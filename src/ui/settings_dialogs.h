// Showing the settings dialogs: each runs modally, owned by the application's window, over the
// dialog logic of this module. Windows builds them from the library's own dialog templates in
// the system's language; Linux has no window toolkit and shows none.
//
// Threads: each run function is called on the application's thread and returns when the dialog
// has ended. The refresher handed to `publish` may be used from any thread (the capture thread)
// until `publish(nullptr)` has returned, which happens before the dialog's window is destroyed.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "platform/analog_settings.h"
#include "platform/color_mode.h"
#include "platform/settings_block.h"
#include "platform/window_handle.h"
#include "ui/analog_dialog_page.h"
#include "ui/camera_settings_dialog.h"
#include "ui/dialog_texts.h"
#include "ui/dialog_view.h"

namespace ostrel::ui {

// Hands work from another thread to an open dialog: each call posts a message to the dialog's
// window and returns at once; the dialog applies it on its own thread.
class DialogRefresher {
public:
    virtual ~DialogRefresher() = default;
    // The analog page: a new value for edit 1015 (gain) or 1027 (exposure), taken as typed.
    virtual void postValue(int control, std::int32_t value) = 0;
    // The image dialog: show the settings block's current words in the pages.
    virtual void postReload() = 0;
};

// Called with the open dialog's refresher once its window exists, and with null before the
// window is destroyed.
using PublishRefresher = std::function<void(DialogRefresher *)>;

// False where no dialog can be shown (Linux).
bool settingsDialogsSupported();

// Each returns how the dialog ended; Cancel also when its template could not be loaded or the
// window could not be made; nullopt where dialogs are not supported. The caller has stopped the
// acquisition for the camera settings dialog.
std::optional<DialogEnd> runCameraSettingsDialog(platform::WindowHandle owner,
                                                 DialogLanguage language, CameraDialogStore store);
// The block is restored unless the dialog ends with OK.
std::optional<DialogEnd> runImageDialog(platform::WindowHandle owner, DialogLanguage language,
                                        imaging::SettingsBlock &block, imaging::ColorMode mode,
                                        const PublishRefresher &publish);
// The analog settings, the Bayer mode and the camera are restored unless it ends with OK.
std::optional<DialogEnd> runAnalogDialog(platform::WindowHandle owner, DialogLanguage language,
                                         imaging::AnalogSettings &settings,
                                         imaging::SettingsBlock &block, AnalogCamera &camera,
                                         const PublishRefresher &publish);

}  // namespace ostrel::ui
