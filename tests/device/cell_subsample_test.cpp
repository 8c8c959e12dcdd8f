// Whole-cell reduction of the half-size readout: which rows and columns are kept, the strided
// cell copy, and whole frames held in two pieces against a plain reference.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "device/cell_subsample.h"
#include "device/two_sided_readout.h"

namespace ostrel::device {
namespace {

// The reduced picture the plain way: sample (x, y) is the readout picture's sample at the start
// of every step-th cell, plus the position inside the cell.
std::vector<std::uint8_t> reducedReference(const std::vector<std::uint8_t> &picture,
                                           int pictureWidth, int step, int width, int height) {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(width) * height, 0xEE);
    const int cell = 2 * step;
    const int pictureHeight = static_cast<int>(picture.size()) / pictureWidth;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int sy = y / 2 * cell + y % 2;
            const int sx = x / 2 * cell + x % 2;
            if (sy < pictureHeight && sx < pictureWidth) {
                out[static_cast<std::size_t>(y) * width + x] =
                    picture[static_cast<std::size_t>(sy) * pictureWidth + sx];
            }
        }
    }
    return out;
}

TEST(CellSubsample, KeepsWholeCellsAndOnlyThoseWithinTheReadout) {
    struct Case {
        std::int32_t index, step, source;
    };
    for (const Case &c : {Case{0, 2, 0}, Case{1, 2, 1}, Case{2, 2, 4}, Case{3, 2, 5},
                          Case{5, 4, 17}, Case{1095, 2, 2189}, Case{547, 4, 2185}}) {
        EXPECT_EQ(cellSource(c.index, c.step), c.source) << c.index << " step " << c.step;
    }
    struct Kept {
        std::int32_t wanted, available, step, kept;
    };
    for (const Kept &k :
         {Kept{1644, 3288, 2, 1644}, Kept{822, 3288, 4, 822}, Kept{1096, 2192, 2, 1096},
          Kept{10, 8, 2, 4}, Kept{10, 9, 2, 5}, Kept{10, 5, 2, 3}, Kept{10, 1, 4, 1},
          Kept{10, 0, 2, 0}, Kept{0, 100, 2, 0}, Kept{10, 7, 1, 7}}) {
        EXPECT_EQ(keptCells(k.wanted, k.available, k.step), k.kept)
            << k.wanted << " of " << k.available << " step " << k.step;
    }
}

TEST(CellSubsample, RowCopyTakesCellPairsAndAnOddLastSample) {
    std::vector<std::uint8_t> row(32);
    for (std::size_t i = 0; i < row.size(); ++i) {
        row[i] = static_cast<std::uint8_t>(i);
    }
    std::vector<std::uint8_t> out(8, 0xEE);
    keepEveryCell(row.data(), out.data(), 7, 2);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0, 1, 4, 5, 8, 9, 12, 0xEE}));
    keepEveryCell(row.data(), out.data(), 4, 4);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0, 1, 8, 9, 8, 9, 12, 0xEE}));
}

TEST(CellSubsample, FramesInTwoPiecesEqualThePlainReduction) {
    struct Shape {
        int width, height, step;
        bool twoSided;
    };
    std::mt19937 random(5);
    for (const Shape &s : {Shape{32, 16, 2, true}, Shape{32, 16, 4, true}, Shape{30, 14, 2, true},
                           Shape{26, 10, 4, false}, Shape{33, 9, 2, false}, Shape{6, 6, 4, true}}) {
        const int pairs = s.width / 2;
        const int rowBytes = s.twoSided ? 2 * pairs : s.width;
        // The camera's bytes, and the picture they show once re-ordered.
        std::vector<std::uint8_t> sent(static_cast<std::size_t>(rowBytes) * s.height);
        for (auto &b : sent) {
            b = static_cast<std::uint8_t>(random());
        }
        std::vector<std::uint8_t> picture(sent);
        if (s.twoSided) {
            reorderTwoSidedReference(sent.data(), picture.data(), s.height, pairs, rowBytes);
        }
        const int width = s.width / s.step;
        const int height = s.height / s.step;
        const std::vector<std::uint8_t> expected =
            reducedReference(picture, rowBytes, s.step, width, height);
        for (const std::size_t split : {std::size_t{0}, sent.size() / 2 + 1, sent.size()}) {
            std::vector<std::uint8_t> second(sent.begin() + static_cast<std::ptrdiff_t>(split),
                                             sent.end());
            second.push_back(0);  // never empty
            std::vector<std::uint8_t> out(expected.size(), 0xEE);
            reduceReadout(SplitFrame{sent.data(), second.data(), split},
                          ReadoutShape{s.width, s.height, pairs, s.twoSided}, s.step, out.data(),
                          width, height);
            ASSERT_EQ(out, expected)
                << s.width << "x" << s.height << " step " << s.step << " split " << split;
        }
    }
}

TEST(CellSubsample, AReducedSizeBeyondTheReadoutLeavesTheRestUntouched) {
    // A destination larger than the readout gives: only what has a source is written.
    const std::vector<std::uint8_t> sent = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};  // 6 x 2
    std::vector<std::uint8_t> out(4 * 3, 0xEE);
    reduceReadout(SplitFrame{sent.data(), sent.data() + 6, 6}, ReadoutShape{6, 2, 3, false}, 2,
                  out.data(), 4, 3);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 2, 5, 6, 7, 8, 11, 12, 0xEE, 0xEE, 0xEE, 0xEE}));
}

}  // namespace
}  // namespace ostrel::device
