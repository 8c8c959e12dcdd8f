// Plain records that the settings store fills and writes: the stream settings and the camera
// settings dialog's own copy of the whole table (size entries are the camera's ImageGeometry).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/color_mode.h"
#include "platform/camera_facts.h"

namespace ostrel::ui {

// The size entry record and the whole-sensor entry are the camera's own (one record for the
// store, the dialogs and the context alike).
using platform::camera::ImageGeometry;
using platform::camera::kSensorGeometry;
using platform::camera::kSensorHeight;
using platform::camera::kSensorWidth;

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
