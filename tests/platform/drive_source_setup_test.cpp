// The drive source preparation the library's entry point runs before its first discovery.
#include <gtest/gtest.h>

#include "platform/drive_source_setup.h"

namespace ostrel::platform {
namespace {

int gFirstCalls = 0;
int gSecondCalls = 0;

TEST(DriveSourceSetup, RunsTheRegisteredPreparationEachTimeAndNoneOnceRemoved) {
    prepareDriveSources();  // nothing registered in this program: nothing to run, no crash
    setDriveSourcePreparation([] { ++gFirstCalls; });
    prepareDriveSources();
    prepareDriveSources();
    EXPECT_EQ(gFirstCalls, 2);
    setDriveSourcePreparation([] { ++gSecondCalls; });  // replaces the first
    prepareDriveSources();
    EXPECT_EQ(gFirstCalls, 2);
    EXPECT_EQ(gSecondCalls, 1);
    setDriveSourcePreparation(nullptr);
    prepareDriveSources();
    EXPECT_EQ(gSecondCalls, 1);
}

}  // namespace
}  // namespace ostrel::platform
