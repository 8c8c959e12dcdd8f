// The preview window on Windows, checked through the window system itself: class, titles,
// styles, placement and parent of the windows, pixels read back from the screen after drawing
// (upright, 1:1 and scaled, every colour mode), and the frames that must not be drawn.
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "ui/client_area_win32.h"
#include "ui/preview_window.h"

namespace ostrel::ui {
namespace {

using imaging::ColorMode;
using imaging::DibImage;

HWND hwndOf(const PreviewWindow &preview) {
    return reinterpret_cast<HWND>(preview.window());
}

bool classRegistered(const std::string &name) {
    WNDCLASSEXA info = {};
    info.cbSize = sizeof info;
    return GetClassInfoExA(GetModuleHandleA(nullptr), name.c_str(), &info) != FALSE;
}

// The client area of a window as the screen shows it, top row first, one 0x00RRGGBB word per
// pixel.
std::vector<std::uint32_t> readClient(HWND window, int width, int height) {
    const std::vector<std::uint8_t> bytes = testing::readClientArea(window, width, height, 32);
    std::vector<std::uint32_t> pixels(bytes.size() / 4);
    std::memcpy(pixels.data(), bytes.data(), bytes.size());
    return pixels;
}

std::uint32_t rgb(int red, int green, int blue) {
    return static_cast<std::uint32_t>((red << 16) | (green << 8) | blue);
}

// The test picture, 8 bits per channel, at (x, y) counted from the top left.
int pictureBlue(int x, int /*y*/) {
    return x & 0xFF;
}
int pictureGreen(int /*x*/, int y) {
    return y & 0xFF;
}
int pictureRed(int x, int y) {
    return (7 * x + 3 * y) & 0xFF;
}
int pictureGrey(int x, int y) {
    return (x + 2 * y) & 0xFF;
}

void putWord(std::uint8_t *p, int value) {
    const auto word = static_cast<std::uint16_t>(value);
    std::memcpy(p, &word, 2);
}

// The images a context would hold for the mode, the output image filled with the picture
// (10-bit outputs carry it in bits 2..9, with bits 0..1 set so that a wrong shift shows).
struct ModeImages {
    DibImage image8, image16, image24, image32, image48, image64;

    ModeImages(ColorMode mode, int width, int height) {
        EXPECT_TRUE(image8.create(width, height, 8));
        EXPECT_TRUE(image24.create(width, height, 24));
        if (mode == ColorMode::Mono16) {
            EXPECT_TRUE(image16.create(width, height, 16));
        }
        if (mode == ColorMode::Bgr32) {
            EXPECT_TRUE(image32.create(width, height, 32));
        }
        if (mode == ColorMode::Bgr48) {
            EXPECT_TRUE(image48.create(width, height, 48));
        }
        if (mode == ColorMode::Bgr64) {
            EXPECT_TRUE(image64.create(width, height, 64));
        }
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const int b = pictureBlue(x, y), g = pictureGreen(x, y), r = pictureRed(x, y);
                switch (mode) {
                    case ColorMode::Mono8:
                        image8.row(y)[x] = pictureGrey(x, y);
                        break;
                    case ColorMode::Mono16:
                        putWord(image16.row(y) + 2 * x, (pictureGrey(x, y) << 2) | 3);
                        break;
                    case ColorMode::Bgr24: {
                        std::uint8_t *p = image24.row(y) + 3 * x;
                        p[0] = b, p[1] = g, p[2] = r;
                        break;
                    }
                    case ColorMode::Bgr32: {
                        std::uint8_t *p = image32.row(y) + 4 * x;
                        p[0] = b, p[1] = g, p[2] = r, p[3] = 0x5A;
                        break;
                    }
                    case ColorMode::Bgr48:
                    case ColorMode::Bgr64: {
                        DibImage &wide = mode == ColorMode::Bgr48 ? image48 : image64;
                        std::uint8_t *p = wide.row(y) + wide.bytesPerPixel() * x;
                        putWord(p, (b << 2) | 1);
                        putWord(p + 2, (g << 2) | 2);
                        putWord(p + 4, (r << 2) | 3);
                        break;
                    }
                }
            }
        }
    }
    PreviewImages all() {
        return PreviewImages{&image8, &image16, &image24, &image32, &image48, &image64};
    }
};

