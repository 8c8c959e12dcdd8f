// A settings store of the test's own for everything the test initialises: on Linux a fresh
// settings file in a temporary folder (OSTREL_SETTINGS_FILE, put back as it was at the end), on
// Windows the settings key deleted before and after (the tests run in a Wine prefix of their
// own). It uses no part of the library, so the tests of the exported interface can use it too:
// plant() writes the stored form directly (registry calls on Windows, the settings file's text
// on Linux).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "support/environment.h"

namespace ostrel::testing {

inline constexpr std::string_view kSettingsKey = "Software\\Nembra\\Ostrel7100V3Sdk";

// The key path of a subkey of the settings key ("" for the settings key itself).
inline std::string settingsKeyPath(std::string_view subkey) {
    std::string path(kSettingsKey);
    if (!subkey.empty()) {
        path += '\\';
        path += subkey;
    }
    return path;
}

// One 32-bit value under the settings key.
struct StoredValue {
    std::string subkey;
    std::string name;
    std::int32_t value;
};

class SettingsSandbox {
public:
    SettingsSandbox() {
#if defined(_WIN32)
        RegDeleteTreeA(HKEY_CURRENT_USER, settingsKeyPath("").c_str());
#else
        std::random_device random;
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        for (int attempt = 0; folder_.empty() && attempt < 100; ++attempt) {
            const std::filesystem::path candidate =
                base /
                ("ostrel-settings-" + std::to_string(random()) + "-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate)) {
                folder_ = candidate.string();
            }
        }
        EXPECT_FALSE(folder_.empty()) << "no temporary folder for the settings file";
        previous_ = variable(kVariable);
        setVariable(kVariable, file().c_str());
#endif
    }
    ~SettingsSandbox() {
#if defined(_WIN32)
        RegDeleteTreeA(HKEY_CURRENT_USER, settingsKeyPath("").c_str());
#else
        if (previous_) {
            setVariable(kVariable, previous_->c_str());
        } else {
            unsetVariable(kVariable);
        }
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
#endif
    }
    SettingsSandbox(const SettingsSandbox &) = delete;
    SettingsSandbox &operator=(const SettingsSandbox &) = delete;

    // Replaces whatever is stored with these values.
    void plant(const std::vector<StoredValue> &values) const {
#if defined(_WIN32)
        RegDeleteTreeA(HKEY_CURRENT_USER, settingsKeyPath("").c_str());
        for (const StoredValue &v : values) {
            HKEY key = nullptr;
            ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, settingsKeyPath(v.subkey).c_str(), 0,
                                      nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                      ERROR_SUCCESS);
            const DWORD data = static_cast<DWORD>(v.value);
            const LONG status = RegSetValueExA(key, v.name.c_str(), 0, REG_DWORD,
                                               reinterpret_cast<const BYTE *>(&data), sizeof data);
            RegCloseKey(key);
            ASSERT_EQ(status, ERROR_SUCCESS) << v.subkey << " " << v.name;
        }
#else
        // The text form of a registry export, one section per key in the order first named.
        std::vector<std::string> sections;
        for (const StoredValue &v : values) {
            if (std::find(sections.begin(), sections.end(), v.subkey) == sections.end()) {
                sections.push_back(v.subkey);
            }
        }
        std::string text = "REGEDIT4\r\n";
        for (const std::string &section : sections) {
            text += "\r\n[HKEY_CURRENT_USER\\" + settingsKeyPath(section) + "]\r\n";
            for (const StoredValue &v : values) {
                if (v.subkey == section) {
                    char line[128];
                    std::snprintf(line, sizeof line, "\"%s\"=dword:%08x\r\n", v.name.c_str(),
                                  static_cast<unsigned>(v.value));
                    text += line;
                }
            }
        }
        std::ofstream out(file(), std::ios::binary | std::ios::trunc);
        out << text;
        ASSERT_TRUE(out.flush()) << file();
#endif
    }

    // Whether the settings key exists (on Linux: whether the settings file was written).
    bool exists() const {
#if defined(_WIN32)
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, settingsKeyPath("").c_str(), 0, KEY_READ, &key) !=
            ERROR_SUCCESS) {
            return false;
        }
        RegCloseKey(key);
        return true;
#else
        return std::filesystem::exists(file());
#endif
    }

#if !defined(_WIN32)
    std::string file() const {
        return folder_ + "/settings.reg";
    }

private:
    static constexpr const char *kVariable = "OSTREL_SETTINGS_FILE";
    std::string folder_;
    std::optional<std::string> previous_;
#endif
};

}  // namespace ostrel::testing
