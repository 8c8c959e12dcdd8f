// A camera context without a camera device: its defaults, the settings that need no device, and
// the code 1 that every operation needing the device reports (recorded or only posted, as each
// operation's rule says), checked in the history and in the notifications.
#include "context/camera_context.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <vector>

#include "context/notification_queue.h"
#include "device/device_7100vrx.h"
#include "imaging/dib_image.h"

namespace ostrel::context {
namespace {

using imaging::AnalogWord;
using imaging::SettingsWord;
using testing::NotificationQueue;
using Codes = std::vector<std::intptr_t>;

// A context whose camera device cannot be made.
CameraContext *withoutDevice() {
    return new CameraContext([]() -> std::unique_ptr<device::Device7100VRX> { return nullptr; });
}

std::vector<std::int32_t> drain(CameraContext &context) {
    std::vector<std::int32_t> codes;
    for (std::int32_t code = context.takeLastError(); code != 0; code = context.takeLastError()) {
        codes.push_back(code);
    }
    return codes;
}

// A context whose notification window is a queue of the test, initialised as Ostrel_Initialize
// does; the code of the missing device is taken out again so each test starts clean.
class ContextWithoutDevice : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(context.initialise(queue.window()));
        ASSERT_EQ(context.takeLastError(), static_cast<std::int32_t>(ErrorCode::MemoryOrSize));
        ASSERT_EQ(queue.takeErrorCodes(), Codes{5});
    }
    void TearDown() override { EXPECT_EQ(NotificationQueue::takeThreadErrorCodes(), Codes{}); }

    NotificationQueue queue;
    std::unique_ptr<CameraContext> made{withoutDevice()};
    CameraContext &context = *made;
};

TEST(CameraContextDefaults, EveryFieldStartsAtItsDefault) {
    CameraContext context;
    const ImageGeometry &g = context.geometry();
    EXPECT_EQ(g.totalWidth, 6576);
    EXPECT_EQ(g.totalHeight, 4384);
    EXPECT_EQ(g.imageWidth, 6576);
    EXPECT_EQ(g.imageHeight, 4384);
    EXPECT_EQ(g.originX, 0);
    EXPECT_EQ(g.originY, 0);
    EXPECT_EQ(g.bufferCount, 10);
    EXPECT_EQ(context.imageWidth(), 6576);
    EXPECT_EQ(context.imageHeight(), 4384);
    EXPECT_EQ(context.subsampleMode(), 0);
    EXPECT_EQ(context.colorModeBits(), 8);
    EXPECT_EQ(context.waitTime(), 10);
    EXPECT_EQ(context.autoIris(), 0);
    EXPECT_EQ(context.realExposureTime(), 0);
    EXPECT_EQ(context.transferTimeout(), 10000);
    EXPECT_EQ(context.acquisitionState(), AcquisitionState::Idle);
    EXPECT_EQ(context.notificationWindow(), platform::kNoWindow);
    EXPECT_EQ(context.applicationWindow(), platform::kNoWindow);
    EXPECT_FALSE(context.hasDevice());
    EXPECT_EQ(context.settings().values(), imaging::SettingsValues{});
    EXPECT_EQ(context.analog().values(), imaging::AnalogValues{});
    EXPECT_EQ(context.errorHistory().codes(), ErrorHistory::Codes{});

    const PreviewPlacement &p = context.previewPlacement();
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    EXPECT_EQ(p.width, 6576);
    EXPECT_EQ(p.height, 4384);

    const FrameInfo &info = context.frameInfo();
    EXPECT_EQ(info.size, static_cast<std::int32_t>(sizeof(FrameInfo)));
    EXPECT_EQ(info.width, 0);
    EXPECT_EQ(info.height, 0);
    EXPECT_EQ(info.bitsPerPixel, 0);
    EXPECT_EQ(info.frameRate, 0);
    EXPECT_EQ(info.buffer, nullptr);
    for (std::size_t slot = 0; slot < kImageCount; ++slot) {
        EXPECT_EQ(context.image(static_cast<ImageSlot>(slot)), nullptr);
    }
}

TEST(CameraContextDefaults, FrameInfoIsSixWordsOnThirtyTwoBitsAndHasAPointerOnSixtyFour) {
    if (sizeof(void *) == 4) {
        EXPECT_EQ(sizeof(FrameInfo), 24u);
    } else {
        EXPECT_EQ(sizeof(FrameInfo), 32u);
    }
    EXPECT_EQ(sizeof(CameraInfo), 36u);
}

