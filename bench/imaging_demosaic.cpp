// Colour reconstruction of a full 6576 x 4384 frame (the heart of every colour frame), against
// OpenCV's bilinear Bayer conversion on the same frame and thread count, and against the memory
// floor: reading the mosaic and writing the picture with streaming stores and nothing else.
// Prints the ratios after the table (medians when repetitions are asked for).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <emmintrin.h>

#include "imaging/apply_kernel.h"
#include "imaging/cpu_features.h"
#include "imaging/demosaic.h"
#include "imaging/dib_image.h"
#include "imaging/process_frame.h"
#include "imaging/worker_pool.h"
#include "neutral_pipeline.h"

#ifdef OSTREL_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

using namespace ostrel::imaging;

constexpr int kWidth = 6576;
constexpr int kHeight = 4384;

// The raw frames, made once: 8-bit samples and 10-bit words.
const DibImage &mosaic(bool wide) {
    static DibImage images[2];
    DibImage &image = images[wide ? 1 : 0];
    if (image.isEmpty()) {
        if (!image.create(kWidth, kHeight, wide ? 16 : 8)) {
            std::fprintf(stderr, "cannot create the mosaic\n");
            std::exit(1);
        }
        ostrel::bench::fillRandomMosaic(image, wide);
    }
    return image;
}

void setThreads(benchmark::State &state) {
    const int threads = static_cast<int>(state.range(0));
    setWorkerThreadCount(threads);
#ifdef OSTREL_HAVE_OPENCV
    cv::setNumThreads(threads);
#endif
}

void reconstruct(benchmark::State &state, bool wide, std::uint16_t outBits, bool avx2) {
    setThreads(state);
    const CpuFeatureLimit features(avx2 ? kAllCpuFeatures : 0);
    const DibImage &raw = mosaic(wide);
    DibImage out;
    if (!out.create(kWidth, kHeight, outBits)) {
        state.SkipWithError("cannot create the output image");
        return;
    }
    const ColourGains gains{0, 100, 100, 100};
    const ConversionKernel interior = wide ? Demosaic10 : Demosaic8;
    const ConversionKernel border = wide ? Demosaic10Border : Demosaic8Border;
    for (auto _ : state) {
        ApplyKernel(out, interior, raw, nullptr, 0, 0, &gains, 0);
        ApplyKernel(out, border, raw, nullptr, 0, 0, &gains, 0);
        benchmark::DoNotOptimize(out.pixels());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * (static_cast<std::int64_t>(raw.sizeBytes()) +
                                                  static_cast<std::int64_t>(out.sizeBytes())));
}

void BM_Demosaic8To24(benchmark::State &state) {
    reconstruct(state, false, 24, true);
}
void BM_Demosaic8To24Plain(benchmark::State &state) {
    reconstruct(state, false, 24, false);
}
void BM_Demosaic8To32(benchmark::State &state) {
    reconstruct(state, false, 32, true);
}
void BM_Demosaic10To48(benchmark::State &state) {
    reconstruct(state, true, 48, true);
}
void BM_Demosaic10To64(benchmark::State &state) {
    reconstruct(state, true, 64, true);
}
void BM_Demosaic10To48Plain(benchmark::State &state) {
    reconstruct(state, true, 48, false);
}

// The whole per-frame pipeline of a colour mode with neutral settings, as the capture thread
// runs it: on these settings it is the colour reconstruction and its border, with the checks of
// every other step.
void processFrame(benchmark::State &state, ColorMode mode, std::uint16_t outBits) {
    setThreads(state);
    const bool wide = mode == ColorMode::Bgr48 || mode == ColorMode::Bgr64;
    DibImage raw;
    DibImage out;
    DibImage work;
    if (!raw.copyFormat(&mosaic(wide)) || !out.create(kWidth, kHeight, outBits) ||
        !work.copyFormat(&out)) {
        state.SkipWithError("cannot create the images");
        return;
    }
    std::memcpy(raw.pixels(), mosaic(wide).pixels(), raw.sizeBytes());
    SettingsBlock settings = ostrel::bench::neutralSettings();
    AnalogSettings analog;
    ostrel::imaging::test::QuietFrameControls controls;
    FrameRhythm rhythm;
    FrameImages images;
    (wide ? images.image16 : images.image8) = &raw;
    images.work = &work;
    switch (mode) {
        case ColorMode::Bgr32:
            images.image32 = &out;
            break;
        case ColorMode::Bgr48:
            images.image48 = &out;
            break;
        case ColorMode::Bgr64:
            images.image64 = &out;
            break;
        default:
            images.image24 = &out;
            break;
    }
    const FrameInput input{mode, images, settings, analog, controls};
    for (auto _ : state) {
        ProcessFrame(input, rhythm);
        benchmark::DoNotOptimize(out.pixels());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * (static_cast<std::int64_t>(raw.sizeBytes()) +
                                                  static_cast<std::int64_t>(out.sizeBytes())));
}

void BM_ProcessFrame24(benchmark::State &state) {
    processFrame(state, ColorMode::Bgr24, 24);
}
void BM_ProcessFrame48(benchmark::State &state) {
    processFrame(state, ColorMode::Bgr48, 48);
}
void BM_ProcessFrame64(benchmark::State &state) {
    processFrame(state, ColorMode::Bgr64, 64);
}

