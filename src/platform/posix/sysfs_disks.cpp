// The disks listed under /sys/block, named the way Windows names its disk list entries.
#include "platform/posix/sysfs_disks.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace ostrel::platform {

namespace {

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

// The kernel hands out names of one kind in growing length (sdz, then sdaa): shorter first,
// then by letters, keeps each disk's place among the others.
bool kernelOrder(const std::string &a, const std::string &b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

}  // namespace

std::string sysfsRoot() {
    const char *root = std::getenv("OSTREL_SYSFS_ROOT");
    return (root != nullptr && root[0] != '\0') ? root : "/sys";
}

bool readSysfsAttribute(const std::string &path, std::string &text) {
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

std::vector<SysfsDisk> sysfsDisks() {
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
    std::sort(names.begin(), names.end(), kernelOrder);

    std::vector<SysfsDisk> disks;
    for (const std::string &name : names) {
        const std::string device = blockDir + "/" + name + "/device";
        std::string vendor, model, revision;
        const bool hasVendor = readSysfsAttribute(device + "/vendor", vendor);
        const bool hasModel = readSysfsAttribute(device + "/model", model);
        const bool hasRevision = readSysfsAttribute(device + "/rev", revision);
        if (!hasVendor && !hasModel && !hasRevision) {
            continue;  // not a disk with inquiry data (loop, ram, device mapper, ...)
        }
        std::string text = isUsbAttached(device) ? "USBSTOR\\Disk" : "SCSI\\Disk";
        text += "&Ven_" + identifierField(vendor);
        text += "&Prod_" + identifierField(model);
        text += "&Rev_" + identifierField(revision);
        // The instance part: the kernel's (lower-case) name of the disk.
        text += "\\" + name + "&0";
        disks.push_back({name, std::move(text)});
    }
    return disks;
}

}  // namespace ostrel::platform
