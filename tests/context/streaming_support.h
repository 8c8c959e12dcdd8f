// Helpers for the acquisition tests: a context initialised over one emulated 7100VRX with
// stored settings of the test's choosing, the frame notifications it posts, and the picture a
// frame must show, worked out from the emulator's own rendering and the frame pipeline.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "context/camera_context.h"
#include "context/notification_queue.h"
#include "device/device_test_support.h"
#include "emulator/emulated_camera.h"
#include "imaging/dib_image.h"
#include "imaging/process_frame.h"
#include "imaging/quiet_frame_controls.h"
#include "imaging/raw_frame.h"
#include "platform/camera_protocol.h"
#include "platform/messages.h"
#include "support/stored_settings.h"

namespace ostrel::testing {

// The stored settings a test context starts from (written before initialisation).
struct StoredSettings {
    std::int32_t color = 2;  // ColorMode code
    std::int32_t subsample = 1;
    std::int32_t waitTime = 1;
    std::int32_t width = 6576;
    std::int32_t height = 4384;
    std::int32_t originX = 0;
    std::int32_t originY = 0;
    // The analog group: the shortest exposure lets frames come as fast as they are asked for
    // (a frame takes at least its exposure time).
    std::int32_t globalGain = 100;
    std::int32_t exposure = emulator::kShortestExposure;
};

inline void plantSettings(const StoredSettings &s) {
    ASSERT_TRUE(putSetting("", "Size", 0));
    ASSERT_TRUE(putSetting("", "Color", s.color));
    ASSERT_TRUE(putSetting("", "SubSample", s.subsample));
    ASSERT_TRUE(putSetting("", "WaitTime", s.waitTime));
    ASSERT_TRUE(putSetting("", "Clock", 0));
    ASSERT_TRUE(putSetting("Size_00", "TH", 6576));
    ASSERT_TRUE(putSetting("Size_00", "TV", 4384));
    ASSERT_TRUE(putSetting("Size_00", "EH", s.width));
    ASSERT_TRUE(putSetting("Size_00", "EV", s.height));
    ASSERT_TRUE(putSetting("Size_00", "EHS", s.originX));
    ASSERT_TRUE(putSetting("Size_00", "EVS", s.originY));
    ASSERT_TRUE(putSetting("Size_00", "Buf", 10));
    ASSERT_TRUE(putSetting("Gain", "Global", s.globalGain));
    ASSERT_TRUE(putSetting("Gain", "Exposure", s.exposure));
}

// An emulated 7100VRX at the sensor's real size; `bytesPerSecond` 0 sends frames as fast as
// they are asked for (at a short exposure). Lit so that the shortest exposure shows the scene as
// exposure 100 would.
inline emulator::EmulatedCameraConfig fullSizeCamera(double bytesPerSecond = 0) {
    emulator::EmulatedCameraConfig config;
    config.bandwidthBytesPerSecond = bytesPerSecond;
    config.statusReadLatency = std::chrono::microseconds(0);
    config.illumination = emulator::kShortExposureIllumination;
    return config;
}

// The bytes of a picture as DeliverFrame hands them out (stride x height, top row first), made
// by running the frame pipeline on the camera's picture of frame `frame` (with its tags).
struct ExpectedFrame {
    std::vector<std::uint8_t> bytes;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t stride = 0;
};

inline ExpectedFrame expectedFrame(emulator::EmulatedCamera &camera, std::uint32_t frame,
                                   imaging::ColorMode mode, const imaging::SettingsBlock &settings,
                                   const imaging::AnalogSettings &analog) {
    using imaging::DibImage;
    const std::vector<std::uint8_t> picture =
        deliveredPicture(camera, frame, platform::camera::halfTag(frame, false),
                         platform::camera::halfTag(frame, true));
    const std::int32_t width = camera.pictureWidth();
    const std::int32_t height = camera.pictureHeight();
    DibImage images[7];
    imaging::FrameImages frameImages{&images[0], &images[1], &images[2], &images[3],
                                     &images[4], &images[5], &images[6]};
    const bool wide = imaging::hasWideRawSamples(mode);
    DibImage &raw = wide ? images[1] : images[0];
    EXPECT_TRUE(raw.create(width, height, wide ? 16 : 8));
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t *source = picture.data() + static_cast<std::size_t>(y) * width;
        std::uint8_t *row = raw.row(y);
        for (std::int32_t x = 0; x < width; ++x) {
            if (wide) {
                const auto word = static_cast<std::uint16_t>(source[x] << 2);
                std::memcpy(row + 2 * x, &word, 2);
            } else {
                row[x] = source[x];
            }
        }
    }
    if (analog.get(imaging::AnalogWord::MirrorH) != 0) {
        imaging::MirrorRawFrame(raw);
    }
    DibImage *output = imaging::outputImageFor(frameImages, mode);
    if (output != &raw) {
        EXPECT_TRUE(output->create(width, height,
                                   static_cast<std::uint16_t>(imaging::outputBitCount(mode))));
    }
    EXPECT_TRUE(images[2].create(width, height, 24));
    EXPECT_TRUE(images[6].copyFormat(output));
    imaging::SettingsBlock settingsCopy(settings);
    imaging::AnalogSettings analogCopy(analog);
    imaging::test::QuietFrameControls controls;
    imaging::FrameRhythm rhythm;
    imaging::ProcessFrame({mode, frameImages, settingsCopy, analogCopy, controls}, rhythm);
    ExpectedFrame expected;
    expected.width = output->width();
    expected.height = output->height();
    expected.stride = output->stride();
    expected.bytes.assign(output->pixels(), output->pixels() + output->sizeBytes());
    return expected;
}

