// The settings store tests' fixture: a private empty settings key per test.
#include "test_settings_store_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <random>

#include "settings/settings_store.h"

namespace ostrel::ui::testing {

using platform::RegistryAccess;
using platform::RegistryKey;
using platform::RegistryRoot;
using platform::RegistryStatus;
using platform::RegistryType;
using platform::RegistryValue;

namespace {

std::vector<std::string> enumerate(const RegistryKey &key, bool subkeys) {
    std::vector<std::string> names;
    for (std::uint32_t i = 0;; ++i) {
        std::string name;
        const RegistryStatus status = subkeys ? key.subkeyName(i, name) : key.valueName(i, name);
        if (status != platform::kRegistryOk) {
            EXPECT_EQ(status, platform::kRegistryNoMoreItems);
            break;
        }
        names.push_back(name);
    }
    return names;
}

std::optional<RegistryValue> queryValue(const RegistryKey &key, std::string_view name) {
    RegistryValue value;
    value.name = std::string(name);
    std::uint32_t size = 0;
    if (key.query(name, &value.type, nullptr, &size) != platform::kRegistryOk) {
        return std::nullopt;
    }
    value.data.resize(size);
    if (key.query(name, &value.type, value.data.data(), &size) != platform::kRegistryOk) {
        return std::nullopt;
    }
    value.data.resize(size);
    return value;
}

RegistryKey createOrFail(std::string_view subkey) {
    RegistryKey key;
    EXPECT_EQ(key.create(RegistryRoot::CurrentUser, SettingsStoreTest::keyPath(subkey)),
              platform::kRegistryOk);
    return key;
}

std::optional<RegistryKey> openIfThere(std::string_view subkey) {
    RegistryKey key;
    if (key.open(RegistryRoot::CurrentUser, SettingsStoreTest::keyPath(subkey),
                 RegistryAccess::Read) != platform::kRegistryOk) {
        return std::nullopt;
    }
    return key;
}

}  // namespace

std::optional<KeySnapshot> captureKeyTree(const std::string &path) {
    RegistryKey key;
    if (key.open(RegistryRoot::CurrentUser, path, RegistryAccess::Read) != platform::kRegistryOk) {
        return std::nullopt;
    }
    KeySnapshot snapshot;
    for (const std::string &name : enumerate(key, false)) {
        if (std::optional<RegistryValue> value = queryValue(key, name)) {
            snapshot.values.push_back(std::move(*value));
        }
    }
    for (const std::string &name : enumerate(key, true)) {
        if (std::optional<KeySnapshot> child = captureKeyTree(path + "\\" + name)) {
            snapshot.subkeys.emplace_back(name, std::move(*child));
        }
    }
    return snapshot;
}

void restoreKeyTree(const std::string &path, const KeySnapshot &snapshot) {
    RegistryKey key;
    ASSERT_EQ(key.create(RegistryRoot::CurrentUser, path), platform::kRegistryOk) << path;
    for (const RegistryValue &value : snapshot.values) {
        EXPECT_EQ(key.set(value.name, value.type, value.data.data(),
                          static_cast<std::uint32_t>(value.data.size())),
                  platform::kRegistryOk)
            << path << " " << value.name;
    }
    for (const auto &[name, child] : snapshot.subkeys) {
        restoreKeyTree(path + "\\" + name, child);
    }
}

void SettingsStoreTest::SetUp() {
#ifdef _WIN32
    saved_ = captureKeyTree(std::string(kSettingsKeyPath));
    if (saved_) {
        ASSERT_EQ(platform::deleteKeyTree(RegistryRoot::CurrentUser, kSettingsKeyPath),
                  platform::kRegistryOk);
    }
#else
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; folder_.empty() && attempt < 100; ++attempt) {
        const std::filesystem::path candidate =
            base /
            ("ostrel-settings-store-" + std::to_string(random()) + "-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate)) {
            folder_ = candidate.string();
        }
    }
    ASSERT_FALSE(folder_.empty());
    ASSERT_EQ(setenv("OSTREL_SETTINGS_FILE", (folder_ + "/settings.reg").c_str(), 1), 0);
#endif
    ASSERT_FALSE(keyExists(""));
}

void SettingsStoreTest::TearDown() {
#ifdef _WIN32
    const RegistryStatus status =
        platform::deleteKeyTree(RegistryRoot::CurrentUser, kSettingsKeyPath);
    EXPECT_TRUE(status == platform::kRegistryOk || status == platform::kRegistryNotFound);
    if (saved_) {
        restoreKeyTree(std::string(kSettingsKeyPath), *saved_);
    }
#else
    unsetenv("OSTREL_SETTINGS_FILE");
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
#endif
}

std::string SettingsStoreTest::keyPath(std::string_view subkey) {
    std::string path(kSettingsKeyPath);
    if (!subkey.empty()) {
        path += '\\';
        path += subkey;
    }
    return path;
}

void SettingsStoreTest::putDword(std::string_view subkey, std::string_view name,
                                 std::uint32_t value) {
    RegistryKey key = createOrFail(subkey);
    EXPECT_EQ(key.setDword(name, value), platform::kRegistryOk);
}

void SettingsStoreTest::putString(std::string_view subkey, std::string_view name,
                                  std::string_view text) {
    RegistryKey key = createOrFail(subkey);
    EXPECT_EQ(key.setString(name, text), platform::kRegistryOk);
}

void SettingsStoreTest::putBinary(std::string_view subkey, std::string_view name,
                                  const std::vector<std::uint8_t> &bytes) {
    RegistryKey key = createOrFail(subkey);
    EXPECT_EQ(
        key.set(name, RegistryType::Binary, bytes.data(), static_cast<std::uint32_t>(bytes.size())),
        platform::kRegistryOk);
}

void SettingsStoreTest::createKey(std::string_view subkey) {
    createOrFail(subkey);
}

bool SettingsStoreTest::keyExists(std::string_view subkey) {
    return openIfThere(subkey).has_value();
}

std::optional<RegistryValue> SettingsStoreTest::stored(std::string_view subkey,
                                                       std::string_view name) {
    std::optional<RegistryKey> key = openIfThere(subkey);
    if (!key) {
        return std::nullopt;
    }
    return queryValue(*key, name);
}

std::optional<std::int32_t> SettingsStoreTest::storedDword(std::string_view subkey,
                                                           std::string_view name) {
    std::optional<RegistryValue> value = stored(subkey, name);
    if (!value || value->type != RegistryType::Dword || value->data.size() != 4) {
        return std::nullopt;
    }
    const auto &d = value->data;
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(d[0]) | static_cast<std::uint32_t>(d[1]) << 8 |
        static_cast<std::uint32_t>(d[2]) << 16 | static_cast<std::uint32_t>(d[3]) << 24);
}

std::vector<std::string> SettingsStoreTest::valueNames(std::string_view subkey) {
    std::optional<RegistryKey> key = openIfThere(subkey);
    return key ? enumerate(*key, false) : std::vector<std::string>{};
}

std::vector<std::string> SettingsStoreTest::subkeyNames(std::string_view subkey) {
    std::optional<RegistryKey> key = openIfThere(subkey);
    return key ? enumerate(*key, true) : std::vector<std::string>{};
}

}  // namespace ostrel::ui::testing
