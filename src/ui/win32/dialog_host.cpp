// The settings dialogs' one dialog procedure and their control view over Win32 controls.
#include "ui/win32/dialog_host.h"

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cwchar>

namespace ostrel::ui::win32 {

HMODULE libraryModule() {
    HMODULE module = nullptr;
    // The module that holds this code: the DLL in the product, the program in a static test.
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&libraryModule), &module)) {
        return nullptr;
    }
    return module;
}

std::wstring toWide(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf8.size());
    const int count = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(count > 0 ? count : 0), L'\0');
    if (count > 0) {
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), count);
    }
    return wide;
}

std::string toUtf8(std::wstring_view wide) {
    if (wide.empty()) {
        return {};
    }
    const int size = static_cast<int>(wide.size());
    const int count =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(count > 0 ? count : 0), '\0');
    if (count > 0) {
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), count, nullptr, nullptr);
    }
    return utf8;
}

INT_PTR DialogHost::runModal(int id, HWND owner) {
    return DialogBoxParamW(libraryModule(), MAKEINTRESOURCEW(id), owner, &procedure,
                           reinterpret_cast<LPARAM>(this));
}

HWND DialogHost::createChild(int id, HWND parent) {
    return CreateDialogParamW(libraryModule(), MAKEINTRESOURCEW(id), parent, &procedure,
                              reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK DialogHost::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogHost *host = nullptr;
    if (message == WM_INITDIALOG) {
        // Each dialog finds its own host through its window, never through a shared pointer.
        host = reinterpret_cast<DialogHost *>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        host->window_ = window;
    } else {
        host = reinterpret_cast<DialogHost *>(GetWindowLongPtrW(window, DWLP_USER));
    }
    if (host == nullptr) {
        return FALSE;
    }
    const INT_PTR handled = host->handle(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, DWLP_USER, 0);
        host->window_ = nullptr;
    }
    return handled;
}

INT_PTR DialogHost::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            UpdatingGuard guard(updating_);
            opened();
            return TRUE;
        }
        case WM_COMMAND:
            command(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_HSCROLL: {
            const HWND control = reinterpret_cast<HWND>(lParam);
            wchar_t name[32] = {};
            if (control != nullptr && GetClassNameW(control, name, 32) > 0 &&
                std::wcscmp(name, TRACKBAR_CLASSW) == 0) {
                const auto position =
                    static_cast<std::int32_t>(SendMessageW(control, TBM_GETPOS, 0, 0));
                scrolled(GetDlgCtrlID(control), position);
            }
            return TRUE;
        }
        case WM_NOTIFY:
            notified(*reinterpret_cast<const NMHDR *>(lParam));
            return TRUE;
        case kShowValueMessage:
        case kReloadMessage:
            posted(message, wParam, lParam);
            return TRUE;
        case WM_DESTROY:
            destroying();
            return TRUE;
        default:
            return FALSE;
    }
}

bool ControlView::isTrackbar(HWND control) const {
    wchar_t name[32] = {};
    return GetClassNameW(control, name, 32) > 0 && std::wcscmp(name, TRACKBAR_CLASSW) == 0;
}

void ControlView::setRange(int control, std::int32_t minimum, std::int32_t maximum) {
    const HWND item = GetDlgItem(window_, control);
    if (isTrackbar(item)) {
        SendMessageW(item, TBM_SETRANGEMAX, FALSE, maximum);
        SendMessageW(item, TBM_SETRANGEMIN, TRUE, minimum);
        // Some trackbars place their thumb only when the position changes: put it at the new
        // minimum now, so that a later position equal to the old one is still drawn right.
        SendMessageW(item, TBM_SETPOS, TRUE, minimum);
    } else {
        SendMessageW(item, UDM_SETRANGE32, static_cast<WPARAM>(minimum), maximum);
    }
}

void ControlView::setPosition(int control, std::int32_t position) {
    const HWND item = GetDlgItem(window_, control);
    if (isTrackbar(item)) {
        SendMessageW(item, TBM_SETPOS, TRUE, position);
    } else {
        SendMessageW(item, UDM_SETPOS32, 0, position);
    }
}

void ControlView::setText(int control, std::string_view text) {
    SetDlgItemTextW(window_, control, toWide(text).c_str());
}

void ControlView::setChecked(int control, bool checked) {
    CheckDlgButton(window_, control, checked ? BST_CHECKED : BST_UNCHECKED);
}

void ControlView::setEnabled(int control, bool enabled) {
    EnableWindow(GetDlgItem(window_, control), enabled ? TRUE : FALSE);
}

void ControlView::setItems(int control, std::span<const std::string> items) {
    const HWND list = GetDlgItem(window_, control);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (const std::string &item : items) {
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(item).c_str()));
    }
}

void ControlView::selectItem(int control, int index) {
    SendDlgItemMessageW(window_, control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::string ControlView::text(int control) const {
    const HWND item = GetDlgItem(window_, control);
    const int length = GetWindowTextLengthW(item);
    std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
    const int read = GetWindowTextW(item, wide.data(), length + 1);
    wide.resize(static_cast<std::size_t>(read > 0 ? read : 0));
    return toUtf8(wide);
}

void insertTab(HWND tabControl, int index, std::string_view caption) {
    std::wstring text = toWide(caption);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    SendMessageW(tabControl, TCM_INSERTITEMW, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&item));
}

void placePage(HWND page, int x, int y, bool visible) {
    SetWindowPos(page, HWND_TOP, x, y, 0, 0,
                 SWP_NOSIZE | (visible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

}  // namespace ostrel::ui::win32
