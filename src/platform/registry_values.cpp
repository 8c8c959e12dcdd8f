// What every registry key implementation shares: names, paths, RegQueryValueExA copying and the
// typed setters.
#include "platform/registry_values.h"

#include <cstring>
#include <new>

#include "platform/registry_document.h"

namespace ostrel::platform {

namespace {

char foldAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

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

RegistryStatus normaliseRegistryPath(std::string_view path, std::string &out) {
    std::vector<std::string_view> parts;
    if (!splitRegistryPath(path, parts)) {
        return kRegistryBadPathname;
    }
    out.clear();
    for (std::string_view part : parts) {
        if (!isStorableRegistryName(part)) {
            return kRegistryInvalidParameter;
        }
        out = joinRegistryPath(out, part);
    }
    return kRegistryOk;
}

bool isStorableRegistryName(std::string_view name) {
    return name.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

// The typed setters are the same on every system: a little-endian word, or the text with its
// terminating zero, through the implementation's set().
RegistryStatus RegistryKey::setDword(std::string_view name, std::uint32_t value) {
    const std::uint8_t bytes[4] = {
        static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
        static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    return set(name, RegistryType::Dword, bytes, 4);
}

RegistryStatus RegistryKey::setString(std::string_view name, std::string_view value) {
    try {
        const std::string terminated(value);
        return set(name, RegistryType::String, terminated.c_str(),
                   static_cast<std::uint32_t>(terminated.size() + 1));
    } catch (const std::bad_alloc &) {
        return kRegistryOutOfMemory;
    }
}

}  // namespace ostrel::platform
