// The registry service: keys and values with the semantics of the Windows registry, which is what
// the settings store and camera discovery are written against.
//
// Windows: the real registry (HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE).
// Linux: HKEY_CURRENT_USER is one settings file in the text format of a registry export
// ("REGEDIT4", [key] sections, "name"=dword:0000000a, "name"="text", "name"=hex:..), under
// $XDG_CONFIG_HOME (default ~/.config), path overridable with OSTREL_SETTINGS_FILE. Every
// successful write is on disk when it returns, written atomically (temporary file + rename)
// under a file lock, merged with what other processes wrote meanwhile. A damaged or truncated
// file reads as whatever complete keys and values it still holds, never as a crash.
// HKEY_LOCAL_MACHINE has only what a MachineKeySource serves (the disk list).
//
// Key paths use backslashes and are case-insensitive, as on Windows; a path may not start with
// a backslash (kRegistryBadPathname), while doubled and trailing backslashes are ignored. Status
// values are Windows error codes: 0 success, 2 not found, 5 access denied, 13 invalid data,
// 234 more data, and the rarer ones below.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel::platform {

using RegistryStatus = std::int32_t;
inline constexpr RegistryStatus kRegistryOk = 0;
inline constexpr RegistryStatus kRegistryNotFound = 2;
inline constexpr RegistryStatus kRegistryAccessDenied = 5;
inline constexpr RegistryStatus kRegistryInvalidHandle = 6;
inline constexpr RegistryStatus kRegistryInvalidData = 13;
inline constexpr RegistryStatus kRegistryOutOfMemory = 14;
inline constexpr RegistryStatus kRegistryInvalidParameter = 87;
inline constexpr RegistryStatus kRegistryBadPathname = 161;
inline constexpr RegistryStatus kRegistryMoreData = 234;
inline constexpr RegistryStatus kRegistryNoMoreItems = 259;
inline constexpr RegistryStatus kRegistryNoAccess = 998;  // data null with a non-zero size
// The settings file could not be read or written (Linux); the file is left as it was.
inline constexpr RegistryStatus kRegistryIoFailed = 1016;
// The key was deleted (by another key object or process) after it was opened.
inline constexpr RegistryStatus kRegistryKeyDeleted = 1018;

enum class RegistryRoot { CurrentUser, LocalMachine };
enum class RegistryAccess { Read, AllAccess };

// Value types with their Windows numbers (REG_SZ 1, REG_BINARY 3, REG_DWORD 4).
enum class RegistryType : std::uint32_t { None = 0, String = 1, Binary = 3, Dword = 4 };

struct RegistryValue {
    std::string name;
    RegistryType type = RegistryType::None;
    std::vector<std::uint8_t> data;  // REG_SZ data includes its terminating 0
};

// An open key. Move-only; closes itself. Not shared between threads.
class RegistryKey {
public:
    RegistryKey();
    ~RegistryKey();
    RegistryKey(RegistryKey &&other) noexcept;
    RegistryKey &operator=(RegistryKey &&other) noexcept;
    RegistryKey(const RegistryKey &) = delete;
    RegistryKey &operator=(const RegistryKey &) = delete;

    // RegOpenKeyExA: opens an existing key (this object closes what it held first).
    [[nodiscard]] RegistryStatus open(RegistryRoot root, std::string_view path,
                                      RegistryAccess access);
    [[nodiscard]] RegistryStatus open(const RegistryKey &parent, std::string_view subkey,
                                      RegistryAccess access);
    // RegCreateKeyExA with KEY_ALL_ACCESS, non-volatile, empty class: opens or creates the key
    // and every missing key above it. created, when given, tells whether it was new. A parent
    // opened for reading gives kRegistryAccessDenied, as do machine keys served by a
    // MachineKeySource.
    [[nodiscard]] RegistryStatus create(RegistryRoot root, std::string_view path,
                                        bool *created = nullptr);
    [[nodiscard]] RegistryStatus create(const RegistryKey &parent, std::string_view subkey,
                                        bool *created = nullptr);

    // RegQueryValueExA: *size is the capacity of data on entry and the value's size on return.
    // A value larger than the capacity gives kRegistryMoreData and copies nothing; data may be
    // null to ask for the size only. type may be null.
    [[nodiscard]] RegistryStatus query(std::string_view name, RegistryType *type, void *data,
                                       std::uint32_t *size) const;
    // RegSetValueExA. kRegistryAccessDenied on a key opened for reading or served by a
    // MachineKeySource; kRegistryInvalidParameter for a name holding a 0 or a line break (the
    // settings file keeps one name per line); kRegistryNoAccess for null data with a size.
    [[nodiscard]] RegistryStatus set(std::string_view name, RegistryType type, const void *data,
                                     std::uint32_t size);

    // Shorthands over query/set.
    [[nodiscard]] RegistryStatus setDword(std::string_view name, std::uint32_t value);
    [[nodiscard]] RegistryStatus setString(std::string_view name, std::string_view value);

    // RegEnumKeyExA / RegEnumValueA by index: names of subkeys and values, in storage order
    // (the order they were added in the settings file; the system's order on Windows).
    [[nodiscard]] RegistryStatus subkeyName(std::uint32_t index, std::string &name) const;
    [[nodiscard]] RegistryStatus valueName(std::uint32_t index, std::string &name) const;

    // Every operation on a key that is not open gives kRegistryInvalidHandle.
    RegistryStatus close();
    bool isOpen() const;

    struct Impl;  // defined by each platform's implementation

private:
    std::unique_ptr<Impl> impl_;
};

// Deletes a key and everything below it (tests and tools only; the SDK never deletes keys).
RegistryStatus deleteKeyTree(RegistryRoot root, std::string_view path);

// A read-only source of machine-wide keys that do not live in a real registry: the disk list
// synthesised from sysfs on Linux, or the emulated cameras' disk list on both systems. load()
// returns false when it does not serve the path (the lookup then falls through), true with the
// key's values when it does.
class MachineKeySource {
public:
    virtual ~MachineKeySource() = default;
    virtual bool load(std::string_view path, std::vector<RegistryValue> &values) = 0;
};

// Installs a source that is asked before the system for every HKEY_LOCAL_MACHINE open; null
// restores the system's own. The source must outlive its installation. Not thread-safe with
// concurrent opens: install before use.
void setMachineKeySource(MachineKeySource *source);

}  // namespace ostrel::platform
