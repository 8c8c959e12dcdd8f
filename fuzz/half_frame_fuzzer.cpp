// Half-frame transfers as a damaged or hostile camera could send them, into a half-frame
// device's frame assembly through the raw drive interface: an emulated camera answers, and the
// input decides, call by call, whether a transfer passes unchanged, fails, comes back short,
// has a byte changed (a status flag, an identification byte, a half's tag) or is replaced by
// bytes of its own. Sensor size, readout sides, subsample mode and time-out come from the input
// too. Whatever arrives, every copy stays within its buffer and every capture stops.
#include <fuzzer/FuzzedDataProvider.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "device/half_frame_device.h"
#include "emulator/emulated_camera_set.h"
#include "fuzz_check.h"
#include "platform/camera_protocol.h"
#include "platform/raw_drive.h"

namespace {

namespace camera = ostrel::platform::camera;

// The input's decisions, shared by the drive's calls on every thread.
class Script {
public:
    Script(const std::uint8_t *data, std::size_t size) : input_(data, size) {}

    enum class Action { Pass, Fail, Short, Poke, Replace };

    Action next() {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (input_.remaining_bytes() == 0) {
            return Action::Pass;
        }
        switch (input_.ConsumeIntegral<std::uint8_t>() % 8) {
            case 3:
                return Action::Fail;
            case 4:
                return Action::Short;
            case 5:
            case 6:
                return Action::Poke;
            case 7:
                return Action::Replace;
            default:
                return Action::Pass;
        }
    }
    std::uint32_t number(std::uint32_t below) {
        const std::lock_guard<std::mutex> lock(mutex_);
        return below == 0 ? 0 : input_.ConsumeIntegral<std::uint32_t>() % below;
    }
    void fill(std::uint8_t *out, std::uint32_t length) {
        const std::lock_guard<std::mutex> lock(mutex_);
        const std::vector<std::uint8_t> bytes = input_.ConsumeBytes<std::uint8_t>(length);
        std::memset(out, 0, length);
        if (!bytes.empty()) {
            std::memcpy(out, bytes.data(), bytes.size());
        }
    }
    bool exhausted() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return input_.remaining_bytes() == 0;
    }
    FuzzedDataProvider &setup() { return input_; }

private:
    std::mutex mutex_;
    FuzzedDataProvider input_;
};

// A camera's drive with the script between it and the device.
class ScriptedDrive final : public ostrel::platform::RawDrive {
public:
    ScriptedDrive(std::unique_ptr<ostrel::platform::RawDrive> inner, Script &script)
        : inner_(std::move(inner)), script_(script) {}

    bool seek(std::uint64_t offset) override {
        position_ = offset;
        return inner_->seek(offset);
    }
    bool read(void *buffer, std::uint32_t length, std::uint32_t *bytesRead) override {
        auto *out = static_cast<std::uint8_t *>(buffer);
        std::uint32_t done = 0;
        const Script::Action action = script_.next();
        if (action == Script::Action::Fail) {
            return false;
        }
        if (!inner_->read(buffer, length, &done)) {
            return false;
        }
        switch (action) {
            case Script::Action::Short:
                done = script_.number(length + 1);
                break;
            case Script::Action::Poke: {
                // Mostly the bytes that matter: the tag, the ready flag, the identification.
                const std::uint32_t where = script_.number(4);
                std::uint32_t at = where == 0 ? 0
                                   : where == 1
                                       ? static_cast<std::uint32_t>(camera::kReadyFlagOffset)
                                   : where == 2 ? static_cast<std::uint32_t>(camera::kModelIdOffset)
                                                : script_.number(length);
                if (at < length && at < done) {
                    script_.fill(out + at, 1);
                }
                break;
            }
            case Script::Action::Replace:
                script_.fill(out, done);
                break;
            default:
                break;
        }
        if (bytesRead != nullptr) {
            *bytesRead = done;
        }
        position_ += done;
        return true;
    }
    bool write(const void *data, std::uint32_t length) override {
        if (script_.next() == Script::Action::Fail) {
            return false;
        }
        return inner_->write(data, length);
    }

private:
    std::unique_ptr<ostrel::platform::RawDrive> inner_;
    Script &script_;
    std::uint64_t position_ = 0;
};

// The emulated cameras' drives, each wrapped in the script of the input being run.
class ScriptedSource final : public ostrel::platform::RawDriveSource {
public:
    explicit ScriptedSource(std::shared_ptr<ostrel::emulator::EmulatedCameraSet> set)
        : set_(std::move(set)) {}
    bool open(int number, std::unique_ptr<ostrel::platform::RawDrive> &drive) override {
        std::unique_ptr<ostrel::platform::RawDrive> inner;
        if (!set_->open(number, inner)) {
            return false;
        }
        if (inner != nullptr && script_ != nullptr) {
            drive = std::make_unique<ScriptedDrive>(std::move(inner), *script_);
        } else {
            drive = std::move(inner);
        }
        return true;
    }
    Script *script_ = nullptr;

private:
    std::shared_ptr<ostrel::emulator::EmulatedCameraSet> set_;
};

