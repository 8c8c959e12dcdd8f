// The machine keys served without a real registry: the MachineKeySource installed by the
// library (the emulated cameras' disk list), asked before the system for HKEY_LOCAL_MACHINE.
#pragma once

#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace ostrel::platform {

// True with the key's values when an installed MachineKeySource serves the path.
bool loadInstalledMachineKey(std::string_view path, std::vector<RegistryValue> &values);

}  // namespace ostrel::platform
