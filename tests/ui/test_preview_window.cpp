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
    PreviewWindow first, second;
    ASSERT_TRUE(first.open(topLevelRequest()));
    ASSERT_TRUE(second.open(topLevelRequest()));
    std::set<std::string> names{first.className(), second.className()};
    EXPECT_EQ(names.size(), 2u);

    // Starting again right away: a new name, and the previous window and class are gone.
    const std::string before = first.className();
    const platform::WindowHandle windowBefore = first.window();
    ASSERT_TRUE(first.open(topLevelRequest()));
    EXPECT_NE(first.className(), before);
    EXPECT_FALSE(platform::isWindowClassRegistered(before.c_str()));
    EXPECT_FALSE(platform::windowExists(windowBefore));
    for (int i = 0; i < 5; ++i) {
        names.insert(first.className());
        first.close();
        ASSERT_TRUE(first.open(topLevelRequest()));
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
    DibImage image24, image8, scratch;
    ASSERT_TRUE(image24.create(320, 240, 24));
    ASSERT_TRUE(image8.create(160, 120, 8));
    PreviewImages images;
    images.image24 = &image24;
    PreviewWindow preview;
    ASSERT_TRUE(preview.open(topLevelRequest()));

    std::atomic<bool> stop{false};
    std::atomic<int> draws{0};
    std::thread drawer([&] {
        while (!stop.load()) {
            (void)preview.draw(ColorMode::Bgr24, images, scratch);
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
        ASSERT_TRUE(preview.open(round % 2 == 0 ? topLevelRequest(640, 480, 2)
                                                : topLevelRequest(640, 480, 1)));
    }
    waitForDraws(3);
    preview.close();
    stop.store(true);
    drawer.join();
    EXPECT_GT(draws.load(), 0);
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
