// What the 7100VRX is, for every module that must know it: the sensor, the ranges of the gain and
// exposure registers, how the exposure register turns into time, how far each subsample mode
// divides the image, and the geometry of one stored size entry. The device programs the camera
// with these, the emulator behaves by them, the context checks and reports them and the settings
// store writes its first size entry from them. Constants and constexpr functions only; the
// register table they read is the protocol's (camera_protocol.h).
#pragma once

#include <cstdint>

#include "platform/camera_protocol.h"

namespace ostrel::platform::camera {

// The full sensor, in pixels of the colour mosaic.
inline constexpr std::int32_t kSensorWidth = 6576;
inline constexpr std::int32_t kSensorHeight = 4384;

// The values the camera takes in its gain and exposure registers.
inline constexpr std::int32_t kMinGlobalGain = registerInfo(Register::Gain).minimum;
inline constexpr std::int32_t kMaxGlobalGain = registerInfo(Register::Gain).maximum;
inline constexpr std::int32_t kMinExposure = registerInfo(Register::Exposure).minimum;
inline constexpr std::int32_t kMaxExposure = registerInfo(Register::Exposure).maximum;
// The largest exposure value offered while the camera subsamples (it reads half the rows).
inline constexpr std::int32_t kMaxExposureSubsampled = 2228;

// The largest exposure value offered for a readout (subsampled or not).
constexpr std::int32_t maxExposure(bool subsampled) {
    return subsampled ? kMaxExposureSubsampled : kMaxExposure;
}

// Exposure time of an exposure register value: ((4455 - E) x 3775 + 1426) x 0.03125 us, so
// larger values give shorter exposures (44.5625 us at 4455, 525477.375 us at 1). Exact in double
// for every 32-bit E; callers that need a whole number truncate it themselves.
constexpr double exposureTimeMicroseconds(std::int32_t exposure) {
    return ((static_cast<double>(kMaxExposure) - static_cast<double>(exposure)) * 3775.0 + 1426.0) *
           0.03125;
}

// How many times the image is divided in each direction in subsample mode 0..3 (full size,
// half, quarter, eighth). Any other mode counts as full size.
constexpr std::int32_t subsampleDivisor(std::int32_t mode) {
    switch (mode) {
        case 1:
            return 2;
        case 2:
            return 4;
        case 3:
            return 8;
        default:
            return 1;
    }
}

// One size entry of the stored settings (registry subkey Size_NN) and the part of the sensor a
// camera context reads. The defaults are those of a fresh entry of the camera settings dialog:
// all 0, ten buffers.
struct ImageGeometry {
    std::int32_t totalWidth = 0;    // "TH"; kept, not used by the library
    std::int32_t totalHeight = 0;   // "TV"; kept, not used by the library
    std::int32_t imageWidth = 0;    // "EH": width read from the sensor before subsampling
    std::int32_t imageHeight = 0;   // "EV"
    std::int32_t originX = 0;       // "EHS": position of that image on the sensor
    std::int32_t originY = 0;       // "EVS"
    std::int32_t bufferCount = 10;  // "Buf"; kept, not used by the library

    friend constexpr bool operator==(const ImageGeometry &, const ImageGeometry &) = default;
};

// The whole sensor: the geometry a camera context starts with and the one written to Size_00
// when the settings key is first created.
inline constexpr ImageGeometry kSensorGeometry{
    kSensorWidth, kSensorHeight, kSensorWidth, kSensorHeight, 0, 0, 10};

}  // namespace ostrel::platform::camera
