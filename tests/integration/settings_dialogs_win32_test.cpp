// The settings dialogs through the exports, on Windows: a driver thread finds each dialog by its
// caption and owner, works its real controls with window messages and closes it, while the
// export runs the dialog on the test's thread. The results are checked through the getters and
// the registry (the context's calls wait while its dialog runs), and a screenshot of every dialog
// and page is kept in artefacts/ for a person to look at. The language the dialogs must show
// follows the system's: the suite runs once as it is and once with the Japanese system language
// (OSTREL_DIALOG_LANGUAGE=1041).
#if defined(_WIN32)

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "OstrelSdk.h"
#include "support/camera_session.h"

namespace ostrel::integration {
namespace {

bool japanese() {
    const char *language = std::getenv("OSTREL_DIALOG_LANGUAGE");
    return language != nullptr && std::string(language) == "1041";
}

const wchar_t *kCaption() {
    return japanese() ? L"\u30d7\u30ed\u30d1\u30c6\u30a3" : L"Property";
}

std::wstring textOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

std::wstring itemText(HWND dialog, int control) {
    return textOf(GetDlgItem(dialog, control));
}

std::wstring comboItem(HWND dialog, int control, int index) {
    wchar_t text[256] = {};
    SendDlgItemMessageW(dialog, control, CB_GETLBTEXT, static_cast<WPARAM>(index),
                        reinterpret_cast<LPARAM>(text));
    return text;
}

// A visible top-level window that owns the dialogs.
class OwnerWindow {
public:
    OwnerWindow() {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kClassName;
        RegisterClassA(&windowClass);
        window_ =
            CreateWindowExA(0, kClassName, "dialog owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                            200, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    ~OwnerWindow() {
        DestroyWindow(window_);
        UnregisterClassA(kClassName, GetModuleHandleA(nullptr));
    }
    OwnerWindow(const OwnerWindow &) = delete;
    OwnerWindow &operator=(const OwnerWindow &) = delete;
    HWND handle() const { return window_; }

private:
    static constexpr const char *kClassName = "OstrelDialogOwner";
    HWND window_ = nullptr;
};

// Saves what the screen shows of a window as a 24-bit bitmap file.
void screenshot(HWND window, const std::string &name) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    // Painting happens on the dialog's thread; give it a moment before reading the screen.
    Sleep(300);
    RECT rect = {};
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + stride * static_cast<DWORD>(height);
    std::filesystem::create_directories("artefacts");
    const std::string path = "artefacts/dialog-" + name + (japanese() ? "-ja" : "-en") + ".bmp";
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(&file), sizeof file);
    out.write(reinterpret_cast<const char *>(&info.bmiHeader), sizeof info.bmiHeader);
    out.write(static_cast<const char *>(bits), stride * static_cast<DWORD>(height));
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

// The first dialog window owned by owner with the dialogs' caption, within a generous time.
HWND waitForDialog(HWND owner) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < end) {
        HWND found = nullptr;
        while ((found = FindWindowExW(nullptr, found, L"#32770", kCaption())) != nullptr) {
            if (GetWindow(found, GW_OWNER) == owner && IsWindowVisible(found)) {
                return found;
            }
        }
        Sleep(20);
    }
    return nullptr;
}

// The page of a dialog's tab control that holds control.
HWND pageWith(HWND dialog, int control) {
    HWND tab = GetDlgItem(dialog, 1001);
    HWND found = nullptr;
    while ((found = FindWindowExW(tab, found, L"#32770", nullptr)) != nullptr) {
        if (GetDlgItem(found, control) != nullptr) {
            return found;
        }
    }
    return nullptr;
}

void moveTrackbar(HWND page, int control, int position) {
    HWND trackbar = GetDlgItem(page, control);
    SendMessageW(trackbar, TBM_SETPOS, TRUE, position);
    SendMessageW(page, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position),
                 reinterpret_cast<LPARAM>(trackbar));
}

void type(HWND dialog, int control, const wchar_t *text) {
    SetDlgItemTextW(dialog, control, text);
}

void click(HWND dialog, int control) {
    SendMessageW(GetDlgItem(dialog, control), BM_CLICK, 0, 0);
}

void choose(HWND dialog, int control, int index) {
    SendDlgItemMessageW(dialog, control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(control, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, control)));
}

