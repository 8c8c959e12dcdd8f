// A settings store of the test's own for every context a test initialises: on Linux a fresh
// settings file in a temporary folder (OSTREL_SETTINGS_FILE), on Windows the settings key
// deleted before and after (the tests run in a Wine prefix of their own). Values can be planted
// and read back through the registry service.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace ostrel::testing {

inline constexpr std::string_view kSettingsKey = "Software\\Nembra\\Ostrel7100V3Sdk";

class SettingsSandbox {
public:
    SettingsSandbox() {
#ifdef _WIN32
        (void)platform::deleteKeyTree(platform::RegistryRoot::CurrentUser, kSettingsKey);
#else
        std::random_device random;
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        for (int attempt = 0; folder_.empty() && attempt < 100; ++attempt) {
            const std::filesystem::path candidate =
                base / ("ostrel-context-" + std::to_string(random()) + std::to_string(random()));
            if (std::filesystem::create_directory(candidate)) {
                folder_ = candidate.string();
            }
        }
        const char *before = std::getenv("OSTREL_SETTINGS_FILE");
        if (before != nullptr) {
            previous_ = before;
        }
        setenv("OSTREL_SETTINGS_FILE", (folder_ + "/settings.reg").c_str(), 1);
#endif
    }
    ~SettingsSandbox() {
#ifdef _WIN32
        (void)platform::deleteKeyTree(platform::RegistryRoot::CurrentUser, kSettingsKey);
#else
        if (previous_) {
            setenv("OSTREL_SETTINGS_FILE", previous_->c_str(), 1);
        } else {
            unsetenv("OSTREL_SETTINGS_FILE");
        }
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
#endif
    }
    SettingsSandbox(const SettingsSandbox &) = delete;
    SettingsSandbox &operator=(const SettingsSandbox &) = delete;

    static std::string path(std::string_view subkey) {
        std::string full(kSettingsKey);
        if (!subkey.empty()) {
            full += "\\";
            full += subkey;
        }
        return full;
    }
    // Writes a 32-bit value into a subkey of the settings key ("" for the key itself).
    static bool put(std::string_view subkey, std::string_view name, std::int32_t value) {
        platform::RegistryKey key;
        return key.create(platform::RegistryRoot::CurrentUser, path(subkey)) ==
                   platform::kRegistryOk &&
               key.setDword(name, static_cast<std::uint32_t>(value)) == platform::kRegistryOk;
    }
    static std::optional<std::int32_t> get(std::string_view subkey, std::string_view name) {
        platform::RegistryKey key;
        if (key.open(platform::RegistryRoot::CurrentUser, path(subkey),
                     platform::RegistryAccess::Read) != platform::kRegistryOk) {
            return std::nullopt;
        }
        std::uint32_t value = 0;
        std::uint32_t size = sizeof value;
        if (key.query(name, nullptr, &value, &size) != platform::kRegistryOk || size != 4) {
            return std::nullopt;
        }
        return static_cast<std::int32_t>(value);
    }
    static bool exists() {
        platform::RegistryKey key;
        return key.open(platform::RegistryRoot::CurrentUser, path(""),
                        platform::RegistryAccess::Read) == platform::kRegistryOk;
    }

private:
#ifndef _WIN32
    std::string folder_;
    std::optional<std::string> previous_;
#endif
};

}  // namespace ostrel::testing
