// The settings operations of a context that has its camera device, over an emulated 7100VRX:
// what reaches the camera's registers, what stays in the context, and the codes of what the
// model refuses.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "context/camera_context.h"
#include "context/notification_queue.h"
#include "device/device_7100vrx.h"
#include "device/device_test_support.h"
#include "support/stored_settings.h"

namespace ostrel::context {
namespace {

using imaging::AnalogWord;
using imaging::SettingsWord;
using platform::camera::Register;
using testing::NotificationQueue;
using testing::ScopedCameras;
using Codes = std::vector<std::intptr_t>;

std::vector<std::int32_t> drain(CameraContext &context) {
    std::vector<std::int32_t> codes;
    for (std::int32_t code = context.takeLastError(); code != 0; code = context.takeLastError()) {
        codes.push_back(code);
    }
    return codes;
}

class ContextWithCamera : public ::testing::Test {
protected:
    explicit ContextWithCamera(int cameraCount = 1)
        : cameras(cameraCount, testing::smallCamera()) {}

    void SetUp() override {
        // Initialisation makes the device over the emulated cameras and sends the stored (here:
        // default) gain 100 and exposure 100; the first use of the settings store leaves 12.
        ASSERT_TRUE(context.initialise(queue.window()));
        ASSERT_EQ(drain(context), std::vector<std::int32_t>{12});
        ASSERT_EQ(queue.takeErrorCodes(), Codes{12});
        ASSERT_TRUE(context.hasDevice());
    }
    void TearDown() override { EXPECT_EQ(NotificationQueue::takeThreadErrorCodes(), Codes{}); }

    emulator::EmulatedCamera &camera() { return cameras.camera(0); }