TEST(CameraContextInitialise, WithoutADeviceRecordsFiveButKeepsTheWindowAndTheImages) {
    NotificationQueue queue;
    std::unique_ptr<CameraContext> made(withoutDevice());
    CameraContext &context = *made;
    EXPECT_FALSE(context.initialise(queue.window()));
    EXPECT_EQ(context.notificationWindow(), queue.window());
    EXPECT_EQ(queue.takeErrorCodes(), Codes{5});
    EXPECT_EQ(drain(context), (std::vector<std::int32_t>{5}));
    for (std::size_t slot = 0; slot < kImageCount; ++slot) {
        const imaging::DibImage *image = context.image(static_cast<ImageSlot>(slot));
        ASSERT_NE(image, nullptr) << "slot " << slot;
        EXPECT_TRUE(image->isEmpty());
    }
}

TEST(CameraContextErrors, WithoutANotificationWindowRecordingPostsNothing) {
    CameraContext context;
    context.recordError(ErrorCode::FrameTransferFailed);
    EXPECT_EQ(NotificationQueue::takeThreadErrorCodes(), Codes{});
    EXPECT_EQ(drain(context), (std::vector<std::int32_t>{8}));
}

TEST(CameraContextErrors, PostingOnlyWithoutAWindowReachesTheCallingThreadsOwnQueue) {
    CameraContext context;
    context.postError(ErrorCode::NotSupported);
    EXPECT_EQ(NotificationQueue::takeThreadErrorCodes(), Codes{11});
    EXPECT_EQ(context.errorHistory().codes(), ErrorHistory::Codes{});
}

TEST_F(ContextWithoutDevice, RecordedCodesArePostedInTheOrderTheyHappen) {
    context.recordError(ErrorCode::PreviewWindowFailed);
    context.recordError(ErrorCode::FrameTransferFailed);
    EXPECT_EQ(queue.takeErrorCodes(), (Codes{4, 8}));
    EXPECT_EQ(drain(context), (std::vector<std::int32_t>{8, 4}));
}

TEST_F(ContextWithoutDevice, ColourModeTakesTheSixBitCountsOnly) {
    for (std::int32_t bits : {8, 16, 24, 32, 48, 64}) {
        EXPECT_TRUE(context.setColorMode(bits));
        EXPECT_EQ(context.colorModeBits(), bits);
    }
    for (std::int32_t bits : {12, 0, -24, 128, 1}) {
        EXPECT_FALSE(context.setColorMode(bits)) << bits;
        EXPECT_EQ(context.colorModeBits(), 64);
    }
    EXPECT_EQ(queue.takeErrorCodes(), (Codes{9, 9, 9, 9, 9}));
    EXPECT_EQ(drain(context), (std::vector<std::int32_t>{9, 9, 9, 9, 9}));
}

TEST_F(ContextWithoutDevice, WaitTimeRefusesNegativeValuesWithoutAnError) {
    EXPECT_TRUE(context.setWaitTime(0));
    EXPECT_EQ(context.waitTime(), 0);
    EXPECT_TRUE(context.setWaitTime(250));
    EXPECT_FALSE(context.setWaitTime(-1));
    EXPECT_FALSE(context.setWaitTime(INT_MIN));
    EXPECT_EQ(context.waitTime(), 250);
    EXPECT_EQ(queue.takeErrorCodes(), Codes{});
    EXPECT_EQ(drain(context), std::vector<std::int32_t>{});
}

TEST_F(ContextWithoutDevice, AutoIrisStoresZeroToTwoAndOnlyPostsNineForOthers) {
    for (std::int32_t mode : {2, 1, 0}) {
        EXPECT_TRUE(context.setAutoIris(mode));
        EXPECT_EQ(context.autoIris(), mode);
        EXPECT_EQ(context.analog().get(AnalogWord::AutoIris), mode);
    }
    ASSERT_TRUE(context.setAutoIris(1));
    EXPECT_FALSE(context.setAutoIris(3));
    EXPECT_FALSE(context.setAutoIris(-1));
    EXPECT_EQ(context.autoIris(), 1);
    EXPECT_EQ(queue.takeErrorCodes(), (Codes{9, 9}));
    EXPECT_EQ(drain(context), std::vector<std::int32_t>{});
}

