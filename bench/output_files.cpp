// Still image saves and AVI frames at full sensor size (6576 × 4384, 24-bit), each beside a plain
// fwrite of the same number of bytes measured in the same run: the ratio says how much each
// format costs above writing its bytes to disk. Files go to $OSTREL_BENCH_DIR (default: the
// system's temporary folder).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench_files.h"
#include "imaging/dib_image.h"
#include "output/avi_writer.h"
#include "output/save_image.h"

namespace {

using ostrel::bench::benchDir;
using ostrel::bench::benchFile;
using ostrel::bench::cameraLikePicture;
using ostrel::bench::kFramesPerFile;
using ostrel::bench::kHeight;
using ostrel::bench::kWarmBytes;
using ostrel::bench::kWidth;
using ostrel::bench::settleDisk;
using ostrel::imaging::DibImage;
using ostrel::output::AviFrameResult;
using ostrel::output::AviWriter;
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

void aviFrame(benchmark::State &state) {
    const std::string path = benchFile("frames.avi");
    AviWriter writer;
    auto restart = [&] {
        (void)writer.closeRecording();
        writer.setWidth(kWidth);
        writer.setHeight(kHeight);
        writer.setBitCount(24);
        writer.setRate(30);
        writer.setFrameCount(0);
        return writer.openRecording(path.c_str());
    };
    if (!restart()) {
        state.SkipWithError("cannot open the AVI file");
        return;
    }
    // The stride is 3 × width: the pixels are the frame's bytes.
    const std::uint8_t *pixels = cameraLikePicture().pixels();
    (void)settleDisk(kWarmBytes);
    for (auto _ : state) {
        if (writer.frameCount() == kFramesPerFile) {
            state.PauseTiming();
            const bool reopened = restart();
            state.ResumeTiming();
            if (!reopened) {
                state.SkipWithError("cannot reopen the AVI file");
                break;
            }
        }
        if (writer.writeFrame(pixels) != AviFrameResult::Written) {
            state.SkipWithError("frame not written");
            break;
        }
        writer.setFrameCount(writer.frameCount() + 1);
    }
    (void)writer.closeRecording();
    std::filesystem::remove(path);
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
        benchmark::RegisterBenchmark(save.c_str(), saveStill, format)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(format.iterations)
            ->Repetitions(ostrel::bench::kFileRepetitions);
        benchmark::RegisterBenchmark(write.c_str(), plainWrite, fileBytes[format.name])
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(5)
            ->Repetitions(ostrel::bench::kFileRepetitions);
        pairs.emplace_back(save, write);
    }
    benchmark::RegisterBenchmark("avi/frame", aviFrame)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(16)
        ->Repetitions(ostrel::bench::kFileRepetitions);
    benchmark::RegisterBenchmark("fwrite/frame", ostrel::bench::appendFramesWithFwrite)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(16)
        ->Repetitions(ostrel::bench::kFileRepetitions);
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
