// Whole-cell reduction of the half-size readout: which rows and columns are kept, and a readout
// shorter than the reduced picture asks for. The pictures themselves are checked against the
// scene in the capture tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "device/cell_subsample.h"

namespace ostrel::device {
namespace {

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

TEST(CellSubsample, AReducedSizeBeyondTheReadoutLeavesTheRestUntouched) {
    // A destination larger than the readout: only the samples that have a source are written.
    const std::vector<std::uint8_t> sent = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};  // 6 x 2
    std::vector<std::uint8_t> out(4 * 3, 0xEE);
    reduceReadout(SplitFrame{sent.data(), sent.data() + 6, 6}, ReadoutShape{6, 2, 3, false}, 2,
                  out.data(), 4, 3);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 2, 5, 6, 7, 8, 11, 12, 0xEE, 0xEE, 0xEE, 0xEE}));
}

}  // namespace
}  // namespace ostrel::device
