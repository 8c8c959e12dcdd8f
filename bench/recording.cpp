// The recording thread's work per frame at full sensor size (6576 × 4384): the conversion of a
// 24-bit output image into the AVI frame (rows reversed), the conversion followed by the AVI
// append, and a plain fwrite of the same chunk bytes, all in the same run. The ratios say how
// much the conversion adds to the disk write that a recording cannot avoid. Files go to
// $OSTREL_BENCH_DIR (default: the system's temporary folder).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench_files.h"
#include "imaging/dib_image.h"
#include "imaging/record_conversion.h"
#include "output/avi_writer.h"

namespace {

using ostrel::bench::benchFile;
using ostrel::bench::cameraLikePicture;
using ostrel::bench::kFrameBytes;
using ostrel::bench::kFramesPerFile;
using ostrel::bench::kHeight;
using ostrel::bench::kWarmBytes;
using ostrel::bench::kWidth;
using ostrel::bench::settleDisk;
using ostrel::imaging::DibImage;
using ostrel::imaging::RecordConversion;
using ostrel::output::AviFrameResult;
using ostrel::output::AviWriter;

void convertFrame(benchmark::State &state) {
    RecordConversion conversion;
    if (!conversion.convert(cameraLikePicture())) {  // the first frame allocates the work images
        state.SkipWithError("conversion failed");
        return;
    }
    for (auto _ : state) {
        if (!conversion.convert(cameraLikePicture())) {
            state.SkipWithError("conversion failed");
            break;
        }
        benchmark::DoNotOptimize(conversion.frame().pixels());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFrameBytes));
}

// What the recording thread does for one flagged frame: convert, then append to the file.
void recordFrame(benchmark::State &state) {
    const std::string path = benchFile("recording.avi");
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
    RecordConversion conversion;
    if (!restart() || !conversion.convert(cameraLikePicture())) {
        state.SkipWithError("cannot start the recording");
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
        if (!conversion.convert(cameraLikePicture()) ||
            writer.writeFrame(conversion.frame().pixels()) != AviFrameResult::Written) {
            state.SkipWithError("frame not recorded");
            break;
        }
        writer.setFrameCount(writer.frameCount() + 1);
    }
    (void)writer.closeRecording();
    std::filesystem::remove(path);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFrameBytes));
}

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    (void)cameraLikePicture();  // made before any timing
    ostrel::bench::reportCacheSettling();

    benchmark::RegisterBenchmark("convert/24bit", convertFrame)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(16)
        ->Repetitions(ostrel::bench::kFileRepetitions);
    benchmark::RegisterBenchmark("record/frame", recordFrame)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(16)
        ->Repetitions(ostrel::bench::kFileRepetitions);
    benchmark::RegisterBenchmark("fwrite/frame", ostrel::bench::appendFramesWithFwrite)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(16)
        ->Repetitions(ostrel::bench::kFileRepetitions);

    ostrel::bench::FastestRunReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double writeMs = reporter.time("fwrite/frame");
    std::printf("\nFastest of %d runs each, same run:\n", ostrel::bench::kFileRepetitions);
    std::printf("%-16s %10s %12s %8s\n", "per frame", "ms", "fwrite ms", "ratio");
    for (const char *name : {"convert/24bit", "record/frame"}) {
        const double ms = reporter.time(name);
        if (ms > 0 && writeMs > 0) {
            std::printf("%-16s %10.1f %12.1f %8.2f\n", name, ms, writeMs, ms / writeMs);
        }
    }
    return 0;
}
