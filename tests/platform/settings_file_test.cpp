// The Linux settings file behind HKEY_CURRENT_USER: where it lives, its exact text, atomic and
// merged updates from threads and processes, and what happens to damaged or odd files.
#ifndef _WIN32

#include "platform/posix/settings_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/registry.h"
#include "platform/registry_test_support.h"
#include "platform/registry_text.h"

namespace ostrel::platform {
namespace {

namespace fs = std::filesystem;

using SettingsFileTest = testing::RegistryScratch;

constexpr const char *kStore = "Software\\Nembra\\Ostrel7100V3Sdk";

// Sets an environment variable for one scope and restores the old value afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const char *value) : name_(name) {
        const char *old = std::getenv(name);
        if (old != nullptr) {
            old_ = old;
            hadOld_ = true;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (hadOld_) {
            setenv(name_, old_.c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

private:
    const char *name_;
    std::string old_;
    bool hadOld_ = false;
};

std::uint32_t readDword(const RegistryKey &key, const std::string &name) {
    std::uint32_t value = 0xDEADBEEF;
    std::uint32_t size = 4;
    EXPECT_EQ(key.query(name, nullptr, &value, &size), kRegistryOk) << name;
    return value;
}

TEST_F(SettingsFileTest, WritesRegeditTextOnEverySuccessfulWrite) {
    RegistryKey key;
    ASSERT_EQ(key.create(RegistryRoot::CurrentUser, kStore), kRegistryOk);
    ASSERT_EQ(key.setDword("Size", 0), kRegistryOk);
    ASSERT_EQ(key.setDword("WaitTime", 10), kRegistryOk);
    RegistryKey size;
    ASSERT_EQ(size.create(key, "Size_00"), kRegistryOk);
    ASSERT_EQ(size.setDword("TH", 6576), kRegistryOk);
    ASSERT_EQ(key.setString("Note", "C:\\\"x\""), kRegistryOk);
    EXPECT_EQ(readSettingsFile(),
              "REGEDIT4\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software]\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\Nembra]\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\Nembra\\Ostrel7100V3Sdk]\r\n"
              "\"Size\"=dword:00000000\r\n"
              "\"WaitTime\"=dword:0000000a\r\n"
              "\"Note\"=\"C:\\\\\\\"x\\\"\"\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\Nembra\\Ostrel7100V3Sdk\\Size_00]\r\n"
              "\"TH\"=dword:000019b0\r\n\r\n");
    // Nothing but the file and its lock is left in the folder: no temporary files.
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(folder())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    const std::string file = fs::path(settingsPath()).filename().string();
    EXPECT_EQ(names, (std::vector<std::string>{file, file + ".lock"}));
}

// Settings saved again unchanged (every release saves its groups) cost no file replacement.
TEST_F(SettingsFileTest, UnchangedSavesDoNotRewriteTheFile) {
    const auto inode = [this] {
        struct stat st {};
        EXPECT_EQ(stat(settingsPath().c_str(), &st), 0);
        return st.st_ino;
    };
    RegistryKey key;
    ASSERT_EQ(key.create(RegistryRoot::CurrentUser, kStore), kRegistryOk);
    ASSERT_EQ(key.setDword("Size", 1), kRegistryOk);
    const auto first = inode();
    bool created = true;
    ASSERT_EQ(key.create(RegistryRoot::CurrentUser, kStore, &created), kRegistryOk);
    EXPECT_FALSE(created);
    ASSERT_EQ(key.setDword("SIZE", 1), kRegistryOk);
    EXPECT_EQ(inode(), first);
    // The same bytes under another type are a change.
    const std::uint8_t one[4] = {1, 0, 0, 0};
    ASSERT_EQ(key.set("Size", RegistryType::Binary, one, 4), kRegistryOk);
    const auto second = inode();
    EXPECT_NE(second, first);
    ASSERT_EQ(key.set("Size", RegistryType::Binary, one, 3), kRegistryOk);
    EXPECT_NE(inode(), second);
    EXPECT_NE(readSettingsFile().find("\"Size\"=hex:01,00,00\r\n"), std::string::npos);
}

TEST_F(SettingsFileTest, ReadsAKeyThatWasWrittenByHandOrByRegedit) {
    writeSettingsFile(
        "REGEDIT4\n\n"
        "[HKEY_CURRENT_USER\\Software\\Nembra\\Ostrel7100V3Sdk\\Gain]\n"
        "\"Global\"=dword:0000012c\n"
        "\"Exposure\"=dword:00000064\n");
    RegistryKey key;
    ASSERT_EQ(
        key.open(RegistryRoot::CurrentUser, std::string(kStore) + "\\gain", RegistryAccess::Read),
        kRegistryOk);
    EXPECT_EQ(readDword(key, "Global"), 300u);
    EXPECT_EQ(readDword(key, "Exposure"), 100u);
    // Keys above a section exist even without sections of their own.
    RegistryKey parent;
    EXPECT_EQ(parent.open(RegistryRoot::CurrentUser, "Software\\Nembra", RegistryAccess::Read),
              kRegistryOk);
}

TEST_F(SettingsFileTest, DamagedFileReadsWhatItHoldsAndIsKeptAsideBeforeRewrite) {
    const std::string damaged =
        "REGEDIT4\n\n"
        "[HKEY_CURRENT_USER\\Software\\Nembra\\Ostrel7100V3Sdk]\n"
        "\"Size\"=dword:00000003\n"
        "\x7F\x45LF garbage \x01\x02\n"
        "\"Color\"=dword:00000002\n"
        "\"WaitTime\"=dword:0000";
    writeSettingsFile(damaged);
    RegistryKey key;
    ASSERT_EQ(key.open(RegistryRoot::CurrentUser, kStore, RegistryAccess::AllAccess), kRegistryOk);
    EXPECT_EQ(readDword(key, "Size"), 3u);
    EXPECT_EQ(readDword(key, "Color"), 2u);
    std::uint32_t size = 4;
    std::uint32_t value = 77;
    EXPECT_EQ(key.query("WaitTime", nullptr, &value, &size), kRegistryNotFound);
    EXPECT_EQ(value, 77u);

    ASSERT_EQ(key.setDword("Clock", 1), kRegistryOk);
    std::ifstream kept(settingsPath() + ".damaged", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), damaged);
    RegistryNode top;
    EXPECT_TRUE(parseRegistryText(readSettingsFile(), top));
    EXPECT_EQ(readDword(key, "Size"), 3u);
    EXPECT_EQ(readDword(key, "Clock"), 1u);
}

TEST_F(SettingsFileTest, AFileThatCannotBeReadIsNeverReplaced) {
    // A folder where the file should be: unreadable as a file, and must survive untouched.
    ASSERT_EQ(mkdir(settingsPath().c_str(), 0700), 0);
    ASSERT_EQ(mkdir((settingsPath() + "/inside").c_str(), 0700), 0);
    RegistryKey key;
    EXPECT_EQ(key.open(RegistryRoot::CurrentUser, kStore, RegistryAccess::Read), kRegistryIoFailed);
    EXPECT_EQ(key.create(RegistryRoot::CurrentUser, kStore), kRegistryIoFailed);
    EXPECT_TRUE(fs::is_directory(settingsPath() + "/inside"));
}

TEST_F(SettingsFileTest, AnOpenKeyStaysWithTheFileItWasOpenedIn) {
    RegistryKey key;
    ASSERT_EQ(key.create(RegistryRoot::CurrentUser, kStore), kRegistryOk);
    const std::string other = folder() + "/other.reg";
    ScopedEnv env("OSTREL_SETTINGS_FILE", other.c_str());
    ASSERT_EQ(key.setDword("Size", 5), kRegistryOk);
    RegistryKey sub;
    ASSERT_EQ(sub.create(key, "Gain"), kRegistryOk);
    ASSERT_EQ(sub.setDword("Global", 100), kRegistryOk);
    EXPECT_FALSE(fs::exists(other));
    EXPECT_EQ(readDword(key, "Size"), 5u);
    EXPECT_NE(
        readSettingsFile().find("[HKEY_CURRENT_USER\\Software\\Nembra\\Ostrel7100V3Sdk\\Gain]"),
        std::string::npos);
    RegistryKey fresh;
    EXPECT_EQ(fresh.open(RegistryRoot::CurrentUser, kStore, RegistryAccess::Read),
              kRegistryNotFound);
}

TEST_F(SettingsFileTest, MissingFoldersAreCreated) {
    const std::string nested = folder() + "/a/b/settings.reg";
    ScopedEnv env("OSTREL_SETTINGS_FILE", nested.c_str());
    RegistryKey key;
    EXPECT_EQ(key.open(RegistryRoot::CurrentUser, kStore, RegistryAccess::Read), kRegistryNotFound);
    ASSERT_EQ(key.create(RegistryRoot::CurrentUser, kStore), kRegistryOk);
    ASSERT_EQ(key.setDword("Size", 1), kRegistryOk);
    EXPECT_TRUE(fs::is_regular_file(nested));
    EXPECT_EQ(fs::status(folder() + "/a/b").permissions() & fs::perms::all, fs::perms::owner_all);
}

TEST_F(SettingsFileTest, DefaultPathFollowsXdgConfigHomeThenHome) {
    ScopedEnv noOverride("OSTREL_SETTINGS_FILE", nullptr);
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", folder().c_str());
        EXPECT_EQ(SettingsFile::userPath(), folder() + "/ostrel/Ostrel7100V3Sdk.reg");
        RegistryKey key;
        ASSERT_EQ(key.create(RegistryRoot::CurrentUser, kStore), kRegistryOk);
        ASSERT_EQ(key.setDword("Size", 4), kRegistryOk);
        EXPECT_TRUE(fs::is_regular_file(folder() + "/ostrel/Ostrel7100V3Sdk.reg"));
    }
    {
        // A relative XDG_CONFIG_HOME is ignored, as is an empty one.
        ScopedEnv xdg("XDG_CONFIG_HOME", "relative/config");
        ScopedEnv home("HOME", folder().c_str());
        EXPECT_EQ(SettingsFile::userPath(), folder() + "/.config/ostrel/Ostrel7100V3Sdk.reg");
        ScopedEnv emptyXdg("XDG_CONFIG_HOME", "");
        EXPECT_EQ(SettingsFile::userPath(), folder() + "/.config/ostrel/Ostrel7100V3Sdk.reg");
    }
    ScopedEnv overridePath("OSTREL_SETTINGS_FILE", "/elsewhere/x.reg");
    EXPECT_EQ(SettingsFile::userPath(), "/elsewhere/x.reg");
}

TEST_F(SettingsFileTest, ReplacementKeepsTheFileModeAndASymbolicLink) {
    const std::string target = folder() + "/real.reg";
    { std::ofstream create(target); }
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    ASSERT_EQ(symlink(target.c_str(), settingsPath().c_str()), 0);
    RegistryKey key;
    ASSERT_EQ(key.create(RegistryRoot::CurrentUser, kStore), kRegistryOk);
    ASSERT_EQ(key.setDword("Size", 2), kRegistryOk);
    EXPECT_TRUE(fs::is_symlink(settingsPath()));
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_NE(readSettingsFile().find("\"Size\"=dword:00000002"), std::string::npos);
}

TEST_F(SettingsFileTest, MachineKeysCannotBeCreatedOrDeleted) {
    RegistryKey key;
    EXPECT_EQ(key.create(RegistryRoot::LocalMachine, "SOFTWARE\\OstrelTests"),
              kRegistryAccessDenied);
    EXPECT_EQ(deleteKeyTree(RegistryRoot::LocalMachine, "SOFTWARE"), kRegistryAccessDenied);
    EXPECT_FALSE(fs::exists(settingsPath()));
}

// Each writer saves its own values and a shared one many times over; afterwards every value of
// every writer is there and the file reads without damage.
void writeMany(const std::string &prefix, int count, std::atomic<int> *failures) {
    RegistryKey key;
    RegistryKey own;
    if (key.create(RegistryRoot::CurrentUser, kStore) != kRegistryOk ||
        own.create(key, prefix) != kRegistryOk) {
        failures->fetch_add(1);
        return;
    }
    for (int i = 0; i < count; ++i) {
        if (key.setDword(prefix + std::to_string(i), static_cast<std::uint32_t>(i)) !=
                kRegistryOk ||
            key.setDword("Shared", static_cast<std::uint32_t>(i)) != kRegistryOk) {
            failures->fetch_add(1);
        }
    }
}

void expectAllWritten(const std::string &settings, const std::vector<std::string> &prefixes,
                      int count) {
    RegistryNode top;
    std::ifstream in(settings, std::ios::binary);
    EXPECT_TRUE(parseRegistryText(std::string(std::istreambuf_iterator<char>(in), {}), top));
    RegistryKey key;
    ASSERT_EQ(key.open(RegistryRoot::CurrentUser, kStore, RegistryAccess::Read), kRegistryOk);
    for (const std::string &prefix : prefixes) {
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(readDword(key, prefix + std::to_string(i)), static_cast<std::uint32_t>(i));
        }
        RegistryKey own;
        EXPECT_EQ(own.open(key, prefix, RegistryAccess::Read), kRegistryOk) << prefix;
    }
    EXPECT_EQ(readDword(key, "Shared"), static_cast<std::uint32_t>(count - 1));
}

TEST_F(SettingsFileTest, ThreadsSavingAtOnceLoseNothing) {
    constexpr int kCount = 40;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    std::vector<std::string> prefixes;
    for (int t = 0; t < 4; ++t) {
        prefixes.push_back("Thread" + std::to_string(t) + "_");
        threads.emplace_back(writeMany, prefixes.back(), kCount, &failures);
    }
    for (auto &thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures.load(), 0);
    expectAllWritten(settingsPath(), prefixes, kCount);
}

TEST_F(SettingsFileTest, ProcessesSavingAtOnceLoseNothing) {
    constexpr int kCount = 60;
    std::vector<pid_t> children;
    std::vector<std::string> prefixes;
    for (int p = 0; p < 3; ++p) {
        prefixes.push_back("Process" + std::to_string(p) + "_");
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::atomic<int> failures{0};
            writeMany(prefixes.back(), kCount, &failures);
            _exit(failures.load() == 0 ? 0 : 1);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    expectAllWritten(settingsPath(), prefixes, kCount);
}

TEST_F(SettingsFileTest, ReadersNeverSeeAHalfWrittenFile) {
    std::atomic<bool> done{false};
    std::atomic<int> bad{0};
    std::atomic<int> reads{0};
    std::thread reader([&] {
        while (!done.load() || reads.load() < 10) {
            std::ifstream in(settingsPath(), std::ios::binary);
            if (!in) {
                continue;
            }
            RegistryNode top;
            if (!parseRegistryText(std::string(std::istreambuf_iterator<char>(in), {}), top)) {
                bad.fetch_add(1);
            }
            reads.fetch_add(1);
        }
    });
    RegistryKey key;
    ASSERT_EQ(key.create(RegistryRoot::CurrentUser, kStore), kRegistryOk);
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(key.setString("Text" + std::to_string(i), std::string(200, 'x')), kRegistryOk);
    }
    done.store(true);
    reader.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_GE(reads.load(), 10);
}

}  // namespace
}  // namespace ostrel::platform

#endif  // !_WIN32
