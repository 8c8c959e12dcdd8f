// The preview window's life on every system: opening registers a class of its own and creates
// the window, closing takes both away, and drawing is safe against closing on another thread.
// On Linux the window is headless, so every frame is skipped.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <string>
#include <thread>

#include "platform/window.h"
#include "ui/preview_window.h"

namespace ostrel::ui {
namespace {

using imaging::ColorMode;
using imaging::DibImage;

PreviewWindow::Request topLevelRequest(int width = 640, int height = 480, int subsample = 1) {
    PreviewWindow::Request request;
    request.imageWidth = width;
    request.imageHeight = height;
    request.subsampleMode = subsample;
    return request;
}

// A window of the test's own to hold child previews (top-level windows are slow to come and go
// under some window systems).
class TestParent {
public:
    TestParent() {
        EXPECT_TRUE(platform::registerWindowClass(kClassName));
        platform::WindowDescription description;
        description.className = kClassName;
        description.title = "preview test parent";
        description.style = platform::kTopLevelWindowStyle;
        description.width = 500;
        description.height = 400;
        window_ = platform::createWindow(description);
        EXPECT_NE(window_, platform::kNoWindow);
        EXPECT_TRUE(platform::showWindow(window_));
    }
    ~TestParent() {
        platform::destroyWindow(window_);
        platform::unregisterWindowClass(kClassName);
    }
    TestParent(const TestParent &) = delete;
    TestParent &operator=(const TestParent &) = delete;

