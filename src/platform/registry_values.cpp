// Value lookup and RegQueryValueExA-style copying shared by every registry key implementation.
#include "platform/registry_values.h"

#include <cstring>

namespace ostrel::platform {

namespace {

char foldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

bool registryNamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (foldAscii(a[i]) != foldAscii(b[i])) {
            return false;
        }
    }
    return true;
}

const RegistryValue *findRegistryValue(const std::vector<RegistryValue> &values,
                                       std::string_view name) {
    for (const RegistryValue &value : values) {
        if (registryNamesEqual(value.name, name)) {
            return &value;
        }
    }
    return nullptr;
}

RegistryStatus copyRegistryValue(const RegistryValue &value, RegistryType *type, void *data,
                                 std::uint32_t *size) {
    if (data != nullptr && size == nullptr) {
        return kRegistryInvalidParameter;
    }
    const auto needed = static_cast<std::uint32_t>(value.data.size());
    if (type != nullptr) {
        *type = value.type;
    }
    if (size == nullptr) {
        return kRegistryOk;
    }
    if (data == nullptr) {
        *size = needed;
        return kRegistryOk;
    }
    if (needed > *size) {
        *size = needed;
        return kRegistryMoreData;
    }
    if (needed > 0) {
        std::memcpy(data, value.data.data(), needed);
    }
    *size = needed;
    return kRegistryOk;
}

bool isStorableRegistryName(std::string_view name) {
    return name.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

}  // namespace ostrel::platform
