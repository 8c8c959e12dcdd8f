// What a running preview puts on the screen (Windows only: on Linux the preview window is never
// shown). A child preview window as large as the readout window gets each frame 1:1, so its
// client area must show the frame Ostrel_GetImage copies, pixel for pixel and upright (the
// emulator's test chart has its rainbow band at the top). The screenshot is kept as
// artefacts/preview-screenshot.bmp in the build tree for a person to look at.
#if defined(_WIN32)

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "OstrelSdk.h"
#include "support/camera_session.h"
#include "ui/client_area_win32.h"

namespace ostrel::integration {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr std::size_t kStride = kWidth * 3;
constexpr std::size_t kFrameBytes = kStride * kHeight;

// Lets the test thread's windows handle what the window system sends them.
void pumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// A visible top-level window that the preview window becomes a child of.
class ParentWindow {
public:
    ParentWindow() {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kClassName;
        RegisterClassA(&windowClass);
        window_ = CreateWindowExA(WS_EX_TOPMOST, kClassName, "preview screenshot",
                                  WS_POPUP | WS_VISIBLE, 560, 480, kWidth + 40, kHeight + 40,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    ~ParentWindow() {
        DestroyWindow(window_);
        UnregisterClassA(kClassName, GetModuleHandleA(nullptr));
    }
    ParentWindow(const ParentWindow &) = delete;
    ParentWindow &operator=(const ParentWindow &) = delete;
    HWND handle() const { return window_; }

private:
    static constexpr const char *kClassName = "OstrelScreenshotParent";
    HWND window_ = nullptr;
};

// A 24-bit bitmap file of a top-row-first picture.
void saveBitmap(const std::filesystem::path &path, const std::vector<std::uint8_t> &topFirst) {
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = kWidth;
    header.biHeight = kHeight;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biSizeImage = static_cast<DWORD>(kFrameBytes);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + header.biSizeImage;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(&file), sizeof file);
    out.write(reinterpret_cast<const char *>(&header), sizeof header);
    for (int row = kHeight - 1; row >= 0; --row) {
        out.write(reinterpret_cast<const char *>(topFirst.data() + row * kStride), kStride);
    }
}

// How many pixels of the screenshot differ from the frame when the frame's rows are taken in
// the given order.
std::size_t differingPixels(const std::vector<std::uint8_t> &shown,
                            const std::vector<std::uint8_t> &frame, bool flipped) {
    std::size_t count = 0;
    for (int y = 0; y < kHeight; ++y) {
        const std::uint8_t *a = shown.data() + y * kStride;
        const std::uint8_t *b = frame.data() + (flipped ? kHeight - 1 - y : y) * kStride;
        for (int x = 0; x < kWidth; ++x) {
            count += std::memcmp(a + 3 * x, b + 3 * x, 3) != 0 ? 1 : 0;
        }
    }
    return count;
}

TEST(PreviewScreenshot, ARunningChildPreviewShowsTheFrameUprightOneToOne) {
    useEmulatedCameras();
    SettingsSandbox store;
    // 24-bit colour, full resolution, a 640 x 480 readout window at the sensor's top-left corner.
    store.plant(streamSettings(2, 0, 10, kWidth, kHeight));
    Notifications errors;
    const CameraHandle handle = Ostrel_Initialize(errors.window());
    ASSERT_NE(handle, 0u);
    ParentWindow parent;
    ASSERT_NE(parent.handle(), nullptr);
    pumpMessages();

    ASSERT_EQ(Ostrel_SetPreviewWindow(handle, parent.handle(), 20, 20, kWidth, kHeight), 1);
    ASSERT_EQ(Ostrel_Preview(handle), 1);
    HWND preview = FindWindowExA(parent.handle(), nullptr, nullptr, nullptr);
    ASSERT_NE(preview, nullptr);
    RECT client = {};
    GetClientRect(preview, &client);
    EXPECT_EQ(client.right - client.left, kWidth);
    EXPECT_EQ(client.bottom - client.top, kHeight);

    // The part of the chart in view holds still, so every frame is the same picture; a few
    // tries cover a screenshot taken while a frame was being drawn.
    std::vector<std::uint8_t> frame(kFrameBytes);
    std::vector<std::uint8_t> shown;
    int framesCopied = 0;
    std::size_t differing = kFrameBytes;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (differing != 0 && std::chrono::steady_clock::now() < end) {
        pumpMessages();
        if (Ostrel_GetImage(handle, frame.data(), static_cast<int>(kFrameBytes), 1) == 1) {
            ++framesCopied;
        }
        if (framesCopied >= 3) {
            shown = testing::readClientArea(preview, kWidth, kHeight, 24);
            differing = differingPixels(shown, frame, false);
        }
        Sleep(20);
    }
    ASSERT_GE(framesCopied, 3);
    std::filesystem::create_directories("artefacts");
    saveBitmap("artefacts/preview-screenshot.bmp", shown);
    EXPECT_EQ(differing, 0u) << "the preview does not show the frame 1:1";
    // The comparison means "upright" only when the picture is not its own mirror image.
    EXPECT_GT(differingPixels(shown, frame, true), kFrameBytes / 3 / 4);

    // The chart's top rows are its rainbow band, red at the left edge; below it lies the grey
    // ramp. Upside down, the grey would be at the top.
    const std::uint8_t *top = shown.data() + 4 * kStride + 3 * 4;
    const std::uint8_t *bottom = shown.data() + (kHeight - 5) * kStride + 3 * 4;
    EXPECT_GT(top[2], top[1] + 64) << "the top left is not red";
    EXPECT_GT(top[2], top[0] + 64) << "the top left is not red";
    EXPECT_LE(std::abs(bottom[2] - bottom[1]) + std::abs(bottom[1] - bottom[0]), 24)
        << "the bottom left is not grey";

    EXPECT_EQ(Ostrel_Close(handle), 1);
    EXPECT_FALSE(IsWindow(preview));
    EXPECT_EQ(Ostrel_Release(handle), 1);
    EXPECT_EQ(failures(errors.take()), std::vector<std::intptr_t>{});
}

}  // namespace
}  // namespace ostrel::integration

#endif  // _WIN32