// Frames the camera has sent since its last start.
inline std::uint32_t framesSent(emulator::EmulatedCamera &camera) {
    return static_cast<std::uint32_t>(camera.counters().halvesSent / 2);
}

// The newest frame, up to what the camera has sent, whose expected picture equals `bytes`.
inline std::optional<std::uint32_t> matchingProcessedFrame(
    emulator::EmulatedCamera &camera, const std::uint8_t *bytes, std::size_t size,
    imaging::ColorMode mode, const imaging::SettingsBlock &settings,
    const imaging::AnalogSettings &analog, std::uint32_t newest, std::uint32_t candidates = 8) {
    for (std::uint32_t back = 0; back < candidates && back <= newest; ++back) {
        const ExpectedFrame expected = expectedFrame(camera, newest - back, mode, settings, analog);
        if (expected.bytes.size() == size && std::memcmp(expected.bytes.data(), bytes, size) == 0) {
            return newest - back;
        }
    }
    return std::nullopt;
}

// Holds the camera still and waits until the capture loop is idle: no new frame taken for
// half a second and every frame taken announced. On a slow machine the camera sends several
// frames while one is converted, so only then is the last frame the loop took the newest the
// camera sent. `announcedSoFar` takes the notifications that have come and returns how many
// frames have been announced in all. False if the loop is still busy after two minutes.
// While held, each status read takes long enough that no ready wait of the device runs out
// (that would be a stalled camera, reported with code 8): releaseCamera ends the hold.
template <typename AnnouncedSoFar>
inline bool holdCameraUntilTheLoopIsIdle(emulator::EmulatedCamera &camera,
                                         const context::CameraContext &context,
                                         AnnouncedSoFar announcedSoFar) {
    camera.setStatusReadLatency(std::chrono::milliseconds(20));
    camera.limitHalves(0);
    std::uint64_t taken = context.framesTaken();
    const auto idleBy = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    for (int quiet = 0; quiet < 10;) {
        if (std::chrono::steady_clock::now() >= idleBy) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const std::uint64_t announced = announcedSoFar();
        const std::uint64_t now = context.framesTaken();
        quiet = now == taken && announced == now ? quiet + 1 : 0;
        taken = now;
    }
    return true;
}

// Ends a hold: the camera sends again, its status reads answer after `latency` again.
inline void releaseCamera(emulator::EmulatedCamera &camera,
                          std::chrono::microseconds latency = std::chrono::microseconds(0)) {
    camera.setStatusReadLatency(latency);
    camera.limitHalves(-1);
}

// Messages posted to a queue of the test, taken as they come.
inline std::vector<platform::Message> waitForMessages(NotificationQueue &queue, std::size_t count,
                                                      std::uint32_t message) {
    std::vector<platform::Message> taken;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    std::size_t matching = 0;
    while (matching < count && std::chrono::steady_clock::now() < end) {
        for (const platform::Message &m : queue.take()) {
            taken.push_back(m);
            if (m.message == message) {
                ++matching;
            }
        }
        if (matching < count) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    return taken;
}

// The codes of the error notifications among messages, leaving out the auto-iris idle code 0
// that every processed frame records.
inline std::vector<std::intptr_t> failureCodes(const std::vector<platform::Message> &messages) {
    std::vector<std::intptr_t> codes;
    for (const platform::Message &m : messages) {
        if (m.message == 0x8003 && m.lParam != 0) {
            codes.push_back(m.lParam);
        }
    }
    return codes;
}

// The history's codes without the idle zeros, newest first.
inline std::vector<std::int32_t> failureHistory(const context::CameraContext &context) {
    std::vector<std::int32_t> codes;
    for (std::int32_t code : context.errorHistory().codes()) {
        if (code != 0) {
            codes.push_back(code);
        }
    }
    return codes;
}

// Takes every code out of the history.
inline void clearHistory(context::CameraContext &context) {
    for (std::size_t i = 0; i < context::ErrorHistory::kDepth; ++i) {
        (void)context.takeLastError();
    }
}

}  // namespace ostrel::testing
