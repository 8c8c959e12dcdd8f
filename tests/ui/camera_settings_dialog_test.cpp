// The camera settings dialog's logic over a table store of the test's own: what it shows, and
// what OK and Apply write.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "ui/camera_settings_dialog.h"
#include "ui/fake_dialog_view.h"

namespace ostrel::ui {
namespace {

using namespace camera_control;
using imaging::ColorMode;

constexpr int kOk = 1;
constexpr int kCancel = 2;
constexpr ImageGeometry kHalf{3288, 2192, 3288, 2192, 100, 200, 12};

class CameraDialogTest : public ::testing::Test {
protected:
    CameraDialogTest() {
        stored_.entries[0] = kSensorGeometry;
        stored_.entries[1] = kHalf;
        stored_.entryCount = 2;
        stored_.selectedSize = 1;
        stored_.stream = {ColorMode::Bgr24, 0, 10, 0};
    }
    CameraSettingsDialog &open(DialogLanguage language = DialogLanguage::English) {
        CameraDialogStore store{[this](CameraDialogTable &t) {
                                    if (keyMissing_) {
                                        return false;
                                    }
                                    t = stored_;
                                    return true;
                                },
                                [this](const CameraDialogTable &t) {
                                    writes_.push_back(t);
                                    return true;
                                }};
        dialog_ = std::make_unique<CameraSettingsDialog>(language, view_, store);
        dialog_->initialise();
        return *dialog_;
    }
    std::vector<std::string> sizeItems() { return view_[kSizeList].items; }

