// The recording thread's work per frame at full sensor size (6576 × 4384): the conversion of a
// 24-bit output image into the AVI frame (rows reversed), the conversion followed by the AVI
// append, and a plain fwrite of the same chunk bytes, all in the same run. The ratios say how
// much the conversion adds to the disk write that a recording cannot avoid. Files go to
// $OSTREL_BENCH_DIR (default: the system's temporary folder).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>

#include "bench_files.h"
#include "imaging/record_conversion.h"

namespace {

using ostrel::bench::cameraLikePicture;
using ostrel::bench::kFrameBytes;
using ostrel::bench::timedAsFile;
using ostrel::imaging::RecordConversion;

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
    RecordConversion conversion;
    if (!conversion.convert(cameraLikePicture())) {  // the first frame allocates the work images
        state.SkipWithError("conversion failed");
        return;
    }
    ostrel::bench::appendFramesToAvi(state, "recording.avi", [&]() -> const std::uint8_t * {
        return conversion.convert(cameraLikePicture()) ? conversion.frame().pixels() : nullptr;
    });
}

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    (void)cameraLikePicture();  // made before any timing
    ostrel::bench::reportCacheSettling();

    timedAsFile(benchmark::RegisterBenchmark("convert/24bit", convertFrame), 16);
    timedAsFile(benchmark::RegisterBenchmark("record/frame", recordFrame), 16);
    timedAsFile(benchmark::RegisterBenchmark("fwrite/frame", ostrel::bench::appendFramesWithFwrite),
                16);

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
