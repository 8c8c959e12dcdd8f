// The image dialog's logic: the image filter and gray filter pages and the sheet's buttons, on
// a settings block, by colour mode.
#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "ui/fake_dialog_view.h"
#include "ui/image_dialog_sheet.h"

namespace ostrel::ui {
namespace {

using imaging::ColorMode;
using imaging::SettingsWord;

constexpr int kOk = 1;
constexpr int kCancel = 2;

// Word (1-based, as the block's table counts them) to value.
std::int32_t word(const imaging::SettingsBlock &block, int number) {
    return block.word(static_cast<std::size_t>(number - 1));
}

class ImageDialogTest : public ::testing::Test {
protected:
    ImageDialogTest() {
        imaging::SettingsValues values{};
        for (std::size_t i = 0; i < values.size(); ++i) {
            values[i] = static_cast<std::int32_t>(i + 1);  // word n holds n
        }
        block_.assign(values);
    }
    ImageFilterSheet &open(ColorMode mode) {
        sheet_ = std::make_unique<ImageFilterSheet>(block_, mode, imageView_, grayView_);
        sheet_->initialise();
        return *sheet_;
    }
    imaging::SettingsBlock block_;
    testing::FakeDialogView imageView_;
    testing::FakeDialogView grayView_;
    std::unique_ptr<ImageFilterSheet> sheet_;
};

TEST_F(ImageDialogTest, ColorModeChoosesEnabledRowsAndGrayPage) {
    struct Case {
        ColorMode mode;
        std::array<bool, 9> rows;
        bool whiteBalance;
        bool grayPage;
    };
    constexpr std::array<bool, 9> kMono{true, true, false, false, true, false, false, false, true};
    constexpr std::array<bool, 9> kAll{true, true, true, true, true, true, true, true, true};
    for (const Case &c :
         {Case{ColorMode::Mono8, kMono, false, true}, Case{ColorMode::Mono16, kMono, false, true},
          Case{ColorMode::Bgr24, kAll, true, false}, Case{ColorMode::Bgr64, kAll, true, false}}) {
        imageView_.controls.clear();
        ImageFilterSheet &sheet = open(c.mode);
        EXPECT_EQ(sheet.hasGrayPage(), c.grayPage);
        for (std::size_t i = 0; i < kImageFilterRows.size(); ++i) {
            const SliderRow &row = kImageFilterRows[i];
            EXPECT_EQ(imageView_[row.trackbar].enabled, c.rows[i]) << i;
            EXPECT_EQ(imageView_[row.edit].enabled, c.rows[i]) << i;
            EXPECT_EQ(imageView_[row.upDown].enabled, c.rows[i]) << i;
        }
        EXPECT_EQ(imageView_[kOnceButton].enabled, c.whiteBalance);
        EXPECT_EQ(imageView_[kAllFramesCheck].enabled, c.whiteBalance);
        EXPECT_EQ(imageView_[kBayerRadios[2]].enabled, c.whiteBalance);
    }
}

TEST_F(ImageDialogTest, RowsStartFromBlockWithTheirRanges) {
    open(ColorMode::Bgr24);
    for (const SliderRow &row : kImageFilterRows) {
        const std::int32_t value = block_.get(row.word);
        EXPECT_EQ(imageView_[row.edit].text, std::to_string(value));
        EXPECT_EQ(imageView_[row.trackbar].minimum, row.minimum);
        EXPECT_EQ(imageView_[row.upDown].maximum, row.maximum);
    }
    // Word 10 holds 10: no Bayer mode radio is checked.
    for (const int radio : kBayerRadios) {
        EXPECT_FALSE(imageView_[radio].checked);
    }
}

TEST_F(ImageDialogTest, TrackbarAndTypedValuesGoStraightIntoBlock) {
    struct Case {
        bool trackbar;
        int control;
        const char *text;
        std::int32_t position;
        int wordNumber;
        std::int32_t stored;
        int trackbarId;
        std::int32_t trackbarAt;
    };
    for (const Case &c :
         {Case{true, 2001, nullptr, -100, 1, -100, 2001, -100},
          Case{false, 2042, "45", 0, 5, 45, 2041, 30}, Case{false, 2082, "-7", 0, 9, -7, 2081, 0},
          Case{false, 2022, "x", 0, 3, 0, 2021, 0}}) {
        ImageFilterSheet &sheet = open(ColorMode::Bgr24);
        if (c.trackbar) {
            imageView_.setPosition(c.control, c.position);  // the user drags it
            sheet.imagePage().sliderMoved(c.control, c.position);
            EXPECT_EQ(imageView_[c.control + 1].text, std::to_string(c.position));
        } else {
            sheet.imagePage().editChanged(c.control, c.text);
        }
        EXPECT_EQ(word(block_, c.wordNumber), c.stored);
        EXPECT_EQ(imageView_[c.trackbarId].position, c.trackbarAt);
        sheet.finish(sheet.clicked(kCancel));
        EXPECT_EQ(word(block_, c.wordNumber), c.wordNumber) << "Cancel restores";
    }
}

TEST_F(ImageDialogTest, DefaultThenOkResetsFilterAndGrayWordsButNotGrayMode) {
    ImageFilterSheet &sheet = open(ColorMode::Mono8);
    EXPECT_EQ(sheet.clicked(kDefaultButton), DialogEnd::None);
    EXPECT_EQ(imageView_[2082].text, "100");
    EXPECT_TRUE(imageView_[kBayerRadios[3]].checked);
    EXPECT_EQ(grayView_[2101].text, "128");
    EXPECT_EQ(grayView_[2122].text, "0");
    const DialogEnd end = sheet.clicked(kOk);
    EXPECT_EQ(end, DialogEnd::Ok);
    sheet.finish(end);
    const std::array<std::int32_t, 20> expected{0,  0,  0,   0,   0,   100, 100, 100, 100, 3,
                                                11, 12, 128, 128, 128, 128, 0,   0,   0,   0};
    for (int n = 1; n <= 20; ++n) {
        EXPECT_EQ(word(block_, n), expected[static_cast<std::size_t>(n - 1)]) << "word " << n;
    }
}

TEST_F(ImageDialogTest, WhiteBalanceButtonsSetTheirFlags) {
    ImageFilterPage &page = open(ColorMode::Bgr24).imagePage();
    page.clicked(kAllFramesCheck);
    EXPECT_TRUE(imageView_[kAllFramesCheck].checked);
    EXPECT_EQ(word(block_, 26), 1);
    EXPECT_EQ(word(block_, 27), 0);
    EXPECT_EQ(word(block_, 28), 0);
    page.clicked(kOnceButton);
    EXPECT_FALSE(imageView_[kAllFramesCheck].checked);
    EXPECT_EQ(word(block_, 26), 1);
    EXPECT_EQ(word(block_, 27), 1);
    EXPECT_EQ(word(block_, 28), 1);
    page.clicked(kAllFramesCheck);  // checked again after Once unchecked it
    EXPECT_TRUE(page.allFramesChecked());
    EXPECT_EQ(word(block_, 27), 0);
}

TEST_F(ImageDialogTest, BayerRadiosSetModeAndOutOfRangeModeSurvivesOk) {
    ImageFilterSheet &sheet = open(ColorMode::Bgr24);
    sheet.finish(sheet.clicked(kOk));
    EXPECT_EQ(word(block_, 10), 10) << "no radio checked keeps the stored mode";

    ImageFilterSheet &again = open(ColorMode::Bgr24);
    for (int mode = 0; mode < 4; ++mode) {
        again.imagePage().clicked(kBayerRadios[static_cast<std::size_t>(mode)]);
        EXPECT_EQ(word(block_, 10), mode);
        EXPECT_TRUE(imageView_[kBayerRadios[static_cast<std::size_t>(mode)]].checked);
        EXPECT_FALSE(imageView_[kBayerRadios[static_cast<std::size_t>((mode + 1) % 4)]].checked);
    }
    again.finish(again.clicked(kOk));
    EXPECT_EQ(word(block_, 10), 3);
}

TEST_F(ImageDialogTest, ReloadShowsGainsWrittenByCaptureThread) {
    ImageFilterSheet &sheet = open(ColorMode::Mono8);
    block_.set(SettingsWord::ColourGainRed, 321);
    block_.set(SettingsWord::GrayGainB, 77);
    sheet.reloadControls();
    EXPECT_EQ(imageView_[2052].text, "321");
    EXPECT_EQ(imageView_[2051].position, 321);
    EXPECT_EQ(grayView_[2110].text, "77");
    // OK stores what the pages show, so the automatic gains survive it.
    sheet.finish(sheet.clicked(kOk));
    EXPECT_EQ(block_.get(SettingsWord::ColourGainRed), 321);
    EXPECT_EQ(block_.get(SettingsWord::GrayGainB), 77);
}

TEST_F(ImageDialogTest, GrayPageRowsAndCancel) {
    ImageFilterSheet &sheet = open(ColorMode::Mono8);
    GrayFilterPage &gray = *sheet.grayPage();
    gray.sliderMoved(2121, -40);
    EXPECT_EQ(word(block_, 20), -40);
    EXPECT_EQ(grayView_[2122].text, "-40");
    gray.editChanged(2101, "500");
    EXPECT_EQ(word(block_, 13), 500);
    EXPECT_EQ(grayView_[2100].position, 400);
    sheet.finish(sheet.clicked(kCancel));
    EXPECT_EQ(word(block_, 20), 20);
    EXPECT_EQ(word(block_, 13), 13);
}

TEST_F(ImageDialogTest, GrayAutoGainCountdown) {
    struct Case {
        std::vector<int> clicks;
        std::int32_t countdown;
        bool checked;
    };
    const std::vector<Case> cases{
        {{kAllFramesCheck}, -1, true},
        {{kAllFramesCheck, kAllFramesCheck}, 0, false},
        {{kAllFramesCheck, kOnceButton}, 1, true},
        {{kOnceButton}, 1, false},
    };
    for (const Case &c : cases) {
        block_.set(SettingsWord::AutoGrayGainCountdown, 0);
        GrayFilterPage &gray = *open(ColorMode::Mono16).grayPage();
        for (const int click : c.clicks) {
            gray.clicked(click);
        }
        EXPECT_EQ(block_.get(SettingsWord::AutoGrayGainCountdown), c.countdown);
        EXPECT_EQ(grayView_[kAllFramesCheck].checked, c.checked);
    }
}

TEST_F(ImageDialogTest, GrayModeRadios) {
    block_.set(SettingsWord::GrayMode, 5);
    ImageFilterSheet &sheet = open(ColorMode::Mono8);
    for (const int radio : kGrayModeRadios) {
        EXPECT_FALSE(grayView_[radio].checked);
    }
    sheet.finish(sheet.clicked(kOk));
    EXPECT_EQ(block_.get(SettingsWord::GrayMode), 5);

    GrayFilterPage &gray = *open(ColorMode::Mono8).grayPage();
    for (const auto &[radio, mode] : {std::pair{1048, 2}, {1046, 0}, {1047, 1}}) {
        gray.clicked(radio);
        EXPECT_EQ(block_.get(SettingsWord::GrayMode), mode);
        EXPECT_TRUE(grayView_[radio].checked);
    }
    gray.clicked(kBayerRadios[1]);
    EXPECT_EQ(block_.get(SettingsWord::BayerMode), 1);
}

}  // namespace
}  // namespace ostrel::ui
