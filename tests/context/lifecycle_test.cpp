// Initialisation and release of a context over emulated cameras and a settings store of the
// test's own: first use of the store, stored settings that are not valid, what reaches the camera,
// and what a release saves and stops.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "context/camera_context.h"
#include "context/streaming_support.h"
#include "device/device_7100vrx.h"

namespace ostrel::context {
namespace {

using imaging::AnalogWord;
using imaging::SettingsWord;
using platform::camera::Register;
using testing::NotificationQueue;
using testing::putSetting;
using testing::settingsKeyExists;
using testing::SettingsSandbox;
using testing::storedSetting;
using testing::StoredSettings;
using Codes = std::vector<std::int32_t>;

class Lifecycle : public ::testing::Test {
protected:
    std::unique_ptr<CameraContext> initialised(bool expectSuccess = true) {
        auto context = std::make_unique<CameraContext>();
        EXPECT_EQ(context->initialise(errors.window()), expectSuccess);
        return context;
    }
    emulator::EmulatedCamera &camera() { return cameras.camera(0); }

    SettingsSandbox settings;
    testing::ScopedCameras cameras{1, testing::fullSizeCamera()};
    NotificationQueue errors;
};

TEST_F(Lifecycle, FirstUseCreatesTheKeyWithItsDefaultsAndRecordsTwelveOnce) {
    ASSERT_FALSE(settingsKeyExists());
    auto first = initialised();
    EXPECT_EQ(testing::failureHistory(*first), Codes{12});
    EXPECT_EQ(errors.takeErrorCodes(), std::vector<std::intptr_t>{12});
    EXPECT_EQ(storedSetting("", "Size"), 0);
    EXPECT_EQ(storedSetting("", "Color"), 2);
    EXPECT_EQ(storedSetting("Size_00", "EH"), 6576);
    EXPECT_EQ(storedSetting("Size_00", "EV"), 4384);
    // The stream settings are read from the key just made.
    EXPECT_EQ(first->colorModeBits(), 24);
    first.reset();

    auto second = initialised();
    EXPECT_EQ(testing::failureHistory(*second), Codes{});
    EXPECT_EQ(second->imageWidth(), 6576);
}

TEST_F(Lifecycle, AStoredWidthBeyondTheSensorGivesSevenAndTheWholeSensor) {
    StoredSettings stored;
    stored.width = 6577;
    stored.originX = 0;
    testing::plantSettings(stored);
    ASSERT_TRUE(putSetting("Size_00", "EVS", 5));
    auto context = initialised();
    EXPECT_EQ(testing::failureHistory(*context), Codes{7});
    const ImageGeometry &g = context->geometry();
    EXPECT_EQ(g.imageWidth, 6576);
    EXPECT_EQ(g.imageHeight, 4384);
    EXPECT_EQ(g.originX, 0);
    EXPECT_EQ(g.originY, 0);
    EXPECT_EQ(g.totalWidth, 6576);
    EXPECT_EQ(context->previewPlacement().width, 6576);
    EXPECT_EQ(context->previewPlacement().height, 4384);
}

TEST_F(Lifecycle, AStoredSubsampleModeOfThreePassesInitialisationAndFailsEveryPreparation) {
    StoredSettings stored;
    stored.subsample = 3;
    testing::plantSettings(stored);
    auto context = initialised();
    EXPECT_EQ(testing::failureHistory(*context), Codes{});
    EXPECT_EQ(context->subsampleMode(), 3);
    EXPECT_FALSE(context->startPreview());
    EXPECT_EQ(testing::failureHistory(*context), (Codes{1, 7}));
    testing::clearHistory(*context);
    EXPECT_FALSE(context->capture());
    EXPECT_FALSE(context->snapShot(nullptr, 0, 0));
    EXPECT_EQ(testing::failureHistory(*context), (Codes{1, 7, 1, 7}));
    EXPECT_EQ(context->acquisitionState(), AcquisitionState::Idle);
}

TEST_F(Lifecycle, StoredSettingsAreLoadedAndTheCameraGetsGainExposureAndReadout) {
    StoredSettings stored;
    stored.color = 4;
    stored.waitTime = 25;
    testing::plantSettings(stored);
    ASSERT_TRUE(putSetting("Gain", "Global", 300));
    ASSERT_TRUE(putSetting("Gain", "Exposure", 2000));
    ASSERT_TRUE(putSetting("Gain", "AutoIris", 2));
    ASSERT_TRUE(putSetting("Filter", "Brightness", -40));
    ASSERT_TRUE(putSetting("Gray", "Mode", 2));
    auto context = initialised();
    EXPECT_EQ(testing::failureHistory(*context), Codes{});
    EXPECT_EQ(camera().registerValue(Register::Gain), 300);
    EXPECT_EQ(camera().registerValue(Register::Exposure), 2000);
    EXPECT_EQ(context->colorModeBits(), 48);
    EXPECT_EQ(context->waitTime(), 25);
    EXPECT_EQ(context->subsampleMode(), 1);
    EXPECT_EQ(context->autoIris(), 2);
    EXPECT_EQ(context->settings().get(SettingsWord::Brightness), -40);
    EXPECT_EQ(context->settings().get(SettingsWord::GrayMode), 2);
    // With the subkey present, a value it lacks leaves its word as constructed.
    EXPECT_EQ(context->settings().get(SettingsWord::Gamma), 0);
#if defined(__i386__) || defined(__x86_64__)
    // The processor was identified first.
    EXPECT_EQ(context->processorInfo().checkedFeatures, imaging::kCheckedFeatures);
    EXPECT_NE(context->processorInfo().vendor[0], '\0');
#endif
}

TEST_F(Lifecycle, ReleaseWhileStreamingSavesTheThreeGroupsAndStopsEverything) {
    testing::plantSettings(StoredSettings{});
    auto context = initialised();
    ASSERT_TRUE(context->startPreview());
    ASSERT_TRUE(testing::waitUntil([&] { return camera().counters().halvesSent >= 4; }));
    ASSERT_TRUE(context->setFilterValue(13, 321));  // global gain
    ASSERT_TRUE(context->setFilterValue(1, -17));   // brightness
    ASSERT_TRUE(context->setFilterValue(19, 1));    // gray mode
    ASSERT_TRUE(context->setMirrorH(1));
    ASSERT_EQ(camera().openDrives(), 1);
    context.reset();

    EXPECT_EQ(camera().openDrives(), 0);
    EXPECT_EQ(storedSetting("Gain", "Global"), 321);
    EXPECT_EQ(storedSetting("Gain", "ColorG2"), 321);
    EXPECT_EQ(storedSetting("Gain", "H_Mirror"), 1);
    EXPECT_EQ(storedSetting("Filter", "Brightness"), -17);
    EXPECT_EQ(storedSetting("Filter", "BayerMode"), 1);  // 3 with the column phase toggled
    EXPECT_EQ(storedSetting("Gray", "Mode"), 1);
    const std::uint64_t sent = camera().counters().halvesSent;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(camera().counters().halvesSent, sent) << "a capture thread outlived the release";
}

// A context that could not make its device never loaded the user's settings, so its release
// must not write its empty groups over them.
TEST_F(Lifecycle, AContextThatNeverLoadedTheSettingsSavesNothing) {
    testing::plantSettings(StoredSettings{});
    ASSERT_TRUE(putSetting("Gain", "Global", 555));
    {
        CameraContext context([]() -> std::unique_ptr<device::Device7100VRX> { return nullptr; });
        EXPECT_FALSE(context.initialise(errors.window()));
        EXPECT_EQ(testing::failureHistory(context), Codes{5});
    }
    EXPECT_EQ(storedSetting("Gain", "Global"), 555);
    EXPECT_EQ(storedSetting("Filter", "Brightness"), std::nullopt);
}

class LifecycleWithoutCamera : public ::testing::Test {
protected:
    SettingsSandbox settings;
    testing::ScopedCameras none{std::vector<emulator::EmulatedCameraConfig>{}};
    NotificationQueue errors;
};

TEST_F(LifecycleWithoutCamera, InitialisationSucceedsAndTheFirstStartReportsTwo) {
    testing::plantSettings(StoredSettings{});
    CameraContext context;
    EXPECT_TRUE(context.initialise(errors.window()));
    EXPECT_TRUE(context.hasDevice());
    EXPECT_EQ(testing::failureHistory(context), Codes{});
    EXPECT_FALSE(context.startPreview());
    EXPECT_FALSE(context.capture());
    EXPECT_FALSE(context.snapShot(nullptr, 0, 0));
    EXPECT_EQ(testing::failureHistory(context), (Codes{1, 2, 1, 2, 1, 2}));
    EXPECT_TRUE(context.close());
    EXPECT_EQ(testing::failureHistory(context), (Codes{1, 2, 1, 2, 1, 2}));
}

}  // namespace
}  // namespace ostrel::context
