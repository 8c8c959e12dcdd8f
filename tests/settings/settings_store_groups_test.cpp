// The settings store's analog, image filter and gray filter groups: defaults, the shared gain
// temporary, two's-complement words and the exact values written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "settings/settings_store_fixture.h"
#include "settings/settings_store.h"

namespace ostrel::ui {
namespace {

using imaging::AnalogSettings;
using imaging::AnalogValues;
using imaging::SettingsBlock;
using imaging::SettingsValues;
using platform::RegistryType;
using testing::SettingsStoreTest;

std::vector<std::string> sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

// A block whose every word differs from every default, to see which words a load changed.
SettingsValues markedBlock() {
    SettingsValues values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = 1000 + static_cast<std::int32_t>(i);
    }
    return values;
}

constexpr AnalogValues kMarkedAnalog{1, 2, 3, 4, 5, 6, 7, 8, 9};

using AnalogSettingsStoreTest = SettingsStoreTest;

TEST_F(AnalogSettingsStoreTest, WithoutTheSubkeyUsesDefaultsAndTheDeviceMirrors) {
    AnalogSettings settings(kMarkedAnalog);
    EXPECT_TRUE(loadAnalogSettings(settings, 1, 0));  // the defaults are a successful load
    EXPECT_EQ(settings.values(), (AnalogValues{100, 0, 0, 0, 0, 100, 1, 0, 0}));
    EXPECT_FALSE(keyExists(""));

    createKey("");
    settings.assign(kMarkedAnalog);
    EXPECT_TRUE(loadAnalogSettings(settings, 0, 1));
    EXPECT_EQ(settings.values(), (AnalogValues{100, 0, 0, 0, 0, 100, 0, 1, 0}));
    EXPECT_FALSE(keyExists("Gain"));
}

TEST_F(AnalogSettingsStoreTest, OnlyGlobalGivesEveryColourGainTheGlobalGain) {
    putDword("Gain", "Global", 300);
    AnalogSettings settings(kMarkedAnalog);
    EXPECT_TRUE(loadAnalogSettings(settings, 0, 0));
    // The last four are read straight into their words, so missing ones stay as they were.
    EXPECT_EQ(settings.values(), (AnalogValues{300, 300, 300, 300, 300, 6, 7, 8, 9}));
}

TEST_F(AnalogSettingsStoreTest, MissingGlobalLoadsZero) {
    putDword("Gain", "ColorG1", 11);
    putDword("Gain", "ColorR", 12);
    putDword("Gain", "ColorB", 13);
    putDword("Gain", "ColorG2", 14);
    putDword("Gain", "Exposure", 2000);
    putDword("Gain", "V_Mirror", 1);
    putDword("Gain", "H_Mirror", 1);
    putDword("Gain", "AutoIris", 2);
    AnalogSettings settings(kMarkedAnalog);
    EXPECT_TRUE(loadAnalogSettings(settings, 0, 0));
    EXPECT_EQ(settings.values(), (AnalogValues{0, 11, 12, 13, 14, 2000, 1, 1, 2}));
}

TEST_F(AnalogSettingsStoreTest, UnreadableColourGainRepeatsTheValueBeforeIt) {
    putDword("Gain", "Global", 500);
    putDword("Gain", "ColorG1", 20);
    putString("Gain", "ColorB", "30");            // 3 bytes: not taken
    putBinary("Gain", "ColorG2", {40, 0, 0, 0});  // 4 bytes of another type: taken
    putString("Gain", "Exposure", "4455");        // 5 bytes: exposure stays
    AnalogSettings settings(kMarkedAnalog);
    EXPECT_TRUE(loadAnalogSettings(settings, 0, 0));
    EXPECT_EQ(settings.values(), (AnalogValues{500, 20, 20, 20, 40, 6, 7, 8, 9}));
}

TEST_F(AnalogSettingsStoreTest, SaveWritesNineDwordsThatLoadBack) {
    const AnalogValues saved{1023, -1, 7, -300, 0, 4455, 1, 0, 2};
    ASSERT_TRUE(saveAnalogSettings(AnalogSettings(saved)));
    EXPECT_EQ(sorted(valueNames("Gain")),
              (std::vector<std::string>{"AutoIris", "ColorB", "ColorG1", "ColorG2", "ColorR",
                                        "Exposure", "Global", "H_Mirror", "V_Mirror"}));
    EXPECT_EQ(storedDword("Gain", "Global"), 1023);
    EXPECT_EQ(storedDword("Gain", "ColorG1"), -1);
    EXPECT_EQ(storedDword("Gain", "ColorR"), 7);
    EXPECT_EQ(storedDword("Gain", "ColorB"), -300);
    EXPECT_EQ(storedDword("Gain", "ColorG2"), 0);
    EXPECT_EQ(storedDword("Gain", "Exposure"), 4455);
    EXPECT_EQ(storedDword("Gain", "V_Mirror"), 1);
    EXPECT_EQ(storedDword("Gain", "H_Mirror"), 0);
    EXPECT_EQ(storedDword("Gain", "AutoIris"), 2);
    // Saving a group creates the key but none of the main values or size entries.
    EXPECT_TRUE(valueNames("").empty());
    EXPECT_EQ(subkeyNames(""), std::vector<std::string>{"Gain"});

    AnalogSettings loaded(kMarkedAnalog);
    EXPECT_TRUE(loadAnalogSettings(loaded, 1, 1));
    EXPECT_EQ(loaded.values(), saved);

    // A second save replaces every value, whatever type it had.
    putString("Gain", "Exposure", "x");
    ASSERT_TRUE(saveAnalogSettings(AnalogSettings(kMarkedAnalog)));
    EXPECT_EQ(storedDword("Gain", "Exposure"), 6);
    EXPECT_TRUE(loadAnalogSettings(loaded, 0, 0));
    EXPECT_EQ(loaded.values(), kMarkedAnalog);
}

using ImageFilterStoreTest = SettingsStoreTest;

TEST_F(ImageFilterStoreTest, WithoutTheSubkeyUsesDefaultsAndClearsTheAutomaticWords) {
    SettingsBlock block(markedBlock());
    EXPECT_FALSE(loadImageFilterSettings(block));
    SettingsValues expected = markedBlock();
    const SettingsValues defaults{0, 0, 0, 0, 0, 100, 100, 100, 100, 3};
    std::copy_n(defaults.begin(), 10, expected.begin());
    std::fill(expected.begin() + 20, expected.end(), 0);  // words 21..30
    EXPECT_EQ(block.values(), expected);
    EXPECT_EQ(block.get(imaging::SettingsWord::AutoColourGain), 0);
    EXPECT_EQ(block.get(imaging::SettingsWord::AutoGrayGainCountdown), 0);
    EXPECT_EQ(block.get(imaging::SettingsWord::Reserved10), 1010);
    EXPECT_FALSE(keyExists(""));
}

TEST_F(ImageFilterStoreTest, StoredValuesLoadIntoWordsOneToTen) {
    putDword("Filter", "Brightness", static_cast<std::uint32_t>(-100));
    putDword("Filter", "Hue", 360);
    putDword("Filter", "R_Gain", 800);
    putDword("Filter", "Gamma", 0);
    putDword("Filter", "BayerMode", 7);  // loaded as stored
    putString("Filter", "Sharpness", "30");
    SettingsBlock block(markedBlock());
    EXPECT_TRUE(loadImageFilterSettings(block));
    SettingsValues expected = markedBlock();
    expected[0] = -100;
    expected[2] = 360;
    expected[5] = 800;
    expected[8] = 0;
    expected[9] = 7;
    EXPECT_EQ(block.values(), expected);
}

TEST_F(ImageFilterStoreTest, NegativeWordsAreStoredAsTwosComplement) {
    SettingsValues values = markedBlock();
    values[0] = -100;  // brightness
    values[1] = -127;  // contrast
    values[2] = -360;  // hue
    values[3] = -255;  // saturation
    ASSERT_TRUE(saveImageFilterSettings(SettingsBlock(values)));
    const std::optional<platform::RegistryValue> brightness = stored("Filter", "Brightness");
    ASSERT_TRUE(brightness);
    EXPECT_EQ(brightness->type, RegistryType::Dword);
    EXPECT_EQ(brightness->data, (std::vector<std::uint8_t>{0x9c, 0xff, 0xff, 0xff}));
    EXPECT_EQ(storedDword("Filter", "Contrast"), -127);
    EXPECT_EQ(storedDword("Filter", "Hue"), -360);
    EXPECT_EQ(storedDword("Filter", "Saturation"), -255);
    EXPECT_EQ(storedDword("Filter", "Sharpness"), 1004);
    EXPECT_EQ(storedDword("Filter", "R_Gain"), 1005);
    EXPECT_EQ(storedDword("Filter", "G_Gain"), 1006);
    EXPECT_EQ(storedDword("Filter", "B_Gain"), 1007);
    EXPECT_EQ(storedDword("Filter", "Gamma"), 1008);
    EXPECT_EQ(storedDword("Filter", "BayerMode"), 1009);
    EXPECT_EQ(valueNames("Filter").size(), 10u);

    SettingsBlock loaded{SettingsValues{}};
    EXPECT_TRUE(loadImageFilterSettings(loaded));
    SettingsValues expected{};
    std::copy_n(values.begin(), 10, expected.begin());
    EXPECT_EQ(loaded.values(), expected);
}

using GrayFilterStoreTest = SettingsStoreTest;

TEST_F(GrayFilterStoreTest, WithoutTheSubkeyUsesDefaultsForWordsTwelveToTwenty) {
    createKey("Filter");
    SettingsBlock block(markedBlock());
    EXPECT_FALSE(loadGrayFilterSettings(block));
    SettingsValues expected = markedBlock();
    const std::int32_t defaults[] = {0, 128, 128, 128, 128, 0, 0, 0, 0};
    std::copy(std::begin(defaults), std::end(defaults), expected.begin() + 11);
    EXPECT_EQ(block.values(), expected);
    EXPECT_FALSE(keyExists("Gray"));
}

TEST_F(GrayFilterStoreTest, SaveAndLoadKeepNegativeOffsets) {
    SettingsValues values = markedBlock();
    const std::int32_t gray[] = {2, 0, 255, 400, 17, -255, -1, 0, 255};
    std::copy(std::begin(gray), std::end(gray), values.begin() + 11);
    ASSERT_TRUE(saveGrayFilterSettings(SettingsBlock(values)));
    EXPECT_EQ(sorted(valueNames("Gray")),
              (std::vector<std::string>{"GainB1", "GainG1", "GainG2", "GainR1", "Mode", "OffsetB1",
                                        "OffsetG1", "OffsetG2", "OffsetR1"}));
    EXPECT_EQ(storedDword("Gray", "Mode"), 2);
    EXPECT_EQ(storedDword("Gray", "GainR1"), 0);
    EXPECT_EQ(storedDword("Gray", "GainG1"), 255);
    EXPECT_EQ(storedDword("Gray", "GainG2"), 400);
    EXPECT_EQ(storedDword("Gray", "GainB1"), 17);
    EXPECT_EQ(storedDword("Gray", "OffsetR1"), -255);
    EXPECT_EQ(storedDword("Gray", "OffsetG1"), -1);
    EXPECT_EQ(storedDword("Gray", "OffsetG2"), 0);
    EXPECT_EQ(storedDword("Gray", "OffsetB1"), 255);
    // Only the gray words went to "Gray"; nothing else was created.
    EXPECT_EQ(subkeyNames(""), std::vector<std::string>{"Gray"});

    SettingsBlock loaded(markedBlock());
    EXPECT_TRUE(loadGrayFilterSettings(loaded));
    EXPECT_EQ(loaded.values(), values);
}

TEST_F(GrayFilterStoreTest, MissingValuesLeaveTheirWords) {
    putDword("Gray", "OffsetG2", static_cast<std::uint32_t>(-40));
    putBinary("Gray", "Mode", {1});
    SettingsBlock block(markedBlock());
    EXPECT_TRUE(loadGrayFilterSettings(block));
    SettingsValues expected = markedBlock();
    expected[18] = -40;
    EXPECT_EQ(block.values(), expected);
}

using SettingsGroupsTest = SettingsStoreTest;

TEST_F(SettingsGroupsTest, ReleaseOrderSavesCreateTheThreeSubkeysBesideTheTable) {
    ImageGeometry geometry;
    ASSERT_FALSE(loadGeometry(geometry));  // first use
    AnalogSettings analog;
    SettingsBlock block;
    loadAnalogSettings(analog, 0, 0);
    ASSERT_FALSE(loadImageFilterSettings(block));
    ASSERT_FALSE(loadGrayFilterSettings(block));

    ASSERT_TRUE(saveAnalogSettings(analog));
    ASSERT_TRUE(saveImageFilterSettings(block));
    ASSERT_TRUE(saveGrayFilterSettings(block));
    EXPECT_EQ(sorted(subkeyNames("")),
              (std::vector<std::string>{"Filter", "Gain", "Gray", "Size_00"}));
    EXPECT_EQ(storedDword("Gain", "Global"), 100);
    EXPECT_EQ(storedDword("Filter", "BayerMode"), 3);
    EXPECT_EQ(storedDword("Gray", "GainB1"), 128);
    // The main values are those of the first use, untouched by the group saves.
    EXPECT_EQ(storedDword("", "Color"), 2);
    EXPECT_EQ(valueNames("").size(), 5u);

    // The next start loads what was saved.
    AnalogSettings analogAgain(kMarkedAnalog);
    SettingsBlock blockAgain(markedBlock());
    EXPECT_TRUE(loadImageFilterSettings(blockAgain));
    EXPECT_TRUE(loadGrayFilterSettings(blockAgain));
    EXPECT_TRUE(loadAnalogSettings(analogAgain, 1, 1));
    EXPECT_EQ(analogAgain.values(), analog.values());
    SettingsValues expected = markedBlock();
    std::copy_n(block.values().begin(), 20, expected.begin());
    expected[10] = 1010;  // word 11 is in neither group
    EXPECT_EQ(blockAgain.values(), expected);
}

#ifndef _WIN32
// A settings file that cannot be read: nothing loads, nothing is saved, and the defaults are
// not written over it.
TEST_F(SettingsGroupsTest, UnreadableSettingsFileFailsEveryOperation) {
    const char *current = std::getenv("OSTREL_SETTINGS_FILE");
    ASSERT_NE(current, nullptr);
    const std::string file = current;
    const std::string folder = file + ".d";
    ASSERT_EQ(setenv("OSTREL_SETTINGS_FILE", folder.c_str(), 1), 0);
    ASSERT_TRUE(std::filesystem::create_directory(folder));

    ImageGeometry geometry{1, 2, 3, 4, 5, 6, 7};
    EXPECT_FALSE(loadGeometry(geometry));
    EXPECT_EQ(geometry, (ImageGeometry{1, 2, 3, 4, 5, 6, 7}));
    StreamSettings stream;
    EXPECT_FALSE(loadStreamSettings(stream));
    CameraDialogTable table;
    EXPECT_FALSE(loadCameraDialogTable(table));
    EXPECT_FALSE(saveCameraDialogTable(table));
    EXPECT_FALSE(saveAnalogSettings(AnalogSettings{}));
    EXPECT_FALSE(saveImageFilterSettings(SettingsBlock{}));
    EXPECT_FALSE(saveGrayFilterSettings(SettingsBlock{}));
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    std::filesystem::remove(folder);
    ASSERT_EQ(setenv("OSTREL_SETTINGS_FILE", file.c_str(), 1), 0);
}
#endif

}  // namespace
}  // namespace ostrel::ui
