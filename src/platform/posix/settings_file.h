// The Linux settings file that holds HKEY_CURRENT_USER: read without a lock (it is only ever
// replaced whole, by rename), changed under a file lock by re-reading it, applying the one change
// and writing it back atomically, so that processes and threads saving at once never lose each
// other's values or leave a half-written file.
#pragma once

#include <functional>
#include <string>

#include "platform/registry.h"
#include "platform/registry_document.h"

namespace ostrel::platform {

class SettingsFile {
public:
    // The file of the current user: $OSTREL_SETTINGS_FILE when set, else
    // ostrel/Ostrel7100V3Sdk.reg under $XDG_CONFIG_HOME (default ~/.config). Read each time,
    // so a change of the environment takes effect at the next operation. Empty when no home
    // folder can be found.
    static std::string userPath();

    explicit SettingsFile(std::string path) : path_(std::move(path)) {}

    // Reads the keys of the file below top. A missing file (or no path at all) is empty; a
    // damaged one gives what it still holds. damaged, when given, tells whether parts were lost.
    [[nodiscard]] RegistryStatus read(RegistryNode &top, bool *damaged = nullptr) const;

    // Runs change on the current contents under the lock and, when it reports a success that
    // changed something, replaces the file with the result. A file that cannot be read is never
    // replaced; a damaged one is first copied aside to "<file>.damaged", since rewriting it
    // drops what could not be read.
    using Change = std::function<RegistryStatus(RegistryNode &top, bool &changed)>;
    [[nodiscard]] RegistryStatus update(const Change &change);

    const std::string &path() const { return path_; }

private:
    std::string path_;
};

}  // namespace ostrel::platform
