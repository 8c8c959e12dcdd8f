// Still images saved under wide file names: the name's conversion and its buffer limit, then the
// same file as the narrow name gives.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "context/wide_still_name.h"
#include "output/save_image.h"
#include "output/test_files.h"
#include "output/test_images.h"

namespace ostrel::context {
namespace {

using output::saveImage;
using output::SaveResult;
using output::test::ScratchDir;
namespace test = output::test;

TEST(StillFailures, WideNameMustFitTheNameBufferWithItsTerminator) {
    ScratchDir dir;
    imaging::DibImage image;
    ASSERT_TRUE(test::makePattern(image, 4, 4, 8));
    // A name of exactly n bytes in the scratch folder: the folder, "/", "./" repeated, a file.
    auto nameOfLength = [&](std::size_t n) {
        std::string name = dir.path().string() + "/";
        const std::string leaf = "x.bmp";
        while (name.size() + leaf.size() < n) {
            name += (n - name.size() - leaf.size()) % 2 == 1 ? "/" : "./";
        }
        return name + leaf;
    };
    const std::string fits = nameOfLength(kWideNameBufferBytes - 1);
    const std::string tooLong = nameOfLength(kWideNameBufferBytes);
    ASSERT_EQ(fits.size(), 1023u);
    ASSERT_EQ(tooLong.size(), 1024u);
    const std::wstring wideFits(fits.begin(), fits.end());
    const std::wstring wideTooLong(tooLong.begin(), tooLong.end());

    EXPECT_EQ(saveImageUnderWideName(wideTooLong.c_str(), image, 0), SaveResult::NameNotConverted);
    EXPECT_EQ(saveImageUnderWideName(std::wstring(5000, L'a').c_str(), image, 0),
              SaveResult::NameNotConverted);
    EXPECT_EQ(saveImageUnderWideName(nullptr, image, 0), SaveResult::NameNotConverted);
#if !defined(_WIN32)
    const wchar_t loneSurrogate[] = {0xD800, L'.', L'b', L'm', L'p', 0};  // no UTF-8 form
    EXPECT_EQ(saveImageUnderWideName(loneSurrogate, image, 0), SaveResult::NameNotConverted);
#endif
    // An empty name converts; it is then refused like an empty narrow one.
    EXPECT_EQ(saveImageUnderWideName(L"", image, 0), SaveResult::BadFileName);
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.bmp")));
#if defined(_WIN32)
    // The system may refuse a path this long; the name itself was accepted.
    EXPECT_NE(saveImageUnderWideName(wideFits.c_str(), image, 0), SaveResult::NameNotConverted);
#else
    EXPECT_EQ(saveImageUnderWideName(wideFits.c_str(), image, 0), SaveResult::Saved);
    EXPECT_EQ(test::readFile(dir.file("x.bmp")).size(), 1078u + 4 * 4);
#endif
}

TEST(StillFailures, WideNameSavesLikeTheNarrowOne) {
    ScratchDir dir;
    imaging::DibImage image;
    ASSERT_TRUE(test::makePattern(image, 5, 3, 24));
    const std::string narrow = dir.file("same.tif");
    const std::wstring wide(narrow.begin(), narrow.end());
    ASSERT_EQ(saveImageUnderWideName(wide.c_str(), image, 6), SaveResult::Saved);
    const auto viaWide = test::readFile(narrow);
    ASSERT_EQ(saveImage(narrow.c_str(), image, 6), SaveResult::Saved);
    EXPECT_EQ(test::readFile(narrow), viaWide);
    EXPECT_EQ(saveImageUnderWideName(wide.c_str(), image, 9), SaveResult::UnknownFileType);
}

}  // namespace
}  // namespace ostrel::context
