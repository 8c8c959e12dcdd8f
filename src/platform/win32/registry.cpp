// The registry on Windows: the real one, except for the HKEY_LOCAL_MACHINE keys an installed
// MachineKeySource serves (the emulated cameras' disk list), which are read-only snapshots.
#include <windows.h>

#include <cstring>
#include <new>

#include "platform/machine_keys.h"
#include "platform/registry.h"
#include "platform/registry_document.h"
#include "platform/registry_values.h"

namespace ostrel::platform {

struct RegistryKey::Impl {
    Impl() = default;
    Impl(const Impl &) = delete;
    Impl &operator=(const Impl &) = delete;
    ~Impl() {
        if (key != nullptr) {
            RegCloseKey(key);
        }
    }

    RegistryRoot root = RegistryRoot::CurrentUser;
    std::string path;  // below the root, components joined by single backslashes
    bool writable = false;
    HKEY key = nullptr;                   // a real key
    bool machine = false;                 // or a read-only snapshot of a served machine key
    std::vector<RegistryValue> snapshot;  // with its values
};

namespace {

using Impl = RegistryKey::Impl;

// Key names are at most 255 characters; value names at most 16383.
constexpr DWORD kMaxKeyName = 256;
constexpr DWORD kMaxValueName = 16384;

HKEY rootKey(RegistryRoot root) {
    return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

REGSAM samFor(RegistryAccess access) {
    return access == RegistryAccess::AllAccess ? KEY_ALL_ACCESS : KEY_READ;
}

bool openServed(RegistryRoot root, const std::string &path, std::unique_ptr<Impl> &out) {
    std::vector<RegistryValue> values;
    if (root != RegistryRoot::LocalMachine || !loadInstalledMachineKey(path, values)) {
        return false;
    }
    out = std::make_unique<Impl>();
    out->root = root;
    out->path = path;
    out->machine = true;
    out->snapshot = std::move(values);
    return true;
}

// Opens (or with create, creates) the key at path below base, which stands for the key at
// basePath below root.
RegistryStatus openReal(RegistryRoot root, HKEY base, const std::string &basePath,
                        std::string_view path, RegistryAccess access, bool create, bool *created,
                        std::unique_ptr<Impl> &out) {
    std::string canonical;
    if (const RegistryStatus status = normaliseRegistryPath(path, canonical);
        status != kRegistryOk) {
        return status;
    }
    const std::string full = joinRegistryPath(basePath, canonical);
    if (openServed(root, full, out)) {
        if (create) {
            out.reset();
            return kRegistryAccessDenied;
        }
        return kRegistryOk;
    }
    HKEY key = nullptr;
    LONG status;
    if (create) {
        DWORD disposition = 0;
        char emptyClass[] = "";
        status = RegCreateKeyExA(base, canonical.c_str(), 0, emptyClass, REG_OPTION_NON_VOLATILE,
                                 KEY_ALL_ACCESS, nullptr, &key, &disposition);
        if (status == ERROR_SUCCESS && created != nullptr) {
            *created = disposition == REG_CREATED_NEW_KEY;
        }
    } else {
        status = RegOpenKeyExA(base, canonical.c_str(), 0, samFor(access), &key);
    }
    if (status != ERROR_SUCCESS) {
        return static_cast<RegistryStatus>(status);
    }
    out = std::make_unique<Impl>();
    out->root = root;
    out->path = full;
    out->writable = create || access == RegistryAccess::AllAccess;
    out->key = key;
    return kRegistryOk;
}

// A subkey of a snapshot is looked up by its whole path below the root.
RegistryStatus openBelow(const Impl &parent, std::string_view subkey, RegistryAccess access,
                         bool create, bool *created, std::unique_ptr<Impl> &out) {
    if (!subkey.empty() && subkey.front() == '\\') {
        return kRegistryBadPathname;
    }
    if (create && !parent.writable) {
        return kRegistryAccessDenied;
    }
    if (parent.machine) {
        return openReal(parent.root, rootKey(parent.root), "",
                        joinRegistryPath(parent.path, subkey), access, create, created, out);
    }
    return openReal(parent.root, parent.key, parent.path, subkey, access, create, created, out);
}

}  // namespace

RegistryKey::RegistryKey() = default;
RegistryKey::~RegistryKey() = default;
RegistryKey::RegistryKey(RegistryKey &&other) noexcept = default;
RegistryKey &RegistryKey::operator=(RegistryKey &&other) noexcept = default;

RegistryStatus RegistryKey::open(RegistryRoot root, std::string_view path, RegistryAccess access) {
    std::unique_ptr<Impl> opened;
    const RegistryStatus status =
        openReal(root, rootKey(root), "", path, access, false, nullptr, opened);
    impl_ = std::move(opened);
    return status;
}

RegistryStatus RegistryKey::open(const RegistryKey &parent, std::string_view subkey,
                                 RegistryAccess access) {
    std::unique_ptr<Impl> opened;
    const RegistryStatus status =
        parent.impl_ ? openBelow(*parent.impl_, subkey, access, false, nullptr, opened)
                     : kRegistryInvalidHandle;
    impl_ = std::move(opened);
    return status;
}

RegistryStatus RegistryKey::create(RegistryRoot root, std::string_view path, bool *created) {
    std::unique_ptr<Impl> opened;
    const RegistryStatus status =
        openReal(root, rootKey(root), "", path, RegistryAccess::AllAccess, true, created, opened);
    impl_ = std::move(opened);
    return status;
}

RegistryStatus RegistryKey::create(const RegistryKey &parent, std::string_view subkey,
                                   bool *created) {
    std::unique_ptr<Impl> opened;
    const RegistryStatus status =
        parent.impl_
            ? openBelow(*parent.impl_, subkey, RegistryAccess::AllAccess, true, created, opened)
            : kRegistryInvalidHandle;
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
    if (data != nullptr && size == nullptr) {
        return kRegistryInvalidParameter;
    }
    try {
        const std::string valueName(name);
        DWORD valueType = 0;
        DWORD length = size != nullptr ? *size : 0;
        LONG status;
        if (data == nullptr) {
            status = RegQueryValueExA(impl_->key, valueName.c_str(), nullptr, &valueType, nullptr,
                                      size != nullptr ? &length : nullptr);
        } else {
            // Read through a copy, so that a value too large for the caller's buffer leaves
            // the buffer as it was (the system may have written part of it).
            std::vector<BYTE> copy(length > 0 ? length : 1);
            status = RegQueryValueExA(impl_->key, valueName.c_str(), nullptr, &valueType,
                                      copy.data(), &length);
            if (status == ERROR_SUCCESS && length > 0) {
                std::memcpy(data, copy.data(), length);
            }
        }
        if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
            if (type != nullptr) {
                *type = static_cast<RegistryType>(valueType);
            }
            if (size != nullptr) {
                *size = length;
            }
        }
        return static_cast<RegistryStatus>(status);
    } catch (const std::bad_alloc &) {
        return kRegistryOutOfMemory;
    }
}

RegistryStatus RegistryKey::set(std::string_view name, RegistryType type, const void *data,
                                std::uint32_t size) {
    if (!impl_) {
        return kRegistryInvalidHandle;
    }
    if (impl_->machine || !impl_->writable) {
        return kRegistryAccessDenied;
    }
    if (!isStorableRegistryName(name)) {
        return kRegistryInvalidParameter;
    }
    if (data == nullptr && size != 0) {
        return kRegistryNoAccess;
    }
    try {
        const std::string valueName(name);
        return static_cast<RegistryStatus>(RegSetValueExA(impl_->key, valueName.c_str(), 0,
                                                          static_cast<DWORD>(type),
                                                          static_cast<const BYTE *>(data), size));
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
    char buffer[kMaxKeyName];
    DWORD length = kMaxKeyName;
    const LONG status =
        RegEnumKeyExA(impl_->key, index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS) {
        name.assign(buffer, length);
    }
    return static_cast<RegistryStatus>(status);
}

RegistryStatus RegistryKey::valueName(std::uint32_t index, std::string &name) const {
    if (!impl_) {
        return kRegistryInvalidHandle;
    }
    if (impl_->machine) {
        if (index >= impl_->snapshot.size()) {
            return kRegistryNoMoreItems;
        }
        name = impl_->snapshot[index].name;
        return kRegistryOk;
    }
    try {
        std::vector<char> buffer(kMaxValueName);
        DWORD length = kMaxValueName;
        const LONG status = RegEnumValueA(impl_->key, index, buffer.data(), &length, nullptr,
                                          nullptr, nullptr, nullptr);
        if (status == ERROR_SUCCESS) {
            name.assign(buffer.data(), length);
        }
        return static_cast<RegistryStatus>(status);
    } catch (const std::bad_alloc &) {
        return kRegistryOutOfMemory;
    }
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
    // Only the tests' own keys are ever deleted: never a root, never machine-wide keys.
    if (root == RegistryRoot::LocalMachine || canonical.empty()) {
        return kRegistryAccessDenied;
    }
    return static_cast<RegistryStatus>(RegDeleteTreeA(HKEY_CURRENT_USER, canonical.c_str()));
}

}  // namespace ostrel::platform
