// The machine-wide keys of a Linux system, served in the form the Windows registry would give
// them: the disk list under SYSTEM\CurrentControlSet\Services\Disk\Enum, made from sysfs.
#pragma once

#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace ostrel::platform {

// True with the key's values when the path is one this system serves; false otherwise.
bool loadSystemMachineKey(std::string_view path, std::vector<RegistryValue> &values);

}  // namespace ostrel::platform
