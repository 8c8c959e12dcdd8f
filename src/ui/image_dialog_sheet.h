// The image dialog: a property sheet with the image filter page and, in the monochrome colour
// modes, the gray filter page, over the context's settings block. It keeps a copy of the block
// from before the dialog so that anything but OK puts the block back; "Default(&D)" resets the
// pages' words and leaves the dialog open.
//
// Threads: the dialog's thread. reloadControls is how the capture thread's automatic gains reach
// the pages: the capture thread asks the dialog's thread (by a posted message) to call it.
#pragma once

#include <memory>

#include "platform/color_mode.h"
#include "platform/settings_block.h"
#include "ui/dialog_view.h"
#include "ui/gray_filter_dialog_page.h"
#include "ui/image_filter_dialog_page.h"

namespace ostrel::ui {

inline constexpr int kDefaultButton = 3;

class ImageFilterSheet {
public:
    // grayView is used only when the colour mode has the gray filter page. The block and the
    // views are borrowed for the sheet's life.
    ImageFilterSheet(imaging::SettingsBlock &block, imaging::ColorMode mode, DialogView &imageView,
                     DialogView &grayView);
    ImageFilterSheet(const ImageFilterSheet &) = delete;
    ImageFilterSheet &operator=(const ImageFilterSheet &) = delete;

    bool hasGrayPage() const { return grayPage_ != nullptr; }
    ImageFilterPage &imagePage() { return imagePage_; }
    // Null without the gray filter page.
    GrayFilterPage *grayPage() { return grayPage_.get(); }

    // Sets up the pages' controls.
    void initialise();
    // OK (the pages' controls into the block), Cancel or "Default(&D)".
    DialogEnd clicked(int control);
    // Shows the block's current words in the pages (after automatic gains).
    void reloadControls();
    // After the dialog has ended: anything but OK puts the block back as it was.
    void finish(DialogEnd end);

private:
    imaging::SettingsBlock &block_;
    const imaging::SettingsValues saved_;
    ImageFilterPage imagePage_;
    std::unique_ptr<GrayFilterPage> grayPage_;
};

}  // namespace ostrel::ui
