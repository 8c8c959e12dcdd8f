// Saves that cannot succeed: unknown file types, no image yet, unusable names and paths, errors
// raised inside libjpeg, libpng and libtiff, and a disk that takes nothing. Each ends with a
// clear result, no crash, no message from libtiff and no file left open.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "output/decoders.h"
#include "output/save_image.h"
#include "output/test_files.h"
#include "output/test_images.h"

namespace ostrel::output {
namespace {

using test::ScratchDir;

const std::int32_t kAllTypes[] = {0, 1, 2, 3, 4, 5, 6};

// Open file descriptors of the process (Linux); -1 elsewhere, where the tests check instead that
// the file can be removed (Windows refuses to remove a file that is still open).
int openDescriptors() {
#if defined(__linux__)
    int count = 0;
    for ([[maybe_unused]] const auto &entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
#else
    return -1;
#endif
}

void expectClosedAndRemovable(const std::string &path, int descriptorsBefore) {
    EXPECT_EQ(openDescriptors(), descriptorsBefore);
    std::error_code error;
    if (std::filesystem::exists(path, error)) {
        EXPECT_TRUE(std::filesystem::remove(path, error)) << path << ": " << error.message();
    }
}

TEST(StillFailures, UnknownFileTypeWritesNothing) {
    ScratchDir dir;
    imaging::DibImage image;
    ASSERT_TRUE(test::makePattern(image, 4, 4, 24));
    for (std::int32_t type : {7, -1, 100}) {
        const std::string path = dir.file("unknown-" + std::to_string(type));
        EXPECT_EQ(saveImage(path.c_str(), image, type), SaveResult::UnknownFileType);
        EXPECT_FALSE(std::filesystem::exists(path));
    }
}

TEST(StillFailures, ImageWithNoFrameYetWritesNothing) {
    ScratchDir dir;
    const imaging::DibImage empty;
    for (std::int32_t type : kAllTypes) {
        const std::string path = dir.file("empty-" + std::to_string(type));
        EXPECT_EQ(saveImage(path.c_str(), empty, type), SaveResult::NoImage) << type;
        EXPECT_FALSE(std::filesystem::exists(path)) << type;
    }
}

TEST(StillFailures, ImageNeverConvertedIsSavedAsAWellFormedBlackPicture) {
    ScratchDir dir;
    imaging::DibImage image;
    ASSERT_TRUE(image.create(6, 4, 24));
    const std::string png = dir.file("black.png");
    const std::string jpg = dir.file("black.jpg");
    const std::string tif = dir.file("black.tif");
    ASSERT_EQ(saveImage(png.c_str(), image, 5), SaveResult::Saved);
    ASSERT_EQ(saveImage(jpg.c_str(), image, 2), SaveResult::Saved);
    ASSERT_EQ(saveImage(tif.c_str(), image, 6), SaveResult::Saved);
    for (const auto &decoded : {test::readPng(png), test::readJpeg(jpg), test::readTiff(tif)}) {
        ASSERT_TRUE(decoded.ok) << decoded.error;
        for (std::uint16_t sample : decoded.samples) {
            EXPECT_EQ(sample, 0);
        }
    }
}

TEST(StillFailures, MissingNameOrFolderFailsToOpenAndLeavesNothingOpen) {
    ScratchDir dir;
    imaging::DibImage image;
    ASSERT_TRUE(test::makePattern(image, 4, 4, 24));
    const int before = openDescriptors();
    for (std::int32_t type : kAllTypes) {
        const std::string path = dir.file("missing/x.img");
        EXPECT_EQ(saveImage(path.c_str(), image, type), SaveResult::OpenFailed) << type;
        EXPECT_EQ(saveImage(nullptr, image, type), SaveResult::BadFileName) << type;
        EXPECT_EQ(saveImage("", image, type), SaveResult::BadFileName) << type;
    }
    EXPECT_EQ(openDescriptors(), before);
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
}

TEST(StillFailures, JpegErrorEndsTheSaveWithTheFileClosed) {
    // libjpeg refuses pictures wider than 65500 pixels from inside jpeg_start_compress.
    ScratchDir dir;
    imaging::DibImage image;
    ASSERT_TRUE(image.create(65501, 1, 8));
    const std::string path = dir.file("too-wide.jpg");
    const int before = openDescriptors();
    EXPECT_EQ(saveImage(path.c_str(), image, 2), SaveResult::WriteFailed);
    expectClosedAndRemovable(path, before);

    // The writer is usable again at once.
    ASSERT_TRUE(test::makePattern(image, 8, 8, 8));
    EXPECT_EQ(saveImage(path.c_str(), image, 3), SaveResult::Saved);
    EXPECT_TRUE(test::readJpeg(path).ok);
}

TEST(StillFailures, PngErrorIsPrintedAndEndsTheSaveWithTheFileClosed) {
    // libpng refuses rows wider than its limit of a million pixels when the header is written.
    ScratchDir dir;
    imaging::DibImage image;
    ASSERT_TRUE(image.create(1'000'001, 1, 8));
    const std::string path = dir.file("too-wide.png");
    const int before = openDescriptors();
    testing::internal::CaptureStderr();
    const SaveResult result = saveImage(path.c_str(), image, 5);
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, SaveResult::WriteFailed);
    EXPECT_NE(printed.find("libpng error: "), std::string::npos) << printed;
    expectClosedAndRemovable(path, before);
}

#if defined(__linux__)
#include <sys/resource.h>
#endif

#if defined(__linux__)
// While it lives, files of this process cannot grow past a few kilobytes (writes beyond fail
// with EFBIG instead of raising SIGXFSZ), as on a disk that fills up during a save.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        active_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    bool active() const { return active_; }

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
    bool active_ = false;
};

TEST(StillFailures, DiskFillingUpDuringTheSaveFailsEveryFormatWithTheFileClosed) {
    ScratchDir dir;
    imaging::DibImage image;
    ASSERT_TRUE(image.create(300, 200, 24));
    std::uint32_t noise = 12345;  // incompressible, so that every format passes the limit
    test::fillImage(image, [&](int, int, int) {
        noise = noise * 1664525u + 1013904223u;
        return std::uint16_t(noise >> 24);
    });
    const int before = openDescriptors();
    std::vector<SaveResult> results;
    {
        FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.active());
        for (std::int32_t type : kAllTypes) {
            testing::internal::CaptureStderr();
            results.push_back(
                saveImage(dir.file("full-" + std::to_string(type)).c_str(), image, type));
            testing::internal::GetCapturedStderr();
        }
    }
    for (std::size_t i = 0; i < results.size(); ++i) {
        EXPECT_EQ(results[i], SaveResult::WriteFailed) << "type " << kAllTypes[i];
    }
    EXPECT_EQ(openDescriptors(), before);
}

