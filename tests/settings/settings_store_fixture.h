// A test fixture for the settings store: each test runs in a settings sandbox of its own, on an
// empty settings key, and reads and plants raw registry values through the registry service.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "support/settings_sandbox.h"

namespace ostrel::ui::testing {

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

public:
    // Full path of a subkey of the settings key ("" for the settings key itself).
    static std::string keyPath(std::string_view subkey);

    // Plant values, creating the key as needed.
    static void putDword(std::string_view subkey, std::string_view name, std::uint32_t value);
    static void putString(std::string_view subkey, std::string_view name, std::string_view text);
    static void putBinary(std::string_view subkey, std::string_view name,
                          const std::vector<std::uint8_t> &bytes);
    static void createKey(std::string_view subkey);

    static bool keyExists(std::string_view subkey);
    // The stored value: its type and bytes; nullopt when missing.
    static std::optional<platform::RegistryValue> stored(std::string_view subkey,
                                                         std::string_view name);
    // The stored value as a signed word, only when it is a 4-byte REG_DWORD.
    static std::optional<std::int32_t> storedDword(std::string_view subkey, std::string_view name);
    static std::vector<std::string> valueNames(std::string_view subkey);
    static std::vector<std::string> subkeyNames(std::string_view subkey);

private:
    std::optional<ostrel::testing::SettingsSandbox> sandbox_;
};

}  // namespace ostrel::ui::testing
