// What every registry key implementation (the settings file, the real registry, machine-key
// snapshots) shares: name comparison, path checks and RegQueryValueExA-style copying.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace ostrel::platform {

// Key and value names compare as the registry compares them: ASCII letters without case.
bool registryNamesEqual(std::string_view a, std::string_view b);

// The value with that name, or null.
const RegistryValue *findRegistryValue(const std::vector<RegistryValue> &values,
                                       std::string_view name);

// Copies a value out with the rules of RegQueryValueExA: *size is the capacity on entry and the
// value's size on return; data null asks for the size only; a value larger than the capacity
// gives kRegistryMoreData and copies nothing; data without size is an invalid parameter.
[[nodiscard]] RegistryStatus copyRegistryValue(const RegistryValue &value, RegistryType *type,
                                               void *data, std::uint32_t *size);

// The path in the form keys keep (components joined by single backslashes, doubled and trailing
// ones dropped); kRegistryBadPathname for a leading backslash, kRegistryInvalidParameter for a
// component that is not a storable name.
[[nodiscard]] RegistryStatus normaliseRegistryPath(std::string_view path, std::string &out);

// Whether a name can be stored: the registry's C interface cannot carry a 0, and the settings
// file keeps one name per line, so line breaks are refused too.
bool isStorableRegistryName(std::string_view name);

}  // namespace ostrel::platform
