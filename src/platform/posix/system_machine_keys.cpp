// Placeholder until the sysfs disk list lands: no machine key is served yet.
#include "platform/posix/system_machine_keys.h"

namespace ostrel::platform {

bool loadSystemMachineKey(std::string_view, std::vector<RegistryValue> &) { return false; }

}  // namespace ostrel::platform