    CameraDialogTable stored_;
    bool keyMissing_ = false;
    std::vector<CameraDialogTable> writes_;
    testing::FakeDialogView view_;
    std::unique_ptr<CameraSettingsDialog> dialog_;
};

TEST_F(CameraDialogTest, ShowsStoredTableWithOnlyColourAndWaitTimeUsable) {
    CameraSettingsDialog &dialog = open();
    EXPECT_EQ(sizeItems(), (std::vector<std::string>{"6576 x 4384", "3288 x 2192", "Custom"}));
    EXPECT_EQ(view_[kSizeList].selected, 1);
    const std::vector<std::string> edits{"3288", "2192", "3288", "2192", "100", "200"};
    for (std::size_t i = 0; i < edits.size(); ++i) {
        EXPECT_EQ(view_[kSizeEdits[i]].text, edits[i]);
        EXPECT_FALSE(view_[kSizeEdits[i]].enabled);
    }
    EXPECT_EQ(view_[kColorList].selected, 2);
    EXPECT_EQ(view_[kColorList].items.at(4), "Color 48bit *");
    EXPECT_EQ(view_[kClockList].items, std::vector<std::string>{"Nomal"});
    EXPECT_EQ(view_[kSubsampleList].items, std::vector<std::string>{"1/1"});
    EXPECT_EQ(view_[kWaitTimeEdit].text, "10");
    EXPECT_TRUE(view_[kColorList].enabled);
    EXPECT_TRUE(view_[kWaitTimeEdit].enabled);
    EXPECT_FALSE(view_[kSizeList].enabled);
    EXPECT_FALSE(dialog.applyEnabled());
    EXPECT_FALSE(view_[kApply].enabled);
}

TEST_F(CameraDialogTest, JapaneseTextsKeepTheSameIndices) {
    CameraSettingsDialog &dialog = open(DialogLanguage::Japanese);
    EXPECT_EQ(sizeItems().back(), "カスタム");
    EXPECT_EQ(view_[kClockList].items, std::vector<std::string>{"標準"});
    EXPECT_EQ(view_[kSubsampleList].items, std::vector<std::string>{"1/1"});
    EXPECT_EQ(view_[kColorList].items.at(0), "モノクロ 8ビット");
    dialog.selectionChanged(kColorList, 4);
    dialog.clicked(kOk);
    ASSERT_EQ(writes_.size(), 1u);
    EXPECT_EQ(writes_[0].stream.colorMode, ColorMode::Bgr48);
}

TEST_F(CameraDialogTest, ApplyWritesAndStaysOpenThenCancelWritesNothingMore) {
    CameraSettingsDialog &dialog = open();
    dialog.editChanged(kWaitTimeEdit, "25");
    EXPECT_TRUE(dialog.applyEnabled());
    EXPECT_EQ(dialog.clicked(kApply), DialogEnd::None);
    EXPECT_FALSE(dialog.applyEnabled());
    ASSERT_EQ(writes_.size(), 1u);
    EXPECT_EQ(writes_[0].stream.waitTime, 25u);
    EXPECT_EQ(writes_[0].entries[1], kHalf) << "an entry rewritten from its own edits";
    EXPECT_EQ(writes_[0].entryCount, 2);
    EXPECT_EQ(dialog.clicked(kCancel), DialogEnd::Cancel);
    EXPECT_EQ(writes_.size(), 1u);
}

TEST_F(CameraDialogTest, SelectionsAndEditsTakenIntoTable) {
    struct Case {
        const char *name;
        int list;
        int index;
        int edit;
        const char *text;
        std::int32_t ColorMode_;  // expected colour code
        std::uint32_t waitTime;
        std::int32_t selected;
        ImageGeometry selectedEntry;
    };
    const ImageGeometry wide{3288, 2192, 3000, 2192, 100, 200, 12};
    for (const Case &c : {Case{"colour", kColorList, 5, 0, nullptr, 5, 10, 1, kHalf},
                          Case{"size", kSizeList, 0, 0, nullptr, 2, 10, 0, kSensorGeometry},
                          Case{"width", -1, 0, kSizeEdits[2], "3000", 2, 10, 1, wide},
                          Case{"not a number", -1, 0, kWaitTimeEdit, "abc", 2, 0, 1, kHalf}}) {
        writes_.clear();
        CameraSettingsDialog &dialog = open();
        if (c.list >= 0) {
            dialog.selectionChanged(c.list, c.index);
        } else {
            dialog.editChanged(c.edit, c.text);
        }
        EXPECT_TRUE(dialog.applyEnabled()) << c.name;
        EXPECT_EQ(dialog.clicked(kOk), DialogEnd::Ok);
        ASSERT_EQ(writes_.size(), 1u) << c.name;
        const CameraDialogTable &t = writes_[0];
        EXPECT_EQ(static_cast<int>(t.stream.colorMode), c.ColorMode_) << c.name;
        EXPECT_EQ(t.stream.waitTime, c.waitTime) << c.name;
        EXPECT_EQ(t.selectedSize, c.selected) << c.name;
        EXPECT_EQ(t.entries[static_cast<std::size_t>(c.selected)], c.selectedEntry) << c.name;
    }
}

TEST_F(CameraDialogTest, CustomEntryIsAppendedBeforeCustom) {
    CameraSettingsDialog &dialog = open();
    dialog.selectionChanged(kSizeList, 2);
    dialog.editChanged(kSizeEdits[2], "1024");
    dialog.editChanged(kSizeEdits[3], "768");
    dialog.clicked(kApply);
    EXPECT_EQ(sizeItems(),
              (std::vector<std::string>{"6576 x 4384", "3288 x 2192", "1024 x 768", "Custom"}));
    EXPECT_EQ(view_[kSizeList].selected, 2);
    ASSERT_EQ(writes_.size(), 1u);
    EXPECT_EQ(writes_[0].entryCount, 3);
    EXPECT_EQ(writes_[0].selectedSize, 2);
    EXPECT_EQ(writes_[0].entries[2].imageWidth, 1024);
    EXPECT_EQ(writes_[0].entries[2].bufferCount, 10);
    // The entry now exists: a second Apply rewrites it instead of appending again.
    dialog.editChanged(kSizeEdits[3], "700");
    dialog.clicked(kApply);
    EXPECT_EQ(writes_[1].entryCount, 3);
    EXPECT_EQ(writes_[1].entries[2].imageHeight, 700);
}

TEST_F(CameraDialogTest, MissingSettingsKeyOffersCustomFromWholeSensor) {
    keyMissing_ = true;
    CameraSettingsDialog &dialog = open();
    EXPECT_EQ(sizeItems(), std::vector<std::string>{"Custom"});
    EXPECT_EQ(view_[kSizeList].selected, 0);
    EXPECT_EQ(view_[kSizeEdits[2]].text, "6576");
    EXPECT_EQ(view_[kColorList].selected, 0);
    EXPECT_EQ(view_[kWaitTimeEdit].text, "10");
    dialog.clicked(kOk);
    ASSERT_EQ(writes_.size(), 1u);
    EXPECT_EQ(writes_[0].entryCount, 1);
    EXPECT_EQ(writes_[0].selectedSize, 0);
    EXPECT_EQ(writes_[0].entries[0], kSensorGeometry);
}

TEST_F(CameraDialogTest, StoredIndicesWithoutItemsStoreLoadableValues) {
    struct Case {
        const char *name;
        std::int32_t entryCount;
        std::int32_t size;
        std::int32_t subsample;
        std::uint32_t clock;
        int shownSize;
    };
    for (const Case &c :
         {Case{"size beyond entries", 2, 7, 0, 0, 0}, Case{"negative size", 2, -3, 0, 0, 0},
          Case{"full table, size 100", 100, 100, 0, 0, 0},
          Case{"full table, last", 100, 99, 0, 0, 99},
          Case{"subsample and clock", 2, 1, 2, 5, 1}}) {
        writes_.clear();
        stored_.entryCount = c.entryCount;
        for (std::int32_t i = 2; i < c.entryCount; ++i) {
            stored_.entries[static_cast<std::size_t>(i)] = kHalf;
        }
        stored_.selectedSize = c.size;
        stored_.stream.subsampleMode = c.subsample;
        stored_.stream.clock = c.clock;
        CameraSettingsDialog &dialog = open();
        EXPECT_EQ(view_[kSizeList].selected, c.shownSize) << c.name;
        EXPECT_EQ(static_cast<std::int32_t>(sizeItems().size()),
                  c.entryCount + (c.entryCount < 100 ? 1 : 0))
            << c.name;
        dialog.clicked(kOk);
        ASSERT_EQ(writes_.size(), 1u) << c.name;
        const CameraDialogTable &t = writes_[0];
        EXPECT_EQ(t.entryCount, c.entryCount) << c.name;
        EXPECT_EQ(t.selectedSize, c.shownSize) << c.name;
        EXPECT_EQ(t.stream.subsampleMode, 0) << c.name;
        EXPECT_EQ(t.stream.clock, 0u) << c.name;
    }
}

TEST_F(CameraDialogTest, ListSelectionsWithoutItemsAreRefused) {
    stored_.entryCount = 100;
    stored_.selectedSize = 5;
    CameraSettingsDialog &dialog = open();
    for (const int index : {-1, 100, 250}) {
        dialog.selectionChanged(kSizeList, index);
    }
    dialog.selectionChanged(kColorList, 6);
    dialog.clicked(kOk);
    ASSERT_EQ(writes_.size(), 1u);
    EXPECT_EQ(writes_[0].selectedSize, 5);
    EXPECT_EQ(writes_[0].entryCount, 100);
    EXPECT_EQ(writes_[0].stream.colorMode, ColorMode::Bgr24);
}

}  // namespace
}  // namespace ostrel::ui
