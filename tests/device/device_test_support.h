// Helpers shared by the device and emulator tests: emulated cameras installed for one test,
// small devices over small emulated sensors, and waiting without timing assertions.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "device/camera_device.h"
#include "device/half_frame_device.h"
#include "emulator/emulated_camera_set.h"
#include "emulator/scene_generator.h"
#include "platform/camera_protocol.h"

namespace ostrel::testing {

// A small, fast emulated camera: no bandwidth limit, no status round trip, and lit so brightly
// that the shortest exposure (which ScopedCameras sets) shows the scene as exposure 100 would.
inline emulator::EmulatedCameraConfig smallCamera(std::int32_t width = 64,
                                                  std::int32_t height = 32) {
    emulator::EmulatedCameraConfig config;
    config.width = width;
    config.height = height;
    config.bandwidthBytesPerSecond = 0;
    config.statusReadLatency = std::chrono::microseconds(0);
    config.illumination = emulator::kShortExposureIllumination;
    return config;
}

// Writes a word register of an emulated camera the way a device does, and forgets the
// commands, so that tests of a device's commands see only the device's own.
inline void presetRegister(emulator::EmulatedCamera &camera, platform::camera::Register id,
                           std::uint16_t value) {
    const std::uint16_t address = platform::camera::registerAddress(id);
    std::uint8_t block[platform::camera::kSectorSize] = {
        platform::camera::kOpcodeWrite, platform::camera::kWordWriteAddressStep,
        static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)};
    EXPECT_TRUE(camera.write(platform::camera::kCommandSectorOffset, block, sizeof block));
    block[1] = platform::camera::kWordWriteValueStep;
    block[2] = static_cast<std::uint8_t>(value >> 8);
    block[3] = static_cast<std::uint8_t>(value);
    EXPECT_TRUE(camera.write(platform::camera::kCommandSectorOffset, block, sizeof block));
    camera.clearCommands();
}

// The exposure installed cameras start with: the shortest, so that frames come as fast as
// they are asked for (a frame takes at least its exposure time), or the power-up value 100
// (half a second a frame).
enum class StartExposure { Shortest, PowerUp };

// Installs emulated cameras for the lifetime of the object. When it ends it checks that
// nothing asked the cameras for a transfer they refuse (a device that sends short command
// blocks or reads odd lengths fails every test that uses this).
class ScopedCameras {
public:
    explicit ScopedCameras(const std::vector<emulator::EmulatedCameraConfig> &configs,
                           StartExposure exposure = StartExposure::Shortest)
        : set_(std::make_shared<emulator::EmulatedCameraSet>(configs)) {
        for (int i = 0; i < set_->size() && exposure == StartExposure::Shortest; ++i) {
            presetRegister(set_->camera(i), platform::camera::Register::Exposure,
                           emulator::kShortestExposure);
        }
        emulator::installEmulatedCameras(set_);
    }
    ScopedCameras(int count, const emulator::EmulatedCameraConfig &config,
                  StartExposure exposure = StartExposure::Shortest)
        : ScopedCameras(std::vector<emulator::EmulatedCameraConfig>(count, config), exposure) {}
    ~ScopedCameras() {
        emulator::installEmulatedCameras(nullptr);
        for (int i = 0; i < set_->size(); ++i) {
            EXPECT_EQ(set_->camera(i).counters().protocolFaults, 0u) << "camera " << i;
        }
    }
    ScopedCameras(const ScopedCameras &) = delete;
    ScopedCameras &operator=(const ScopedCameras &) = delete;

    emulator::EmulatedCameraSet &set() { return *set_; }
    emulator::EmulatedCamera &camera(int index) { return set_->camera(index); }

private:
    std::shared_ptr<emulator::EmulatedCameraSet> set_;
};

