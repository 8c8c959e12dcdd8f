// The per-test registry area of the registry tests.
#include "platform/registry_test_support.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include <filesystem>
#endif

namespace ostrel::platform::testing {

namespace {

std::atomic<int> gCounter{0};

std::string uniqueName() {
    const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
#ifdef _WIN32
    const unsigned long pid = GetCurrentProcessId();
#else
    const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
    return std::string(info->test_suite_name()) + "_" + info->name() + "_" + std::to_string(pid) +
           "_" + std::to_string(gCounter.fetch_add(1));
}

}  // namespace

void RegistryScratch::SetUp() {
#ifdef _WIN32
    base_ = "Software\\OstrelTests\\" + uniqueName();
#else
    base_ = "Software\\OstrelTests";
    std::string pattern = ::testing::TempDir() + "ostrel-registry-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    settingsPath_ = folder_ + "/" + uniqueName() + ".reg";
    setenv("OSTREL_SETTINGS_FILE", settingsPath_.c_str(), 1);
#endif
}

void RegistryScratch::TearDown() {
#ifdef _WIN32
    (void)deleteKeyTree(RegistryRoot::CurrentUser, base_);
#else
    unsetenv("OSTREL_SETTINGS_FILE");
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
#endif
}

#ifndef _WIN32
std::string RegistryScratch::readSettingsFile() const {
    std::ifstream in(settingsPath_, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void RegistryScratch::writeSettingsFile(const std::string &bytes) const {
    std::ofstream out(settingsPath_, std::ios::binary | std::ios::trunc);
    out << bytes;
}
#endif

}  // namespace ostrel::platform::testing
