// The settings store's main key: first use, the selected geometry, the stream settings and the
// camera dialog's table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "settings/settings_store_fixture.h"
#include "settings/settings_store.h"

namespace ostrel::ui {
namespace {

using imaging::ColorMode;
using platform::RegistryType;
using testing::SettingsStoreTest;

// A geometry no stored entry holds, to see which fields a load changed.
constexpr ImageGeometry kUntouched{11, 12, 13, 14, 15, 16, 17};
constexpr StreamSettings kUntouchedStream{ColorMode::Bgr32, 2, 77, 5};

// The main key's values, in name order (the registry does not promise an enumeration order).
const std::vector<std::string> kMainValueNames{"Clock", "Color", "Size", "SubSample", "WaitTime"};

std::vector<std::string> sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

void putGeometry(const char *subkey, const ImageGeometry &g) {
    SettingsStoreTest::putDword(subkey, "TH", static_cast<std::uint32_t>(g.totalWidth));
    SettingsStoreTest::putDword(subkey, "TV", static_cast<std::uint32_t>(g.totalHeight));
    SettingsStoreTest::putDword(subkey, "EH", static_cast<std::uint32_t>(g.imageWidth));
    SettingsStoreTest::putDword(subkey, "EV", static_cast<std::uint32_t>(g.imageHeight));
    SettingsStoreTest::putDword(subkey, "EHS", static_cast<std::uint32_t>(g.originX));
    SettingsStoreTest::putDword(subkey, "EVS", static_cast<std::uint32_t>(g.originY));
    SettingsStoreTest::putDword(subkey, "Buf", static_cast<std::uint32_t>(g.bufferCount));
}

ImageGeometry storedGeometry(const char *subkey) {
    ImageGeometry g;
    g.totalWidth = SettingsStoreTest::storedDword(subkey, "TH").value_or(-1);
    g.totalHeight = SettingsStoreTest::storedDword(subkey, "TV").value_or(-1);
    g.imageWidth = SettingsStoreTest::storedDword(subkey, "EH").value_or(-1);
    g.imageHeight = SettingsStoreTest::storedDword(subkey, "EV").value_or(-1);
    g.originX = SettingsStoreTest::storedDword(subkey, "EHS").value_or(-1);
    g.originY = SettingsStoreTest::storedDword(subkey, "EVS").value_or(-1);
    g.bufferCount = SettingsStoreTest::storedDword(subkey, "Buf").value_or(-1);
    return g;
}

using GeometryLoadTest = SettingsStoreTest;

TEST_F(GeometryLoadTest, FirstUseCreatesTheDefaultsAndStillFails) {
    ImageGeometry geometry = kUntouched;
    EXPECT_FALSE(loadGeometry(geometry));
    EXPECT_EQ(geometry, kUntouched);

    EXPECT_EQ(storedDword("", "Size"), 0);
    EXPECT_EQ(storedDword("", "Color"), 2);
    EXPECT_EQ(storedDword("", "SubSample"), 0);
    EXPECT_EQ(storedDword("", "WaitTime"), 10);
    EXPECT_EQ(storedDword("", "Clock"), 0);
    EXPECT_EQ(sorted(valueNames("")), kMainValueNames);
    EXPECT_EQ(storedGeometry("Size_00"), (ImageGeometry{6576, 4384, 6576, 4384, 0, 0, 10}));
    // The analog and filter groups appear only when a context saves them.
    EXPECT_EQ(subkeyNames(""), std::vector<std::string>{"Size_00"});

    // The stream settings come from the values just written, and the next load succeeds.
    StreamSettings stream;
    ASSERT_TRUE(loadStreamSettings(stream));
    EXPECT_EQ(stream, (StreamSettings{ColorMode::Bgr24, 0, 10, 0}));
    ASSERT_TRUE(loadGeometry(geometry));
    EXPECT_EQ(geometry, kSensorGeometry);
}

TEST_F(GeometryLoadTest, LoadsTheEntryThatSizeSelectsAsStored) {
    putGeometry("Size_00", kSensorGeometry);
    putGeometry("Size_01", {100, 200, 300, 400, 5, 6, 7});
    // Too wide and off the sensor: the load takes it as it is; the caller's check refuses it.
    putGeometry("Size_02", {7000, 5000, 6800, 4400, -8, -1, 3});
    putDword("", "Size", 2);
    ImageGeometry geometry = kUntouched;
    ASSERT_TRUE(loadGeometry(geometry));
    EXPECT_EQ(geometry, (ImageGeometry{7000, 5000, 6800, 4400, -8, -1, 3}));

    putDword("", "Size", 1);
    ASSERT_TRUE(loadGeometry(geometry));
    EXPECT_EQ(geometry, (ImageGeometry{100, 200, 300, 400, 5, 6, 7}));
}

TEST_F(GeometryLoadTest, FailsWithoutTouchingGeometryOrStore) {
    putGeometry("Size_00", kSensorGeometry);
    putGeometry("Size_01", kSensorGeometry);
    putGeometry("Size_02", kSensorGeometry);
    ImageGeometry geometry = kUntouched;

    // "Size" missing: the key exists, so nothing is created or rewritten.
    EXPECT_FALSE(loadGeometry(geometry));
    EXPECT_EQ(geometry, kUntouched);
    EXPECT_TRUE(valueNames("").empty());

    // "Size" names an entry that is not there.
    putDword("", "Size", 3);
    EXPECT_FALSE(loadGeometry(geometry));
    EXPECT_EQ(geometry, kUntouched);

    // "Size" of another size than 4 bytes cannot be read.
    putString("", "Size", "1");
    EXPECT_FALSE(loadGeometry(geometry));
    EXPECT_EQ(geometry, kUntouched);
    EXPECT_EQ(subkeyNames("").size(), 3u);
}

TEST_F(GeometryLoadTest, SizeOutsideTheTableFails) {
    // Entries a table of 00..99 cannot hold, even when a key of that name exists.
    putGeometry("Size_-1", kSensorGeometry);
    putGeometry("Size_100", kSensorGeometry);
    ImageGeometry geometry = kUntouched;
    putDword("", "Size", 0xFFFFFFFFu);
    EXPECT_FALSE(loadGeometry(geometry));
    putDword("", "Size", 100);
    EXPECT_FALSE(loadGeometry(geometry));
    putDword("", "Size", 0x80000000u);
    EXPECT_FALSE(loadGeometry(geometry));
    EXPECT_EQ(geometry, kUntouched);

    putGeometry("Size_99", {1, 2, 3, 4, 5, 6, 7});
    putDword("", "Size", 99);
    ASSERT_TRUE(loadGeometry(geometry));
    EXPECT_EQ(geometry, (ImageGeometry{1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(GeometryLoadTest, TakesAnyFourByteValueAndSkipsOtherSizes) {
    putDword("", "Size", 0);
    createKey("Size_00");
    putBinary("Size_00", "TH", {0x10, 0x27, 0x00, 0x00});   // 10000, not a REG_DWORD
    putString("Size_00", "TV", "abc");                      // 4 bytes with the terminating 0
    putString("Size_00", "EH", "1234");                     // 5 bytes
    putBinary("Size_00", "EV", {0x01, 0x02});               // 2 bytes
    putBinary("Size_00", "EHS", {1, 2, 3, 4, 5, 6, 7, 8});  // 8 bytes
    putDword("Size_00", "Buf", 4);                          // "EVS" missing
    ImageGeometry geometry = kUntouched;
    ASSERT_TRUE(loadGeometry(geometry));
    EXPECT_EQ(geometry, (ImageGeometry{10000, 0x00636261, 13, 14, 15, 16, 4}));
}

using StreamSettingsLoadTest = SettingsStoreTest;

TEST_F(StreamSettingsLoadTest, MissingKeyFailsAndCreatesNothing) {
    StreamSettings stream = kUntouchedStream;
    EXPECT_FALSE(loadStreamSettings(stream));
    EXPECT_EQ(stream, kUntouchedStream);
    EXPECT_FALSE(keyExists(""));
}

TEST_F(StreamSettingsLoadTest, ReadsTheFourValues) {
    putDword("", "Color", 4);
    putDword("", "SubSample", 3);  // taken as stored: preparation refuses it later
    putDword("", "WaitTime", 25);
    putDword("", "Clock", 7);
    StreamSettings stream = kUntouchedStream;
    ASSERT_TRUE(loadStreamSettings(stream));
    EXPECT_EQ(stream, (StreamSettings{ColorMode::Bgr48, 3, 25, 7}));
}

TEST_F(StreamSettingsLoadTest, AbsentOrUnusableValuesLeaveFields) {
    createKey("");
    StreamSettings stream = kUntouchedStream;
    ASSERT_TRUE(loadStreamSettings(stream));
    EXPECT_EQ(stream, kUntouchedStream);

    putString("", "WaitTime", "25");
    putBinary("", "Clock", {1, 0});
    putDword("", "Color", 6);  // no such output format
    ASSERT_TRUE(loadStreamSettings(stream));
    EXPECT_EQ(stream, kUntouchedStream);

    putDword("", "Color", 0xFFFFFFFFu);
    putDword("", "WaitTime", 0xFFFFFFFFu);  // would stall the capture loop for 49 days
    ASSERT_TRUE(loadStreamSettings(stream));
    EXPECT_EQ(stream, kUntouchedStream);

    putDword("", "Color", 0);
    putDword("", "WaitTime", 0);
    putDword("", "Clock", 0xFFFFFFFFu);
    ASSERT_TRUE(loadStreamSettings(stream));
    EXPECT_EQ(stream, (StreamSettings{ColorMode::Mono8, 2, 0, 0xFFFFFFFFu}));
}

using CameraDialogTableTest = SettingsStoreTest;

TEST_F(CameraDialogTableTest, MissingKeyLeavesTheTable) {
    CameraDialogTable table;
    table.entryCount = 3;
    table.entries[0] = kUntouched;
    EXPECT_FALSE(loadCameraDialogTable(table));
    EXPECT_EQ(table.entryCount, 3);
    EXPECT_EQ(table.entries[0], kUntouched);
    EXPECT_EQ(table.stream, StreamSettings{});
}

TEST_F(CameraDialogTableTest, ReadsEntriesUpToTheFirstGapAndTheMainValues) {
    putGeometry("Size_00", kSensorGeometry);
    putGeometry("Size_01", {3288, 2192, 3288, 2192, 0, 0, 10});
    putGeometry("Size_03", {1, 2, 3, 4, 5, 6, 7});
    putDword("", "Size", 1);
    putDword("", "Color", 5);
    putDword("", "SubSample", 1);
    putDword("", "WaitTime", 40);
    putDword("", "Clock", 2);

    CameraDialogTable table;
    ASSERT_TRUE(loadCameraDialogTable(table));
    EXPECT_EQ(table.entryCount, 2);
    EXPECT_EQ(table.entries[0], kSensorGeometry);
    EXPECT_EQ(table.entries[1], (ImageGeometry{3288, 2192, 3288, 2192, 0, 0, 10}));
    EXPECT_EQ(table.entries[2], ImageGeometry{});
    EXPECT_EQ(table.entries[3], ImageGeometry{});
    EXPECT_EQ(table.selectedSize, 1);
    EXPECT_EQ(table.stream, (StreamSettings{ColorMode::Bgr64, 1, 40, 2}));
}

TEST_F(CameraDialogTableTest, SizeBeyondTheEntriesIsReadForTheDialogToResolve) {
    putGeometry("Size_00", kSensorGeometry);
    putGeometry("Size_01", kSensorGeometry);
    putGeometry("Size_02", kSensorGeometry);
    putDword("", "Size", 3);
    CameraDialogTable table;
    ASSERT_TRUE(loadCameraDialogTable(table));
    EXPECT_EQ(table.entryCount, 3);
    EXPECT_EQ(table.selectedSize, 3);
    ImageGeometry geometry = kUntouched;
    EXPECT_FALSE(loadGeometry(geometry));
}

TEST_F(CameraDialogTableTest, ReadsAtMostOneHundredEntries) {
    for (int i = 0; i <= 100; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "Size_%02d", i);
        putDword(name, "EH", static_cast<std::uint32_t>(i + 1));
    }
    CameraDialogTable table;
    ASSERT_TRUE(loadCameraDialogTable(table));
    EXPECT_EQ(table.entryCount, 100);
    EXPECT_EQ(table.entries[99].imageWidth, 100);
    EXPECT_EQ(table.entries[99].imageHeight, 0);
}

TEST_F(CameraDialogTableTest, SaveWritesTheCountedEntriesAndLeavesTheRest) {
    putGeometry("Size_00", kSensorGeometry);
    putGeometry("Size_01", kSensorGeometry);
    putGeometry("Size_03", {1, 2, 3, 4, 5, 6, 7});
    CameraDialogTable table;
    ASSERT_TRUE(loadCameraDialogTable(table));
    ASSERT_EQ(table.entryCount, 2);

    table.entries[1] = {4000, 3000, 2000, 1000, 16, 8, 12};
    table.selectedSize = 1;
    table.stream = {ColorMode::Bgr48, 0, 25, 0};
    ASSERT_TRUE(saveCameraDialogTable(table));
    EXPECT_EQ(storedGeometry("Size_00"), kSensorGeometry);
    EXPECT_EQ(storedGeometry("Size_01"), (ImageGeometry{4000, 3000, 2000, 1000, 16, 8, 12}));
    EXPECT_FALSE(keyExists("Size_02"));
    EXPECT_EQ(storedGeometry("Size_03"), (ImageGeometry{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(storedDword("", "Size"), 1);
    EXPECT_EQ(storedDword("", "Color"), 4);
    EXPECT_EQ(storedDword("", "SubSample"), 0);
    EXPECT_EQ(storedDword("", "WaitTime"), 25);
    EXPECT_EQ(storedDword("", "Clock"), 0);

    // What the dialog saved is what the context loads after OK.
    ImageGeometry geometry = kUntouched;
    ASSERT_TRUE(loadGeometry(geometry));
    EXPECT_EQ(geometry, (ImageGeometry{4000, 3000, 2000, 1000, 16, 8, 12}));
    StreamSettings stream = kUntouchedStream;
    ASSERT_TRUE(loadStreamSettings(stream));
    EXPECT_EQ(stream, (StreamSettings{ColorMode::Bgr48, 0, 25, 0}));

    // A new entry appended by the dialog fills the gap, and the next load sees all four.
    table.entries[2] = {640, 480, 640, 480, 0, 0, 10};
    table.entryCount = 3;
    ASSERT_TRUE(saveCameraDialogTable(table));
    CameraDialogTable reloaded;
    ASSERT_TRUE(loadCameraDialogTable(reloaded));
    EXPECT_EQ(reloaded.entryCount, 4);
    EXPECT_EQ(reloaded.entries[2], (ImageGeometry{640, 480, 640, 480, 0, 0, 10}));
}

TEST_F(CameraDialogTableTest, SaveOnAFreshProfileCreatesTheKey) {
    CameraDialogTable table;  // the dialog's initial record plus one custom entry
    table.entries[0] = {6576, 4384, 1000, 800, 10, 20, 10};
    table.entryCount = 1;
    ASSERT_TRUE(saveCameraDialogTable(table));
    EXPECT_EQ(storedGeometry("Size_00"), (ImageGeometry{6576, 4384, 1000, 800, 10, 20, 10}));
    EXPECT_EQ(sorted(valueNames("")), kMainValueNames);
    EXPECT_EQ(storedDword("", "Color"), 0);
    EXPECT_EQ(storedDword("", "WaitTime"), 10);
}

TEST_F(CameraDialogTableTest, SaveKeepsTheCountWithinTheTable) {
    CameraDialogTable table;
    table.entryCount = -4;
    table.stream.waitTime = 30;
    ASSERT_TRUE(saveCameraDialogTable(table));
    EXPECT_TRUE(subkeyNames("").empty());
    EXPECT_EQ(storedDword("", "WaitTime"), 30);

    for (std::size_t i = 0; i < CameraDialogTable::kMaxEntries; ++i) {
        table.entries[i].imageWidth = static_cast<std::int32_t>(i);
    }
    table.entryCount = 1000;
    ASSERT_TRUE(saveCameraDialogTable(table));
    EXPECT_EQ(subkeyNames("").size(), 100u);
    EXPECT_EQ(storedDword("Size_99", "EH"), 99);
    EXPECT_FALSE(keyExists("Size_100"));
}

}  // namespace
}  // namespace ostrel::ui
