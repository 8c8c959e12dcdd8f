// The Linux disk list: every block device under /sys/block that has a SCSI-style vendor, model
// or revision, written as Windows writes its disk enumeration entries, e.g.
// "USBSTOR\Disk&Ven_NEMBRA&Prod_USB3.0_7100VRX&Rev_1.00\sdb&0", so that discovery applies the
// same substring rules on both systems. The sysfs folder is /sys unless OSTREL_SYSFS_ROOT names
// another, so tests can lay out a fake tree.
#include "platform/posix/system_machine_keys.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace ostrel::platform {

namespace {

constexpr std::string_view kDiskEnumPath = "SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum";

std::string sysfsRoot() {
    const char *root = std::getenv("OSTREL_SYSFS_ROOT");
    return (root != nullptr && root[0] != '\0') ? root : "/sys";
}

// The first line of a small sysfs attribute; false when it does not exist.
bool readAttribute(const std::string &path, std::string &text) {
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    char buffer[256];
    const std::size_t n = std::fread(buffer, 1, sizeof buffer, file);
    std::fclose(file);
    text.assign(buffer, n);
    const std::size_t end = text.find('\n');
    if (end != std::string::npos) {
        text.resize(end);
    }
    return true;
}

// Windows trims the padding of the inquiry fields and writes every other space or character
// that cannot stand in a device identifier as an underscore.
std::string identifierField(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) {
        text.pop_back();
    }
    std::size_t start = 0;
    while (start < text.size() && text[start] == ' ') {
        ++start;
    }
    text.erase(0, start);
    for (char &c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= ' ' || u >= 0x7F || c == ',' || c == '\\') {
            c = '_';
        }
    }
    return text;
}

bool isUsbAttached(const std::string &devicePath) {
    char resolved[PATH_MAX];
    if (::realpath(devicePath.c_str(), resolved) == nullptr) {
        return false;
    }
    return std::string_view(resolved).find("/usb") != std::string_view::npos;
}

std::vector<std::string> diskEntries() {
    const std::string blockDir = sysfsRoot() + "/block";
    std::vector<std::string> names;
    if (DIR *dir = ::opendir(blockDir.c_str())) {
        while (const dirent *entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());

    std::vector<std::string> entries;
    for (const std::string &name : names) {
        const std::string device = blockDir + "/" + name + "/device";
        std::string vendor, model, revision;
        const bool hasVendor = readAttribute(device + "/vendor", vendor);
        const bool hasModel = readAttribute(device + "/model", model);
        const bool hasRevision = readAttribute(device + "/rev", revision);
        if (!hasVendor && !hasModel && !hasRevision) {
            continue;  // not a disk with inquiry data (loop, ram, device mapper, ...)
        }
        std::string text = isUsbAttached(device) ? "USBSTOR\\Disk" : "SCSI\\Disk";
        text += "&Ven_" + identifierField(vendor);
        text += "&Prod_" + identifierField(model);
        text += "&Rev_" + identifierField(revision);
        // The instance part: the kernel's (lower-case) name of the disk.
        text += "\\" + name + "&0";
        entries.push_back(std::move(text));
    }
    return entries;
}

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
    const std::vector<std::string> entries = diskEntries();
    values.clear();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        values.push_back(stringValue(std::to_string(i), entries[i]));
    }
    const auto count = static_cast<std::uint32_t>(entries.size());
    values.push_back(dwordValue("Count", count));
    values.push_back(dwordValue("NextInstance", count));
    return true;
}

}  // namespace ostrel::platform