std::uint32_t expectedPixel(ColorMode mode, int x, int y) {
    if (!imaging::isColour(mode)) {
        const int grey = pictureGrey(x, y);
        return rgb(grey, grey, grey);
    }
    return rgb(pictureRed(x, y), pictureGreen(x, y), pictureBlue(x, y));
}

// Counts the pixels of a read-back client area that differ from the picture, where the window's
// pixel (x, y) should show picture pixel source(x, y).
template <typename Source>
int countWrongPixels(const std::vector<std::uint32_t> &shown, ColorMode mode, int width, int height,
                     Source source) {
    int wrong = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto [sx, sy] = source(x, y);
            const std::uint32_t want = expectedPixel(mode, sx, sy);
            const std::uint32_t got = shown[static_cast<std::size_t>(y) * width + x] & 0xFFFFFF;
            if (got != want) {
                if (wrong < 5) {
                    ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << std::hex << got
                                  << ", expected " << want;
                }
                ++wrong;
            }
        }
    }
    return wrong;
}

PreviewWindow::Request topLevel(int width, int height, int subsample) {
    PreviewWindow::Request request;
    request.imageWidth = width;
    request.imageHeight = height;
    request.subsampleMode = subsample;
    return request;
}

// A plain top-level window of the test's own for child previews to live in.
class ParentWindow {
public:
    ParentWindow() {
        WNDCLASSEXA windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kClassName;
        RegisterClassExA(&windowClass);
        window_ =
            CreateWindowExA(0, kClassName, "preview parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40,
                            30, 640, 520, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        UpdateWindow(window_);
    }
    ~ParentWindow() {
        DestroyWindow(window_);
        UnregisterClassA(kClassName, GetModuleHandleA(nullptr));
    }
    ParentWindow(const ParentWindow &) = delete;
    ParentWindow &operator=(const ParentWindow &) = delete;
    HWND hwnd() const { return window_; }
    platform::WindowHandle handle() const {
        return reinterpret_cast<platform::WindowHandle>(window_);
    }

private:
    static constexpr const char *kClassName = "OstrelPreviewTestParent";
    HWND window_ = nullptr;
};

TEST(PreviewWindowWin32, TopLevelWindowIsCentredAroundTheSubsampledClientArea) {
    PreviewWindow preview;
    ASSERT_TRUE(preview.open(topLevel(6576, 4384, 3)));
    HWND window = hwndOf(preview);

    RECT client;
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right - client.left, 822);
    EXPECT_EQ(client.bottom - client.top, 548);

