// The Linux disk list: the disks sysfs describes, as Windows writes its disk enumeration entries,
// so that discovery applies the same substring rules on both systems.
#include "platform/posix/system_machine_keys.h"

#include <string>

#include "platform/posix/sysfs_disks.h"

namespace ostrel::platform {

namespace {

constexpr std::string_view kDiskEnumPath = "SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum";

// Key paths compare as the registry compares them: ASCII letters without case.
bool sameKeyPath(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

RegistryValue dwordValue(std::string name, std::uint32_t value) {
    RegistryValue v;
    v.name = std::move(name);
    v.type = RegistryType::Dword;
    v.data = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
              static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    return v;
}

RegistryValue stringValue(std::string name, const std::string &text) {
    RegistryValue v;
    v.name = std::move(name);
    v.type = RegistryType::String;
    v.data.assign(text.begin(), text.end());
    v.data.push_back(0);
    return v;
}

}  // namespace

bool loadSystemMachineKey(std::string_view path, std::vector<RegistryValue> &values) {
    if (!sameKeyPath(path, kDiskEnumPath)) {
        return false;
    }
    const std::vector<SysfsDisk> disks = sysfsDisks();
    values.clear();
    for (std::size_t i = 0; i < disks.size(); ++i) {
        values.push_back(stringValue(std::to_string(i), disks[i].entry));
    }
    const auto count = static_cast<std::uint32_t>(disks.size());
    values.push_back(dwordValue("Count", count));
    values.push_back(dwordValue("NextInstance", count));
    return true;
}

}  // namespace ostrel::platform
