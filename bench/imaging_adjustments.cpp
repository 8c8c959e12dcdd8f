// The output adjustments on a full 6576 x 4384 24-bit frame (86.5 MB), each against a plain
// memcpy of the same image in the same run: the table adjustments (gamma, contrast, brightness)
// should stay within twice the copy; sharpness and hue/saturation are reported with their ratio.
// Each adjustment runs on one thread (first argument 1) and on the worker pool's threads (0, one
// per core), with the processor-specific routines (second argument 0: AVX-512 byte permutes for
// the tables, AVX2 for sharpening and hue, where the processor has them) and without (1).
// Prints the ratios after the table (medians when repetitions are asked for, e.g.
// --benchmark_repetitions=7): on one thread by CPU time, which other work on the machine barely
// changes, and on all threads by elapsed time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "imaging/adjustment_params.h"
#include "imaging/apply_kernel.h"
#include "imaging/brightness.h"
#include "imaging/contrast.h"
#include "imaging/cpu_features.h"
#include "imaging/dib_image.h"
#include "imaging/gamma.h"
#include "imaging/hue_saturation.h"
#include "imaging/sharpen.h"
#include "imaging/worker_pool.h"

namespace {

using namespace ostrel::imaging;

constexpr int kWidth = 6576;
constexpr int kHeight = 4384;

// A random 24-bit frame, made once, and images of the same format to write into.
DibImage &image(int index) {
    static DibImage images[3];
    DibImage &img = images[index];
    if (img.isEmpty()) {
        if (!img.create(kWidth, kHeight, 24)) {
            std::fprintf(stderr, "cannot create a %d x %d image\n", kWidth, kHeight);
            std::exit(1);
        }
        std::mt19937 rng(index + 1);
        for (std::size_t i = 0; i < img.sizeBytes(); i += 4) {
            const std::uint32_t v = rng();
            std::memcpy(img.pixels() + i, &v, std::min<std::size_t>(4, img.sizeBytes() - i));
        }
    }
    return img;
}

DibImage &source() {
    return image(0);
}
DibImage &output() {
    return image(1);
}

void setBytes(benchmark::State &state) {
    // Bytes read plus bytes written per iteration, as for the copy.
    state.SetBytesProcessed(state.iterations() * 2 *
                            static_cast<std::int64_t>(output().sizeBytes()));
}

void BM_Memcpy(benchmark::State &state) {
    DibImage &src = source();
    DibImage &dst = output();
    for (auto _ : state) {
        std::memcpy(dst.pixels(), src.pixels(), src.sizeBytes());
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

// Sets the pool's thread count (first argument; 0: one per core) and whether the
// processor-specific routines may run (second argument 0) for one run.
class ThreadCount {
public:
    explicit ThreadCount(const benchmark::State &state)
        : features_(state.range(1) == 0 ? kAllCpuFeatures : 0) {
        setWorkerThreadCount(static_cast<int>(state.range(0)));
    }
    ~ThreadCount() { setWorkerThreadCount(0); }
    ThreadCount(const ThreadCount &) = delete;
    ThreadCount &operator=(const ThreadCount &) = delete;

private:
    CpuFeatureLimit features_;
};

// A table adjustment in place on the output image, as the pipeline runs it.
void tableAdjustment(benchmark::State &state, ConversionKernel kernel, std::int32_t setting) {
    const ThreadCount threads(state);
    DibImage &out = output();
    std::memcpy(out.pixels(), source().pixels(), out.sizeBytes());
    const SingleValueParams params{setting};
    for (auto _ : state) {
        ApplyKernel(out, kernel, out, nullptr, 0, 0, &params, 0);
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

void BM_Gamma24(benchmark::State &state) {
    tableAdjustment(state, Gamma24, 70);
}
void BM_Contrast24(benchmark::State &state) {
    tableAdjustment(state, Contrast24, 30);
}
void BM_Brightness24(benchmark::State &state) {
    tableAdjustment(state, Brightness24, 40);
}

// Sharpening reads the work image (here the random source) and writes the output image.
void BM_Sharpen24(benchmark::State &state) {
    const ThreadCount threads(state);
    DibImage &work = source();
    DibImage &out = output();
    const SingleValueParams params{20};
    for (auto _ : state) {
        ApplyKernel(out, Sharpen24, work, nullptr, 0, 0, &params, 0);
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

// Hue and saturation from the random source into the output image, so every iteration sees the
// same varied colours (in place, repeated passes would drift towards saturated colours).
void BM_HueSaturation24(benchmark::State &state) {
    const ThreadCount threads(state);
    DibImage &src = source();
    DibImage &out = output();
    const HueSaturationParams params{40, 0, 60, 10};
    for (auto _ : state) {
        ApplyKernel(out, HueSaturation24, src, nullptr, 0, 0, &params, 0);
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Gamma24)->ArgsProduct({{1, 0}, {0, 1}})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Contrast24)
    ->ArgsProduct({{1, 0}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Brightness24)
    ->ArgsProduct({{1, 0}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Sharpen24)
    ->ArgsProduct({{1, 0}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_HueSaturation24)
    ->ArgsProduct({{1, 0}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Shows the table as usual and keeps every repetition's elapsed and CPU time per iteration
// (milliseconds) by benchmark name and argument ("BM_Gamma24/1").
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                std::string name = run.run_name.function_name;
                if (!run.run_name.args.empty()) {
                    name += "/" + run.run_name.args;
                }
                real_[name].push_back(run.GetAdjustedRealTime());
                cpu_[name].push_back(run.GetAdjustedCPUTime());
            }
        }
    }

    // The median of the repetitions, or 0 when the benchmark did not run.
    double medianReal(const std::string &name) const { return median(real_, name); }
    double medianCpu(const std::string &name) const { return median(cpu_, name); }

private:
    using Times = std::map<std::string, std::vector<double>>;

    static double median(const Times &times, const std::string &name) {
        const auto it = times.find(name);
        if (it == times.end() || it->second.empty()) {
            return 0.0;
        }
        std::vector<double> t = it->second;
        std::sort(t.begin(), t.end());
        const std::size_t n = t.size();
        return n % 2 == 1 ? t[n / 2] : (t[n / 2 - 1] + t[n / 2]) / 2.0;
    }

    Times real_;
    Times cpu_;
};

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // Each adjustment with the most its time may be, in copies of the frame.
    struct Goal {
        const char *name;
        const char *goal;
    };
    const Goal names[] = {{"BM_Gamma24", "goal <= 2.0"},
                          {"BM_Contrast24", "goal <= 2.0"},
                          {"BM_Brightness24", "goal <= 2.0"},
                          {"BM_Sharpen24", "goal <= 2.0"},
                          {"BM_HueSaturation24", "goal <= 3.0"}};
    const double copyCpu = reporter.medianCpu("BM_Memcpy");
    const double copyReal = reporter.medianReal("BM_Memcpy");
    std::printf(
        "\nRatio to memcpy of the 24-bit frame (medians of the repetitions, same run; goals "
        "for the processor-specific paths, the plain ones for comparison)\n");
    auto table = [&](const char *title, const char *suffix, bool cpu) {
        const double copy = cpu ? copyCpu : copyReal;
        std::printf("%s (memcpy %.2f ms):\n", title, copy);
        for (const Goal &g : names) {
            const std::string key = std::string(g.name) + suffix;
            const double t = cpu ? reporter.medianCpu(key) : reporter.medianReal(key);
            if (copy > 0.0 && t > 0.0) {
                std::printf("  %-20s %8.2f ms  %6.2f x memcpy   (%s)\n", g.name, t, t / copy,
                            g.goal);
            }
        }
    };
    const std::string all = std::to_string(workerThreadCount()) + " threads";
    table("One thread, CPU time", "/1/0", true);
    table("One thread, CPU time, plain routines only", "/1/1", true);
    table((all + ", elapsed time").c_str(), "/0/0", false);
    table((all + ", elapsed time, plain routines only").c_str(), "/0/1", false);
    benchmark::Shutdown();
    return 0;
}
