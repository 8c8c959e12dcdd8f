// A raw drive whose device is an emulated camera: what the raw drive service hands out for the
// drive numbers the emulator serves.
#pragma once

#include <memory>

#include "emulator/emulated_camera.h"
#include "platform/raw_drive.h"

namespace ostrel::emulator {

class EmulatedDrive final : public platform::RawDrive {
public:
    explicit EmulatedDrive(std::shared_ptr<EmulatedCamera> camera) : camera_(std::move(camera)) {
        camera_->driveOpened();
    }
    ~EmulatedDrive() override { camera_->driveClosed(); }

    bool seek(std::uint64_t offset) override;
    bool read(void *buffer, std::uint32_t length, std::uint32_t *bytesRead) override;
    bool write(const void *data, std::uint32_t length) override;

private:
    std::shared_ptr<EmulatedCamera> camera_;
    std::uint64_t position_ = 0;
};

}  // namespace ostrel::emulator