    RECT frame = {0, 0, 822, 548};
    ASSERT_TRUE(AdjustWindowRectEx(&frame, 0x16CF0000, FALSE, 0));
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    RECT placed;
    ASSERT_TRUE(GetWindowRect(window, &placed));
    EXPECT_EQ(placed.left, (GetSystemMetrics(SM_CXSCREEN) - width) / 2);
    EXPECT_EQ(placed.top, (GetSystemMetrics(SM_CYSCREEN) - height) / 2);
    EXPECT_EQ(placed.right - placed.left, width);
    EXPECT_EQ(placed.bottom - placed.top, height);

    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), 0x16CF0000u);
    EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE, 0);
    EXPECT_EQ(GetParent(window), nullptr);
    char text[64] = {};
    GetWindowTextA(window, text, sizeof text);
    EXPECT_STREQ(text, "Active Window");
    GetClassNameA(window, text, sizeof text);
    EXPECT_EQ(preview.className(), text);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(GetFocus(), window);

    // The class: default procedure, main module, arrow cursor, black brush, nothing else.
    WNDCLASSEXA info = {};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), text, &info));
    EXPECT_EQ(info.style, 0u);
    EXPECT_EQ(info.cbClsExtra, 0);
    EXPECT_EQ(info.cbWndExtra, 0);
    EXPECT_EQ(info.hIcon, nullptr);
    EXPECT_EQ(info.hCursor, LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
    EXPECT_EQ(info.hbrBackground, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(info.lpszMenuName, nullptr);
}

TEST(PreviewWindowWin32, TopLevelWindowLargerThanTheScreenGoesToTheCorner) {
    PreviewWindow preview;
    ASSERT_TRUE(preview.open(topLevel(6576, 4384, 0)));
    RECT placed;
    ASSERT_TRUE(GetWindowRect(hwndOf(preview), &placed));
    EXPECT_EQ(placed.left, 0);
    EXPECT_EQ(placed.top, 0);
}

TEST(PreviewWindowWin32, ChildWindowTakesThePlacementAndParent) {
    ParentWindow parent;
    PreviewWindow::Request request = topLevel(6576, 4384, 0);
    request.applicationWindow = parent.handle();
    request.placement = WindowPlacement{10, 20, 160, 120};
    PreviewWindow preview;
    ASSERT_TRUE(preview.open(request));
    HWND child = hwndOf(preview);

    EXPECT_EQ(GetParent(child), parent.hwnd());
    EXPECT_EQ(GetDlgCtrlID(child), 6540);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE)), 0x52000000u);
    char text[64] = {};
    GetWindowTextA(child, text, sizeof text);
    EXPECT_STREQ(text, "ActiveMovie Window");
    RECT placed;
    ASSERT_TRUE(GetWindowRect(child, &placed));
    MapWindowPoints(HWND_DESKTOP, parent.hwnd(), reinterpret_cast<POINT *>(&placed), 2);
    EXPECT_EQ(placed.left, 10);
    EXPECT_EQ(placed.top, 20);
    EXPECT_EQ(placed.right - placed.left, 160);
    EXPECT_EQ(placed.bottom - placed.top, 120);
    EXPECT_EQ(GetFocus(), child);

    const std::string name = preview.className();
    preview.close();
    EXPECT_FALSE(IsWindow(child));
    EXPECT_FALSE(classRegistered(name));
    EXPECT_TRUE(IsWindow(parent.hwnd()));
}

TEST(PreviewWindowWin32, AWindowThatCannotBeMadeLeavesThePreviewClosed) {
    PreviewWindow::Request request = topLevel(640, 480, 0);
    // Not a window: the child cannot be created.
    request.applicationWindow = 0x7FFF0000;
    request.placement = WindowPlacement{0, 0, 100, 100};
    PreviewWindow preview;
    EXPECT_FALSE(preview.open(request));
    EXPECT_FALSE(preview.isOpen());
    EXPECT_EQ(preview.className(), "");
    EXPECT_EQ(preview.window(), platform::kNoWindow);
    // The same object opens normally afterwards.
    ASSERT_TRUE(preview.open(topLevel(640, 480, 1)));
    preview.close();
}

TEST(PreviewWindowWin32, FramesOfEveryColourModeAreShownUprightOneToOne) {
    PreviewWindow preview;
    ASSERT_TRUE(preview.open(topLevel(640, 480, 1)));
    for (ColorMode mode : {ColorMode::Mono8, ColorMode::Mono16, ColorMode::Bgr24, ColorMode::Bgr32,
                           ColorMode::Bgr48, ColorMode::Bgr64}) {
        SCOPED_TRACE(static_cast<int>(mode));
        ModeImages images(mode, 320, 240);
        DibImage scratch;
        preview.prepareScratch(mode, scratch);
        EXPECT_EQ(scratch.width(), 320);
        EXPECT_EQ(scratch.height(), 240);
        EXPECT_EQ(scratch.bitCount(), imaging::isColour(mode) ? 24 : 8);

        // Drawn from another thread, as the capture thread does.
        DrawOutcome outcome = DrawOutcome::Skipped;
        std::thread capture([&] { outcome = preview.draw(mode, images.all(), scratch); });
        capture.join();
        EXPECT_EQ(outcome, DrawOutcome::Direct);

        const auto shown = readClient(hwndOf(preview), 320, 240);
        EXPECT_EQ(countWrongPixels(shown, mode, 320, 240,
                                   [](int x, int y) {
                                       return std::pair{x, y};
                                   }),
                  0);
    }
}

