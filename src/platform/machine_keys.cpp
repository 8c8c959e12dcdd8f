// The installed MachineKeySource. The pointer is atomic so that installing a source while
// another thread opens a key is never a data race; the source itself must outlive its use.
#include "platform/machine_keys.h"

#include <atomic>

namespace ostrel::platform {

namespace {

std::atomic<MachineKeySource *> gSource{nullptr};

}  // namespace

void setMachineKeySource(MachineKeySource *source) {
    gSource.store(source, std::memory_order_release);
}

bool loadInstalledMachineKey(std::string_view path, std::vector<RegistryValue> &values) {
    MachineKeySource *source = gSource.load(std::memory_order_acquire);
    if (source == nullptr) {
        return false;
    }
    values.clear();
    return source->load(path, values);
}

}  // namespace ostrel::platform