TEST_F(ContextWithoutDevice, RealExposureTimeIsComputedAndRemembered) {
    // The analog exposure is still its constructed 0.
    EXPECT_EQ(context.updateRealExposureTime(), 525595);
    EXPECT_EQ(context.realExposureTime(), 525595);
    EXPECT_EQ(queue.takeErrorCodes(), Codes{});
}

TEST_F(ContextWithoutDevice, VerticalMirrorOnlyPostsCodeOne) {
    EXPECT_FALSE(context.setMirrorV(1));
    EXPECT_EQ(context.mirrorV(), 0);
    EXPECT_EQ(queue.takeErrorCodes(), (Codes{1, 1}));
    EXPECT_EQ(drain(context), std::vector<std::int32_t>{});
    EXPECT_EQ(context.analog().get(AnalogWord::MirrorV), 0);
    EXPECT_EQ(context.settings().get(SettingsWord::BayerMode), 0);
}

TEST_F(ContextWithoutDevice, HorizontalMirrorRecordsCodeOne) {
    EXPECT_FALSE(context.setMirrorH(1));
    EXPECT_EQ(context.mirrorH(), 0);
    EXPECT_EQ(queue.takeErrorCodes(), (Codes{1, 1}));
    EXPECT_EQ(drain(context), (std::vector<std::int32_t>{1, 1}));
    EXPECT_EQ(context.analog().get(AnalogWord::MirrorH), 0);
    EXPECT_EQ(context.settings().get(SettingsWord::BayerMode), 0);
}

TEST_F(ContextWithoutDevice, IdentificationMemoryAndRegistersOnlyPostCodeOne) {
    EXPECT_FALSE(context.writeSromId(0, 1));
    EXPECT_EQ(context.readSromId(0), std::nullopt);
    EXPECT_FALSE(context.writeRegister(5, 7));
    context.readRegister();
    EXPECT_EQ(queue.takeErrorCodes(), (Codes{1, 1, 1, 1}));
    EXPECT_EQ(drain(context), std::vector<std::int32_t>{});
}

TEST_F(ContextWithoutDevice, CameraInfoAsksForTheDeviceBeforeLookingAtTheRecord) {
    CameraInfo info{};
    info.size = 36;
    EXPECT_FALSE(context.cameraInfo(&info));
    EXPECT_FALSE(context.cameraInfo(nullptr));
    EXPECT_EQ(info.sensorWidth, 0);
    EXPECT_EQ(queue.takeErrorCodes(), (Codes{1, 1}));
    EXPECT_EQ(drain(context), (std::vector<std::int32_t>{1, 1}));
}

TEST_F(ContextWithoutDevice, FilterValuesNeedTheDeviceAndStoreNothing) {
    EXPECT_FALSE(context.setFilterValue(1, 10));
    EXPECT_FALSE(context.setFilterValue(13, 100));
    EXPECT_FALSE(context.setFilterValue(14, 0));
    EXPECT_EQ(context.filterValue(1), std::nullopt);
    EXPECT_EQ(context.filterValue(99), std::nullopt);
    EXPECT_EQ(context.settings().values(), imaging::SettingsValues{});
    EXPECT_EQ(context.analog().values(), imaging::AnalogValues{});
    EXPECT_EQ(queue.takeErrorCodes(), (Codes{1, 1, 1, 1, 1}));
    EXPECT_EQ(drain(context), (std::vector<std::int32_t>{1, 1, 1, 1, 1}));
}

TEST_F(ContextWithoutDevice, PreviewPlacementNeedsTheDevice) {
    EXPECT_FALSE(context.setPreviewWindow(0x1234, PreviewPlacement{1, 2, 3, 4}));
    EXPECT_EQ(context.applicationWindow(), platform::kNoWindow);
    EXPECT_EQ(context.previewPlacement().width, 6576);
    EXPECT_EQ(drain(context), (std::vector<std::int32_t>{1}));
    EXPECT_EQ(queue.takeErrorCodes(), (Codes{1}));
}

