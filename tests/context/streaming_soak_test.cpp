// A long stream at full size, 24-bit, from an emulated camera that sends as fast as it is asked:
// every frame the capture thread takes from the camera reaches the application as a frame
// notification (none is dropped silently, none is announced twice), no failure is reported,
// and copies taken in between are whole frames converted exactly.
//
// Runs about 15 seconds; OSTREL_SOAK_SECONDS sets another length (for example 60).
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <thread>
#include <vector>

#include "context/camera_context.h"
#include "context/streaming_support.h"

namespace ostrel::context {
namespace {

using imaging::ColorMode;
using testing::NotificationQueue;

int soakSeconds() {
    const char *text = std::getenv("OSTREL_SOAK_SECONDS");
    const int seconds = text != nullptr ? std::atoi(text) : 0;
    return seconds > 0 ? seconds : 15;
}

TEST(StreamingSoak, EveryFrameTakenIsDeliveredOnceAndWholeAtFullSize) {
    testing::SettingsSandbox settings;
    testing::ScopedCameras cameras(1, testing::fullSizeCamera(0));
    NotificationQueue errors;
    NotificationQueue frames;
    testing::StoredSettings stored;
    stored.color = 2;
    stored.subsample = 0;
    stored.waitTime = 0;
    testing::plantSettings(stored);
    auto context = std::make_unique<CameraContext>();
    ASSERT_TRUE(context->initialise(errors.window()));
    testing::clearHistory(*context);
    (void)errors.take();

    constexpr std::size_t kFrameBytes = 6576u * 4384u * 3u;
    std::vector<std::uint8_t> buffer(kFrameBytes);
    ASSERT_TRUE(context->callBackPreview(frames.window(), buffer.data(),
                                         static_cast<std::int32_t>(kFrameBytes), 1));

    std::uint64_t announced = 0;
    std::vector<std::intptr_t> badNotifications;
    std::vector<std::intptr_t> failures;
    std::vector<std::uint8_t> copy(kFrameBytes);
    int copiesChecked = 0;
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::seconds(soakSeconds());
    auto nextCopy = start + std::chrono::seconds(3);
    const auto countFrames = [&] {
        for (const platform::Message &message : frames.take()) {
            if (message.message == kFrameNotification && message.lParam == 0 &&
                message.wParam == reinterpret_cast<std::uintptr_t>(&context->frameInfo())) {
                ++announced;
            } else {
                badNotifications.push_back(message.lParam);
            }
        }
    };
    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        countFrames();
        for (std::intptr_t code : testing::failureCodes(errors.take())) {
            failures.push_back(code);
        }
        // Now and then the camera holds still for a moment, and a copy of the last frame the
        // loop took must be that frame, converted exactly.
        if (std::chrono::steady_clock::now() >= nextCopy) {
            EXPECT_TRUE(testing::holdCameraUntilTheLoopIsIdle(cameras.camera(0), *context, [&] {
                countFrames();
                return announced;
            }));
            if (context->getImage(copy.data(), static_cast<std::int32_t>(kFrameBytes), 1)) {
                const auto frame = testing::matchingProcessedFrame(
                    cameras.camera(0), copy.data(), copy.size(), ColorMode::Bgr24,
                    context->settings(), context->analog(), testing::framesSent(cameras.camera(0)),
                    3);
                EXPECT_TRUE(frame.has_value()) << "copy " << copiesChecked << " is not the frame";
                ++copiesChecked;
            }
            testing::releaseCamera(cameras.camera(0));
            nextCopy = std::chrono::steady_clock::now() + std::chrono::seconds(4);
        }
    }
    ASSERT_TRUE(context->stopPreview());
    countFrames();
    for (std::intptr_t code : testing::failureCodes(errors.take())) {
        failures.push_back(code);
    }

    const std::uint64_t taken = context->framesTaken();
    const std::uint32_t sent = testing::framesSent(cameras.camera(0));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cout << "[ soak ] " << seconds << " s: camera sent " << sent << " frames, capture thread"
              << " took " << taken << ", " << announced << " announced, " << copiesChecked
              << " copies checked" << std::endl;
    EXPECT_GT(taken, 0u);
    EXPECT_EQ(announced, taken) << "frames taken but never announced";
    EXPECT_LE(taken, sent);
    EXPECT_TRUE(badNotifications.empty());
    EXPECT_TRUE(failures.empty());
    EXPECT_GE(copiesChecked, 1);
}

}  // namespace
}  // namespace ostrel::context
