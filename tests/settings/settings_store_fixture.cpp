// The settings store tests' fixture: a private empty settings key per test.
#include "settings/settings_store_fixture.h"

#include "support/stored_settings.h"
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

void SettingsStoreTest::SetUp() {
    sandbox_.emplace();
    ASSERT_FALSE(keyExists(""));
}

void SettingsStoreTest::TearDown() {
    sandbox_.reset();
}

std::string SettingsStoreTest::keyPath(std::string_view subkey) {
    return ostrel::testing::settingsKeyPath(subkey);
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
    return ostrel::testing::storedSetting(subkey, name);
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