// Polls until the condition holds; false only after a generous limit (a hung test fails
// instead of blocking the suite).
template <typename Condition>
bool waitUntil(Condition condition, std::chrono::seconds limit = std::chrono::seconds(60)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A half-frame device over a sensor of any size, identified like the 7100VRX.
class SmallHalfFrameDevice final : public device::HalfFrameDevice {
public:
    SmallHalfFrameDevice(std::int32_t width, std::int32_t height, bool twoSided = true) {
        identification_[0] = platform::camera::kModelId0;
        identification_[1] = platform::camera::kModelId1;
        width_ = width;
        height_ = height;
        dualReadout_ = twoSided ? 1 : 0;
        halfWidth_ = twoSided ? width / 2 : width;
        (void)Enumerate(platform::camera::kModelText);
        if (IsValidDeviceIndex(0)) {
            (void)OpenDrive();
        }
    }
    ~SmallHalfFrameDevice() override { CloseDrive(); }

    void setSubsampleMode(std::int32_t mode) { subsampleMode_.store(mode); }
    // Sets the mode and programs the camera's readout for it as the model does. True when every
    // register was written.
    bool programReadout(std::int32_t mode) {
        using platform::camera::Register;
        using platform::camera::registerAddress;
        subsampleMode_.store(mode);
        return WriteRegister(registerAddress(Register::ReadoutUpdate), 0) == 1 &&
               WriteRegister(registerAddress(Register::ReadoutSingleSided),
                             dualReadout_ != 0 ? 0 : 1) == 1 &&
               WriteRegister(registerAddress(Register::ReadoutSubsample), mode != 0 ? 1 : 0) == 1 &&
               WriteRegister(registerAddress(Register::ReadoutUpdate), 1) == 1;
    }
};

// The base class's whole-frame capture over a sensor of any size.
class SmallWholeFrameDevice final : public device::CameraDevice {
public:
    SmallWholeFrameDevice(std::int32_t width, std::int32_t height) {
        identification_[0] = platform::camera::kModelId0;
        identification_[1] = platform::camera::kModelId1;
        width_ = width;
        height_ = height;
        (void)Enumerate(platform::camera::kModelText);
        if (IsValidDeviceIndex(0)) {
            (void)OpenDrive();
        }
    }
    ~SmallWholeFrameDevice() override { CloseDrive(); }
};

// The picture of a frame as a device delivers it: the camera's picture with the two halves'
// tags in place.
inline std::vector<std::uint8_t> deliveredPicture(emulator::EmulatedCamera &camera,
                                                  std::uint32_t frame, std::uint8_t firstTag,
                                                  std::uint8_t secondTag) {
    std::vector<std::uint8_t> picture = camera.renderPicture(frame);
    picture[camera.firstHalfTagIndex()] = firstTag;
    picture[camera.secondHalfTagIndex()] = secondTag;
    return picture;
}

// A picture reduced to every `step`-th 2 x 2 cell in each direction: sample (x, y) is the
// picture's sample (x / 2 x 2 x step + x % 2, y / 2 x 2 x step + y % 2).
inline std::vector<std::uint8_t> keepEveryCell(const std::vector<std::uint8_t> &picture,
                                               std::int32_t width, std::int32_t step) {
    const std::int32_t height = static_cast<std::int32_t>(picture.size()) / width;
    const std::int32_t w = width / step;
    const std::int32_t h = height / step;
    std::vector<std::uint8_t> reduced(static_cast<std::size_t>(w) * h);
    for (std::int32_t y = 0; y < h; ++y) {
        for (std::int32_t x = 0; x < w; ++x) {
            const std::size_t sy = static_cast<std::size_t>(y / 2 * 2 * step + y % 2);
            const std::size_t sx = static_cast<std::size_t>(x / 2 * 2 * step + x % 2);
            reduced[static_cast<std::size_t>(y) * w + x] = picture[sy * width + sx];
        }
    }
    return reduced;
}

// The newest frame number (up to `framesSent`) whose regular delivery, reduced to every
// `step`-th cell, equals the data, if any. The scene repeats after a while, so the newest match
// is the frame just delivered.
inline std::optional<std::uint32_t> matchingFrame(emulator::EmulatedCamera &camera,
                                                  const std::uint8_t *data,
                                                  std::uint32_t framesSent, std::int32_t step = 1) {
    const std::uint32_t nibble = data[0] >> 4;
    const std::uint32_t top =
        framesSent < nibble ? nibble : framesSent - (framesSent - nibble) % 16;
    for (std::int64_t frame = top; frame >= 0; frame -= 16) {
        std::vector<std::uint8_t> expected =
            deliveredPicture(camera, static_cast<std::uint32_t>(frame),
                             platform::camera::halfTag(static_cast<std::uint32_t>(frame), false),
                             platform::camera::halfTag(static_cast<std::uint32_t>(frame), true));
        if (step > 1) {
            expected = keepEveryCell(expected, camera.pictureWidth(), step);
        }
        if (std::memcmp(expected.data(), data, expected.size()) == 0) {
            return static_cast<std::uint32_t>(frame);
        }
    }
    return std::nullopt;
}

// A still scene in which every sample tells where it lies: a picture that takes a sample from
// anywhere but its own place shows it.
class PositionScene final : public emulator::SceneGenerator {
public:
    static std::uint8_t sampleAt(std::int32_t x, std::int32_t y) {
        const auto hash = static_cast<std::uint32_t>(x) * 2654435761u ^
                          static_cast<std::uint32_t>(y) * 2246822519u;
        return static_cast<std::uint8_t>(hash >> 24);
    }
    void renderStill(std::uint8_t *mosaic, std::int32_t width, std::int32_t height) const override {
        for (std::int32_t y = 0; y < height; ++y) {
            for (std::int32_t x = 0; x < width; ++x) {
                mosaic[static_cast<std::size_t>(y) * width + x] = sampleAt(x, y);
            }
        }
    }
    emulator::SceneRect movingArea(std::uint32_t, std::int32_t, std::int32_t) const override {
        return {};
    }
    void renderMoving(std::uint32_t, const emulator::SceneRect &, std::uint8_t *, std::int32_t,
                      std::int32_t) const override {}
};

}  // namespace ostrel::testing
