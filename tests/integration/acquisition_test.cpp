// Acquisition through the exported interface against the shared library, on the first emulated
// camera: initialisation over the settings store, the acquisition states and their codes,
// snapshots, frame copies, the frame notifications with their FrameInfo, and release while
// streaming.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "OstrelSdk.h"
#include "support/camera_session.h"

namespace ostrel::integration {
namespace {

using Codes = std::vector<int>;
using Posted = std::vector<std::intptr_t>;

class ExportedAcquisition : public ::testing::Test {
protected:
    ExportedAcquisition() { useEmulatedCameras(); }
    ~ExportedAcquisition() override {
        if (handle != 0) {
            Ostrel_Release(handle);
        }
    }
    // Opens the handle over the planted settings and takes out what initialisation recorded.
    void open(const std::vector<StoredValue> &values) {
        store.plant(values);
        handle = Ostrel_Initialize(errors.window());
        ASSERT_NE(handle, 0u);
        ASSERT_EQ(history(handle), Codes{});
        (void)errors.take();
    }

    SettingsSandbox store;
    Notifications errors;
    Notifications frames;
    CameraHandle handle = 0;
};

TEST_F(ExportedAcquisition, FirstUseCreatesTheSettingsKeyAndLeavesTwelveOnce) {
    ASSERT_FALSE(store.exists());
    handle = Ostrel_Initialize(errors.window());
    EXPECT_EQ(history(handle), Codes{12});
    EXPECT_EQ(failures(errors.take()), Posted{12});
    EXPECT_TRUE(store.exists());
    EXPECT_EQ(Ostrel_GetColorMode(handle), 24);  // the stored default, read from the new key
    EXPECT_EQ(Ostrel_Release(handle), 1);

    handle = Ostrel_Initialize(errors.window());
    EXPECT_EQ(history(handle), Codes{});
}

TEST_F(ExportedAcquisition, AStoredWidthBeyondTheSensorGivesSevenAndTheWholeSensor) {
    store.plant(streamSettings(2, 0, 10, 6577, 100));
    handle = Ostrel_Initialize(errors.window());
    EXPECT_EQ(history(handle), Codes{7});
    EXPECT_EQ(Ostrel_Width(handle), 6576);
    EXPECT_EQ(Ostrel_Height(handle), 4384);
}

TEST_F(ExportedAcquisition, AStoredSubsampleModeOfThreeFailsTheNextPreparationWithSeven) {
    open(streamSettings(2, 3, 10));
    EXPECT_EQ(Ostrel_StartPreview(handle), 0);
    EXPECT_EQ(history(handle), (Codes{1, 7}));
    EXPECT_EQ(Ostrel_SnapShot(handle, nullptr, 0, 0), 0);
    EXPECT_EQ(history(handle), (Codes{1, 7}));
}

TEST_F(ExportedAcquisition, StartPreviewTwiceRunsOneStreamAndPreviewOnTopReturnsZeroQuietly) {
    open(streamSettings(2, 2, 5));
    EXPECT_EQ(Ostrel_StartPreview(handle), 1);
    EXPECT_EQ(Ostrel_StartPreview(handle), 1);
    (void)history(handle);
    (void)errors.take();
    EXPECT_EQ(Ostrel_Preview(handle), 0);
    std::vector<std::uint8_t> buffer(64);
    EXPECT_EQ(Ostrel_CallBackPreview(handle, frames.window(), buffer.data(), 64, 1), 0);
    EXPECT_EQ(Ostrel_Capture(handle), 0);
    EXPECT_EQ(history(handle), Codes{1});  // only the capture is refused with a code
    EXPECT_EQ(Ostrel_StopPreview(handle), 1);
    EXPECT_EQ(failures(errors.take()), Posted{1});
    EXPECT_TRUE(frames.take().empty());
}

TEST_F(ExportedAcquisition, CaptureThenSnapshotsWithRowOrderAndAShortBuffer) {
    open(streamSettings(2, 2, 10));
    ASSERT_EQ(Ostrel_Capture(handle), 1);
    const std::size_t size = 1644 * 3 * 1096;
    std::vector<std::uint8_t> topFirst(size, 0xA5);
    std::vector<std::uint8_t> bottomFirst(size, 0xA5);
    ASSERT_EQ(Ostrel_SnapShot(handle, topFirst.data(), static_cast<int>(size), 1), 1);
    ASSERT_EQ(Ostrel_SnapShot(handle, bottomFirst.data(), static_cast<int>(size), 0), 1);
    // Each single frame is the camera's first frame, so the two differ only in row order.
    const std::size_t stride = 1644 * 3;
    for (std::size_t row = 0; row < 1096; ++row) {
        ASSERT_EQ(std::memcmp(bottomFirst.data() + row * stride,
                              topFirst.data() + (1095 - row) * stride, stride),
                  0)
            << row;
    }
    EXPECT_NE(std::memcmp(topFirst.data(), bottomFirst.data(), stride), 0);

    std::vector<std::uint8_t> shortBuffer(size - 1, 0xA5);
    EXPECT_EQ(Ostrel_SnapShot(handle, shortBuffer.data(), static_cast<int>(size) - 1, 1), 0);
    EXPECT_EQ(history(handle), (Codes{5, 5}));

    EXPECT_EQ(Ostrel_StartPreview(handle), 0);
    EXPECT_EQ(history(handle), Codes{1});
    EXPECT_EQ(Ostrel_StopPreview(handle), 1);
    EXPECT_EQ(Ostrel_StartPreview(handle), 1);
    EXPECT_EQ(Ostrel_StopPreview(handle), 1);
}

TEST_F(ExportedAcquisition, QuarterSizeIsTheHalfSizePictureWithEveryOtherCellKept) {
    // Each snapshot is the camera's first frame of the same scene, so the two sizes compare.
    auto snapshot = [&](int subsample, std::size_t bytes) {
        std::vector<std::uint8_t> picture(bytes, 0xA5);
        open(streamSettings(0, subsample, 10));
        EXPECT_EQ(Ostrel_SetFilterValue(handle, OSTREL_FILTER_GRAY_MODE, 0), 1);
        EXPECT_EQ(Ostrel_Capture(handle), 1);
        EXPECT_EQ(Ostrel_SnapShot(handle, picture.data(), static_cast<int>(bytes), 1), 1);
        EXPECT_EQ(Ostrel_Release(handle), 1);
        handle = 0;
        return picture;
    };
    // 8-bit monochrome in the "Bayer" gray mode hands out the sensor's mosaic as it is: quarter
    // size is exactly half size with every other 2 x 2 cell kept in each direction.
    const std::vector<std::uint8_t> half = snapshot(1, 3288 * 2192);
    const std::vector<std::uint8_t> quarter = snapshot(2, 1644 * 1096);
    std::size_t differing = 0;
    for (std::size_t y = 0; y < 1096; ++y) {
        for (std::size_t x = 0; x < 1644; ++x) {
            const std::size_t hy = y / 2 * 4 + y % 2;
            const std::size_t hx = x / 2 * 4 + x % 2;
            differing += quarter[y * 1644 + x] != half[hy * 3288 + hx] ? 1 : 0;
        }
    }
    EXPECT_EQ(differing, 0u);
    // Not a blank picture: the scene has detail in both directions.
    EXPECT_NE(std::memcmp(quarter.data(), quarter.data() + 1644 * 600, 1644), 0);
    EXPECT_NE(quarter[1644 * 300 + 100], quarter[1644 * 300 + 1500]);
}

TEST_F(ExportedAcquisition, GetImageCopiesTheNewestFrameOnce) {
    open(streamSettings(2, 2, 10));
    const std::size_t size = 1644 * 3 * 1096;
    std::vector<std::uint8_t> snapshot(size);
    std::vector<std::uint8_t> copy(size, 0xA5);
    ASSERT_EQ(Ostrel_Capture(handle), 1);
    EXPECT_EQ(Ostrel_GetImage(handle, copy.data(), static_cast<int>(size), 1), 0);
    EXPECT_EQ(history(handle), Codes{});
    ASSERT_EQ(Ostrel_SnapShot(handle, snapshot.data(), static_cast<int>(size), 1), 1);
    EXPECT_EQ(Ostrel_GetImage(handle, copy.data(), static_cast<int>(size), 1), 1);
    EXPECT_EQ(Ostrel_GetImage(handle, copy.data(), static_cast<int>(size), 1), 0);
    EXPECT_EQ(history(handle), Codes{});
    EXPECT_TRUE(copy == snapshot);
}

TEST_F(ExportedAcquisition, CallbackPreviewPostsEachFrameWithItsFrameInfo) {
    open(streamSettings(2, 2, 5));
    const std::size_t size = 1644 * 3 * 1096;
    std::vector<std::uint8_t> buffer(size);
    ASSERT_EQ(
        Ostrel_CallBackPreview(handle, frames.window(), buffer.data(), static_cast<int>(size), 1),
        1);
    const std::vector<Notification> first = frames.waitForFrames(3);
    // Long enough for the rate to be measured (it is worked out once a second).
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_EQ(Ostrel_StopPreview(handle), 1);
    std::vector<Notification> all = first;
    for (const Notification &n : frames.take()) {
        all.push_back(n);
    }
    ASSERT_GE(all.size(), 3u);
    const FrameInfo *info = reinterpret_cast<const FrameInfo *>(all.front().wParam);
    ASSERT_NE(info, nullptr);
    for (const Notification &n : all) {
        EXPECT_EQ(n.message, static_cast<std::uint32_t>(OSTREL_MSG_FRAME));
        EXPECT_EQ(n.wParam, all.front().wParam);  // always the context's one record
        EXPECT_EQ(n.lParam, 0);
    }
    EXPECT_EQ(info->size, static_cast<int32_t>(sizeof(FrameInfo)));
    EXPECT_EQ(info->width, 1644);
    EXPECT_EQ(info->height, 1096);
    EXPECT_EQ(info->bitsPerPixel, 24);
    EXPECT_GT(info->frameRate, 0);
    EXPECT_EQ(info->buffer, buffer.data());
    EXPECT_EQ(failures(errors.take()), Posted{});
}

TEST_F(ExportedAcquisition, StartingAndStoppingManyTimes) {
    open(streamSettings(0, 2, 0));
    std::vector<std::uint8_t> buffer(1644 * 1096);
    for (int round = 0; round < 20; ++round) {
        ASSERT_EQ(Ostrel_CallBackPreview(handle, frames.window(), buffer.data(),
                                         static_cast<int>(buffer.size()), round & 1),
                  1)
            << round;
        ASSERT_FALSE(frames.waitForFrames(1).empty()) << round;
        ASSERT_EQ(Ostrel_StopPreview(handle), 1) << round;
        (void)frames.take();
    }
    EXPECT_EQ(failures(errors.take()), Posted{});
}

TEST_F(ExportedAcquisition, ReleaseWhileStreamingSavesTheSettingsGroupsFirst) {
    open(streamSettings(2, 2, 5));
    ASSERT_EQ(Ostrel_SetBrightness(handle, -33), 1);
    ASSERT_EQ(Ostrel_SetGlobalGain(handle, 456), 1);
    ASSERT_EQ(Ostrel_SetFilterValue(handle, OSTREL_FILTER_GRAY_MODE, 2), 1);
    ASSERT_EQ(Ostrel_CallBackPreview(handle, frames.window(), nullptr, 0, 1), 1);
    ASSERT_FALSE(frames.waitForFrames(2).empty());
    EXPECT_EQ(Ostrel_Release(handle), 1);
    handle = 0;
    (void)frames.take();

    // The next context starts from what the release saved.
    handle = Ostrel_Initialize(errors.window());
    EXPECT_EQ(history(handle), Codes{});
    int ok = 0;
    EXPECT_EQ(Ostrel_GetFilterValue(handle, OSTREL_FILTER_BRIGHTNESS, &ok), -33);
    EXPECT_EQ(Ostrel_GetFilterValue(handle, OSTREL_FILTER_GLOBAL_GAIN, &ok), 456);
    EXPECT_EQ(Ostrel_GetFilterValue(handle, OSTREL_FILTER_GRAY_MODE, &ok), 2);
    // Nothing of the released stream is left to post.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(frames.take().empty());
}

}  // namespace
}  // namespace ostrel::integration
