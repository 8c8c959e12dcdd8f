// A raw drive whose device is an emulated camera: what the raw drive service hands out for the
// drive numbers the emulator serves. Like the handle of a real disk, a drive opened before its
// camera was unplugged stays dead after the camera comes back.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "emulator/emulated_camera.h"
#include "platform/raw_drive.h"

namespace ostrel::emulator {

// Called before every call on the drive (the fault file takes its requests there).
using DriveCallHook = std::function<void()>;

class EmulatedDrive final : public platform::RawDrive {
public:
    explicit EmulatedDrive(std::shared_ptr<EmulatedCamera> camera, DriveCallHook hook = {})
        : camera_(std::move(camera)), hook_(std::move(hook)), generation_(camera_->generation()) {
        camera_->driveOpened();
    }
    ~EmulatedDrive() override { camera_->driveClosed(); }

    bool seek(std::uint64_t offset) override;
    bool read(void *buffer, std::uint32_t length, std::uint32_t *bytesRead) override;
    bool write(const void *data, std::uint32_t length) override;

private:
    // Counts the call and tells whether it may reach the camera.
    bool begin();

    std::shared_ptr<EmulatedCamera> camera_;
    DriveCallHook hook_;
    std::uint64_t generation_;
    std::uint64_t position_ = 0;
};

}  // namespace ostrel::emulator
