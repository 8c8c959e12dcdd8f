// The settings dialogs on Windows: each dialog and page is a host that turns window messages
// into calls on its dialog logic, whose view updates become control messages. The hosts of one
// dialog share one flag that marks the logic's own control changes, so that only the user's
// typing counts as an edit change.
#include "ui/settings_dialogs.h"

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <memory>

#include "ui/image_dialog_sheet.h"
#include "ui/resources/dialog_templates.h"
#include "ui/win32/dialog_host.h"

namespace ostrel::ui {

namespace {

using win32::ControlView;
using win32::DialogHost;
using win32::UpdatingGuard;

constexpr int kTabControl = 1001;
// Where a page sits inside its tab control, in pixels.
constexpr int kPageX = 30;
constexpr int kPageY = 25;

void initialiseControls() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);
}

int pick(DialogLanguage language, int english, int japanese) {
    return language == DialogLanguage::Japanese ? japanese : english;
}

// A template that cannot be loaded (-1) ends like Cancel.
DialogEnd endOf(INT_PTR result) {
    return result == 1 ? DialogEnd::Ok : DialogEnd::Cancel;
}

// Posts other threads' work to one dialog window and returns at once.
class PostingRefresher : public DialogRefresher {
public:
    explicit PostingRefresher(HWND window) : window_(window) {}
    void postValue(int control, std::int32_t value) override {
        PostMessageW(window_, win32::kShowValueMessage, static_cast<WPARAM>(control),
                     static_cast<LPARAM>(value));
    }
    void postReload() override { PostMessageW(window_, win32::kReloadMessage, 0, 0); }

private:
    HWND window_;
};

// A dialog's refresher, published while its window lives and withdrawn before the window is
// destroyed (publish(nullptr) returns only when no other thread is still using it).
class Publication {
public:
    explicit Publication(const PublishRefresher &publish) : publish_(publish) {}
    ~Publication() { withdraw(); }
    Publication(const Publication &) = delete;
    Publication &operator=(const Publication &) = delete;

    void publish(HWND window) {
        refresher_ = std::make_unique<PostingRefresher>(window);
        if (publish_) {
            publish_(refresher_.get());
        }
    }
    void withdraw() {
        if (refresher_ && publish_) {
            publish_(nullptr);
        }
        refresher_.reset();
    }

private:
    const PublishRefresher &publish_;
    std::unique_ptr<PostingRefresher> refresher_;
};

// A page of a tab control: its controls' messages go to its logic, which the frame owns.
template <typename Page>
class PageHost : public DialogHost {
public:
    PageHost(bool &updating, Page *&page) : DialogHost(updating), page_(page) {}
    ControlView &view() { return view_; }

private:
    void opened() override { view_.attach(window()); }
    void command(int control, int code) override {
        if (page_ == nullptr || updating_) {
            return;
        }
        UpdatingGuard guard(updating_);
        if (code == EN_CHANGE) {
            page_->editChanged(control, view_.text(control));
        } else if (code == BN_CLICKED) {
            (void)page_->clicked(control);
        }
    }
    void scrolled(int control, std::int32_t position) override {
        if (page_ != nullptr && !updating_) {
            UpdatingGuard guard(updating_);
            page_->sliderMoved(control, position);
        }
    }

    ControlView view_;
    Page *&page_;
};

// ---- Camera settings dialog --------------------------------------------------------------

class CameraDialogHost : public DialogHost {
public:
    CameraDialogHost(DialogLanguage language, CameraDialogStore store)
        : DialogHost(updating_flag_),
          language_(language),
          logic_(language, view_, std::move(store)) {}

private:
    void opened() override {
        view_.attach(window());
        win32::insertTab(GetDlgItem(window(), kTabControl), 0,
                         cameraDialogTexts(language_).streamFormatTab);
        logic_.initialise();
    }
    void command(int control, int code) override {
        if (updating_) {
            return;
        }
        UpdatingGuard guard(updating_);
        if (code == CBN_SELCHANGE) {
            logic_.selectionChanged(control, static_cast<int>(SendDlgItemMessageW(
                                                 window(), control, CB_GETCURSEL, 0, 0)));
        } else if (code == EN_CHANGE) {
            logic_.editChanged(control, view_.text(control));
        } else if (code == BN_CLICKED) {
            const DialogEnd end = logic_.clicked(control);
            if (end != DialogEnd::None) {
                EndDialog(window(), dialogResult(end));
            }
        }
    }

    bool updating_flag_ = false;
    DialogLanguage language_;
    ControlView view_;
    CameraSettingsDialog logic_;
};

// ---- Image dialog ------------------------------------------------------------------------

