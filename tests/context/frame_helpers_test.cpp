// The capture flow's helpers on their own: the deferral of the pipeline's calls, the intake of a
// delivered frame into the raw image, and the frame rate in tenths.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "context/deferred_frame_controls.h"
#include "context/frame_intake.h"
#include "context/frame_rate_meter.h"
#include "imaging/dib_image.h"

namespace ostrel::context {
namespace {

class CallLog final : public imaging::FrameControls {
public:
    std::vector<std::string> calls;
    bool device = true;
    std::int32_t maximum = 4455;

    bool hasDevice() const override { return device; }
    void setGain(std::int32_t v) override { calls.push_back("gain " + std::to_string(v)); }
    void setExposure(std::int32_t v) override { calls.push_back("exp " + std::to_string(v)); }
    std::int32_t maxExposure() const override { return maximum; }
    void waitMilliseconds(int v) override { calls.push_back("wait " + std::to_string(v)); }
    void recordError(std::int32_t v) override { calls.push_back("error " + std::to_string(v)); }
    void postFrameNotification(std::int32_t v) override {
        calls.push_back("post " + std::to_string(v));
    }
    void refreshAnalogPage(int c, std::int32_t v) override {
        calls.push_back("page " + std::to_string(c) + " " + std::to_string(v));
    }
    void refreshImageFilterDialog() override { calls.push_back("dialog"); }
};

TEST(DeferredFrameControls, QueuesEveryCallAndReplaysThemInOrderOnFlush) {
    CallLog target;
    target.maximum = 2228;
    DeferredFrameControls deferred;
    deferred.begin(target);
    imaging::FrameControls &controls = deferred;
    EXPECT_TRUE(controls.hasDevice());
    EXPECT_EQ(controls.maxExposure(), 2228);
    controls.recordError(0);
    controls.waitMilliseconds(1);
    controls.setExposure(300);
    controls.refreshAnalogPage(1027, 300);
    controls.setGain(40);
    controls.refreshImageFilterDialog();
    controls.postFrameNotification(5);
    controls.recordError(5);
    EXPECT_TRUE(target.calls.empty());
    EXPECT_EQ(deferred.pending(), 8u);
    deferred.flush();
    EXPECT_EQ(target.calls,
              (std::vector<std::string>{"error 0", "wait 1", "exp 300", "page 1027 300", "gain 40",
                                        "dialog", "post 5", "error 5"}));
    EXPECT_EQ(deferred.pending(), 0u);
    deferred.flush();
    EXPECT_EQ(target.calls.size(), 8u);
}

TEST(DeferredFrameControls, AnswersWhatTheTargetSaidWhenTheDeferralBegan) {
    CallLog target;
    target.device = false;
    DeferredFrameControls deferred;
    deferred.begin(target);
    target.device = true;
    target.maximum = 1;
    EXPECT_FALSE(deferred.hasDevice());
    EXPECT_EQ(deferred.maxExposure(), 4455);
    deferred.setGain(7);
    // A new deferral drops what an earlier one left unflushed.
    deferred.begin(target);
    deferred.flush();
    EXPECT_TRUE(target.calls.empty());
}

// A frame of frameWidth x frameHeight samples with every sample telling its place.
std::vector<std::uint8_t> frame(std::int32_t width, std::int32_t height) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    }
    return bytes;
}

TEST(FrameIntake, AnExactPrivateEightBitImageTakesTheFrameDirectlyAndSpreadsItsRows) {
    imaging::DibImage raw;
    ASSERT_TRUE(raw.create(10, 3, 8));  // rows of 10 samples, stride 12
    FrameIntake intake;
    ASSERT_TRUE(intake.plan(raw, FrameWindow{10, 3, 0, 0}, false));
    EXPECT_EQ(intake.path(), FrameIntake::Path::Direct);
    EXPECT_EQ(intake.target(raw), raw.pixels());
    EXPECT_EQ(intake.frameBytes(), 30u);
    const std::vector<std::uint8_t> delivered = frame(10, 3);
    std::memset(raw.pixels(), 0xEE, raw.sizeBytes());
    std::memcpy(intake.target(raw), delivered.data(), delivered.size());
    intake.place(raw);
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(std::memcmp(raw.row(y), delivered.data() + y * 10, 10), 0) << y;
        EXPECT_EQ(raw.row(y)[10], 0);
        EXPECT_EQ(raw.row(y)[11], 0);
    }
}

