// The registry export text: exact formatting, faithful round trips, and reading damaged text
// without ever inventing a value.
#include "platform/registry_text.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/registry_test_support.h"

namespace ostrel::platform {
namespace {

using testing::bytesValue;
using testing::dwordValue;
using testing::FlatRegistry;
using testing::flatten;
using testing::stringValue;

constexpr const char *kStore = "HKEY_CURRENT_USER\\Software\\Nembra\\Ostrel7100V3Sdk";

// A tree with every kind of value the settings file must carry.
void buildSample(RegistryNode &top) {
    RegistryNode &main = *top.create(kStore);
    main.setValue(dwordValue("Size", 0));
    main.setValue(dwordValue("WaitTime", 10));
    main.setValue(stringValue("Quoted", "say \"hi\" to C:\\dir"));
    main.setValue(stringValue("", "default"));
    main.setValue(bytesValue("Blob", 3, {0x00, 0x7F, 0xFF}));
    RegistryNode &gain = *top.create(std::string(kStore) + "\\Gain");
    gain.setValue(dwordValue("Global", 300));
    gain.setValue(dwordValue("Brightness", 0xFFFFFF9C));  // -100
    gain.setValue(bytesValue("Multi", 7, {'a', 0, 'b', 0, 0}));
    gain.setValue(bytesValue("Short", 4, {1, 2}));
    gain.setValue(stringValue("Empty", ""));
    gain.setValue(bytesValue("Raw", 1, {'x', '\n', 'y', 0}));
    gain.setValue(bytesValue("NoEnd", 1, {'a', 'b'}));
    std::vector<std::uint8_t> long_(60);
    for (std::size_t i = 0; i < long_.size(); ++i) {
        long_[i] = static_cast<std::uint8_t>(i * 7);
    }
    gain.setValue(bytesValue("Long", 3, long_));
    top.create(std::string(kStore) + "\\Size_00")->setValue(dwordValue("TH", 6576));
}

std::string sampleText() {
    RegistryNode top;
    buildSample(top);
    return formatRegistryText(top);
}

TEST(RegistryText, FormatsAsRegeditExport) {
    RegistryNode top;
    RegistryNode &key = *top.create("HKEY_CURRENT_USER\\Software\\T");
    key.setValue(dwordValue("WaitTime", 10));
    key.setValue(stringValue("Name", "a\"b\\c"));
    key.setValue(stringValue("", ""));
    key.setValue(bytesValue("Bin", 3, {0x00, 0xAB}));
    key.setValue(bytesValue("Multi", 7, {'a', 0, 0}));
    key.setValue(bytesValue("Q", 11, {}));
    top.create("HKEY_CURRENT_USER\\Software\\T\\Sub")->setValue(dwordValue("Neg", 0xFFFFFF9C));
    EXPECT_EQ(formatRegistryText(top),
              "REGEDIT4\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software]\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software\\T]\r\n"
              "\"WaitTime\"=dword:0000000a\r\n"
              "\"Name\"=\"a\\\"b\\\\c\"\r\n"
              "@=\"\"\r\n"
              "\"Bin\"=hex:00,ab\r\n"
              "\"Multi\"=hex(7):61,00,00\r\n"
              "\"Q\"=hex(b):\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software\\T\\Sub]\r\n"
              "\"Neg\"=dword:ffffff9c\r\n"
              "\r\n");
}

TEST(RegistryText, WrapsLongHexListsWithinEightyColumns) {
    const std::string text = sampleText();
    std::size_t start = 0;
    int continued = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
        if (text.compare(end - 1, 1, "\\") == 0) {
            ++continued;
            EXPECT_EQ(text.compare(end + 2, 2, "  "), 0);
        }
        start = end + 2;
    }
    EXPECT_GE(continued, 2);  // the 60-byte list takes three lines
}

TEST(RegistryText, RoundTripKeepsTypesBytesOrderAndSpelling) {
    RegistryNode original;
    buildSample(original);
    const std::string text = formatRegistryText(original);
    RegistryNode parsed;
    ASSERT_TRUE(parseRegistryText(text, parsed));
    EXPECT_EQ(flatten(parsed), flatten(original));
    EXPECT_EQ(formatRegistryText(parsed), text);
    const RegistryNode *gain = parsed.find(std::string(kStore) + "\\gain");
    ASSERT_NE(gain, nullptr);
    EXPECT_EQ(gain->name(), "Gain");
    ASSERT_EQ(gain->values().size(), 8u);
    EXPECT_EQ(gain->values()[0].name, "Global");
    EXPECT_EQ(gain->values()[7].name, "Long");
    const RegistryNode *store = parsed.find(kStore);
    ASSERT_EQ(store->subkeys().size(), 2u);
    EXPECT_EQ(store->subkeys()[0]->name(), "Gain");
    EXPECT_EQ(store->subkeys()[1]->name(), "Size_00");
}

TEST(RegistryText, ReadsHandWrittenVariants) {
    RegistryNode top;
    const bool clean = parseRegistryText(
        "\xEF\xBB\xBF"
        "REGEDIT4\n"
        "; a comment\n"
        "[HKEY_CURRENT_USER\\Software\\X]\n"
        "  \"Small\" = dword:A  \n"
        "\"Hex\"=hex(2):41 , 42,\\\n"
        "    43\\\n"
        "  44\n"
        "\"Dup\"=dword:00000001\n"
        "\"Odd\\q\"=\"back\\slash\"\n"
        "[hkey_current_user\\software\\x]\n"
        "\"dup\"=dword:00000002\n"
        "\"Gone\"=-\n"
        "[-HKEY_CURRENT_USER\\Software\\Deleted]\n"
        "\"Ignored\"=dword:00000001\n"
        "[HKEY_CURRENT_USER\\Software\\\\Y\\]\n"
        "@=\"d\"\n",
        top);
    EXPECT_TRUE(clean);
    FlatRegistry expected;
    expected["HKEY_CURRENT_USER\\Software\\X|Small"] = {4, {10, 0, 0, 0}};
    expected["HKEY_CURRENT_USER\\Software\\X|Hex"] = {2, {'A', 'B', 'C', 'D'}};
    expected["HKEY_CURRENT_USER\\Software\\X|Dup"] = {4, {2, 0, 0, 0}};
    expected["HKEY_CURRENT_USER\\Software\\X|Odd\\q"] = {
        1, {'b', 'a', 'c', 'k', '\\', 's', 'l', 'a', 's', 'h', 0}};
    expected["HKEY_CURRENT_USER\\Software\\Y|"] = {1, {'d', 0}};
    EXPECT_EQ(flatten(top), expected);
    EXPECT_EQ(top.find("HKEY_CURRENT_USER\\Software\\X")->values()[2].name, "Dup");
}

TEST(RegistryText, ReadsRegeditUnicodeExport) {
    const std::u16string text =
        u"Windows Registry Editor Version 5.00\r\n\r\n"
        u"[HKEY_CURRENT_USER\\Software\\U]\r\n"
        u"\"Name\"=\"Gr\u00fc\u00dfe \u2713 \U0001F600\"\r\n"
        u"\"D\"=dword:00000010\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    RegistryNode top;
    EXPECT_TRUE(parseRegistryText(bytes, top));
    FlatRegistry expected;
    const std::string utf8 =
        "Gr\xC3\xBC\xC3\x9F"
        "e \xE2\x9C\x93 \xF0\x9F\x98\x80";
    expected["HKEY_CURRENT_USER\\Software\\U|Name"] = {1, {utf8.begin(), utf8.end()}};
    expected["HKEY_CURRENT_USER\\Software\\U|Name"].second.push_back(0);
    expected["HKEY_CURRENT_USER\\Software\\U|D"] = {4, {16, 0, 0, 0}};
    EXPECT_EQ(flatten(top), expected);
}

struct DamageCase {
    std::string text;
    FlatRegistry kept;
};

TEST(RegistryText, SkipsDamageAndKeepsTheRest) {
    const std::string k = "HKEY_CURRENT_USER\\K";
    const std::vector<DamageCase> cases = {
        // A value outside any section belongs nowhere.
        {"\"A\"=dword:00000001\n[HKEY_CURRENT_USER\\K]\n\"B\"=dword:00000002\n",
         {{k + "|B", {4, {2, 0, 0, 0}}}}},
        // A broken section header must not hand its values to the section before it.
        {"[HKEY_CURRENT_USER\\K]\n\"A\"=dword:00000001\n[HKEY_CURRENT_USER\\L\n"
         "\"B\"=dword:00000002\n",
         {{k + "|A", {4, {1, 0, 0, 0}}}}},
        // Garbage lines, bad digits, unclosed strings, trailing junk, missing '='.
        {"[HKEY_CURRENT_USER\\K]\n\x01\x02garbage\n\"A\"=dword:0000000g\n\"B\"=\"open\n"
         "\"C\"=\"x\"y\n\"D\" dword:00000001\n\"E\"=dword:123456789\n\"F\"=hex:1,,2\n"
         "\"G\"=word:1\n\"H\"=dword:00000005\n",
         {{k + "|H", {4, {5, 0, 0, 0}}}}},
        // A hex list whose continuation never comes is dropped; the next line still counts.
        {"[HKEY_CURRENT_USER\\K]\n\"A\"=hex:01,02,\\\n\"B\"=dword:00000002\n",
         {{k + "|B", {4, {2, 0, 0, 0}}}}},
        {"[HKEY_CURRENT_USER\\K]\n\"A\"=hex:01,02,\\\n[HKEY_CURRENT_USER\\K]\n\"B\"=\"b\"\n",
         {{k + "|B", {1, {'b', 0}}}}},
        // A section path starting with a backslash is refused.
        {"[\\X]\n\"A\"=dword:00000001\n", {}},
        // A 0 byte inside a line breaks only that line.
        {std::string("[HKEY_CURRENT_USER\\K]\n\"A\"=dword:000") + '\0' +
             "0001\n\"B\"=dword:00000002\n",
         {{k + "|B", {4, {2, 0, 0, 0}}}}},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        RegistryNode top;
        EXPECT_FALSE(parseRegistryText(cases[i].text, top)) << "case " << i;
        EXPECT_EQ(flatten(top), cases[i].kept) << "case " << i;
    }
}

// Cut anywhere, the text yields every value whose line was complete and nothing that the whole
// text does not hold: no value is ever read with bytes it did not have.
TEST(RegistryText, TruncatedAnywhereKeepsOnlyCompleteValues) {
    const std::string text = sampleText();
    RegistryNode whole;
    ASSERT_TRUE(parseRegistryText(text, whole));
    const FlatRegistry all = flatten(whole);
    for (std::size_t length = 0; length <= text.size(); ++length) {
        const std::string cut = text.substr(0, length);
        RegistryNode top;
        const bool clean = parseRegistryText(cut, top);
        const FlatRegistry got = flatten(top);
        for (const auto &[key, value] : got) {
            const auto it = all.find(key);
            ASSERT_NE(it, all.end()) << "invented " << key << " at length " << length;
            ASSERT_EQ(it->second, value) << key << " altered at length " << length;
        }
        const std::size_t lineEnd = cut.rfind('\n');
        RegistryNode complete;
        parseRegistryText(cut.substr(0, lineEnd == std::string::npos ? 0 : lineEnd + 1), complete);
        for (const auto &[key, value] : flatten(complete)) {
            ASSERT_EQ(got.count(key), 1u) << key << " lost at length " << length;
        }
        if (length == text.size()) {
            EXPECT_TRUE(clean);
        }
    }
}

TEST(RegistryText, UnterminatedLastLineCountsOnlyWhenEvidentlyWhole) {
    const std::string head = "[HKEY_CURRENT_USER\\K]\r\n";
    const std::vector<std::pair<std::string, bool>> cases = {
        {"\"A\"=dword:0000000a", true}, {"\"A\"=dword:0000000", false},
        {"\"A\"=\"text\"", true},       {"\"A\"=\"tex", false},
        {"\"A\"=hex:01,02", false},     {"\"A\"=hex:01,\\\r\n  02", false},
    };
    for (const auto &[line, kept] : cases) {
        RegistryNode top;
        EXPECT_EQ(parseRegistryText(head + line, top), kept) << line;
        EXPECT_EQ(flatten(top).size(), kept ? 1u : 0u) << line;
    }
}

// Random garbage in place of one value line costs that value only.
TEST(RegistryText, GarbageLineLosesOnlyItsOwnValue) {
    const std::string text = sampleText();
    RegistryNode whole;
    ASSERT_TRUE(parseRegistryText(text, whole));
    const FlatRegistry all = flatten(whole);
    std::mt19937 random(1234);
    std::size_t start = 0;
    int damagedLines = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        const std::string line = text.substr(start, end - start);
        if (line.rfind("\"", 0) == 0 && line.back() != '\\') {
            std::string garbage(line.size(), ' ');
            for (char &c : garbage) {
                do {
                    c = static_cast<char>(random() & 0xFF);
                } while (c == '\n' || c == '"' || c == '@' || c == '[');
            }
            const std::string mangled = text.substr(0, start) + garbage + text.substr(end);
            RegistryNode top;
            parseRegistryText(mangled, top);
            const FlatRegistry got = flatten(top);
            const std::size_t quote = line.find('"', 1);
            std::string lostName = line.substr(1, quote - 1);
            std::size_t lost = 0;
            for (const auto &[key, value] : all) {
                if (got.count(key) == 0) {
                    ++lost;
                    EXPECT_EQ(key.substr(key.find('|') + 1), lostName);
                } else {
                    EXPECT_EQ(got.at(key), value) << key;
                }
            }
            EXPECT_EQ(lost, 1u) << line;
            EXPECT_EQ(got.size(), all.size() - 1);
            ++damagedLines;
        }
        start = end + 2;
    }
    EXPECT_GE(damagedLines, 10);
}

}  // namespace
}  // namespace ostrel::platform