// A half-frame device over the emulated sensor's size, identified as the 7100VRX.
class FuzzDevice final : public ostrel::device::HalfFrameDevice {
public:
    FuzzDevice(std::int32_t width, std::int32_t height, bool twoSided, std::int32_t mode) {
        identification_[0] = camera::kModelId0;
        identification_[1] = camera::kModelId1;
        width_ = width;
        height_ = height;
        dualReadout_ = twoSided ? 1 : 0;
        halfWidth_ = twoSided ? width / 2 : width;
        subsampleMode_.store(mode);
        (void)Enumerate(camera::kModelText);
        if (IsValidDeviceIndex(0)) {
            (void)OpenDrive();
        }
    }
    ~FuzzDevice() override { CloseDrive(); }
    // Programs the camera's readout for the device's sides and mode, as the model does.
    void programReadout() {
        using camera::Register;
        (void)WriteRegister(camera::registerAddress(Register::ReadoutUpdate), 0);
        (void)WriteRegister(camera::registerAddress(Register::ReadoutSingleSided),
                            dualReadout_ != 0 ? 0 : 1);
        (void)WriteRegister(camera::registerAddress(Register::ReadoutSubsample),
                            subsampleMode_.load() != 0 ? 1 : 0);
        (void)WriteRegister(camera::registerAddress(Register::ReadoutUpdate), 1);
        (void)WriteRegister(camera::registerAddress(Register::Exposure),
                            camera::registerInfo(Register::Exposure).maximum);
    }
};

constexpr std::int32_t kWidth = 32;
constexpr std::int32_t kHeight = 16;

std::shared_ptr<ostrel::emulator::EmulatedCameraSet> cameras;
ScriptedSource *source = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    ostrel::emulator::EmulatedCameraConfig config;
    config.width = kWidth;
    config.height = kHeight;
    config.bandwidthBytesPerSecond = 0;
    config.statusReadLatency = std::chrono::microseconds(0);
    cameras = std::make_shared<ostrel::emulator::EmulatedCameraSet>(1, config);
    ostrel::emulator::installEmulatedCameras(cameras);
    // The set still lists the disks; its drives now come through the script.
    source = new ScriptedSource(cameras);
    ostrel::platform::setRawDriveSource(source);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    Script script(data, size);
    FuzzedDataProvider &setup = script.setup();
    const bool twoSided = setup.ConsumeBool();
    const std::int32_t mode = setup.ConsumeIntegralInRange<std::int32_t>(0, 3);
    const std::int32_t timeout = setup.ConsumeIntegralInRange<std::int32_t>(1, 40);
    const bool single = setup.ConsumeBool();
    cameras->camera(0).reconnect();
    source->script_ = &script;
    {
        FuzzDevice device(kWidth, kHeight, twoSided, mode);
        // The shortest exposure: a frame takes no longer than the transfers.
        device.programReadout();
        (void)device.SetTransferTimeout(timeout);
        const std::int32_t imageBytes = device.GetImageSize();
        OSTREL_FUZZ_CHECK(imageBytes >= 0);
        std::vector<std::uint8_t> frame(static_cast<std::size_t>(imageBytes));
        if (single) {
            if (device.StartSingleCapture() == ostrel::device::kStartOk) {
                (void)device.WaitSingleFrame(frame.data(), 0, 0, 0);
            }
        } else if (device.StartContinuousCapture() == ostrel::device::kStartOk) {
            // Until the script is used up and one more frame has come, or the capture failed;
            // a silent camera ends the wait after a moment.
            const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
            std::int32_t frames = -1;
            while (std::chrono::steady_clock::now() < end &&
                   device.GetCaptureStatus() != ostrel::device::kCaptureFailed) {
                if (device.GetCaptureStatus() == ostrel::device::kNewFrame) {
                    (void)device.GetLatestFrame(frame.data(), 0, 0, 0);
                }
                if (script.exhausted()) {
                    if (frames < 0) {
                        frames = device.framesCompleted();
                    } else if (device.framesCompleted() > frames) {
                        break;
                    }
                }
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        }
        (void)device.StopCapture();
        OSTREL_FUZZ_CHECK(device.captureState() == ostrel::device::CaptureState::Idle);
    }
    source->script_ = nullptr;
    return 0;
}
