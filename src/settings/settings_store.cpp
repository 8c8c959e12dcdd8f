// The settings store's geometry, stream settings and camera dialog table: the main key with its
// size entries.
#include "settings/settings_store.h"

#include <algorithm>

#include "settings/settings_store_values.h"

namespace ostrel::ui {

using platform::RegistryAccess;
using platform::RegistryKey;
using platform::RegistryRoot;

namespace {

// The main values written when the settings key is first created: entry 0, 24-bit colour,
// full size, 10 ms, the first clock.
constexpr std::int32_t kFirstUseSize = 0;
constexpr StreamSettings kFirstUseStream{imaging::ColorMode::Bgr24, 0, 10, 0};

// First use by this user: the key with one size entry for the full sensor and the main values,
// so that the stream settings load and the camera settings dialog find them.
void createFirstUseSettings() {
    RegistryKey main;
    if (main.create(RegistryRoot::CurrentUser, kSettingsKeyPath) != platform::kRegistryOk) {
        return;
    }
    {
        RegistryKey entry;
        if (entry.create(main, detail::geometryKeyName(0)) == platform::kRegistryOk) {
            detail::writeGeometry(entry, kSensorGeometry);
        }
    }
    detail::writeWord(main, "Size", kFirstUseSize);
    detail::writeStreamSettings(main, kFirstUseStream);
}

}  // namespace

bool loadGeometry(ImageGeometry &geometry) {
    RegistryKey main;
    const platform::RegistryStatus status =
        main.open(RegistryRoot::CurrentUser, kSettingsKeyPath, RegistryAccess::Read);
    if (status == platform::kRegistryNotFound) {
        createFirstUseSettings();
        return false;
    }
    // Any other failure (access denied, an unreadable settings file) is not a first use: the
    // stored settings must not be overwritten with the defaults.
    if (status != platform::kRegistryOk) {
        return false;
    }
    std::int32_t selected = 0;
    if (!detail::readWord(main, "Size", selected)) {
        return false;
    }
    if (selected < 0 || selected >= kMaxGeometryEntries) {
        return false;
    }
    RegistryKey entry;
    if (entry.open(main, detail::geometryKeyName(selected), RegistryAccess::Read) !=
        platform::kRegistryOk) {
        return false;
    }
    detail::readGeometry(entry, geometry);
    return true;
}

bool loadStreamSettings(StreamSettings &settings) {
    RegistryKey main;
    if (main.open(RegistryRoot::CurrentUser, kSettingsKeyPath, RegistryAccess::Read) !=
        platform::kRegistryOk) {
        return false;
    }
    detail::readStreamSettings(main, settings);
    return true;
}

bool loadCameraDialogTable(CameraDialogTable &table) {
    RegistryKey main;
    if (main.open(RegistryRoot::CurrentUser, kSettingsKeyPath, RegistryAccess::Read) !=
        platform::kRegistryOk) {
        return false;
    }
    std::int32_t count = 0;
    while (count < kMaxGeometryEntries) {
        RegistryKey entry;
        if (entry.open(main, detail::geometryKeyName(count), RegistryAccess::Read) !=
            platform::kRegistryOk) {
            break;
        }
        detail::readGeometry(entry, table.entries[static_cast<std::size_t>(count)]);
        ++count;
    }
    table.entryCount = count;
    detail::readWord(main, "Size", table.selectedSize);
    detail::readStreamSettings(main, table.stream);
    return true;
}

bool saveCameraDialogTable(const CameraDialogTable &table) {
    RegistryKey main;
    if (main.create(RegistryRoot::CurrentUser, kSettingsKeyPath) != platform::kRegistryOk) {
        return false;
    }
    // A count outside the table would read past its entries.
    const std::int32_t count = std::clamp(table.entryCount, 0, kMaxGeometryEntries);
    for (std::int32_t i = 0; i < count; ++i) {
        RegistryKey entry;
        if (entry.create(main, detail::geometryKeyName(i)) != platform::kRegistryOk) {
            break;
        }
        detail::writeGeometry(entry, table.entries[static_cast<std::size_t>(i)]);
    }
    detail::writeWord(main, "Size", table.selectedSize);
    detail::writeStreamSettings(main, table.stream);
    return true;
}

}  // namespace ostrel::ui