TEST(StillFailures, DiskThatTakesNothingFailsEveryFormatQuietly) {
    // /dev/full opens but refuses every byte written to it.
    imaging::DibImage image;
    ASSERT_TRUE(test::makePattern(image, 300, 200, 24));
    const int before = openDescriptors();
    for (std::int32_t type : kAllTypes) {
        testing::internal::CaptureStderr();
        const SaveResult result = saveImage("/dev/full", image, type);
        const std::string printed = testing::internal::GetCapturedStderr();
        if (type == 6) {
            // libtiff writes its header while opening, so the failure shows there.
            EXPECT_EQ(result, SaveResult::OpenFailed);
        } else {
            EXPECT_EQ(result, SaveResult::WriteFailed) << "type " << type;
        }
        if (type != 5) {  // only libpng's errors are printed
            EXPECT_EQ(printed, "") << "type " << type;
        }
        EXPECT_EQ(openDescriptors(), before) << "type " << type;
    }
}
#endif

TEST(StillConcurrency, PngSavesOnSeveralThreadsAtOnceAreEachComplete) {
    ScratchDir dir;
    constexpr int kThreads = 4;
    std::vector<imaging::DibImage> images(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_TRUE(test::makePattern(images[t], 40 + t, 30, t % 2 == 0 ? 24 : 48));
    }
    std::vector<SaveResult> results(kThreads * 5, SaveResult::OpenFailed);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 5; ++i) {
                const std::string path = dir.file("t" + std::to_string(t) + ".png");
                results[t * 5 + i] = saveImage(path.c_str(), images[t], 5);
            }
        });
    }
    for (auto &thread : threads) {
        thread.join();
    }
    for (SaveResult result : results) {
        EXPECT_EQ(result, SaveResult::Saved);
    }
    for (int t = 0; t < kThreads; ++t) {
        const auto decoded = test::readPng(dir.file("t" + std::to_string(t) + ".png"));
        ASSERT_TRUE(decoded.ok) << decoded.error;
        EXPECT_EQ(decoded.width, 40 + t);
        const std::uint16_t red = test::sampleAt(images[t], 7, 9, 2);
        EXPECT_EQ(decoded.at(7, 9, 0), t % 2 == 0 ? red : std::uint16_t(red << 6));
    }
}

}  // namespace
}  // namespace ostrel::output
