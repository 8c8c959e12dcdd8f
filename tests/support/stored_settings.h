// Single values under the settings key, planted and read back through the registry service:
// for the tests of the modules that store settings (they link the platform module).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/registry.h"
#include "support/settings_sandbox.h"

namespace ostrel::testing {

// Writes a 32-bit value into a subkey of the settings key ("" for the key itself).
inline bool putSetting(std::string_view subkey, std::string_view name, std::int32_t value) {
    platform::RegistryKey key;
    return key.create(platform::RegistryRoot::CurrentUser, settingsKeyPath(subkey)) ==
               platform::kRegistryOk &&
           key.setDword(name, static_cast<std::uint32_t>(value)) == platform::kRegistryOk;
}

// The stored value as a signed word, only when it is a 4-byte REG_DWORD.
inline std::optional<std::int32_t> storedSetting(std::string_view subkey, std::string_view name) {
    platform::RegistryKey key;
    if (key.open(platform::RegistryRoot::CurrentUser, settingsKeyPath(subkey),
                 platform::RegistryAccess::Read) != platform::kRegistryOk) {
        return std::nullopt;
    }
    platform::RegistryType type{};
    std::uint32_t value = 0;
    std::uint32_t size = sizeof value;
    if (key.query(name, &type, &value, &size) != platform::kRegistryOk ||
        type != platform::RegistryType::Dword || size != sizeof value) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

inline bool settingsKeyExists(std::string_view subkey = "") {
    platform::RegistryKey key;
    return key.open(platform::RegistryRoot::CurrentUser, settingsKeyPath(subkey),
                    platform::RegistryAccess::Read) == platform::kRegistryOk;
}

}  // namespace ostrel::testing
