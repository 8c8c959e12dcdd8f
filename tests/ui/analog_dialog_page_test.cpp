// The analog page's logic: what slider moves, typing, clicks and the dialog's buttons do to the
// analog settings, the Bayer mode and the camera.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "ui/analog_dialog_page.h"
#include "ui/dialog_numbers.h"
#include "ui/fake_dialog_view.h"

namespace ostrel::ui {
namespace {

using imaging::AnalogWord;
using imaging::SettingsWord;
using namespace analog_control;
using Call = std::pair<std::string, std::int32_t>;

class RecordingCamera : public AnalogCamera {
public:
    void setGain(std::int32_t v) override { calls.emplace_back("gain", v); }
    void setExposure(std::int32_t v) override { calls.emplace_back("exposure", v); }
    void setMirrorV(std::int32_t v) override { calls.emplace_back("mirrorV", v); }
    void setMirrorH(std::int32_t v) override { calls.emplace_back("mirrorH", v); }
    std::int32_t subsampleMode() const override { return subsample; }

    std::vector<Call> calls;
    std::int32_t subsample = 0;
};

class AnalogPageTest : public ::testing::Test {
protected:
    // Gain 300, exposure 2000, mirrors off, auto iris off, Bayer mode 0.
    AnalogPageTest() : settings_(imaging::AnalogValues{300, 0, 0, 0, 0, 2000, 0, 0, 0}) {
        block_.set(SettingsWord::BayerMode, 0);
    }
    AnalogPage &open() {
        page_ = std::make_unique<AnalogPage>(settings_, block_, camera_, view_);
        page_->initialise();
        return *page_;
    }
    imaging::AnalogSettings settings_;
    imaging::SettingsBlock block_;
    RecordingCamera camera_;
    testing::FakeDialogView view_;
    std::unique_ptr<AnalogPage> page_;
};

TEST_F(AnalogPageTest, FillsControlsFromSettingsWithoutTouchingCamera) {
    settings_.set(AnalogWord::MirrorH, 1);
    settings_.set(AnalogWord::AutoIris, imaging::kAutoIrisGain);
    open();
    EXPECT_TRUE(camera_.calls.empty());
    EXPECT_EQ(view_[kGainSlider].maximum, 1023);
    EXPECT_EQ(view_[kGainSlider].position, 300);
    EXPECT_EQ(view_[kGainEdit].text, "300");
    EXPECT_EQ(view_[kExposureEdit].text, "2000");
    EXPECT_FALSE(view_[kColourGainRows[2][1]].enabled);
    EXPECT_TRUE(view_[kMirrorH].checked);
    EXPECT_FALSE(view_[kMirrorV].checked);
    EXPECT_TRUE(view_[kAutoIrisGain].checked);
    EXPECT_FALSE(view_[kAutoIrisExposure].checked);
}

TEST_F(AnalogPageTest, ExposureRangeFollowsSubsampling) {
    for (const auto &[subsample, maximum] : {std::pair{0, 4455}, {1, 2228}, {2, 2228}}) {
        camera_.subsample = subsample;
        open();
        EXPECT_EQ(view_[kExposureSlider].maximum, maximum) << subsample;
        EXPECT_EQ(view_[kExposureSpin].maximum, maximum) << subsample;
    }
}

TEST_F(AnalogPageTest, ExposureSliderSetsSettingCameraAndLabel) {
    struct Case {
        std::int32_t position;
        const char *label;
    };
    for (const Case &c : {Case{4455, "=0.04ms"}, Case{1, "=525.48ms"}, Case{100, "=513.80ms"}}) {
        open().sliderMoved(kExposureSlider, c.position);
        EXPECT_EQ(settings_.get(AnalogWord::Exposure), c.position);
        EXPECT_EQ(view_[kExposureEdit].text, std::to_string(c.position));
        EXPECT_EQ(view_[kExposureLabel].text, c.label);
        ASSERT_FALSE(camera_.calls.empty());
        EXPECT_EQ(camera_.calls.back(), Call("exposure", c.position));
    }
}

TEST_F(AnalogPageTest, TypedValuesBeyondSliderRangeReachCameraAsTyped) {
    struct Case {
        int edit;
        const char *text;
        AnalogWord word;
        std::int32_t stored;
        int slider;
        std::int32_t sliderAt;
    };
    for (const Case &c :
         {Case{kGainEdit, "2000", AnalogWord::GlobalGain, 2000, kGainSlider, 1023},
          Case{kExposureEdit, "9000", AnalogWord::Exposure, 9000, kExposureSlider, 4455},
          Case{kGainEdit, "", AnalogWord::GlobalGain, 0, kGainSlider, 0}}) {
        camera_.calls.clear();
        open().editChanged(c.edit, c.text);
        EXPECT_EQ(settings_.get(c.word), c.stored) << c.text;
        EXPECT_EQ(view_[c.slider].position, c.sliderAt) << c.text;
        ASSERT_EQ(camera_.calls.size(), 1u) << c.text;
        EXPECT_EQ(camera_.calls[0].second, c.stored);
    }
}

TEST_F(AnalogPageTest, EditChangesBeforeFillingEndsAreIgnored) {
    AnalogPage page(settings_, block_, camera_, view_);
    page.editChanged(kGainEdit, "77");
    EXPECT_EQ(settings_.get(AnalogWord::GlobalGain), 300);
    EXPECT_TRUE(camera_.calls.empty());
}

TEST_F(AnalogPageTest, AutoIrisBoxesExcludeEachOther) {
    struct Step {
        int click;
        std::int32_t mode;
        bool gainTicked;
        bool exposureTicked;
    };
    AnalogPage &page = open();
    for (const Step s :
         {Step{kAutoIrisExposure, 1, false, true}, Step{kAutoIrisGain, 2, true, false},
          Step{kAutoIrisGain, 0, false, false}, Step{kAutoIrisExposure, 1, false, true},
          Step{kAutoIrisExposure, 0, false, false}}) {
        EXPECT_EQ(page.clicked(s.click), DialogEnd::None);
        EXPECT_EQ(settings_.get(AnalogWord::AutoIris), s.mode);
        EXPECT_EQ(view_[kAutoIrisGain].checked, s.gainTicked);
        EXPECT_EQ(view_[kAutoIrisExposure].checked, s.exposureTicked);
    }
}

TEST_F(AnalogPageTest, MirrorClicksToggleFlagsAndBayerMode) {
    struct Case {
        int box;
        std::int32_t startBayer;
        std::int32_t bayerAfterOne;
        std::vector<Call> calls;  // after two clicks
    };
    const std::vector<Case> cases{
        {kMirrorH, 0, 2, {{"mirrorH", 1}, {"mirrorH", 0}}},
        {kMirrorH, 1, 3, {{"mirrorH", 1}, {"mirrorH", 0}}},
        {kMirrorV, 0, 1, {}},
        {kMirrorV, 2, 3, {}},
        {kMirrorV, 7, 7, {}},  // a mode that means nothing stays as it is
    };
    for (const Case &c : cases) {
        block_.set(SettingsWord::BayerMode, c.startBayer);
        camera_.calls.clear();
        AnalogPage &page = open();
        const AnalogWord flag = c.box == kMirrorH ? AnalogWord::MirrorH : AnalogWord::MirrorV;
        page.clicked(c.box);
        EXPECT_EQ(settings_.get(flag), 1);
        EXPECT_TRUE(view_[c.box].checked);
        EXPECT_EQ(block_.get(SettingsWord::BayerMode), c.bayerAfterOne);
        page.clicked(c.box);
        EXPECT_EQ(settings_.get(flag), 0);
        EXPECT_EQ(block_.get(SettingsWord::BayerMode), c.startBayer);
        EXPECT_EQ(camera_.calls, c.calls);
    }
}

TEST_F(AnalogPageTest, DefaultThenCancelRestoresSettingsBayerAndCamera) {
    settings_.set(AnalogWord::ColourGainR, 55);
    settings_.set(AnalogWord::MirrorV, 1);
    AnalogPage &page = open();
    page.clicked(kMirrorH);
    EXPECT_EQ(page.clicked(kDefault), DialogEnd::None);
    EXPECT_EQ(settings_.get(AnalogWord::GlobalGain), 100);
    EXPECT_EQ(settings_.get(AnalogWord::Exposure), 100);
    EXPECT_EQ(settings_.get(AnalogWord::ColourGainR), 0);
    EXPECT_EQ(settings_.get(AnalogWord::MirrorV), 1);  // Default leaves the mirrors
    EXPECT_EQ(view_[kGainEdit].text, "100");
    EXPECT_EQ(view_[kExposureSlider].position, 100);
    const std::vector<Call> defaults{{"mirrorH", 1}, {"gain", 100}, {"exposure", 100}};
    EXPECT_EQ(camera_.calls, defaults);

    camera_.calls.clear();
    const DialogEnd end = page.clicked(2);
    EXPECT_EQ(end, DialogEnd::Cancel);
    page.finish(end);
    const std::vector<Call> restored{
        {"gain", 300}, {"exposure", 2000}, {"mirrorV", 1}, {"mirrorH", 0}};
    EXPECT_EQ(camera_.calls, restored);
    EXPECT_EQ(settings_.values(), (imaging::AnalogValues{300, 0, 55, 0, 0, 2000, 1, 0, 0}));
    EXPECT_EQ(block_.get(SettingsWord::BayerMode), 0);
}

TEST_F(AnalogPageTest, OkKeepsEditsAndTouchesCameraNoMore) {
    AnalogPage &page = open();
    page.editChanged(kGainEdit, "640");
    page.clicked(kMirrorV);
    camera_.calls.clear();
    const DialogEnd end = page.clicked(1);
    EXPECT_EQ(end, DialogEnd::Ok);
    page.finish(end);
    EXPECT_TRUE(camera_.calls.empty());
    EXPECT_EQ(settings_.get(AnalogWord::GlobalGain), 640);
    EXPECT_EQ(settings_.get(AnalogWord::MirrorV), 1);
    EXPECT_EQ(block_.get(SettingsWord::BayerMode), 1);
}

TEST_F(AnalogPageTest, AutoIrisValuesAreShownAndApplied) {
    AnalogPage &page = open();
    page.showValue(kGainEdit, 512);
    page.showValue(kExposureEdit, 4000);
    page.showValue(kExposureLabel, 1);  // not an edit the automatic iris writes
    EXPECT_EQ(view_[kGainEdit].text, "512");
    EXPECT_EQ(view_[kGainSlider].position, 512);
    EXPECT_EQ(settings_.get(AnalogWord::Exposure), 4000);
    const std::vector<Call> calls{{"gain", 512}, {"exposure", 4000}};
    EXPECT_EQ(camera_.calls, calls);
}

TEST(DialogNumbers, ReadLikeDialogNumberFields) {
    struct Case {
        const char *text;
        std::optional<std::int32_t> asSigned;
        std::optional<std::int32_t> asUnsigned;
    };
    for (const Case &c :
         {Case{"42", 42, 42}, Case{" -17 ", -17, std::nullopt},
          Case{"", std::nullopt, std::nullopt}, Case{"-", std::nullopt, std::nullopt},
          Case{"12a", std::nullopt, std::nullopt}, Case{"2147483647", 2147483647, 2147483647},
          Case{"-2147483648", INT32_MIN, std::nullopt}, Case{"2147483648", std::nullopt, INT32_MIN},
          Case{"4294967295", std::nullopt, -1}, Case{"4294967296", std::nullopt, std::nullopt}}) {
        EXPECT_EQ(parseSignedNumber(c.text), c.asSigned) << c.text;
        EXPECT_EQ(parseUnsignedNumber(c.text), c.asUnsigned) << c.text;
    }
    EXPECT_EQ(unsignedText(-1), "4294967295");
    EXPECT_EQ(signedText(-1), "-1");
}

}  // namespace
}  // namespace ostrel::ui
