// The module-definition file that gives the Windows DLL its exports: exactly the 117 names,
// thirteen sharing the unsupported entry point, three sharing the zeroing one, and a name for
// every row of the filter-value table.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "api/filter_value_exports.h"

namespace {

// The file lies in the source tree beside the sources of the exports.
std::string defPath() {
    std::string here = __FILE__;
    const std::size_t tests = here.rfind("tests");
    return here.substr(0, tests) + "src/api/OstrelSdk.def";
}

// Exported name -> internal name ("" when the name is its own entry point).
std::map<std::string, std::string> readExports() {
    std::ifstream file(defPath());
    EXPECT_TRUE(file.is_open()) << defPath();
    std::map<std::string, std::string> exports;
    std::string line;
    bool inside = false;
    while (std::getline(file, line)) {
        line = line.substr(0, line.find(';'));
        std::istringstream words(line);
        std::string first;
        if (!(words >> first)) {
            continue;
        }
        if (first == "EXPORTS") {
            inside = true;
            continue;
        }
        if (first == "LIBRARY") {
            continue;
        }
        if (!inside) {
            continue;
        }
        std::string equals;
        std::string internal;
        if (words >> equals) {
            EXPECT_EQ(equals, "=") << line;
            words >> internal;
        }
        EXPECT_TRUE(exports.emplace(first, internal).second) << first << " listed twice";
    }
    return exports;
}

TEST(ModuleDefinition, ExportsOneHundredSeventeenNamesAtOneHundredThreeEntryPoints) {
    const auto exports = readExports();
    EXPECT_EQ(exports.size(), 117u);
    std::map<std::string, std::set<std::string>> shared;
    std::size_t own = 0;
    for (const auto &[name, internal] : exports) {
        EXPECT_EQ(name.rfind("Ostrel_", 0), 0u) << name;
        if (internal.empty()) {
            ++own;
        } else {
            shared[internal].insert(name);
        }
    }
    EXPECT_EQ(own + shared.size(), 103u);
    EXPECT_EQ(
        shared["ostrelUnsupportedEntry"],
        (std::set<std::string>{"Ostrel_Fps", "Ostrel_GetCameraType", "Ostrel_GetCaptureWindowEx",
                               "Ostrel_GetIOPort", "Ostrel_SetCameraType",
                               "Ostrel_SetCaptureWindow", "Ostrel_SetCaptureWindowEx",
                               "Ostrel_SetCrossbar", "Ostrel_SetHalfClock", "Ostrel_SetIOPort",
                               "Ostrel_SetSamplingRate", "Ostrel_SetSubSample", "Ostrel_Trigger"}));
    EXPECT_EQ(shared["ostrelZeroingEntry"],
              (std::set<std::string>{"Ostrel_GetHalfClock", "Ostrel_GetSamplingRate",
                                     "Ostrel_GetVideoFormat"}));
    EXPECT_EQ(shared.size(), 2u);
}

TEST(ModuleDefinition, ListsEveryFilterValueSetterAndGetter) {
    const auto exports = readExports();
    std::set<int> ids;
#define OSTREL_CHECK_LISTED(Name, filterId)                                 \
    EXPECT_EQ(exports.count("Ostrel_Set" #Name), 1u) << "Ostrel_Set" #Name; \
    EXPECT_EQ(exports.count("Ostrel_Get" #Name), 1u) << "Ostrel_Get" #Name; \
    EXPECT_TRUE(ids.insert(filterId).second) << #Name " repeats id " << filterId;
    OSTREL_FILTER_VALUE_EXPORTS(OSTREL_CHECK_LISTED)
#undef OSTREL_CHECK_LISTED
    EXPECT_EQ(ids.size(), 27u);
    EXPECT_EQ(*ids.begin(), 1);
    EXPECT_EQ(*ids.rbegin(), 27);
}

}  // namespace
