// The two-sided readout re-ordering: the fast version against the plain one, and the layout
// itself on a hand-made row.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "device/two_sided_readout.h"

namespace ostrel::device {
namespace {

TEST(TwoSidedReadout, PairsFillEachRowFromBothEnds) {
    // One row of four pairs: (a0 b0) (a1 b1) (a2 b2) (a3 b3) -> a0 a1 a2 a3 b3 b2 b1 b0.
    const std::vector<std::uint8_t> source = {10, 90, 11, 91, 12, 92, 13, 93,
                                              20, 80, 21, 81, 22, 82, 23, 83};
    std::vector<std::uint8_t> out(2 * 10, 0xEE);
    reorderTwoSided(source.data(), out.data(), 2, 4, 10);
    const std::vector<std::uint8_t> expected = {10, 11, 12, 13, 93, 92, 91, 90, 0xEE, 0xEE,
                                                20, 21, 22, 23, 83, 82, 81, 80, 0xEE, 0xEE};
    EXPECT_EQ(out, expected);
}

TEST(TwoSidedReadout, FastVersionEqualsThePlainOneForEveryRowLength) {
    std::mt19937 random(7);
    for (int pairs = 1; pairs <= 70; ++pairs) {
        const int rows = 3;
        const int rowWidth = 2 * pairs + (pairs % 3);
        std::vector<std::uint8_t> source(static_cast<std::size_t>(rows) * 2 * pairs);
        for (auto &b : source) {
            b = static_cast<std::uint8_t>(random());
        }
        std::vector<std::uint8_t> fast(static_cast<std::size_t>(rows) * rowWidth, 0x5A);
        std::vector<std::uint8_t> plain(fast);
        reorderTwoSided(source.data(), fast.data(), rows, pairs, rowWidth);
        reorderTwoSidedReference(source.data(), plain.data(), rows, pairs, rowWidth);
        ASSERT_EQ(fast, plain) << "pairs " << pairs;
    }
}

TEST(TwoSidedReadout, FullSensorRowMatchesThePlainVersion) {
    const int pairs = 3288;
    std::vector<std::uint8_t> source(2 * 2 * pairs);
    for (std::size_t i = 0; i < source.size(); ++i) {
        source[i] = static_cast<std::uint8_t>(i * 31 + (i >> 8));
    }
    std::vector<std::uint8_t> fast(2 * 6576), plain(2 * 6576);
    reorderTwoSided(source.data(), fast.data(), 2, pairs, 6576);
    reorderTwoSidedReference(source.data(), plain.data(), 2, pairs, 6576);
    EXPECT_EQ(fast, plain);
    // Row r column 0 holds the row's first source byte, the last column its second.
    EXPECT_EQ(fast[6576], source[2 * pairs]);
    EXPECT_EQ(fast[2 * 6576 - 1], source[2 * pairs + 1]);
}

TEST(TwoSidedReadout, AFrameInTwoPiecesGivesTheSameRows) {
    // Splits at a row boundary, inside a row and at the ends all give the whole frame's result.
    std::mt19937 random(11);
    const int rows = 5;
    for (const int pairs : {3, 17, 40}) {
        const std::size_t bytes = static_cast<std::size_t>(rows) * 2 * pairs;
        std::vector<std::uint8_t> source(bytes);
        for (auto &b : source) {
            b = static_cast<std::uint8_t>(random());
        }
        std::vector<std::uint8_t> whole(static_cast<std::size_t>(rows) * 2 * pairs);
        reorderTwoSidedReference(source.data(), whole.data(), rows, pairs, 2 * pairs);
        for (std::size_t split : {std::size_t{0}, std::size_t{1}, bytes / 2, 2 * std::size_t(pairs),
                                  bytes - 1, bytes}) {
            std::vector<std::uint8_t> second(source.begin() + static_cast<std::ptrdiff_t>(split),
                                             source.end());
            second.push_back(0);  // never empty
            std::vector<std::uint8_t> out(whole.size(), 0xEE);
            reorderTwoSidedSplit(source.data(), second.data(), split, out.data(), rows, pairs,
                                 2 * pairs);
            ASSERT_EQ(out, whole) << "pairs " << pairs << " split " << split;
        }
    }
}

}  // namespace
}  // namespace ostrel::device
