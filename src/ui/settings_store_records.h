// Plain records that the settings store fills and writes: the image geometry of one size entry,
// the stream settings, and the camera settings dialog's own copy of the whole table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "imaging/color_mode.h"

namespace ostrel::ui {

// The full sensor.
inline constexpr std::int32_t kSensorWidth = 6576;
inline constexpr std::int32_t kSensorHeight = 4384;

// One size entry (registry subkey Size_NN). The defaults are those of a fresh entry of the
// camera settings dialog: all 0, ten buffers.
struct ImageGeometry {
    std::int32_t totalWidth = 0;    // "TH"; kept, not used by the library
    std::int32_t totalHeight = 0;   // "TV"; kept, not used by the library
    std::int32_t imageWidth = 0;    // "EH": width read from the sensor before subsampling
    std::int32_t imageHeight = 0;   // "EV"
    std::int32_t originX = 0;       // "EHS": position of that image on the sensor
    std::int32_t originY = 0;       // "EVS"
    std::int32_t bufferCount = 10;  // "Buf"; kept, not used by the library

    friend bool operator==(const ImageGeometry &, const ImageGeometry &) = default;
};

// The whole sensor: the geometry a camera context starts with and the one written to Size_00
// when the settings key is first created.
inline constexpr ImageGeometry kSensorGeometry{
    kSensorWidth, kSensorHeight, kSensorWidth, kSensorHeight, 0, 0, 10};

// The stream settings (main values "Color", "SubSample", "WaitTime", "Clock"), with the defaults
// of a newly constructed camera context.
struct StreamSettings {
    imaging::ColorMode colorMode = imaging::ColorMode::Mono8;
    std::int32_t subsampleMode = 0;  // 0 full size, 1 half, 2 quarter
    std::uint32_t waitTime = 10;     // milliseconds paused at the top of every capture pass
    std::uint32_t clock = 0;         // index of the entry in the dialog's clock list

    friend bool operator==(const StreamSettings &, const StreamSettings &) = default;
};

// The camera settings dialog's copy of the stored table: up to 100 size entries (Size_00 to
// Size_99), how many are in use, the selected entry ("Size") and the stream settings.
struct CameraDialogTable {
    static constexpr std::size_t kMaxEntries = 100;

    std::array<ImageGeometry, kMaxEntries> entries{};
    std::int32_t entryCount = 0;
    std::int32_t selectedSize = 0;
    StreamSettings stream{};
};

}  // namespace ostrel::ui