void selectTab(HWND dialog, int index) {
    HWND tab = GetDlgItem(dialog, 1001);
    SendMessageW(tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    NMHDR header = {tab, 1001, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageW(dialog, WM_NOTIFY, 1001, reinterpret_cast<LPARAM>(&header));
}

std::int32_t storedDword(const char *subkey, const char *name) {
    const std::string path = ostrel::testing::settingsKeyPath(subkey);
    DWORD value = 0xDEADBEEF;
    DWORD size = sizeof value;
    RegGetValueA(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return static_cast<std::int32_t>(value);
}

// Runs show(handle, owner) on this thread while drive(dialog) works the dialog from another.
// What the driver finds wrong is collected and reported here, on the test's thread.
class DialogSession : public ::testing::Test {
protected:
    void SetUp() override {
        useEmulatedCameras();
        store_.plant(streamSettings(color_, 0, 10, 640, 480));
        handle_ = Ostrel_Initialize(errors_.window());
        ASSERT_NE(handle_, 0u);
        ASSERT_NE(owner_.handle(), nullptr);
        // The suite's language run must really be the one the system reports.
        ASSERT_EQ(GetSystemDefaultLangID() == 1041, japanese());
    }
    void TearDown() override {
        if (handle_ != 0) {
            EXPECT_EQ(Ostrel_Release(handle_), 1);
        }
    }

    int run(int (*show)(CameraHandle, OstrelWindow), const std::function<void(HWND)> &drive) {
        bool found = false;
        std::thread driver([&] {
            HWND dialog = waitForDialog(owner_.handle());
            found = dialog != nullptr;
            if (dialog != nullptr) {
                drive(dialog);
                // Whatever the driver did, the dialog must not outlive the test.
                if (IsWindow(dialog)) {
                    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                }
            }
        });
        const int result = show(handle_, owner_.handle());
        driver.join();
        EXPECT_TRUE(found) << "no dialog owned by the application's window appeared";
        return result;
    }

    int color_ = 2;
    SettingsSandbox store_;
    Notifications errors_;
    OwnerWindow owner_;
    CameraHandle handle_ = 0;
};

class AnalogDialog : public DialogSession {};

TEST_F(AnalogDialog, OkKeepsTypedGainSliderExposureAndMirror) {
    std::wstring cancelText;
    std::wstring label;
    const int result = run(Ostrel_SetAnalogDlg, [&](HWND dialog) {
        HWND analog = pageWith(dialog, 1015);
        cancelText = itemText(dialog, 2);
        type(analog, 1015, L"2000");
        moveTrackbar(analog, 1026, 4455);
        label = itemText(analog, 1049);
        click(analog, 1030);
        screenshot(dialog, "analog");
        click(dialog, 1);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(cancelText, japanese() ? L"\u30ad\u30e3\u30f3\u30bb\u30eb" : L"Cancel");
    EXPECT_EQ(label, L"=0.04ms");
    int ok = 0;
    EXPECT_EQ(Ostrel_GetFilterValue(handle_, 13, &ok), 2000) << "the camera's gain";
    EXPECT_EQ(Ostrel_GetFilterValue(handle_, 18, &ok), 4455) << "the camera's exposure";
    EXPECT_EQ(Ostrel_GetMirrorH(handle_), 1);
    EXPECT_EQ(Ostrel_Release(handle_), 1);
    handle_ = 0;
    EXPECT_EQ(storedDword("Gain", "Global"), 2000);
    EXPECT_EQ(storedDword("Gain", "Exposure"), 4455);
    EXPECT_EQ(storedDword("Gain", "H_Mirror"), 1);
}

TEST_F(AnalogDialog, DefaultThenCancelRestoresCameraAndSettings) {
    const int result = run(Ostrel_SetAnalogDlg, [&](HWND dialog) {
        click(dialog, 3);
        click(pageWith(dialog, 1028), 1028);
        click(dialog, 2);
    });
    EXPECT_EQ(result, 1);
    int ok = 0;
    EXPECT_EQ(Ostrel_GetFilterValue(handle_, 13, &ok), StreamSettings{}.gain);
    EXPECT_EQ(Ostrel_GetFilterValue(handle_, 18, &ok), StreamSettings{}.exposure);
    EXPECT_EQ(Ostrel_GetMirrorV(handle_), 0);
}

class ImageDialog : public DialogSession {};

TEST_F(ImageDialog, ColourModeEditsApplyAtOnceAndOkKeepsThem) {
    int tabs = 0;
    std::wstring brightnessEdit;
    const int result = run(Ostrel_SetImageDlg, [&](HWND dialog) {
        HWND filter = pageWith(dialog, 2001);
        tabs = static_cast<int>(SendDlgItemMessageW(dialog, 1001, TCM_GETITEMCOUNT, 0, 0));
        moveTrackbar(filter, 2001, -100);
        brightnessEdit = itemText(filter, 2002);
        type(filter, 2042, L"45");
        click(filter, 1032);
        screenshot(dialog, "image-filter");
        click(dialog, 1);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(tabs, 1);
    EXPECT_EQ(brightnessEdit, L"-100");
    int ok = 0;
    EXPECT_EQ(Ostrel_GetFilterValue(handle_, 1, &ok), -100);
    EXPECT_EQ(Ostrel_GetFilterValue(handle_, 5, &ok), 45);
    EXPECT_EQ(Ostrel_GetFilterValue(handle_, 12, &ok), 2);
}

TEST_F(ImageDialog, WhiteBalanceFromTheCaptureThreadReachesTheOpenPage) {
    // Frames stream while the dialog is open: "Once" asks the next frame for colour gains, and
    // the capture thread has the page show them.
    ASSERT_EQ(Ostrel_CallBackPreview(handle_, errors_.window(), nullptr, 0, 1), 1);
    std::wstring redGain = L"100";
    const int result = run(Ostrel_SetImageDlg, [&](HWND dialog) {
        HWND filter = pageWith(dialog, 2052);
        click(filter, 2074);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (redGain == L"100" && std::chrono::steady_clock::now() < end) {
            Sleep(20);
            redGain = itemText(filter, 2052);
        }
        click(dialog, 1);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Ostrel_StopPreview(handle_), 1);
    EXPECT_NE(redGain, L"100") << "the page never showed the new gains";
    int ok = 0;
    EXPECT_EQ(std::to_wstring(Ostrel_GetFilterValue(handle_, 7, &ok)), redGain);
    EXPECT_EQ(Ostrel_GetFilterValue(handle_, 10, &ok), 0) << "the one step is over";
}

class MonochromeImageDialog : public DialogSession {
protected:
    MonochromeImageDialog() { color_ = 0; }
};

TEST_F(MonochromeImageDialog, GrayPageEditsAreUndoneByCancel) {
    int tabs = 0;
    bool hueEnabled = true;
    std::wstring offsetEdit;
    const int result = run(Ostrel_SetImageDlg, [&](HWND dialog) {
        tabs = static_cast<int>(SendDlgItemMessageW(dialog, 1001, TCM_GETITEMCOUNT, 0, 0));
        hueEnabled = IsWindowEnabled(GetDlgItem(pageWith(dialog, 2021), 2021)) != FALSE;
        screenshot(dialog, "image-filter-mono");
        selectTab(dialog, 1);
        HWND gray = pageWith(dialog, 2121);
        moveTrackbar(gray, 2121, -40);
        click(gray, 1048);
        offsetEdit = itemText(gray, 2122);
        screenshot(dialog, "gray-filter");
        click(dialog, 2);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(tabs, 2);
    EXPECT_FALSE(hueEnabled);
    EXPECT_EQ(offsetEdit, L"-40");
    int ok = 0;
    EXPECT_EQ(Ostrel_GetFilterValue(handle_, 27, &ok), 0);
    EXPECT_EQ(Ostrel_GetFilterValue(handle_, 19, &ok), 0);
}

class CameraDialog : public DialogSession {};

TEST_F(CameraDialog, ApplyWritesAndOkReloadsTheContext) {
    std::wstring firstColour;
    std::wstring clock;
    std::int32_t waitAfterApply = 0;
    const int result = run(Ostrel_SetCameraDlg, [&](HWND dialog) {
        firstColour = comboItem(dialog, 1009, 0);
        clock = comboItem(dialog, 1014, 0);
        screenshot(dialog, "camera");
        type(dialog, 1045, L"25");
        click(dialog, 1002);
        waitAfterApply = storedDword("", "WaitTime");
        choose(dialog, 1009, 4);
        click(dialog, 1);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(firstColour,
              japanese() ? L"\u30e2\u30ce\u30af\u30ed 8\u30d3\u30c3\u30c8" : L"Monochrome 8bit");
    EXPECT_EQ(clock, japanese() ? L"\u6a19\u6e96" : L"Nomal");
    EXPECT_EQ(waitAfterApply, 25);
    EXPECT_EQ(storedDword("", "Color"), 4);
    EXPECT_EQ(Ostrel_GetColorMode(handle_), 48);
    EXPECT_EQ(Ostrel_GetWaitTime(handle_), 25);
}

TEST_F(CameraDialog, CancelAfterApplyKeepsTheContextAsItWas) {
    const int result = run(Ostrel_SetCameraDlg, [&](HWND dialog) {
        choose(dialog, 1009, 5);
        click(dialog, 1002);
        click(dialog, 2);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(storedDword("", "Color"), 5);
    EXPECT_EQ(Ostrel_GetColorMode(handle_), 24);
}

}  // namespace
}  // namespace ostrel::integration

#endif  // _WIN32
