// The settings operations of a camera context: colour mode, wait time, auto-iris, exposure time,
// mirrors, identification memory, registers, camera info and the FilterId values.
#include <cstdint>

#include "context/camera_context.h"
#include "context/exposure_time.h"
#include "context/filter_value.h"
#include "device/camera_device.h"
#include "device/device_7100vrx.h"
#include "platform/clock.h"

namespace ostrel::context {
namespace {

using imaging::AnalogWord;
using imaging::ColorMode;
using imaging::SettingsWord;

// How long the sensor takes before the exposure it reports is the one last sent.
constexpr std::uint32_t kExposureSettleMs = 120;

// Mirroring swaps the rows or columns of the mosaic, so its phase moves with it: a vertical
// flip exchanges modes 0 and 1 (and 2 and 3), a horizontal one 0 and 2 (and 1 and 3).
constexpr std::int32_t kBayerRowPhase = 1;
constexpr std::int32_t kBayerColumnPhase = 2;

void toggleBayerPhase(imaging::SettingsBlock &settings, std::int32_t phaseBit) {
    const std::int32_t mode = settings.get(SettingsWord::BayerMode);
    if (mode >= 0 && mode <= 3) {
        settings.set(SettingsWord::BayerMode, mode ^ phaseBit);
    }
}

}  // namespace

bool CameraContext::setColorMode(std::int32_t bits) {
    for (auto mode : {ColorMode::Mono8, ColorMode::Mono16, ColorMode::Bgr24, ColorMode::Bgr32,
                      ColorMode::Bgr48, ColorMode::Bgr64}) {
        if (imaging::outputBitCount(mode) == bits) {
            colorMode_.store(mode);
            return true;
        }
    }
    recordError(ErrorCode::InvalidArgument);
    return false;
}

std::int32_t CameraContext::colorModeBits() const {
    const int bits = imaging::outputBitCount(colorMode());
    return bits == 0 ? -1 : bits;
}

bool CameraContext::setWaitTime(std::int32_t milliseconds) {
    if (milliseconds < 0) {
        return false;
    }
    waitTimeMs_.store(static_cast<std::uint32_t>(milliseconds));
    return true;
}

std::int32_t CameraContext::waitTime() const {
    return static_cast<std::int32_t>(waitTimeMs_.load());
}

bool CameraContext::setAutoIris(std::int32_t mode) {
    if (mode < imaging::kAutoIrisOff || mode > imaging::kAutoIrisGain) {
        postError(ErrorCode::InvalidArgument);
        return false;
    }
    analog_.set(AnalogWord::AutoIris, mode);
    return true;
}

std::int32_t CameraContext::autoIris() const {
    return analog_.get(AnalogWord::AutoIris);
}

std::int32_t CameraContext::updateRealExposureTime() {
    const std::int32_t micros = exposureTimeMicroseconds(analog_.get(AnalogWord::Exposure));
    realExposureTime_.store(micros);
    return micros;
}

bool CameraContext::setMirrorV(std::int32_t flag) {
    if (!isAllowed(Report::PostOnly)) {
        return false;
    }
    analog_.set(AnalogWord::MirrorV, flag != 0 ? 1 : 0);
    toggleBayerPhase(settings_, kBayerRowPhase);
    return true;
}

std::int32_t CameraContext::mirrorV() {
    if (!isAllowed(Report::PostOnly)) {
        return 0;
    }
    return analog_.get(AnalogWord::MirrorV);
}

bool CameraContext::setMirrorH(std::int32_t flag) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    analog_.set(AnalogWord::MirrorH, flag != 0 ? 1 : 0);
    toggleBayerPhase(settings_, kBayerColumnPhase);
    return true;
}

std::int32_t CameraContext::mirrorH() {
    if (!isAllowed(Report::Record)) {
        return 0;
    }
    return analog_.get(AnalogWord::MirrorH);
}

bool CameraContext::writeSromId(std::int32_t index, std::int32_t value) {
    if (!isAllowed(Report::PostOnly)) {
        return false;
    }
    if (device_->WriteSromId(index, value) == 0) {
        postError(ErrorCode::NoCamera);
        return false;
    }
    return true;
}

std::optional<std::int32_t> CameraContext::readSromId(std::int32_t index) {
    if (!isAllowed(Report::PostOnly)) {
        return std::nullopt;
    }
    std::uint8_t byte = 0;
    if (device_->ReadSromId(index, &byte) == 0) {
        postError(ErrorCode::NoCamera);
        return std::nullopt;
    }
    return byte;
}

bool CameraContext::writeRegister(std::int32_t reg, std::int32_t value) {
    if (!isAllowed(Report::PostOnly)) {
        return false;
    }
    // Only the low byte of each reaches the camera through this export.
    if (device_->WriteRegister(static_cast<std::uint16_t>(reg & 0xFF),
                               static_cast<std::uint16_t>(value & 0xFF)) == 0) {
        postError(ErrorCode::CameraCommandFailed);
        return false;
    }
    return true;
}

void CameraContext::readRegister() {
    postError(ErrorCode::NoCamera);
}

bool CameraContext::cameraInfo(CameraInfo *info) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    if (info == nullptr) {
        recordError(ErrorCode::InvalidArgument);
        return false;
    }
    if (info->size < OSTREL_CAMERA_INFO_SIZE) {
        recordError(ErrorCode::MemoryOrSize);
        return false;
    }
    info->sensorWidth = kSensorWidth;
    info->sensorHeight = kSensorHeight;
    info->reserved1 = 0;
    info->maxGlobalGain = kMaxGlobalGain;
    info->reserved2 = 0;
    info->reserved3 = 0;
    info->reserved4 = 1;
    std::int32_t deviceSubsample = 0;
    (void)device_->GetReadoutWindow(nullptr, nullptr, nullptr, nullptr, &deviceSubsample);
    info->maxExposure = platform::camera::maxExposure(deviceSubsample != 0);
    return true;
}

bool CameraContext::setFilterValue(std::int32_t id, std::int32_t value) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    switch (storeFilterValue(settings_, analog_, id, value)) {
        case FilterStore::Rejected:
            recordError(ErrorCode::InvalidArgument);
            return false;
        case FilterStore::Stored:
            return true;
        case FilterStore::GainStored:
            // Stored first, then sent; a camera that does not take it still has it stored and
            // gets it again at the next start.
            (void)device_->SetGain(value);
            return true;
        case FilterStore::ExposureStored:
            (void)device_->SetExposure(value);
            return true;
    }
    return false;
}

std::optional<std::int32_t> CameraContext::filterValue(std::int32_t id) {
    if (!isAllowed(Report::Record)) {
        return std::nullopt;
    }
    switch (filterRule(id).kind) {
        case FilterKind::Unsupported:
            recordError(ErrorCode::InvalidArgument);
            return std::nullopt;
        case FilterKind::GlobalGain:
            return static_cast<std::int32_t>(device_->GetGain());
        case FilterKind::Exposure: {
            platform::sleepMs(kExposureSettleMs);
            std::int32_t exposure = 0;
            (void)device_->GetExposure(&exposure);
            return exposure;
        }
        case FilterKind::Word:
        case FilterKind::PackedRgb:
        case FilterKind::Flag:
            break;
    }
    return storedFilterValue(settings_, id);
}

bool CameraContext::setPreviewWindow(platform::WindowHandle parent,
                                     const PreviewPlacement &placement) {
    if (!isAllowed(Report::Record)) {
        return false;
    }
    applicationWindow_ = parent;
    previewPlacement_ = placement;
    return true;
}

}  // namespace ostrel::context
