// Automatic exposure step.
#include "imaging/auto_exposure.h"

#include <algorithm>
#include <cmath>

#include "imaging/apply_kernel.h"
#include "imaging/mean_level.h"
#include "platform/camera_facts.h"

namespace ostrel::imaging {
namespace {

constexpr std::int32_t kCodeAutoIrisIdle = 0;
constexpr std::int32_t kCodeInvalidArgument = 9;
constexpr std::int32_t kMaxGain = platform::camera::kMaxGlobalGain;
constexpr std::int32_t kLowestRaisedValue = 4;

std::int32_t scaled(double fraction, std::int32_t size) {
    return static_cast<std::int32_t>(fraction * static_cast<double>(size));
}

// The first patch's factor for a mean level, and a later patch's contribution.
double firstValue(std::int32_t m) {
    if (m > 200)
        return 0.85;
    if (m > 160)
        return 0.9;
    if (m >= 100)
        return 1.0;
    if (m >= 50)
        return 1.05;
    return 1.1;
}

double contribution(std::int32_t m) {
    if (m > 200)
        return -0.15;
    if (m > 160)
        return -0.10;
    if (m >= 100)
        return 0.0;
    if (m >= 50)
        return 0.05;
    return 0.10;
}

}  // namespace

bool FrameRhythm::countFrame() {
    int current = counter_.load(std::memory_order_relaxed);
    int next = 0;
    do {
        next = current - 1 < 0 ? 2 : current - 1;
    } while (!counter_.compare_exchange_weak(current, next, std::memory_order_relaxed));
    return current - 1 == 0;
}

FrameRhythm &processFrameRhythm() {
    static FrameRhythm rhythm;
    return rhythm;
}

std::array<KernelRect, 5> exposurePatches(std::int32_t width, std::int32_t height) {
    auto patch = [&](double left, double top, double right, double bottom) {
        return KernelRect{scaled(left, width), scaled(top, height), scaled(right, width),
                          scaled(bottom, height)};
    };
    return {patch(0.1, 0.1, 0.2, 0.2), patch(0.1, 0.8, 0.2, 0.9), patch(0.45, 0.45, 0.55, 0.55),
            patch(0.8, 0.1, 0.9, 0.2), patch(0.8, 0.8, 0.9, 0.9)};
}

double exposureFactor(const std::array<std::int32_t, 5> &means) {
    double e = firstValue(means[0]);
    for (std::size_t i = 1; i < means.size(); ++i) {
        e += contribution(means[i]);
    }
    return e;
}

void applyExposureFactor(double e, std::int32_t mode, AnalogSettings &analog,
                         FrameControls &controls) {
    if (e > 0.6 && e < 1.2) {
        return;
    }
    if (mode == kAutoIrisGain) {
        const double product = std::trunc(e * analog.get(AnalogWord::GlobalGain));
        std::int32_t gain = 0;
        if (e > 1.0 && product <= kLowestRaisedValue) {
            gain = kLowestRaisedValue;
        } else {
            gain = static_cast<std::int32_t>(std::clamp(product, 0.0, double{kMaxGain}));
        }
        controls.setGain(gain);
        analog.set(AnalogWord::GlobalGain, gain);
        controls.refreshAnalogPage(kAnalogGainEdit, gain);
    } else if (mode == kAutoIrisExposure) {
        const std::int32_t old = analog.get(AnalogWord::Exposure);
        // The quotient fits in 64 bits for any stored value (e is at least 0.25); the register
        // keeps its low 16 bits.
        const auto wide = static_cast<std::int64_t>(std::trunc(old / e));
        std::int32_t value = static_cast<std::uint16_t>(wide);
        if (e > 1.0 && value <= kLowestRaisedValue) {
            value = kLowestRaisedValue;
        } else if (value < 1) {
            value = 1;
        }
        value = std::min(value, controls.maxExposure());
        if (old < value) {
            controls.waitMilliseconds(1);
        }
        controls.setExposure(value);
        analog.set(AnalogWord::Exposure, value);
        controls.refreshAnalogPage(kAnalogExposureEdit, value);
    }
}

void AutoExposure(DibImage *raw, AnalogSettings &analog, FrameControls &controls,
                  FrameRhythm &rhythm) {
    const std::int32_t mode = analog.get(AnalogWord::AutoIris);
    if (mode != kAutoIrisExposure && mode != kAutoIrisGain) {
        controls.recordError(kCodeAutoIrisIdle);
        return;
    }
    if (raw == nullptr || raw->isEmpty() || !controls.hasDevice()) {
        controls.recordError(kCodeInvalidArgument);
        return;
    }
    if (!rhythm.countFrame()) {
        return;
    }
    const ConversionKernel meanLevel = raw->bitCount() == 16 ? MeanLevel16 : MeanLevel8;
    const std::array<KernelRect, 5> patches = exposurePatches(raw->width(), raw->height());
    std::array<std::int32_t, 5> means{};
    for (std::size_t i = 0; i < patches.size(); ++i) {
        means[i] = ApplyKernel(*raw, meanLevel, *raw, &patches[i], 0, 0, nullptr, 0);
    }
    applyExposureFactor(exposureFactor(means), mode, analog, controls);
}

}  // namespace ostrel::imaging
