// Helpers for the registry tests: building values, flattening a registry tree for comparison,
// and a scratch place in the registry that each test owns alone and that is removed afterwards
// (a unique settings file on Linux, a unique key under HKCU\Software\OstrelTests on Windows).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/registry_document.h"

namespace ostrel::platform::testing {

inline RegistryValue dwordValue(std::string name, std::uint32_t v) {
    return {std::move(name),
            RegistryType::Dword,
            {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
             static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)}};
}

inline RegistryValue stringValue(std::string name, const std::string &text) {
    RegistryValue value{std::move(name), RegistryType::String, {text.begin(), text.end()}};
    value.data.push_back(0);
    return value;
}

inline RegistryValue bytesValue(std::string name, std::uint32_t type,
                                std::vector<std::uint8_t> data) {
    return {std::move(name), static_cast<RegistryType>(type), std::move(data)};
}

// "KEY\PATH|value name" -> (type, data), for whole-tree comparisons.
using FlatRegistry = std::map<std::string, std::pair<std::uint32_t, std::vector<std::uint8_t>>>;

inline void flattenInto(const RegistryNode &node, const std::string &path, FlatRegistry &out) {
    for (const RegistryValue &value : node.values()) {
        out[path + '|' + value.name] = {static_cast<std::uint32_t>(value.type), value.data};
    }
    for (const auto &child : node.subkeys()) {
        flattenInto(*child, path.empty() ? child->name() : path + '\\' + child->name(), out);
    }
}

inline FlatRegistry flatten(const RegistryNode &top) {
    FlatRegistry out;
    flattenInto(top, "", out);
    return out;
}

// Gives each test its own registry area: base() is a key path below HKEY_CURRENT_USER that
// nothing else uses. On Linux the whole settings file is the test's own (OSTREL_SETTINGS_FILE).
class RegistryScratch : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    const std::string &base() const { return base_; }
#ifndef _WIN32
    const std::string &settingsPath() const {
        return settingsPath_;
    }
    const std::string &folder() const {
        return folder_;
    }
    std::string readSettingsFile() const;
    void writeSettingsFile(const std::string &bytes) const;
#endif

private:
    std::string base_;
#ifndef _WIN32
    std::string folder_;
    std::string settingsPath_;
#endif
};

}  // namespace ostrel::platform::testing
