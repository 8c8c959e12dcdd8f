// The preview window's sums: the top-level client size by subsample mode, the centred and
// clamped position, and the class name.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ui/preview_window_layout.h"

namespace ostrel::ui {
namespace {

TEST(PreviewLayout, TopLevelClientIsTheImageDividedBySubsampling) {
    WindowSize size = topLevelClientSize(6576, 4384, 2);
    EXPECT_EQ(size.width, 1644);
    EXPECT_EQ(size.height, 1096);
    size = topLevelClientSize(6576, 4384, 0);
    EXPECT_EQ(size.width, 6576);
    EXPECT_EQ(size.height, 4384);
    size = topLevelClientSize(6576, 4384, 1);
    EXPECT_EQ(size.width, 3288);
    EXPECT_EQ(size.height, 2192);
    size = topLevelClientSize(6576, 4384, 3);
    EXPECT_EQ(size.width, 822);
    EXPECT_EQ(size.height, 548);
    // Truncating division.
    size = topLevelClientSize(1023, 767, 3);
    EXPECT_EQ(size.width, 127);
    EXPECT_EQ(size.height, 95);
    // A mode outside 0..3 divides by nothing.
    size = topLevelClientSize(640, 480, 4);
    EXPECT_EQ(size.width, 640);
    EXPECT_EQ(size.height, 480);
}

TEST(PreviewLayout, CentredOnTheScreenAndClampedToZero) {
    WindowPlacement p = centredOnScreen(WindowSize{1660, 1135}, WindowSize{1920, 1200});
    EXPECT_EQ(p.x, 130);
    EXPECT_EQ(p.y, 32);  // (1200 - 1135) / 2 truncated
    EXPECT_EQ(p.width, 1660);
    EXPECT_EQ(p.height, 1135);

    // Larger than the screen in one direction only: that coordinate alone is clamped.
    p = centredOnScreen(WindowSize{1660, 1135}, WindowSize{1920, 1080});
    EXPECT_EQ(p.x, 130);
    EXPECT_EQ(p.y, 0);

    // A full-size frame on a 1920 x 1080 screen goes to the corner, keeping its size.
    p = centredOnScreen(WindowSize{6592, 4423}, WindowSize{1920, 1080});
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    EXPECT_EQ(p.width, 6592);
    EXPECT_EQ(p.height, 4423);

    // An odd difference truncates.
    p = centredOnScreen(WindowSize{101, 11}, WindowSize{200, 20});
    EXPECT_EQ(p.x, 49);
    EXPECT_EQ(p.y, 4);
}

TEST(PreviewLayout, ClassNameCarriesIdentityAndSaltAsEightHexDigitsEach) {
    EXPECT_EQ(previewClassName(0x0012ab00u, 0xdeadbeefu), "VideoRenderer_0012ab00_deadbeef");
    EXPECT_EQ(previewClassName(0, 7), "VideoRenderer_00000000_00000007");
    EXPECT_EQ(previewClassName(0x1000, 7).size(), 31u);
    EXPECT_NE(previewClassName(0x1000, 7), previewClassName(0x1000, 8));
    EXPECT_NE(previewClassName(0x1000, 7), previewClassName(0x2000, 7));
    if constexpr (sizeof(std::uintptr_t) == 8) {
        // The high half of a 64-bit address still tells two owners apart.
        const std::uint64_t high = 0x00007f0000000000ull;
        EXPECT_NE(previewClassName(static_cast<std::uintptr_t>(high | 0x1000), 7),
                  previewClassName(0x1000, 7));
        EXPECT_EQ(previewClassName(static_cast<std::uintptr_t>(high | 0x1000), 7).size(), 31u);
    }
}

}  // namespace
}  // namespace ostrel::ui