TEST(PreviewWindowWin32, FramesAreScaledUprightToTheChildWindow) {
    ParentWindow parent;
    PreviewWindow::Request request = topLevel(640, 480, 1);
    request.applicationWindow = parent.handle();
    request.placement = WindowPlacement{10, 20, 160, 120};
    for (ColorMode mode : {ColorMode::Bgr24, ColorMode::Mono16}) {
        SCOPED_TRACE(static_cast<int>(mode));
        ModeImages images(mode, 320, 240);
        DibImage scratch;
        PreviewWindow preview;
        ASSERT_TRUE(preview.open(request));
        EXPECT_EQ(preview.draw(mode, images.all(), scratch), DrawOutcome::Scaled);
        EXPECT_EQ(scratch.width(), 160);
        EXPECT_EQ(scratch.height(), 120);

        // Half size in both directions: window row y shows picture row 2y + 1 (the sampling
        // counts from the bottom row), column x picture column 2x.
        const auto shown = readClient(hwndOf(preview), 160, 120);
        EXPECT_EQ(countWrongPixels(shown, mode, 160, 120,
                                   [](int x, int y) {
                                       return std::pair{2 * x, 2 * y + 1};
                                   }),
                  0);

        // A new client size: the scratch image follows it from the next frame on.
        SetWindowPos(hwndOf(preview), nullptr, 0, 0, 200, 100, SWP_NOMOVE | SWP_NOZORDER);
        EXPECT_EQ(preview.draw(mode, images.all(), scratch), DrawOutcome::Scaled);
        EXPECT_EQ(scratch.width(), 200);
        EXPECT_EQ(scratch.height(), 100);
        // And back to the frame's size: the 1:1 transfer again.
        SetWindowPos(hwndOf(preview), nullptr, 0, 0, 320, 240, SWP_NOMOVE | SWP_NOZORDER);
        EXPECT_EQ(preview.draw(mode, images.all(), scratch), DrawOutcome::Direct);
    }
}

TEST(PreviewWindowWin32, HiddenMinimisedAndUserClosedWindowsAreNotDrawn) {
    ModeImages images(ColorMode::Bgr24, 320, 240);
    DibImage scratch;
    PreviewWindow preview;
    ASSERT_TRUE(preview.open(topLevel(640, 480, 1)));
    HWND window = hwndOf(preview);
    EXPECT_EQ(preview.draw(ColorMode::Bgr24, images.all(), scratch), DrawOutcome::Direct);

    ShowWindow(window, SW_HIDE);
    EXPECT_EQ(preview.draw(ColorMode::Bgr24, images.all(), scratch), DrawOutcome::Skipped);
    ShowWindow(window, SW_SHOW);
    EXPECT_EQ(preview.draw(ColorMode::Bgr24, images.all(), scratch), DrawOutcome::Direct);

    ShowWindow(window, SW_MINIMIZE);
    EXPECT_EQ(preview.draw(ColorMode::Bgr24, images.all(), scratch), DrawOutcome::Skipped);
    EXPECT_TRUE(scratch.isEmpty());
    ShowWindow(window, SW_RESTORE);

    // Closed by the user: the default procedure destroys it; frames are skipped from then on.
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(preview.draw(ColorMode::Bgr24, images.all(), scratch), DrawOutcome::Skipped);
    const std::string name = preview.className();
    EXPECT_TRUE(classRegistered(name));
    preview.close();
    EXPECT_FALSE(classRegistered(name));
    EXPECT_EQ(preview.className(), "");
}

TEST(PreviewWindowWin32, AChildOfAHiddenParentIsNotDrawn) {
    ParentWindow parent;
    PreviewWindow::Request request = topLevel(640, 480, 1);
    request.applicationWindow = parent.handle();
    request.placement = WindowPlacement{0, 0, 320, 240};
    ModeImages images(ColorMode::Mono8, 320, 240);
    DibImage scratch;
    PreviewWindow preview;
    ASSERT_TRUE(preview.open(request));
    EXPECT_EQ(preview.draw(ColorMode::Mono8, images.all(), scratch), DrawOutcome::Direct);
    ShowWindow(parent.hwnd(), SW_HIDE);
    EXPECT_EQ(preview.draw(ColorMode::Mono8, images.all(), scratch), DrawOutcome::Skipped);
    preview.prepareScratch(ColorMode::Mono8, scratch);
    EXPECT_TRUE(scratch.isEmpty());
}

}  // namespace
}  // namespace ostrel::ui

#endif  // _WIN32
