// An in-memory registry tree: what the settings file holds, and what registry text parses into.
// Keys and values keep the spelling they were first written with and the order they were added.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace ostrel::platform {

class RegistryNode {
public:
    explicit RegistryNode(std::string name = {}) : name_(std::move(name)) {}
    RegistryNode(const RegistryNode &) = delete;
    RegistryNode &operator=(const RegistryNode &) = delete;

    const std::string &name() const { return name_; }
    const std::vector<RegistryValue> &values() const { return values_; }
    const std::vector<std::unique_ptr<RegistryNode>> &subkeys() const { return subkeys_; }

    // The direct subkey with that name (any case), or null.
    RegistryNode *subkey(std::string_view name) const;
    // The direct subkey with that name, appended when missing; created tells which.
    RegistryNode &addSubkey(std::string_view name, bool *created = nullptr);
    // Removes the direct subkey and everything below it; false when there is none.
    bool removeSubkey(std::string_view name);

    // The key at a backslash-separated path below this one ("" is this key), or null. Doubled
    // and trailing backslashes are ignored; a path starting with one finds nothing.
    RegistryNode *find(std::string_view path);
    // The key at the path, created with every missing key above it; created tells whether the
    // last one was new. Null for a path starting with a backslash.
    RegistryNode *create(std::string_view path, bool *created = nullptr);

    const RegistryValue *value(std::string_view name) const;
    // Replaces the value of that name where it stands (keeping the stored spelling of the name),
    // or appends it. False when the key already held exactly that type and data.
    bool setValue(RegistryValue value);

private:
    std::string name_;
    std::vector<RegistryValue> values_;
    std::vector<std::unique_ptr<RegistryNode>> subkeys_;
};

// Splits a key path into its non-empty components; false when it starts with a backslash, which
// the registry refuses as a bad path name.
bool splitRegistryPath(std::string_view path, std::vector<std::string_view> &parts);

// parent\sub, or sub alone below a root (parent "").
std::string joinRegistryPath(std::string_view parent, std::string_view sub);

}  // namespace ostrel::platform
