// The registry service as the settings store and camera discovery use it, on whichever system
// the tests run: Windows' real registry, or the settings file on Linux.
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/registry_test_support.h"

namespace ostrel::platform {
namespace {

using RegistryKeyTest = testing::RegistryScratch;

TEST_F(RegistryKeyTest, CreatesOpensAndReadsBackDwords) {
    RegistryKey key;
    bool created = false;
    ASSERT_EQ(key.create(RegistryRoot::CurrentUser, base() + "\\Store\\Gain", &created),
              kRegistryOk);
    EXPECT_TRUE(created);
    EXPECT_EQ(key.setDword("Global", 300), kRegistryOk);
    EXPECT_EQ(key.setDword("Brightness", static_cast<std::uint32_t>(-100)), kRegistryOk);
    ASSERT_EQ(key.close(), kRegistryOk);
    EXPECT_FALSE(key.isOpen());

    ASSERT_EQ(key.create(RegistryRoot::CurrentUser, base() + "\\Store\\Gain", &created),
              kRegistryOk);
    EXPECT_FALSE(created);

    RegistryKey reader;
    ASSERT_EQ(reader.open(RegistryRoot::CurrentUser, base() + "\\Store", RegistryAccess::Read),
              kRegistryOk);
    RegistryKey gain;
    ASSERT_EQ(gain.open(reader, "Gain", RegistryAccess::Read), kRegistryOk);
    std::int32_t value = 0;
    std::uint32_t size = 4;
    RegistryType type = RegistryType::None;
    ASSERT_EQ(gain.query("Global", &type, &value, &size), kRegistryOk);
    EXPECT_EQ(value, 300);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(type, RegistryType::Dword);
    ASSERT_EQ(gain.query("Brightness", nullptr, &value, &size), kRegistryOk);
    EXPECT_EQ(value, -100);
    EXPECT_EQ(gain.query("Exposure", &type, &value, &size), kRegistryNotFound);
    EXPECT_EQ(value, -100);
}

TEST_F(RegistryKeyTest, QueryFollowsRegQueryValueExRules) {
    RegistryKey key;
    ASSERT_EQ(key.create(RegistryRoot::CurrentUser, base()), kRegistryOk);
    ASSERT_EQ(key.setString("WaitTime", "abcdef"), kRegistryOk);

    // Too small: nothing copied, the needed size and the type reported.
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    std::uint32_t size = 4;
    RegistryType type = RegistryType::None;
    EXPECT_EQ(key.query("WaitTime", &type, buffer, &size), kRegistryMoreData);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(type, RegistryType::String);
    EXPECT_EQ(std::string(buffer, 16), std::string(16, '#'));

    // Size only.
    size = 0;
    EXPECT_EQ(key.query("waittime", nullptr, nullptr, &size), kRegistryOk);
    EXPECT_EQ(size, 7u);

    // Exactly large enough.
    size = 7;
    EXPECT_EQ(key.query("WaitTime", nullptr, buffer, &size), kRegistryOk);
    EXPECT_EQ(std::string(buffer, 8), std::string("abcdef\0#", 8));

    // Existence only; data without a size is refused.
    EXPECT_EQ(key.query("WaitTime", nullptr, nullptr, nullptr), kRegistryOk);
    EXPECT_EQ(key.query("WaitTime", nullptr, buffer, nullptr), kRegistryInvalidParameter);
    EXPECT_EQ(key.query("Missing", nullptr, nullptr, nullptr), kRegistryNotFound);
}

TEST_F(RegistryKeyTest, ValueTypesAndBytesSurvive) {
    RegistryKey key;
    ASSERT_EQ(key.create(RegistryRoot::CurrentUser, base()), kRegistryOk);
    const std::uint8_t blob[] = {0, 1, 0xFE, 0xFF, '\n'};
    const std::uint8_t multi[] = {'a', 0, 'b', 0, 0};
    const std::uint8_t shortDword[] = {7, 9};
    ASSERT_EQ(key.set("Blob", RegistryType::Binary, blob, sizeof blob), kRegistryOk);
    ASSERT_EQ(key.set("Multi", static_cast<RegistryType>(7), multi, sizeof multi), kRegistryOk);
    ASSERT_EQ(key.set("Short", RegistryType::Dword, shortDword, 2), kRegistryOk);
    ASSERT_EQ(key.set("Empty", RegistryType::Binary, nullptr, 0), kRegistryOk);
    ASSERT_EQ(key.setString("", "default text"), kRegistryOk);

    const auto check = [&](const char *name, std::uint32_t type, const void *bytes,
                           std::uint32_t size) {
        std::uint8_t out[64] = {};
        std::uint32_t got = sizeof out;
        RegistryType gotType = RegistryType::None;
        ASSERT_EQ(key.query(name, &gotType, out, &got), kRegistryOk) << name;
        EXPECT_EQ(static_cast<std::uint32_t>(gotType), type) << name;
        ASSERT_EQ(got, size) << name;
        EXPECT_EQ(std::memcmp(out, bytes, size), 0) << name;
    };
    check("Blob", 3, blob, sizeof blob);
    check("Multi", 7, multi, sizeof multi);
    check("Short", 4, shortDword, 2);
    check("Empty", 3, "", 0);
    check("", 1, "default text", 13);
}

TEST_F(RegistryKeyTest, NamesIgnoreCaseButKeepTheirFirstSpelling) {
    RegistryKey key;
    ASSERT_EQ(key.create(RegistryRoot::CurrentUser, base() + "\\MixedCase"), kRegistryOk);
    ASSERT_EQ(key.setDword("WaitTime", 1), kRegistryOk);
    ASSERT_EQ(key.setDword("WAITTIME", 2), kRegistryOk);

    RegistryKey upper;
    ASSERT_EQ(upper.open(RegistryRoot::CurrentUser, base() + "\\MIXEDCASE", RegistryAccess::Read),
              kRegistryOk);
    std::string name;
    ASSERT_EQ(upper.valueName(0, name), kRegistryOk);
    EXPECT_EQ(name, "WaitTime");
    EXPECT_EQ(upper.valueName(1, name), kRegistryNoMoreItems);
    std::uint32_t value = 0;
    std::uint32_t size = 4;
    ASSERT_EQ(upper.query("waittime", nullptr, &value, &size), kRegistryOk);
    EXPECT_EQ(value, 2u);

    RegistryKey parent;
    ASSERT_EQ(parent.open(RegistryRoot::CurrentUser, base(), RegistryAccess::Read), kRegistryOk);
    ASSERT_EQ(parent.subkeyName(0, name), kRegistryOk);
    EXPECT_EQ(name, "MixedCase");
}

TEST_F(RegistryKeyTest, EnumeratesValuesAndSubkeys) {
    RegistryKey key;
    ASSERT_EQ(key.create(RegistryRoot::CurrentUser, base()), kRegistryOk);
    for (const char *name : {"TH", "TV", "EH", "EV", "EHS", "EVS", "Buf"}) {
        ASSERT_EQ(key.setDword(name, 1), kRegistryOk);
    }
    // Subkeys are created in name order, the order in which Windows lists them too.
    for (const char *name : {"Size_00", "Size_01", "Size_02"}) {
        RegistryKey sub;
        ASSERT_EQ(sub.create(key, name), kRegistryOk);
    }
    std::vector<std::string> values;
    std::vector<std::string> subkeys;
    std::string name;
    for (std::uint32_t i = 0; key.valueName(i, name) == kRegistryOk; ++i) {
        values.push_back(name);
    }
    for (std::uint32_t i = 0; key.subkeyName(i, name) == kRegistryOk; ++i) {
        subkeys.push_back(name);
    }
#ifdef _WIN32
    // The system decides the order (Wine sorts values by name); the names are what counts.
    std::sort(values.begin(), values.end());
    EXPECT_EQ(values, (std::vector<std::string>{"Buf", "EH", "EHS", "EV", "EVS", "TH", "TV"}));
#else
    EXPECT_EQ(values, (std::vector<std::string>{"TH", "TV", "EH", "EV", "EHS", "EVS", "Buf"}));
#endif
    EXPECT_EQ(subkeys, (std::vector<std::string>{"Size_00", "Size_01", "Size_02"}));
    EXPECT_EQ(key.subkeyName(3, name), kRegistryNoMoreItems);
}

TEST_F(RegistryKeyTest, PathRules) {
    RegistryKey key;
    ASSERT_EQ(key.create(RegistryRoot::CurrentUser, base() + "\\A\\B"), kRegistryOk);
    EXPECT_EQ(key.open(RegistryRoot::CurrentUser, base() + "\\A\\B\\", RegistryAccess::Read),
              kRegistryOk);
    EXPECT_EQ(key.open(RegistryRoot::CurrentUser, base() + "\\\\a\\b", RegistryAccess::Read),
              kRegistryOk);
    EXPECT_EQ(key.open(RegistryRoot::CurrentUser, "\\" + base(), RegistryAccess::Read),
              kRegistryBadPathname);
    EXPECT_FALSE(key.isOpen());
    EXPECT_EQ(key.create(RegistryRoot::CurrentUser, "\\" + base()), kRegistryBadPathname);
    EXPECT_EQ(key.open(RegistryRoot::CurrentUser, base() + "\\A\\C", RegistryAccess::Read),
              kRegistryNotFound);

    RegistryKey a;
    ASSERT_EQ(a.open(RegistryRoot::CurrentUser, base() + "\\A", RegistryAccess::AllAccess),
              kRegistryOk);
    EXPECT_EQ(key.open(a, "\\B", RegistryAccess::Read), kRegistryBadPathname);
    // A key may be reopened through itself.
    ASSERT_EQ(a.open(a, "B", RegistryAccess::Read), kRegistryOk);
    std::string name;
    EXPECT_EQ(a.subkeyName(0, name), kRegistryNoMoreItems);
}

TEST_F(RegistryKeyTest, ReadAccessRefusesWrites) {
    RegistryKey key;
    ASSERT_EQ(key.create(RegistryRoot::CurrentUser, base()), kRegistryOk);
    ASSERT_EQ(key.open(RegistryRoot::CurrentUser, base(), RegistryAccess::Read), kRegistryOk);
    EXPECT_EQ(key.setDword("WaitTime", 10), kRegistryAccessDenied);
    RegistryKey sub;
    EXPECT_EQ(sub.create(key, "Sub"), kRegistryAccessDenied);
    ASSERT_EQ(key.open(RegistryRoot::CurrentUser, base(), RegistryAccess::AllAccess), kRegistryOk);
    EXPECT_EQ(key.setDword("WaitTime", 10), kRegistryOk);
}

TEST_F(RegistryKeyTest, RefusesNamesThatCannotBeStoredAndNullData) {
    RegistryKey key;
    ASSERT_EQ(key.create(RegistryRoot::CurrentUser, base()), kRegistryOk);
    EXPECT_EQ(key.setDword("two\nlines", 1), kRegistryInvalidParameter);
    EXPECT_EQ(key.setDword(std::string_view("nul\0name", 8), 1), kRegistryInvalidParameter);
    EXPECT_EQ(key.set("Null", RegistryType::Binary, nullptr, 4), kRegistryNoAccess);
    RegistryKey sub;
    EXPECT_EQ(sub.create(key, "line\rbreak"), kRegistryInvalidParameter);
    std::string name;
    EXPECT_EQ(key.valueName(0, name), kRegistryNoMoreItems);
}

TEST_F(RegistryKeyTest, ClosedKeyGivesInvalidHandle) {
    RegistryKey key;
    std::uint32_t size = 4;
    std::uint32_t value = 0;
    std::string name;
    EXPECT_EQ(key.query("x", nullptr, &value, &size), kRegistryInvalidHandle);
    EXPECT_EQ(key.setDword("x", 1), kRegistryInvalidHandle);
    EXPECT_EQ(key.subkeyName(0, name), kRegistryInvalidHandle);
    EXPECT_EQ(key.valueName(0, name), kRegistryInvalidHandle);
    EXPECT_EQ(key.close(), kRegistryInvalidHandle);
    RegistryKey child;
    EXPECT_EQ(child.open(key, "x", RegistryAccess::Read), kRegistryInvalidHandle);
    EXPECT_EQ(child.create(key, "x"), kRegistryInvalidHandle);

    // Moving hands the open key over.
    ASSERT_EQ(key.create(RegistryRoot::CurrentUser, base()), kRegistryOk);
    RegistryKey moved(std::move(key));
    EXPECT_TRUE(moved.isOpen());
    EXPECT_EQ(moved.setDword("x", 1), kRegistryOk);
}

TEST_F(RegistryKeyTest, KeyDeletedUnderAnOpenHandle) {
    RegistryKey key;
    ASSERT_EQ(key.create(RegistryRoot::CurrentUser, base() + "\\Doomed\\Child"), kRegistryOk);
    ASSERT_EQ(key.open(RegistryRoot::CurrentUser, base() + "\\Doomed", RegistryAccess::AllAccess),
              kRegistryOk);
    ASSERT_EQ(key.setDword("x", 1), kRegistryOk);
    ASSERT_EQ(deleteKeyTree(RegistryRoot::CurrentUser, base() + "\\Doomed"), kRegistryOk);
    std::uint32_t size = 4;
    std::uint32_t value = 0;
    EXPECT_EQ(key.query("x", nullptr, &value, &size), kRegistryKeyDeleted);
    EXPECT_EQ(key.setDword("y", 1), kRegistryKeyDeleted);
    EXPECT_EQ(deleteKeyTree(RegistryRoot::CurrentUser, base() + "\\Doomed"), kRegistryNotFound);
    RegistryKey gone;
    EXPECT_EQ(
        gone.open(RegistryRoot::CurrentUser, base() + "\\Doomed\\Child", RegistryAccess::Read),
        kRegistryNotFound);
    EXPECT_EQ(deleteKeyTree(RegistryRoot::CurrentUser, ""), kRegistryAccessDenied);
    EXPECT_EQ(deleteKeyTree(RegistryRoot::LocalMachine, "SOFTWARE"), kRegistryAccessDenied);
}

// A source serving one machine key, recording what it was asked.
class FakeMachineKeys : public MachineKeySource {
public:
    bool load(std::string_view path, std::vector<RegistryValue> &values) override {
        asked.emplace_back(path);
        const auto it = keys.find(std::string(path));
        if (it == keys.end()) {
            return false;
        }
        values = it->second;
        return true;
    }
    std::map<std::string, std::vector<RegistryValue>> keys;
    std::vector<std::string> asked;
};

class MachineKeyTest : public RegistryKeyTest {
protected:
    void SetUp() override {
        RegistryKeyTest::SetUp();
        source_.keys[kServed] = {testing::dwordValue("Count", 2),
                                 testing::stringValue("0", "USB\\Disk&Ven_NEMBRA")};
        setMachineKeySource(&source_);
    }
    void TearDown() override {
        setMachineKeySource(nullptr);
        RegistryKeyTest::TearDown();
    }
    static constexpr const char *kServed = "SOFTWARE\\OstrelTests\\Served";
    FakeMachineKeys source_;
};

TEST_F(MachineKeyTest, ServedKeyIsAReadOnlySnapshot) {
    RegistryKey key;
    ASSERT_EQ(key.open(RegistryRoot::LocalMachine, "SOFTWARE\\\\OstrelTests\\Served\\",
                       RegistryAccess::AllAccess),
              kRegistryOk);
    ASSERT_EQ(source_.asked.size(), 1u);
    EXPECT_EQ(source_.asked[0], kServed);

    source_.keys[kServed][0] = testing::dwordValue("Count", 5);  // after the open: not seen
    std::uint32_t count = 0;
    std::uint32_t size = 4;
    ASSERT_EQ(key.query("count", nullptr, &count, &size), kRegistryOk);
    EXPECT_EQ(count, 2u);
    char text[8];
    size = sizeof text;
    EXPECT_EQ(key.query("0", nullptr, text, &size), kRegistryMoreData);
    EXPECT_EQ(size, 20u);
    std::string name;
    ASSERT_EQ(key.valueName(1, name), kRegistryOk);
    EXPECT_EQ(name, "0");
    EXPECT_EQ(key.valueName(2, name), kRegistryNoMoreItems);
    EXPECT_EQ(key.subkeyName(0, name), kRegistryNoMoreItems);

    EXPECT_EQ(key.setDword("Count", 3), kRegistryAccessDenied);
    RegistryKey sub;
    EXPECT_EQ(sub.create(key, "Sub"), kRegistryAccessDenied);
    EXPECT_EQ(sub.create(RegistryRoot::LocalMachine, kServed), kRegistryAccessDenied);
}

TEST_F(MachineKeyTest, SubkeysAndOtherPathsAreAskedByTheirWholePath) {
    source_.keys[std::string(kServed) + "\\Sub"] = {testing::dwordValue("Inner", 9)};
    RegistryKey key;
    ASSERT_EQ(key.open(RegistryRoot::LocalMachine, kServed, RegistryAccess::Read), kRegistryOk);
    RegistryKey sub;
    ASSERT_EQ(sub.open(key, "Sub", RegistryAccess::Read), kRegistryOk);
    EXPECT_EQ(source_.asked.back(), std::string(kServed) + "\\Sub");
    std::uint32_t inner = 0;
    std::uint32_t size = 4;
    ASSERT_EQ(sub.query("Inner", nullptr, &inner, &size), kRegistryOk);
    EXPECT_EQ(inner, 9u);

    // Not served: the lookup falls through to the system, which has no such key.
    EXPECT_EQ(sub.open(RegistryRoot::LocalMachine, "SOFTWARE\\OstrelTests\\NotServed",
                       RegistryAccess::Read),
              kRegistryNotFound);
    // The per-user registry never asks the machine source.
    const std::size_t asked = source_.asked.size();
    EXPECT_EQ(sub.open(RegistryRoot::CurrentUser, kServed, RegistryAccess::Read),
              kRegistryNotFound);
    EXPECT_EQ(source_.asked.size(), asked);

    setMachineKeySource(nullptr);
    EXPECT_EQ(sub.open(RegistryRoot::LocalMachine, kServed, RegistryAccess::Read),
              kRegistryNotFound);
}

#ifndef _WIN32

// Without a source the system's own disk list answers; an installed source comes first.
TEST_F(MachineKeyTest, SystemDiskListAnswersWhatNoSourceServes) {
    constexpr const char *kDiskEnum = "SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum";
    setenv("OSTREL_SYSFS_ROOT", folder().c_str(), 1);  // a machine without disks
    setMachineKeySource(nullptr);
    RegistryKey key;
    ASSERT_EQ(key.open(RegistryRoot::LocalMachine, kDiskEnum, RegistryAccess::Read), kRegistryOk);
    std::uint32_t count = 99;
    std::uint32_t size = 4;
    EXPECT_EQ(key.query("Count", nullptr, &count, &size), kRegistryOk);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(key.setDword("Count", 1), kRegistryAccessDenied);

    source_.keys[kDiskEnum] = {testing::dwordValue("Count", 3)};
    setMachineKeySource(&source_);
    ASSERT_EQ(key.open(RegistryRoot::LocalMachine, kDiskEnum, RegistryAccess::Read), kRegistryOk);
    EXPECT_EQ(key.query("Count", nullptr, &count, &size), kRegistryOk);
    EXPECT_EQ(count, 3u);
    unsetenv("OSTREL_SYSFS_ROOT");
}

#endif

}  // namespace
}  // namespace ostrel::platform