    testing::SettingsSandbox settings;
    ScopedCameras cameras;
    NotificationQueue queue;
    CameraContext context;
};

class ContextWithThreeCameras : public ContextWithCamera {
protected:
    ContextWithThreeCameras() : ContextWithCamera(3) {}
};

TEST_F(ContextWithCamera, GlobalGainGoesToAllFiveGainWordsAndToTheCamera) {
    EXPECT_EQ(context.filterValue(13), 100);  // the default sent at initialisation
    EXPECT_TRUE(context.setFilterValue(13, 1023));
    EXPECT_EQ(context.analog().values(),
              (imaging::AnalogValues{1023, 1023, 1023, 1023, 1023, 100, 0, 0, 0}));
    EXPECT_EQ(camera().registerValue(Register::Gain), 1023);
    EXPECT_EQ(context.filterValue(13), 1023);

    EXPECT_FALSE(context.setFilterValue(13, 1024));
    EXPECT_EQ(camera().registerValue(Register::Gain), 1023);
    EXPECT_EQ(drain(context), std::vector<std::int32_t>{9});
    EXPECT_EQ(queue.takeErrorCodes(), Codes{9});
}

TEST_F(ContextWithCamera, ExposureGoesToTheCameraAndGivesTheRealExposureTime) {
    EXPECT_EQ(context.filterValue(18), 100);
    EXPECT_FALSE(context.setFilterValue(18, 0));
    EXPECT_EQ(drain(context), std::vector<std::int32_t>{9});
    EXPECT_TRUE(context.setFilterValue(18, 4455));
    EXPECT_EQ(camera().registerValue(Register::Exposure), 4455);
    EXPECT_EQ(context.analog().get(AnalogWord::Exposure), 4455);
    EXPECT_EQ(context.filterValue(18), 4455);
    EXPECT_EQ(context.updateRealExposureTime(), 44);
    EXPECT_EQ(context.realExposureTime(), 44);
    EXPECT_EQ(queue.takeErrorCodes(), Codes{9});
}

TEST_F(ContextWithCamera, ImageAdjustmentsStayInTheContext) {
    EXPECT_TRUE(context.setFilterValue(1, 255));
    EXPECT_FALSE(context.setFilterValue(1, 256));
    EXPECT_TRUE(context.setFilterValue(2, -127));
    EXPECT_FALSE(context.setFilterValue(2, -128));
    EXPECT_TRUE(context.setFilterValue(3, 360));
    EXPECT_TRUE(context.setFilterValue(6, 255 << 16 | 128 << 8 | 64));
    EXPECT_FALSE(context.setFilterValue(17, 1));
    EXPECT_EQ(context.filterValue(1), 255);
    EXPECT_EQ(context.filterValue(2), -127);
    EXPECT_EQ(context.filterValue(3), 360);
    EXPECT_EQ(context.filterValue(6), 255 << 16 | 128 << 8 | 64);
    EXPECT_EQ(context.filterValue(7), 64);
    EXPECT_EQ(context.filterValue(14), std::nullopt);
    EXPECT_EQ(drain(context), (std::vector<std::int32_t>{9, 9, 9, 9}));
    EXPECT_EQ(queue.takeErrorCodes(), (Codes{9, 9, 9, 9}));
    // None of it is a camera register: the gain is still the one initialisation sent.
    EXPECT_EQ(camera().registerValue(Register::Gain), 100);
}

TEST_F(ContextWithCamera, MirrorsStoreTheFlagAndToggleTheBayerPhaseOnEveryCall) {
    ASSERT_TRUE(context.setFilterValue(12, 0));
    EXPECT_TRUE(context.setMirrorH(1));
    EXPECT_EQ(context.settings().get(SettingsWord::BayerMode), 2);
    EXPECT_TRUE(context.setMirrorH(1));
    EXPECT_EQ(context.mirrorH(), 1);
    EXPECT_EQ(context.settings().get(SettingsWord::BayerMode), 0);

    EXPECT_TRUE(context.setMirrorV(7));
    EXPECT_EQ(context.mirrorV(), 1);
    EXPECT_EQ(context.settings().get(SettingsWord::BayerMode), 1);
    EXPECT_TRUE(context.setMirrorH(0));
    EXPECT_EQ(context.mirrorH(), 0);
    EXPECT_EQ(context.settings().get(SettingsWord::BayerMode), 3);
    EXPECT_TRUE(context.setMirrorV(0));
    EXPECT_EQ(context.settings().get(SettingsWord::BayerMode), 2);
    EXPECT_EQ(drain(context), std::vector<std::int32_t>{});
    EXPECT_EQ(queue.takeErrorCodes(), Codes{});
}

TEST_F(ContextWithCamera, TheModelRefusesItsIdentificationMemoryWithAPostedOne) {
    EXPECT_FALSE(context.writeSromId(0, 0x12));
    EXPECT_EQ(context.readSromId(0), std::nullopt);
    EXPECT_EQ(queue.takeErrorCodes(), (Codes{1, 1}));
    EXPECT_EQ(drain(context), std::vector<std::int32_t>{});
}

TEST_F(ContextWithCamera, RegisterWritesUseTheLowByteOfRegisterAndValue) {
    // 0x105 and 0x1FF reach the camera as register 0x05 (the gain) and value 0xFF.
    EXPECT_TRUE(context.writeRegister(0x105, 0x1FF));
    EXPECT_EQ(camera().registerValue(Register::Gain), 0xFF);
    camera().failNextWrites(4);
    EXPECT_FALSE(context.writeRegister(0x05, 0x10));
    EXPECT_EQ(queue.takeErrorCodes(), Codes{6});
    EXPECT_EQ(drain(context), std::vector<std::int32_t>{});
}

TEST_F(ContextWithCamera, CameraInfoChecksTheRecordThenFillsItAfterTheSize) {
    EXPECT_FALSE(context.cameraInfo(nullptr));
    CameraInfo info;
    std::memset(&info, 0x77, sizeof info);
    info.size = 35;
    EXPECT_FALSE(context.cameraInfo(&info));
    EXPECT_EQ(info.sensorWidth, 0x77777777);
    EXPECT_EQ(drain(context), (std::vector<std::int32_t>{5, 9}));

    info.size = 36;
    EXPECT_TRUE(context.cameraInfo(&info));
    EXPECT_EQ(info.size, 36u);
    EXPECT_EQ(info.sensorWidth, 6576);
    EXPECT_EQ(info.sensorHeight, 4384);
    EXPECT_EQ(info.reserved1, 0);
    EXPECT_EQ(info.maxGlobalGain, 1023);
    EXPECT_EQ(info.reserved2, 0);
    EXPECT_EQ(info.reserved3, 0);
    EXPECT_EQ(info.reserved4, 1);
    EXPECT_EQ(info.maxExposure, 4455);
    EXPECT_EQ(queue.takeErrorCodes(), (Codes{9, 5}));
}

TEST_F(ContextWithCamera, CameraInfoGivesTheShorterExposureRangeWhileTheCameraSubsamples) {
    auto device = std::make_unique<device::Device7100VRX>();
    ASSERT_EQ(device->SetReadoutWindow(0, 0, 6576, 4384, 1), 0);
    context.adoptDevice(std::move(device));
    CameraInfo info{};
    info.size = 0xFFFFFFFFu;  // any size from 36 up passes: the size is compared unsigned
    ASSERT_TRUE(context.cameraInfo(&info));
    EXPECT_EQ(info.maxExposure, 2228);
    EXPECT_EQ(info.sensorWidth, 6576);
}

TEST_F(ContextWithCamera, SelectionAndNamesOfOneCamera) {
    EXPECT_TRUE(context.setDeviceNumber(0));
    EXPECT_FALSE(context.setDeviceNumber(1));
    EXPECT_FALSE(context.setDeviceNumber(-1));
    EXPECT_EQ(drain(context), (std::vector<std::int32_t>{2, 2}));

    std::vector<char> names(10 * 256, 'x');
    EXPECT_EQ(context.enumDevices(names.data()), 1);
    EXPECT_STREQ(names.data(), "Ostrel7100VRX_01");
    for (int entry = 1; entry < 10; ++entry) {
        EXPECT_EQ(names[entry * 256], '\0') << entry;
    }
    std::vector<wchar_t> wideNames(10 * 256, L'x');
    EXPECT_EQ(context.enumDevicesWide(wideNames.data()), 1);
    EXPECT_EQ(std::wstring(wideNames.data()), L"Ostrel7100VRX_01");
    EXPECT_EQ(wideNames[9 * 256], L'\0');

    char name[17];
    std::memset(name, 'x', sizeof name);
    EXPECT_FALSE(context.deviceName(0, name, 16));
    EXPECT_EQ(name[0], 'x');
    EXPECT_TRUE(context.deviceName(0, name, 17));
    EXPECT_STREQ(name, "Ostrel7100VRX_01");
    EXPECT_FALSE(context.deviceName(1, name, 17));
    EXPECT_FALSE(context.deviceName(0, nullptr, 17));
    wchar_t wideName[17];
    EXPECT_TRUE(context.deviceNameWide(0, wideName, 17));
    EXPECT_EQ(std::wstring(wideName), L"Ostrel7100VRX_01");
    EXPECT_FALSE(context.deviceNameWide(0, wideName, 16));
    EXPECT_FALSE(context.enumDevices(nullptr));
    EXPECT_EQ(drain(context), (std::vector<std::int32_t>{9, 9, 9, 9, 9}));
    EXPECT_EQ(queue.takeErrorCodes(), (Codes{2, 2, 9, 9, 9, 9, 9}));
}

TEST_F(ContextWithThreeCameras, CamerasAreNumberedFromOne) {
    std::vector<char> names(10 * 256, 'x');
    EXPECT_EQ(context.enumDevices(names.data()), 3);
    EXPECT_STREQ(&names[0], "Ostrel7100VRX_01");
    EXPECT_STREQ(&names[256], "Ostrel7100VRX_02");
    EXPECT_STREQ(&names[512], "Ostrel7100VRX_03");
    EXPECT_EQ(names[768], '\0');
    char name[32];
    EXPECT_TRUE(context.deviceName(2, name, sizeof name));
    EXPECT_STREQ(name, "Ostrel7100VRX_03");
    EXPECT_TRUE(context.setDeviceNumber(2));
    EXPECT_FALSE(context.setDeviceNumber(3));
    EXPECT_EQ(drain(context), std::vector<std::int32_t>{2});
}

}  // namespace
}  // namespace ostrel::context