class ImageDialogHost : public DialogHost {
public:
    ImageDialogHost(DialogLanguage language, imaging::SettingsBlock &block, imaging::ColorMode mode,
                    const PublishRefresher &publish)
        : DialogHost(updating_flag_),
          language_(language),
          imageHost_(updating_flag_, imagePage_),
          grayHost_(updating_flag_, grayPage_),
          sheet_(block, mode, imageHost_.view(), grayHost_.view()),
          publication_(publish) {}

private:
    void opened() override {
        const HWND tab = GetDlgItem(window(), kTabControl);
        win32::insertTab(tab, 0, kImageFilterTab);
        const HWND imagePage = imageHost_.createChild(
            pick(language_, OSTREL_DLG_IMAGE_PAGE_EN, OSTREL_DLG_IMAGE_PAGE_JA), tab);
        HWND grayPage = nullptr;
        if (sheet_.hasGrayPage()) {
            win32::insertTab(tab, 1, kGrayFilterTab);
            grayPage = grayHost_.createChild(
                pick(language_, OSTREL_DLG_GRAY_PAGE_EN, OSTREL_DLG_GRAY_PAGE_JA), tab);
        }
        if (imagePage == nullptr || (sheet_.hasGrayPage() && grayPage == nullptr)) {
            EndDialog(window(), dialogResult(DialogEnd::Cancel));
            return;
        }
        imagePage_ = &sheet_.imagePage();
        grayPage_ = sheet_.grayPage();
        sheet_.initialise();
        win32::placePage(imagePage, kPageX, kPageY, true);
        if (grayPage != nullptr) {
            win32::placePage(grayPage, kPageX, kPageY, false);
        }
        publication_.publish(window());
    }
    void command(int control, int code) override {
        if (code != BN_CLICKED || updating_) {
            return;
        }
        UpdatingGuard guard(updating_);
        const DialogEnd end = sheet_.clicked(control);
        if (end != DialogEnd::None) {
            publication_.withdraw();
            EndDialog(window(), dialogResult(end));
        }
    }
    void notified(const NMHDR &header) override {
        if (header.idFrom != kTabControl || header.code != TCN_SELCHANGE) {
            return;
        }
        const auto selected = SendMessageW(header.hwndFrom, TCM_GETCURSEL, 0, 0);
        ShowWindow(imageHost_.window(), selected == 0 ? SW_SHOW : SW_HIDE);
        if (grayHost_.window() != nullptr) {
            ShowWindow(grayHost_.window(), selected == 1 ? SW_SHOW : SW_HIDE);
        }
    }
    void posted(UINT message, WPARAM, LPARAM) override {
        if (message == win32::kReloadMessage) {
            UpdatingGuard guard(updating_);
            sheet_.reloadControls();
        }
    }
    void destroying() override { publication_.withdraw(); }

public:
    ImageFilterSheet &sheet() { return sheet_; }

private:
    bool updating_flag_ = false;
    DialogLanguage language_;
    ImageFilterPage *imagePage_ = nullptr;
    GrayFilterPage *grayPage_ = nullptr;
    PageHost<ImageFilterPage> imageHost_;
    PageHost<GrayFilterPage> grayHost_;
    ImageFilterSheet sheet_;
    Publication publication_;
};

// ---- Analog dialog -----------------------------------------------------------------------

class AnalogDialogHost : public DialogHost {
public:
    AnalogDialogHost(DialogLanguage language, imaging::AnalogSettings &settings,
                     imaging::SettingsBlock &block, AnalogCamera &camera,
                     const PublishRefresher &publish)
        : DialogHost(updating_flag_),
          language_(language),
          pageHost_(updating_flag_, page_),
          logic_(settings, block, camera, pageHost_.view()),
          publication_(publish) {}

    AnalogPage &logic() { return logic_; }

private:
    void opened() override {
        const HWND tab = GetDlgItem(window(), kTabControl);
        win32::insertTab(tab, 0, kAnalogGainTab);
        const HWND page = pageHost_.createChild(
            pick(language_, OSTREL_DLG_ANALOG_PAGE_EN, OSTREL_DLG_ANALOG_PAGE_JA), tab);
        if (page == nullptr) {
            EndDialog(window(), dialogResult(DialogEnd::Cancel));
            return;
        }
        page_ = &logic_;
        logic_.initialise();
        win32::placePage(page, kPageX, kPageY, true);
        publication_.publish(window());
    }
    void command(int control, int code) override {
        if (code != BN_CLICKED || updating_) {
            return;
        }
        UpdatingGuard guard(updating_);
        const DialogEnd end = logic_.clicked(control);
        if (end != DialogEnd::None) {
            publication_.withdraw();
            EndDialog(window(), dialogResult(end));
        }
    }
    void posted(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == win32::kShowValueMessage) {
            UpdatingGuard guard(updating_);
            logic_.showValue(static_cast<int>(wParam), static_cast<std::int32_t>(lParam));
        }
    }
    void destroying() override { publication_.withdraw(); }

    bool updating_flag_ = false;
    DialogLanguage language_;
    AnalogPage *page_ = nullptr;
    PageHost<AnalogPage> pageHost_;
    AnalogPage logic_;
    Publication publication_;
};

}  // namespace

bool settingsDialogsSupported() {
    return true;
}

std::optional<DialogEnd> runCameraSettingsDialog(platform::WindowHandle owner,
                                                 DialogLanguage language, CameraDialogStore store) {
    initialiseControls();
    CameraDialogHost host(language, std::move(store));
    return endOf(host.runModal(pick(language, OSTREL_DLG_CAMERA_EN, OSTREL_DLG_CAMERA_JA),
                               reinterpret_cast<HWND>(owner)));
}

std::optional<DialogEnd> runImageDialog(platform::WindowHandle owner, DialogLanguage language,
                                        imaging::SettingsBlock &block, imaging::ColorMode mode,
                                        const PublishRefresher &publish) {
    initialiseControls();
    ImageDialogHost host(language, block, mode, publish);
    const DialogEnd end = endOf(host.runModal(
        pick(language, OSTREL_DLG_IMAGE_EN, OSTREL_DLG_IMAGE_JA), reinterpret_cast<HWND>(owner)));
    host.sheet().finish(end);
    return end;
}

std::optional<DialogEnd> runAnalogDialog(platform::WindowHandle owner, DialogLanguage language,
                                         imaging::AnalogSettings &settings,
                                         imaging::SettingsBlock &block, AnalogCamera &camera,
                                         const PublishRefresher &publish) {
    initialiseControls();
    AnalogDialogHost host(language, settings, block, camera, publish);
    const DialogEnd end = endOf(host.runModal(
        pick(language, OSTREL_DLG_ANALOG_EN, OSTREL_DLG_ANALOG_JA), reinterpret_cast<HWND>(owner)));
    host.logic().finish(end);
    return end;
}

}  // namespace ostrel::ui