    PreviewWindow::Request childRequest(int width = 320, int height = 240) const {
        PreviewWindow::Request request;
        request.applicationWindow = window_;
        request.placement = WindowPlacement{0, 0, width, height};
        request.imageWidth = 640;
        request.imageHeight = 480;
        request.subsampleMode = 1;
        return request;
    }

private:
    static constexpr const char *kClassName = "OstrelPreviewLifeParent";
    platform::WindowHandle window_ = platform::kNoWindow;
};

TEST(PreviewWindowLife, OpenRegistersAClassAndCreatesTheWindowCloseTakesThemAway) {
    PreviewWindow preview;
    EXPECT_FALSE(preview.isOpen());
    EXPECT_EQ(preview.className(), "");

    ASSERT_TRUE(preview.open(topLevelRequest()));
    EXPECT_TRUE(preview.isOpen());
    const platform::WindowHandle window = preview.window();
    EXPECT_NE(window, platform::kNoWindow);
    EXPECT_TRUE(platform::windowExists(window));
    const std::string name = preview.className();
    EXPECT_EQ(name.size(), 31u);
    EXPECT_EQ(name.rfind("VideoRenderer_", 0), 0u) << name;
    EXPECT_TRUE(platform::isWindowClassRegistered(name.c_str()));

    preview.close();
    EXPECT_FALSE(preview.isOpen());
    EXPECT_EQ(preview.window(), platform::kNoWindow);
    EXPECT_EQ(preview.className(), "");
    EXPECT_FALSE(platform::windowExists(window));
    EXPECT_FALSE(platform::isWindowClassRegistered(name.c_str()));

    preview.close();  // closing again does nothing
    EXPECT_FALSE(preview.isOpen());
}

TEST(PreviewWindowLife, EveryOwnerAndEveryStartGetsAClassNameOfItsOwn) {
    TestParent parent;
    PreviewWindow first, second;
    ASSERT_TRUE(first.open(parent.childRequest()));
    ASSERT_TRUE(second.open(parent.childRequest()));
    std::set<std::string> names{first.className(), second.className()};
    EXPECT_EQ(names.size(), 2u);

    // Starting again right away: a new name, and the previous window and class are gone.
    const std::string before = first.className();
    const platform::WindowHandle windowBefore = first.window();
    ASSERT_TRUE(first.open(parent.childRequest()));
    EXPECT_NE(first.className(), before);
    EXPECT_FALSE(platform::isWindowClassRegistered(before.c_str()));
    EXPECT_FALSE(platform::windowExists(windowBefore));
    for (int i = 0; i < 5; ++i) {
        names.insert(first.className());
        first.close();
        ASSERT_TRUE(first.open(parent.childRequest()));
    }
    names.insert(first.className());
    EXPECT_EQ(names.size(), 8u);
}

TEST(PreviewWindowLife, TopLevelClientAreaIsTheSubsampledImage) {
    PreviewWindow preview;
    ASSERT_TRUE(preview.open(topLevelRequest(1280, 960, 2)));
    platform::WindowRect client;
    ASSERT_TRUE(platform::windowClientRect(preview.window(), client));
    EXPECT_EQ(client.width(), 320);
    EXPECT_EQ(client.height(), 240);
}

TEST(PreviewWindowLife, DrawingAfterCloseIsANoOp) {
    DibImage image24, scratch;
    ASSERT_TRUE(image24.create(320, 240, 24));
    PreviewImages images;
    images.image24 = &image24;
    PreviewWindow preview;
    EXPECT_EQ(preview.draw(ColorMode::Bgr24, images, scratch), DrawOutcome::Skipped);
    ASSERT_TRUE(preview.open(topLevelRequest()));
    preview.close();
    EXPECT_EQ(preview.draw(ColorMode::Bgr24, images, scratch), DrawOutcome::Skipped);
    EXPECT_TRUE(scratch.isEmpty());
}

// One thread draws without pause while the window's own thread closes and opens it again: no
// draw may use a released drawing context or a destroyed window, and after a close every draw
// skips until the next open.
TEST(PreviewWindowLife, DrawingOnAnotherThreadWhileClosing) {
    DibImage image24, scratch;
    ASSERT_TRUE(image24.create(320, 240, 24));
    PreviewImages images;
    images.image24 = &image24;
    TestParent parent;
    PreviewWindow preview;
    ASSERT_TRUE(preview.open(parent.childRequest()));

    std::atomic<bool> stop{false};
    std::atomic<int> draws{0};
    std::atomic<int> drawn{0};
    std::thread drawer([&] {
        while (!stop.load()) {
            if (preview.draw(ColorMode::Bgr24, images, scratch) != DrawOutcome::Skipped) {
                drawn.fetch_add(1);
            }
            draws.fetch_add(1);
        }
    });
    auto waitForDraws = [&](int count) {
        const int target = draws.load() + count;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (draws.load() < target && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::yield();
        }
    };

    for (int round = 0; round < 20; ++round) {
        waitForDraws(3);
        preview.close();
        EXPECT_EQ(preview.draw(ColorMode::Bgr24, images, scratch), DrawOutcome::Skipped);
        waitForDraws(2);
        // The same size as the frame (a 1:1 transfer) and a smaller one (scaled).
        ASSERT_TRUE(preview.open(round % 2 == 0 ? parent.childRequest(160, 120)
                                                : parent.childRequest(320, 240)));
    }
    waitForDraws(3);
    preview.close();
    stop.store(true);
    drawer.join();
    EXPECT_GT(draws.load(), 0);
#ifdef _WIN32
    EXPECT_GT(drawn.load(), 0);
#else
    EXPECT_EQ(drawn.load(), 0);  // headless: nothing is ever drawn
#endif
    EXPECT_EQ(preview.draw(ColorMode::Bgr24, images, scratch), DrawOutcome::Skipped);
}

#ifndef _WIN32

TEST(PreviewWindowHeadless, WindowsAreCreatedButNeverVisibleSoNothingIsDrawn) {
    DibImage image8, image24, scratch;
    ASSERT_TRUE(image8.create(320, 240, 8));
    ASSERT_TRUE(image24.create(320, 240, 24));
    PreviewImages images;
    images.image8 = &image8;
    images.image24 = &image24;

    PreviewWindow preview;
    ASSERT_TRUE(preview.open(topLevelRequest()));
    EXPECT_FALSE(platform::isWindowVisible(preview.window()));
    preview.prepareScratch(ColorMode::Bgr24, scratch);
    EXPECT_TRUE(scratch.isEmpty());
    for (ColorMode mode : {ColorMode::Mono8, ColorMode::Bgr24}) {
        EXPECT_EQ(preview.draw(mode, images, scratch), DrawOutcome::Skipped);
    }
    EXPECT_TRUE(scratch.isEmpty());
}

TEST(PreviewWindowHeadless, ChildWindowTakesThePlacementWhateverTheImageSize) {
    PreviewWindow::Request request = topLevelRequest(6576, 4384, 0);
    request.applicationWindow = 0x1234;  // on Linux a message queue handle stands in
    request.placement = WindowPlacement{10, 20, 300, 200};
    PreviewWindow preview;
    ASSERT_TRUE(preview.open(request));
    platform::WindowRect client;
    ASSERT_TRUE(platform::windowClientRect(preview.window(), client));
    EXPECT_EQ(client.width(), 300);
    EXPECT_EQ(client.height(), 200);
}

TEST(PreviewWindowHeadless, ClassesFollowTheWindowsRules) {
    const char *name = "VideoRenderer_headless_rules";
    ASSERT_TRUE(platform::registerWindowClass(name));
    EXPECT_FALSE(platform::registerWindowClass(name));  // taken
    EXPECT_FALSE(platform::registerWindowClass(""));

    platform::WindowDescription description;
    description.className = name;
    description.width = 10;
    description.height = 10;
    const platform::WindowHandle window = platform::createWindow(description);
    ASSERT_NE(window, platform::kNoWindow);
    EXPECT_FALSE(platform::unregisterWindowClass(name));  // a window of it exists
    platform::destroyWindow(window);
    EXPECT_TRUE(platform::unregisterWindowClass(name));
    EXPECT_FALSE(platform::unregisterWindowClass(name));

    description.className = "VideoRenderer_never_registered";
    EXPECT_EQ(platform::createWindow(description), platform::kNoWindow);
}

#endif

}  // namespace
}  // namespace ostrel::ui
