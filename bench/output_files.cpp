// Still image saves and AVI frames at full sensor size (6576 × 4384, 24-bit), each beside a plain
// fwrite of the same number of bytes measured in the same run: the ratio says how much each
// format costs above writing its bytes to disk. Files go to $OSTREL_BENCH_DIR (default: the
// system's temporary folder).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench_files.h"
#include "output/save_image.h"

namespace {

using ostrel::bench::benchDir;
using ostrel::bench::benchFile;
using ostrel::bench::cameraLikePicture;
using ostrel::bench::kHeight;
using ostrel::bench::kWarmBytes;
using ostrel::bench::kWidth;
using ostrel::bench::settleDisk;
using ostrel::bench::timedAsFile;
using ostrel::output::SaveResult;

struct Format {
    const char *name;
    std::int32_t type;
    int iterations;
};

const Format kFormats[] = {
    {"bmp", 0, 5},    {"raw", 1, 5}, {"jpeg100", 2, 2}, {"jpeg70", 3, 2},
    {"jpeg20", 4, 2}, {"png", 5, 1}, {"tiff", 6, 5},
};

void saveStill(benchmark::State &state, Format format) {
    const std::string path = benchFile(std::string("still.") + format.name);
    (void)settleDisk(kWarmBytes);
    for (auto _ : state) {
        if (ostrel::output::saveImage(path.c_str(), cameraLikePicture(), format.type) !=
            SaveResult::Saved) {
            state.SkipWithError("save failed");
            break;
        }
    }
    std::filesystem::remove(path);
}

// The same number of bytes written with fopen, one fwrite and fclose.
void plainWrite(benchmark::State &state, std::size_t bytes) {
    static std::vector<std::uint8_t> buffer;
    if (buffer.size() < bytes) {
        buffer.assign(bytes, 0x5A);
    }
    const std::string path = benchFile("fwrite.bin");
    (void)settleDisk(kWarmBytes);
    for (auto _ : state) {
        std::FILE *file = std::fopen(path.c_str(), "wb");
        if (file == nullptr || std::fwrite(buffer.data(), 1, bytes, file) != bytes) {
            state.SkipWithError("fwrite failed");
            if (file != nullptr) {
                std::fclose(file);
            }
            break;
        }
        std::fclose(file);
    }
    std::filesystem::remove(path);
}

// The stride is 3 x width: the picture's pixels are the frame's bytes.
void aviFrame(benchmark::State &state) {
    const std::uint8_t *pixels = cameraLikePicture().pixels();
    ostrel::bench::appendFramesToAvi(state, "frames.avi", [pixels] { return pixels; });
}

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }

    ostrel::bench::reportCacheSettling();
    // Each format's file size, from one save made before timing.
    std::map<std::string, std::uintmax_t> fileBytes;
    for (const Format &format : kFormats) {
        const std::string path = benchFile(std::string("size.") + format.name);
        if (ostrel::output::saveImage(path.c_str(), cameraLikePicture(), format.type) !=
            SaveResult::Saved) {
            std::fprintf(stderr, "cannot save %s into %s\n", format.name, benchDir().c_str());
            return 1;
        }
        fileBytes[format.name] = std::filesystem::file_size(path);
        std::filesystem::remove(path);
    }

    std::vector<std::pair<std::string, std::string>> pairs;
    for (const Format &format : kFormats) {
        const std::string save = std::string("save/") + format.name;
        const std::string write = std::string("fwrite/") + format.name + "/" +
                                  std::to_string(fileBytes[format.name]) + "B";
        timedAsFile(benchmark::RegisterBenchmark(save.c_str(), saveStill, format),
                    format.iterations);
        timedAsFile(benchmark::RegisterBenchmark(write.c_str(), plainWrite, fileBytes[format.name]),
                    5);
        pairs.emplace_back(save, write);
    }
    timedAsFile(benchmark::RegisterBenchmark("avi/frame", aviFrame), 16);
    timedAsFile(benchmark::RegisterBenchmark("fwrite/frame", ostrel::bench::appendFramesWithFwrite),
                16);
    pairs.emplace_back("avi/frame", "fwrite/frame");

    ostrel::bench::FastestRunReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\nFastest of %d runs each, same run:\n", ostrel::bench::kFileRepetitions);
    std::printf("%-16s %12s %12s %12s %8s\n", "format", "file bytes", "save ms", "fwrite ms",
                "ratio");
    for (const auto &[save, write] : pairs) {
        const double saveMs = reporter.time(save);
        const double writeMs = reporter.time(write);
        if (saveMs <= 0 || writeMs <= 0) {
            continue;  // filtered out or failed
        }
        const std::string format = save.substr(save.find('/') + 1);
        const std::uintmax_t bytes =
            format == "frame" ? std::uintmax_t{kWidth} * kHeight * 3 + 8 : fileBytes[format];
        std::printf("%-16s %12ju %12.1f %12.1f %8.2f\n", save.c_str(), bytes, saveMs, writeMs,
                    saveMs / writeMs);
    }
    return 0;
}
