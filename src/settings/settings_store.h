// The settings store: the user's camera settings kept between runs under HKEY_CURRENT_USER
// "Software\Nembra\Ostrel7100V3Sdk" (on Linux the per-user settings file of the registry
// service). It holds the table of size entries with the selected one, the stream settings, and
// the analog, image filter and gray filter groups.
//
// Every operation opens the settings key itself and closes every key it opened before it
// returns. Reads take any stored value of exactly 4 bytes, whatever its registry type; a value
// that is missing or of another size leaves its field as it was. Values are written as
// REG_DWORD, signed settings as their 32-bit two's-complement pattern; a single value that
// cannot be written is skipped. Loading applies no range limits except where a value would make
// the stored settings unusable (noted at each operation).
//
// Threads: called on the application's thread that initialises or releases a camera context or
// runs the camera settings dialog. There is no lock: processes and contexts that save the same
// group at once leave the last one's values.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/analog_settings.h"
#include "platform/settings_block.h"
#include "settings/settings_store_records.h"

namespace ostrel::ui {

inline constexpr std::string_view kSettingsKeyPath = "Software\\Nembra\\Ostrel7100V3Sdk";

// Size entries the table can hold: Size_00 to Size_99.
inline constexpr std::int32_t kMaxGeometryEntries = 100;

// Loads the size entry that "Size" selects into geometry. False (the caller records error 12
// and keeps its geometry) when "Size" or its Size_NN subkey cannot be read, or when "Size" is
// outside 0..99 (no such entry can exist in the table). When the settings key does not exist
// yet, it is created with Size_00 holding the full sensor and the main values "Size" 0,
// "Color" 2, "SubSample" 0, "WaitTime" 10, "Clock" 0; geometry is left alone and the result is
// still false. The stored geometry is not checked: that is the caller's geometry check.
[[nodiscard]] bool loadGeometry(ImageGeometry &geometry);

// Loads "Color", "SubSample", "WaitTime" and "Clock" into settings. False (error 12 for the
// caller) only when the settings key cannot be opened. A colour code outside 0..5 and a
// negative wait time are not usable and leave their fields as they were.
[[nodiscard]] bool loadStreamSettings(StreamSettings &settings);

// Loads the nine analog words from subkey "Gain". Without the key or the subkey every word
// takes its default (global gain 100, colour gains 0, exposure 100, the device's mirror
// defaults, auto-iris off). True either way: falling back to the defaults is a successful load.
// "Global" and the four colour gains are read in turn through one value that starts at 0 and is
// copied into each word whether or not its read succeeded: a missing "Global" loads 0 and a missing
// colour gain repeats the value before it.
bool loadAnalogSettings(imaging::AnalogSettings &settings, std::int32_t mirrorVDefault,
                        std::int32_t mirrorHDefault);
// Writes the nine analog words into "Gain". False, with nothing written, when the settings key
// or the subkey cannot be created.
[[nodiscard]] bool saveAnalogSettings(const imaging::AnalogSettings &settings);

// Loads words 1..10 of the block (brightness to Bayer mode) from subkey "Filter". Without the
// key or the subkey the defaults are used (0 for brightness to sharpness, 100 for the colour
// gains and gamma, Bayer mode 3), words 21..30 (the automatic colour gain flags and the
// automatic gray-gain countdown among them) are cleared, and the result is false.
[[nodiscard]] bool loadImageFilterSettings(imaging::SettingsBlock &block);
// Writes words 1..10 into "Filter". False, with nothing written, when a key cannot be created.
[[nodiscard]] bool saveImageFilterSettings(const imaging::SettingsBlock &block);

// Loads words 12..20 (gray mode, gains, offsets) from subkey "Gray". Without the key or the
// subkey the defaults are used (mode 0, gains 128, offsets 0) and the result is false.
[[nodiscard]] bool loadGrayFilterSettings(imaging::SettingsBlock &block);
// Writes words 12..20 into "Gray". False, with nothing written, when a key cannot be created.
[[nodiscard]] bool saveGrayFilterSettings(const imaging::SettingsBlock &block);

// Loads the camera settings dialog's table: every subkey Size_00, Size_01, ... up to the first
// that cannot be opened (at most 100) into entries, their number into entryCount, then "Size"
// and the stream settings (with the same rules as loadStreamSettings). False, with table
// untouched, when the settings key cannot be opened.
[[nodiscard]] bool loadCameraDialogTable(CameraDialogTable &table);
// Writes entries 0 .. entryCount - 1 (entryCount taken within 0..100) as Size_00, Size_01, ...
// (stopping at the first subkey that cannot be created), then "Size" and the stream settings.
// Subkeys beyond the count are neither written nor deleted. False, with nothing written, when
// the settings key cannot be created.
[[nodiscard]] bool saveCameraDialogTable(const CameraDialogTable &table);

}  // namespace ostrel::ui