// Reads every byte of the mosaic and writes three bytes per sample with streaming stores, in the
// same row bands and on the same threads as the reconstruction: no kernel can be faster.
void BM_MemoryFloor(benchmark::State &state) {
    setThreads(state);
    const DibImage &raw = mosaic(false);
    DibImage out;
    if (!out.create(kWidth, kHeight, 24)) {
        state.SkipWithError("cannot create the output image");
        return;
    }
    for (auto _ : state) {
        parallelRows(kHeight, 16, [&](int first, int end) {
            for (int y = first; y < end; ++y) {
                const auto *in = reinterpret_cast<const __m128i *>(raw.row(y));
                auto *o = reinterpret_cast<__m128i *>(out.row(y));
                for (int i = 0; i < kWidth / 16; ++i) {
                    const __m128i v = _mm_load_si128(in + i);
                    _mm_stream_si128(o + 3 * i, v);
                    _mm_stream_si128(o + 3 * i + 1, v);
                    _mm_stream_si128(o + 3 * i + 2, v);
                }
            }
            _mm_sfence();
        });
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * (static_cast<std::int64_t>(raw.sizeBytes()) +
                                                  static_cast<std::int64_t>(out.sizeBytes())));
}

#ifdef OSTREL_HAVE_OPENCV
void BM_OpenCvBayerToBgr(benchmark::State &state) {
    setThreads(state);
    const DibImage &raw = mosaic(false);
    const cv::Mat in(kHeight, kWidth, CV_8UC1, const_cast<std::uint8_t *>(raw.pixels()),
                     static_cast<std::size_t>(raw.stride()));
    cv::Mat out(kHeight, kWidth, CV_8UC3);
    for (auto _ : state) {
        cv::cvtColor(in, out, cv::COLOR_BayerGB2BGR);
        benchmark::DoNotOptimize(out.data);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * (static_cast<std::int64_t>(kWidth) * kHeight * 4));
}
BENCHMARK(BM_OpenCvBayerToBgr)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

BENCHMARK(BM_MemoryFloor)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Demosaic8To24)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Demosaic8To32)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Demosaic10To48)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Demosaic10To64)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ProcessFrame24)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ProcessFrame48)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ProcessFrame64)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Demosaic8To24Plain)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Demosaic10To48Plain)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// Shows the table as usual and keeps every repetition's time per iteration (milliseconds) by
// benchmark name, for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred) {
                continue;
            }
            const std::string name = run.run_name.function_name + "/" + run.run_name.args;
            if (run.run_type == Run::RT_Iteration) {
                times_[name].push_back(run.GetAdjustedRealTime());
            } else if (run.aggregate_name == "median") {
                medians_[name] = run.GetAdjustedRealTime();
            }
        }
    }

    // The median of the repetitions (as Google Benchmark computed it when only aggregates are
    // reported), or 0 when the benchmark did not run.
    double median(const std::string &name) const {
        const auto reported = medians_.find(name);
        if (reported != medians_.end()) {
            return reported->second;
        }
        const auto it = times_.find(name);
        if (it == times_.end() || it->second.empty()) {
            return 0;
        }
        std::vector<double> v = it->second;
        std::sort(v.begin(), v.end());
        const std::size_t n = v.size();
        return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    }

    void printRatio(const char *what, const std::string &a, const std::string &b,
                    const char *goal) const {
        const double ta = median(a);
        const double tb = median(b);
        if (ta <= 0 || tb <= 0) {
            return;
        }
        std::printf("  %-48s %8.2f ms / %8.2f ms = %5.2f   (%s)\n", what, ta, tb, ta / tb, goal);
    }

private:
    std::map<std::string, std::vector<double>> times_;
    std::map<std::string, double> medians_;
};

// The ratios printed after the run, each at one and at two threads.
struct Ratio {
    const char *what;
    const char *numerator;
    const char *denominator;
    const char *goal;
};
const Ratio kRatios[] = {
    {"ProcessFrame mode 2 (24-bit) / OpenCV", "BM_ProcessFrame24", "BM_OpenCvBayerToBgr",
     "goal <= 0.5"},
    {"ProcessFrame mode 2 / memory floor", "BM_ProcessFrame24", "BM_MemoryFloor", "goal <= 1.8"},
    {"ProcessFrame mode 4 (48-bit) / mode 2", "BM_ProcessFrame48", "BM_ProcessFrame24",
     "goal <= 1.5"},
    {"ProcessFrame mode 5 (64-bit) / mode 2", "BM_ProcessFrame64", "BM_ProcessFrame24",
     "goal <= 2.0"},
    {"Demosaic8+Border 24-bit / OpenCV", "BM_Demosaic8To24", "BM_OpenCvBayerToBgr",
     "goal <= 1.0, aim ~0.6"},
    {"Demosaic8+Border 24-bit / memory floor", "BM_Demosaic8To24", "BM_MemoryFloor", "goal <= 3"},
    {"Demosaic10 48-bit / Demosaic8 24-bit", "BM_Demosaic10To48", "BM_Demosaic8To24", "goal <= 2"},
    {"Demosaic10 64-bit / Demosaic8 24-bit", "BM_Demosaic10To64", "BM_Demosaic8To24", "goal <= 2"},
    {"plain path / AVX2 path, 24-bit", "BM_Demosaic8To24Plain", "BM_Demosaic8To24", "information"},
    {"plain path / AVX2 path, 48-bit", "BM_Demosaic10To48Plain", "BM_Demosaic10To48",
     "information"},
};

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nRatios (medians of the repetitions, same run):\n");
    for (const char *t : {"1", "2"}) {
        const std::string threads = std::string(" at ") + t + " thread" + (t[0] == '1' ? "" : "s");
        for (const Ratio &ratio : kRatios) {
            reporter.printRatio((ratio.what + threads).c_str(),
                                std::string(ratio.numerator) + "/" + t,
                                std::string(ratio.denominator) + "/" + t, ratio.goal);
        }
    }
    benchmark::Shutdown();
    return 0;
}
