// The Win32 side of the settings dialogs: one dialog procedure for every dialog and page that
// finds its host object through the window (DWLP_USER, set from the creation parameter), and a
// view that turns the dialog logic's control updates into control messages.
//
// Threads: a host lives on the thread that runs its dialog; only postToDialog may be called
// from another thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "ui/dialog_view.h"

namespace ostrel::ui::win32 {

// Private messages that other threads post to an open dialog.
inline constexpr UINT kShowValueMessage = WM_APP + 1;  // wParam control, lParam value
inline constexpr UINT kReloadMessage = WM_APP + 2;

// The module that holds the dialog templates: the library itself.
HMODULE libraryModule();

std::wstring toWide(std::string_view utf8);
std::string toUtf8(std::wstring_view wide);

class DialogHost {
public:
    // updating is shared by the hosts of one dialog (its frame and pages).
    explicit DialogHost(bool &updating) : updating_(updating) {}
    virtual ~DialogHost() = default;
    DialogHost(const DialogHost &) = delete;
    DialogHost &operator=(const DialogHost &) = delete;

    // Runs template `id` as a modal dialog owned by owner; the dialog's result, or -1 when the
    // template cannot be loaded or the window not made.
    INT_PTR runModal(int id, HWND owner);
    // Creates template `id` as a modeless child of parent (a page of a tab control). Null when
    // it cannot be made.
    HWND createChild(int id, HWND parent);

    HWND window() const { return window_; }

protected:
    // WM_INITDIALOG, with window() already set.
    virtual void opened() = 0;
    virtual void command(int control, int code) = 0;
    virtual void scrolled(int /*control*/, std::int32_t /*position*/) {}
    virtual void notified(const NMHDR & /*header*/) {}
    virtual void posted(UINT /*message*/, WPARAM, LPARAM) {}
    // WM_DESTROY: the last message the host sees.
    virtual void destroying() {}

    // True while the dialog's logic runs and changes controls: the edit notifications that causes
    // are not the user's.
    bool &updating_;

private:
    static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
};

// Makes a dialog's updating flag true for the life of the guard.
class UpdatingGuard {
public:
    explicit UpdatingGuard(bool &flag) : flag_(flag), before_(flag) { flag_ = true; }
    ~UpdatingGuard() { flag_ = before_; }
    UpdatingGuard(const UpdatingGuard &) = delete;
    UpdatingGuard &operator=(const UpdatingGuard &) = delete;

private:
    bool &flag_;
    bool before_;
};

// The dialog logic's view over the controls of one dialog window.
class ControlView : public DialogView {
public:
    void attach(HWND window) { window_ = window; }

    void setRange(int control, std::int32_t minimum, std::int32_t maximum) override;
    void setPosition(int control, std::int32_t position) override;
    void setText(int control, std::string_view text) override;
    void setChecked(int control, bool checked) override;
    void setEnabled(int control, bool enabled) override;
    void setItems(int control, std::span<const std::string> items) override;
    void selectItem(int control, int index) override;

    // The text of an edit, in UTF-8.
    std::string text(int control) const;

private:
    bool isTrackbar(HWND control) const;

    HWND window_ = nullptr;
};

// Inserts a tab with a UTF-8 caption.
void insertTab(HWND tabControl, int index, std::string_view caption);
// Places a page inside its tab control at the given pixel offset, keeping its size.
void placePage(HWND page, int x, int y, bool visible);

}  // namespace ostrel::ui::win32
