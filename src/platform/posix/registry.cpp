// The registry on Linux: HKEY_CURRENT_USER lives in the user's settings file; HKEY_LOCAL_MACHINE
// has only the read-only keys that a MachineKeySource or the system's disk list serve.
#include <new>

#include "platform/machine_keys.h"
#include "platform/posix/settings_file.h"
#include "platform/posix/system_machine_keys.h"
#include "platform/registry.h"
#include "platform/registry_document.h"
#include "platform/registry_values.h"

namespace ostrel::platform {

struct RegistryKey::Impl {
    RegistryRoot root = RegistryRoot::CurrentUser;
    std::string path;  // below the root, components joined by single backslashes
    std::string file;  // the settings file it was opened in, which it stays with
    bool writable = false;
    bool machine = false;                 // a read-only snapshot of a served machine key
    std::vector<RegistryValue> snapshot;  // its values
};

namespace {

constexpr std::string_view kUserRoot = "HKEY_CURRENT_USER";

using Impl = RegistryKey::Impl;

std::string documentPath(const std::string &path) {
    return joinRegistryPath(kUserRoot, path);
}

RegistryStatus openMachine(const std::string &path, std::unique_ptr<Impl> &out) {
    std::vector<RegistryValue> values;
    if (!loadInstalledMachineKey(path, values)) {
        values.clear();
        if (!loadSystemMachineKey(path, values)) {
            return kRegistryNotFound;
        }
    }
    out = std::make_unique<Impl>();
    out->root = RegistryRoot::LocalMachine;
    out->path = path;
    out->machine = true;
    out->snapshot = std::move(values);
    return kRegistryOk;
}

RegistryStatus openUser(const std::string &path, RegistryAccess access, const std::string &inFile,
                        std::unique_ptr<Impl> &out) {
    SettingsFile file(inFile);
    RegistryNode top;
    if (const RegistryStatus status = file.read(top); status != kRegistryOk) {
        return status;
    }
    if (top.find(documentPath(path)) == nullptr) {
        return kRegistryNotFound;
    }
    out = std::make_unique<Impl>();
    out->path = path;
    out->file = file.path();
    out->writable = access == RegistryAccess::AllAccess;
    return kRegistryOk;
}

// Opens a key in the given settings file (HKEY_CURRENT_USER) or among the served machine keys.
RegistryStatus openAt(RegistryRoot root, std::string_view path, RegistryAccess access,
                      const std::string &file, std::unique_ptr<Impl> &out) {
    std::string canonical;
    if (const RegistryStatus status = normaliseRegistryPath(path, canonical);
        status != kRegistryOk) {
        return status;
    }
    return root == RegistryRoot::LocalMachine ? openMachine(canonical, out)
                                              : openUser(canonical, access, file, out);
}

RegistryStatus createAt(RegistryRoot root, std::string_view path, bool *created,
                        const std::string &inFile, std::unique_ptr<Impl> &out) {
    std::string canonical;
    if (const RegistryStatus status = normaliseRegistryPath(path, canonical);
        status != kRegistryOk) {
        return status;
    }
    if (root == RegistryRoot::LocalMachine) {
        return kRegistryAccessDenied;  // served machine keys are read-only; there are no others
    }
    SettingsFile file(inFile);
    bool isNew = false;
    const RegistryStatus status = file.update([&](RegistryNode &top, bool &changed) {
        top.create(documentPath(canonical), &isNew);
        changed = isNew;
        return kRegistryOk;
    });
    if (status != kRegistryOk) {
        return status;
    }
    if (created != nullptr) {
        *created = isNew;
    }
    out = std::make_unique<Impl>();
    out->path = canonical;
    out->file = file.path();
    out->writable = true;
    return kRegistryOk;
}

RegistryStatus subkeyPath(const Impl &parent, std::string_view subkey, std::string &out) {
    if (!subkey.empty() && subkey.front() == '\\') {
        return kRegistryBadPathname;
    }
    out = joinRegistryPath(parent.path, subkey);
    return kRegistryOk;
}

// Runs read on the key's node in the current file; kRegistryKeyDeleted when it is gone.
template <typename Read>
RegistryStatus readNode(const Impl &key, Read read) {
    RegistryNode top;
    if (const RegistryStatus status = SettingsFile(key.file).read(top); status != kRegistryOk) {
        return status;
    }
    const RegistryNode *node = top.find(documentPath(key.path));
    return node == nullptr ? kRegistryKeyDeleted : read(*node);
}

}  // namespace

RegistryKey::RegistryKey() = default;
RegistryKey::~RegistryKey() = default;
RegistryKey::RegistryKey(RegistryKey &&other) noexcept = default;
RegistryKey &RegistryKey::operator=(RegistryKey &&other) noexcept = default;

RegistryStatus RegistryKey::open(RegistryRoot root, std::string_view path, RegistryAccess access) {
    std::unique_ptr<Impl> opened;
    const RegistryStatus status = openAt(root, path, access, SettingsFile::userPath(), opened);
    impl_ = std::move(opened);
    return status;
}

RegistryStatus RegistryKey::open(const RegistryKey &parent, std::string_view subkey,
                                 RegistryAccess access) {
    if (!parent.impl_) {
        impl_.reset();
        return kRegistryInvalidHandle;
    }
    std::unique_ptr<Impl> opened;
    std::string path;
    RegistryStatus status = subkeyPath(*parent.impl_, subkey, path);
    if (status == kRegistryOk) {
        status = openAt(parent.impl_->root, path, access, parent.impl_->file, opened);
    }
    impl_ = std::move(opened);
    return status;
}

RegistryStatus RegistryKey::create(RegistryRoot root, std::string_view path, bool *created) {
    std::unique_ptr<Impl> opened;
    const RegistryStatus status = createAt(root, path, created, SettingsFile::userPath(), opened);
    impl_ = std::move(opened);
    return status;
}

RegistryStatus RegistryKey::create(const RegistryKey &parent, std::string_view subkey,
                                   bool *created) {
    if (!parent.impl_) {
        impl_.reset();
        return kRegistryInvalidHandle;
    }
    std::unique_ptr<Impl> opened;
    std::string path;
    RegistryStatus status = kRegistryAccessDenied;
    if (parent.impl_->writable) {
        status = subkeyPath(*parent.impl_, subkey, path);
    }
    if (status == kRegistryOk) {
        status = createAt(parent.impl_->root, path, created, parent.impl_->file, opened);
    }
    impl_ = std::move(opened);
    return status;
}

RegistryStatus RegistryKey::query(std::string_view name, RegistryType *type, void *data,
                                  std::uint32_t *size) const {
    if (!impl_) {
        return kRegistryInvalidHandle;
    }
    if (impl_->machine) {
        const RegistryValue *value = findRegistryValue(impl_->snapshot, name);
        return value == nullptr ? kRegistryNotFound : copyRegistryValue(*value, type, data, size);
    }
    return readNode(*impl_, [&](const RegistryNode &node) {
        const RegistryValue *value = node.value(name);
        return value == nullptr ? kRegistryNotFound : copyRegistryValue(*value, type, data, size);
    });
}

RegistryStatus RegistryKey::set(std::string_view name, RegistryType type, const void *data,
                                std::uint32_t size) {
    if (!impl_) {
        return kRegistryInvalidHandle;
    }
    if (!impl_->writable) {
        return kRegistryAccessDenied;
    }
    if (!isStorableRegistryName(name)) {
        return kRegistryInvalidParameter;
    }
    if (data == nullptr && size != 0) {
        return kRegistryNoAccess;
    }
    try {
        RegistryValue value;
        value.name.assign(name);
        value.type = type;
        const auto *bytes = static_cast<const std::uint8_t *>(data);
        value.data.assign(bytes, bytes + size);
        const std::string path = documentPath(impl_->path);
        return SettingsFile(impl_->file).update([&](RegistryNode &top, bool &changed) {
            RegistryNode *node = top.find(path);
            if (node == nullptr) {
                return kRegistryKeyDeleted;
            }
            // Saving what is already there (settings saved again unchanged) costs no write.
            changed = node->setValue(std::move(value));
            return kRegistryOk;
        });
    } catch (const std::bad_alloc &) {
        return kRegistryOutOfMemory;
    }
}

RegistryStatus RegistryKey::subkeyName(std::uint32_t index, std::string &name) const {
    if (!impl_) {
        return kRegistryInvalidHandle;
    }
    if (impl_->machine) {
        return kRegistryNoMoreItems;
    }
    return readNode(*impl_, [&](const RegistryNode &node) {
        if (index >= node.subkeys().size()) {
            return kRegistryNoMoreItems;
        }
        name = node.subkeys()[index]->name();
        return kRegistryOk;
    });
}

RegistryStatus RegistryKey::valueName(std::uint32_t index, std::string &name) const {
    if (!impl_) {
        return kRegistryInvalidHandle;
    }
    const auto pick = [&](const std::vector<RegistryValue> &values) {
        if (index >= values.size()) {
            return kRegistryNoMoreItems;
        }
        name = values[index].name;
        return kRegistryOk;
    };
    if (impl_->machine) {
        return pick(impl_->snapshot);
    }
    return readNode(*impl_, [&](const RegistryNode &node) { return pick(node.values()); });
}

RegistryStatus RegistryKey::close() {
    if (!impl_) {
        return kRegistryInvalidHandle;
    }
    impl_.reset();
    return kRegistryOk;
}

bool RegistryKey::isOpen() const {
    return impl_ != nullptr;
}

RegistryStatus deleteKeyTree(RegistryRoot root, std::string_view path) {
    std::string canonical;
    if (const RegistryStatus status = normaliseRegistryPath(path, canonical);
        status != kRegistryOk) {
        return status;
    }
    if (root == RegistryRoot::LocalMachine || canonical.empty()) {
        return kRegistryAccessDenied;
    }
    const std::string full = documentPath(canonical);
    const std::size_t slash = full.rfind('\\');
    const std::string parentPath = full.substr(0, slash);
    const std::string leaf = full.substr(slash + 1);
    return SettingsFile(SettingsFile::userPath()).update([&](RegistryNode &top, bool &changed) {
        RegistryNode *parent = top.find(parentPath);
        changed = parent != nullptr && parent->removeSubkey(leaf);
        return changed ? kRegistryOk : kRegistryNotFound;
    });
}

}  // namespace ostrel::platform
