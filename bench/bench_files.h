// What the file benchmarks share: the full-size picture they write, where they write it, how each
// run starts from the same state of the system's file cache, and a report that keeps each
// benchmark's fastest run for the ratios.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include "imaging/dib_image.h"
#include "output/avi_writer.h"

namespace ostrel::bench {

constexpr int kWidth = 6576;
constexpr int kHeight = 4384;
constexpr std::size_t kFrameBytes = std::size_t{kWidth} * kHeight * 3;
// AVI files restart after this many frames, to bound disk use.
constexpr int kFramesPerFile = 8;
// What every run writes at most before its file restarts, prepared for it the same way.
constexpr std::size_t kWarmBytes = (kFramesPerFile + 1) * kFrameBytes;

// A camera-like full-size 24-bit picture, made once: smooth gradients with a little grain, so the
// encoders work as on a real frame (a flat or random picture would flatter or punish them).
inline const imaging::DibImage &cameraLikePicture() {
    static imaging::DibImage image;
    if (image.isEmpty()) {
        if (!image.create(kWidth, kHeight, 24)) {
            std::fprintf(stderr, "cannot allocate the full-size picture\n");
            std::exit(1);
        }
        std::uint32_t grain = 1;
        for (int y = 0; y < kHeight; ++y) {
            std::uint8_t *row = image.row(y);
            for (int x = 0; x < kWidth; ++x) {
                grain = grain * 1664525u + 1013904223u;
                const int noise = static_cast<int>(grain >> 29);  // 0..7
                row[3 * x + 0] = static_cast<std::uint8_t>((x / 32 + y / 64 + noise) & 0xFF);
                row[3 * x + 1] = static_cast<std::uint8_t>((x / 40 + 2 * noise + 60) & 0xFF);
                row[3 * x + 2] = static_cast<std::uint8_t>((y / 24 + noise + 120) & 0xFF);
            }
        }
    }
    return image;
}

// $OSTREL_BENCH_DIR, or the system's temporary folder.
inline std::filesystem::path benchDir() {
    const char *env = std::getenv("OSTREL_BENCH_DIR");
    return env != nullptr && env[0] != '\0' ? std::filesystem::path(env)
                                            : std::filesystem::temp_directory_path();
}

inline std::string benchFile(const std::string &name) {
    return (benchDir() / ("ostrel-bench-" + name)).string();
}

// Writes back what earlier runs left dirty and, where the system allows it (as root), drops the
// clean cache too; then writes and deletes `warmBytes` of scratch file. Memory that the system
// hands out for the first time is slow to fill (in a virtual machine the host backs it only then),
// while memory of a file just deleted is quick to reuse: without the scratch file the second run
// of a pair profited from the pages the first had freed and looked several times faster.
// Returns whether the cache was dropped.
inline bool settleDisk(std::size_t warmBytes = 0) {
    ::sync();
    bool dropped = false;
    if (std::FILE *control = std::fopen("/proc/sys/vm/drop_caches", "w")) {
        dropped = std::fputs("1\n", control) >= 0;
        dropped = std::fclose(control) == 0 && dropped;
    }
    if (warmBytes != 0) {
        const std::string path = benchFile("warm.bin");
        if (std::FILE *file = std::fopen(path.c_str(), "wb")) {
            static const std::vector<char> block(std::size_t{1} << 20, 0x33);
            for (std::size_t done = 0; done < warmBytes; done += block.size()) {
                if (std::fwrite(block.data(), 1, block.size(), file) != block.size()) {
                    break;
                }
            }
            std::fclose(file);
        }
        std::remove(path.c_str());
        ::sync();
    }
    return dropped;
}

// The disk write a recording cannot avoid: the chunk header and the bytes of one full-size frame
// appended to a file with fwrite, the file restarted every kFramesPerFile frames as the AVI
// benchmarks restart theirs.
inline void appendFramesWithFwrite(benchmark::State &state) {
    const std::uint8_t *pixels = cameraLikePicture().pixels();  // stride 3 x width: frame bytes
    const std::uint8_t header[8] = {'0', '0', 'd', 'b', 0, 0, 0, 0};
    const std::string path = benchFile("frames.bin");
    std::FILE *file = std::fopen(path.c_str(), "wb");
    int written = 0;
    (void)settleDisk(kWarmBytes);
    for (auto _ : state) {
        if (written == kFramesPerFile) {
            state.PauseTiming();
            std::fclose(file);
            file = std::fopen(path.c_str(), "wb");
            written = 0;
            state.ResumeTiming();
        }
        if (file == nullptr || std::fwrite(header, 1, 8, file) != 8 ||
            std::fwrite(pixels, 1, kFrameBytes, file) != kFrameBytes) {
            state.SkipWithError("fwrite failed");
            break;
        }
        ++written;
    }
    if (file != nullptr) {
        std::fclose(file);
    }
    std::filesystem::remove(path);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFrameBytes));
}

// Appends the frame `nextFrame()` gives (nullptr: it could not be made) to a full-size 24-bit
// AVI file once per iteration, the file restarted untimed every kFramesPerFile frames.
template <typename NextFrame>
void appendFramesToAvi(benchmark::State &state, const std::string &name, NextFrame nextFrame) {
    const std::string path = benchFile(name);
    output::AviWriter writer;
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
        const std::uint8_t *frame = nextFrame();
        if (frame == nullptr || writer.writeFrame(frame) != output::AviFrameResult::Written) {
            state.SkipWithError("frame not written");
            break;
        }
        writer.setFrameCount(writer.frameCount() + 1);
    }
    (void)writer.closeRecording();
    std::filesystem::remove(path);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFrameBytes));
}

// Tells the reader whether the runs started from the same cache state.
inline void reportCacheSettling() {
    std::printf(settleDisk() ? "Each run starts with the file cache dropped.\n"
                             : "The file cache cannot be dropped here (not root): a run that "
                               "follows another may profit from the memory it freed.\n");
}

// Each file benchmark runs this many times; the ratios use the fastest run. Writing a file costs
// the same work every time, and what varies between runs here (the system reclaiming memory,
// writing back other files) only ever adds time, so the fastest run is the truest.
constexpr int kFileRepetitions = 3;

// A file benchmark's settings: wall-clock milliseconds, a fixed number of iterations, and
// kFileRepetitions runs.
inline benchmark::internal::Benchmark *timedAsFile(benchmark::internal::Benchmark *benchmark,
                                                   int iterations) {
    return benchmark->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(iterations)
        ->Repetitions(kFileRepetitions);
}

// The usual table, plus each benchmark's fastest time per iteration (milliseconds) by
// registered name.
class FastestRunReporter : public benchmark::ConsoleReporter {
public:
    FastestRunReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration) {
                continue;
            }
            const double ms = run.GetAdjustedRealTime();
            auto [it, added] = fastest_.try_emplace(run.run_name.function_name, ms);
            if (!added) {
                it->second = std::min(it->second, ms);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    // 0 when the benchmark did not run.
    double time(const std::string &name) const {
        auto found = fastest_.find(name);
        return found == fastest_.end() ? 0.0 : found->second;
    }

private:
    std::map<std::string, double> fastest_;
};

}  // namespace ostrel::bench
