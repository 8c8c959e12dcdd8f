// ProcessFrame on a full 6576 x 4384 frame with neutral settings, timed with the steady clock
// alone so that it builds where Google Benchmark does not: the Windows DLL's build runs it under
// Wine, and the same program built natively gives the figures to compare it with on the same
// machine. Prints the median of several frames per colour mode, thread count and path choice.
//   frame_timing [frames]   (default 9)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "imaging/cpu_features.h"
#include "imaging/dib_image.h"
#include "imaging/process_frame.h"
#include "imaging/worker_pool.h"
#include "neutral_pipeline.h"

namespace {

using namespace ostrel::imaging;

constexpr int kWidth = 6576;
constexpr int kHeight = 4384;

struct Mode {
    const char *name;
    ColorMode mode;
    std::uint16_t outBits;
};

// The median time of `frames` runs of ProcessFrame, in milliseconds; negative when the images
// cannot be made.
double medianMs(const Mode &m, int frames) {
    const bool wide = m.mode == ColorMode::Bgr48 || m.mode == ColorMode::Bgr64;
    DibImage raw;
    DibImage out;
    DibImage work;
    if (!raw.create(kWidth, kHeight, wide ? 16 : 8) || !out.create(kWidth, kHeight, m.outBits) ||
        !work.copyFormat(&out)) {
        return -1;
    }
    ostrel::bench::fillRandomMosaic(raw, wide);
    SettingsBlock settings = ostrel::bench::neutralSettings();
    AnalogSettings analog;
    ostrel::imaging::test::QuietFrameControls controls;
    FrameRhythm rhythm;
    FrameImages images;
    (wide ? images.image16 : images.image8) = &raw;
    images.work = &work;
    (m.mode == ColorMode::Bgr24   ? images.image24
     : m.mode == ColorMode::Bgr48 ? images.image48
                                  : images.image64) = &out;
    const FrameInput input{m.mode, images, settings, analog, controls};
    ProcessFrame(input, rhythm);  // pages in the images and starts the worker threads
    std::vector<double> times;
    for (int i = 0; i < frames; ++i) {
        const auto start = std::chrono::steady_clock::now();
        ProcessFrame(input, rhythm);
        const auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char **argv) {
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    const Mode modes[] = {{"mode 2 (24-bit)", ColorMode::Bgr24, 24},
                          {"mode 4 (48-bit)", ColorMode::Bgr48, 48},
                          {"mode 5 (64-bit)", ColorMode::Bgr64, 64}};
    std::printf(
        "ProcessFrame, %d x %d, neutral settings, median of %d frames (features in use "
        "here: 0x%x)\n",
        kWidth, kHeight, frames, static_cast<unsigned>(cpuFeatures()));
    for (const Mode &m : modes) {
        for (int threads : {1, 2}) {
            setWorkerThreadCount(threads);
            const double fast = medianMs(m, frames);
            double plain = 0;
            {
                const CpuFeatureLimit limit(0);
                plain = medianMs(m, frames);
            }
            std::printf("  %-16s %d thread%s: %8.2f ms   plain paths only: %8.2f ms\n", m.name,
                        threads, threads == 1 ? " " : "s", fast, plain);
        }
    }
    setWorkerThreadCount(0);
    shutdownWorkerPool();
    return 0;
}