TEST(FrameIntake, ASharedImageOrAWindowGoesThroughTheStagingBuffer) {
    imaging::DibImage raw;
    ASSERT_TRUE(raw.create(5, 2, 8));
    FrameIntake intake;
    ASSERT_TRUE(intake.plan(raw, FrameWindow{12, 6, 3, 4}, false));
    EXPECT_EQ(intake.path(), FrameIntake::Path::Staged);
    EXPECT_NE(intake.target(raw), raw.pixels());
    const std::vector<std::uint8_t> delivered = frame(12, 6);
    std::memcpy(intake.target(raw), delivered.data(), delivered.size());
    std::memset(raw.pixels(), 0xEE, raw.sizeBytes());
    intake.place(raw);
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(std::memcmp(raw.row(y), delivered.data() + (4 + y) * 12 + 3, 5), 0) << y;
        EXPECT_EQ(raw.row(y)[5] | raw.row(y)[6] | raw.row(y)[7], 0);
    }

    imaging::DibImage whole;
    ASSERT_TRUE(whole.create(12, 6, 8));
    ASSERT_TRUE(intake.plan(whole, FrameWindow{12, 6, 0, 0}, true));
    EXPECT_EQ(intake.path(), FrameIntake::Path::Staged);
    std::memcpy(intake.target(whole), delivered.data(), delivered.size());
    intake.place(whole);
    EXPECT_EQ(std::memcmp(whole.pixels(), delivered.data(), delivered.size()), 0);
}

TEST(FrameIntake, SixteenBitImagesGetTheSamplesAsTenBitWords) {
    imaging::DibImage raw;
    ASSERT_TRUE(raw.create(3, 2, 16));  // 6 bytes a row, stride 8
    FrameIntake intake;
    ASSERT_TRUE(intake.plan(raw, FrameWindow{4, 3, 1, 1}, false));
    EXPECT_EQ(intake.path(), FrameIntake::Path::Staged);
    const std::vector<std::uint8_t> delivered = {0, 1, 2,   3,    //
                                                 4, 0, 255, 128,  //
                                                 8, 9, 10,  11};
    std::memcpy(intake.target(raw), delivered.data(), delivered.size());
    std::memset(raw.pixels(), 0xEE, raw.sizeBytes());
    intake.place(raw);
    const std::uint8_t expected[2][8] = {{0, 0, 0xFC, 0x03, 0x00, 0x02, 0, 0},
                                         {36, 0, 40, 0, 44, 0, 0, 0}};
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(std::memcmp(raw.row(y), expected[y], 8), 0) << y;
    }
}

TEST(FrameIntake, RefusesAWindowOutsideTheFrameOrAnImageItCannotFill) {
    imaging::DibImage raw;
    ASSERT_TRUE(raw.create(8, 4, 8));
    FrameIntake intake;
    EXPECT_FALSE(intake.plan(raw, FrameWindow{8, 4, 1, 0}, false));
    EXPECT_FALSE(intake.plan(raw, FrameWindow{8, 4, 0, 1}, false));
    EXPECT_FALSE(intake.plan(raw, FrameWindow{7, 4, 0, 0}, false));
    EXPECT_FALSE(intake.plan(raw, FrameWindow{8, 4, -1, 0}, false));
    EXPECT_FALSE(intake.planned());
    EXPECT_EQ(intake.target(raw), nullptr);
    imaging::DibImage colour;
    ASSERT_TRUE(colour.create(8, 4, 24));
    EXPECT_FALSE(intake.plan(colour, FrameWindow{8, 4, 0, 0}, false));
    imaging::DibImage empty;
    EXPECT_FALSE(intake.plan(empty, FrameWindow{8, 4, 0, 0}, false));
}

TEST(FrameRateMeter, GivesTenthsOfAFramePerSecondOnceASecondHasPassed) {
    FrameRateMeter meter;
    meter.restart(5000);
    for (int i = 0; i < 24; ++i) {
        EXPECT_EQ(meter.countFrame(5000 + 40 * i), 0);
    }
    // The 25th frame at 1001 ms: 25 x 10000 / 1001 = 249.75..., truncated.
    EXPECT_EQ(meter.countFrame(6001), 249);
    // A new window began with the frame that closed the last one.
    EXPECT_EQ(meter.countFrame(6500), 249);
    EXPECT_EQ(meter.countFrame(8001), 10);  // 2 frames in 2000 ms
}

TEST(FrameRateMeter, SurvivesTheMillisecondClockWrapping) {
    FrameRateMeter meter;
    meter.restart(0xFFFFFF00u);
    EXPECT_EQ(meter.countFrame(0xFFFFFFF0u), 0);
    EXPECT_EQ(meter.countFrame(0x00000400u), 15);  // 2 frames in 1280 ms: 15.6
}

}  // namespace
}  // namespace ostrel::context