TEST_F(ContextWithoutDevice, StartsStopsAndFramesRecordCodeOne) {
    EXPECT_FALSE(context.startPreview());
    EXPECT_FALSE(context.stopPreview());
    EXPECT_FALSE(context.capture());
    EXPECT_FALSE(context.snapShot(nullptr, 0, 0));
    EXPECT_FALSE(context.getImage(nullptr, 0, 0));
    EXPECT_EQ(drain(context), (std::vector<std::int32_t>{1, 1, 1, 1, 1}));
    EXPECT_EQ(queue.takeErrorCodes(), (Codes{1, 1, 1, 1, 1}));
    EXPECT_EQ(context.acquisitionState(), AcquisitionState::Idle);
}

TEST_F(ContextWithoutDevice, CloseSucceedsAndRecordsTheStopsCode) {
    EXPECT_TRUE(context.close());
    EXPECT_EQ(drain(context), (std::vector<std::int32_t>{1}));
    EXPECT_EQ(queue.takeErrorCodes(), (Codes{1}));
}

TEST_F(ContextWithoutDevice, PreviewReportsTheStartThenTheStopThenEight) {
    EXPECT_FALSE(context.preview());
    EXPECT_EQ(queue.takeErrorCodes(), (Codes{1, 1, 8}));
    EXPECT_EQ(drain(context), (std::vector<std::int32_t>{8, 1, 1}));

    char buffer[16];
    EXPECT_FALSE(context.callBackPreview(queue.window(), buffer, sizeof buffer, 1));
    EXPECT_EQ(drain(context), (std::vector<std::int32_t>{8, 1, 1}));
    EXPECT_EQ(queue.takeErrorCodes(), (Codes{1, 1, 8}));
}

TEST_F(ContextWithoutDevice, RecordChecksTheNameFirstThenReportsTheStartAndTheStop) {
    EXPECT_FALSE(context.record(nullptr, 1000, 0));
    EXPECT_FALSE(context.record("", 1000, 0));
    EXPECT_FALSE(context.recordWide(nullptr, 1000, 0));
    EXPECT_FALSE(context.recordWide(L"", 1000, 0));
    EXPECT_EQ(drain(context), (std::vector<std::int32_t>{9, 9, 9, 9}));
    EXPECT_FALSE(context.record("clip.avi", 1000, 0));
    EXPECT_EQ(drain(context), (std::vector<std::int32_t>{1, 1}));
    EXPECT_FALSE(context.recordWide(L"clip.avi", 1000, 0));
    EXPECT_EQ(drain(context), (std::vector<std::int32_t>{1, 1}));
    EXPECT_EQ(queue.takeErrorCodes(), (Codes{9, 9, 9, 9, 1, 1, 1, 1}));
}

TEST_F(ContextWithoutDevice, AWideNameThatDoesNotFitRecordsTwelve) {
    std::wstring longName(2000, L'a');
    EXPECT_FALSE(context.recordWide(longName.c_str(), 1000, 0));
    EXPECT_EQ(drain(context), (std::vector<std::int32_t>{12}));
    EXPECT_EQ(queue.takeErrorCodes(), (Codes{12}));
}

TEST_F(ContextWithoutDevice, CameraSelectionFilesAndDialogsRecordCodeOne) {
    char names[10 * 256];
    std::memset(names, 'x', sizeof names);
    wchar_t wideNames[10 * 256];
    char name[32] = "unchanged";
    wchar_t wideName[32] = L"unchanged";
    EXPECT_FALSE(context.setDeviceNumber(0));
    EXPECT_EQ(context.enumDevices(names), 0);
    EXPECT_EQ(context.enumDevicesWide(wideNames), 0);
    EXPECT_FALSE(context.deviceName(0, name, sizeof name));
    EXPECT_FALSE(context.deviceNameWide(0, wideName, 32));
    EXPECT_FALSE(context.saveImage("still.bmp", 0));
    EXPECT_FALSE(context.saveImageWide(L"still.bmp", 0));
    EXPECT_FALSE(context.cameraDialog(platform::kNoWindow));
    EXPECT_FALSE(context.imageDialog(platform::kNoWindow));
    EXPECT_FALSE(context.analogDialog(platform::kNoWindow));
    EXPECT_EQ(drain(context), std::vector<std::int32_t>(10, 1));
    EXPECT_EQ(queue.takeErrorCodes(), Codes(10, 1));
    EXPECT_STREQ(name, "unchanged");
    EXPECT_EQ(names[0], 'x');
}

}  // namespace
}  // namespace ostrel::context
