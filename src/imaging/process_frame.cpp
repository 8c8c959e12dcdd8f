// The frame pipeline: which kernel runs for each step and colour mode.
#include "imaging/process_frame.h"

#include <algorithm>
#include <cstring>

#include "imaging/adjustment_params.h"
#include "imaging/apply_kernel.h"
#include "imaging/auto_gains.h"
#include "imaging/brightness.h"
#include "imaging/contrast.h"
#include "imaging/demosaic.h"
#include "imaging/gamma.h"
#include "imaging/gray_gains.h"
#include "imaging/hue_saturation.h"
#include "imaging/luma.h"
#include "imaging/sharpen.h"
#include "imaging/swap_rows.h"
#include "imaging/worker_pool.h"

namespace ostrel::imaging {
namespace {

constexpr std::int32_t kGrayModeBayerConvert = 1;
constexpr std::int32_t kGrayModeGrayscale = 2;
constexpr std::int32_t kNeutralGamma = 100;

// The adjustment kernels of one sample layout.
struct AdjustmentKernels {
    ConversionKernel gamma;
    ConversionKernel contrast;
    ConversionKernel sharpen;
    ConversionKernel brightness;
    ConversionKernel hueSaturation;  // null for the monochrome layouts
};

AdjustmentKernels adjustmentKernels(ColorMode mode) {
    switch (mode) {
        case ColorMode::Mono8:
            return {Gamma8, Contrast8, Sharpen8, Brightness8, nullptr};
        case ColorMode::Mono16:
            return {Gamma16, Contrast16, Sharpen16, Brightness16, nullptr};
        case ColorMode::Bgr24:
        case ColorMode::Bgr32:
            return {Gamma24, Contrast24, Sharpen24, Brightness24, HueSaturation24};
        case ColorMode::Bgr48:
        case ColorMode::Bgr64:
            return {Gamma48, Contrast48, Sharpen48, Brightness48, HueSaturation48};
    }
    return {};
}

bool usable(const DibImage *image) {
    return image != nullptr && !image->isEmpty();
}

bool sameFormat(const DibImage &a, const DibImage &b) {
    return a.width() == b.width() && a.height() == b.height() && a.stride() == b.stride() &&
           a.bitCount() == b.bitCount();
}

// Whole-image application: the source rectangle is the whole source at (0, 0).
std::int32_t apply(DibImage &destination, ConversionKernel kernel, const DibImage &source,
                   const void *params) {
    return ApplyKernel(destination, kernel, source, nullptr, 0, 0, params, 0);
}

// Colour reconstruction from the raw mosaic into a colour image, after the automatic colour gain.
// `fourthSamplesZero`: the colour image's fourth samples are all 0 (see FrameReconstructionParams).
void reconstructColour(DibImage &raw, DibImage &colour, bool tenBit, bool fourthSamplesZero,
                       SettingsBlock &settings, FrameControls &controls) {
    AutoColourGain(raw, settings, controls);
    FrameReconstructionParams params;
    params.gains = ColourGains{
        settings.get(SettingsWord::BayerMode), settings.get(SettingsWord::ColourGainRed),
        settings.get(SettingsWord::ColourGainGreen), settings.get(SettingsWord::ColourGainBlue)};
    params.fourthSamplesZero = fourthSamplesZero;
    apply(colour, tenBit ? Demosaic10Frame : Demosaic8Frame, raw, &params);
}

void applyGrayGains(DibImage &image8, const SettingsBlock &settings) {
    GrayGainParams params;
    params.bayerMode = settings.get(SettingsWord::BayerMode);
    params.gains.r = settings.get(SettingsWord::GrayGainR);
    params.gains.g1 = settings.get(SettingsWord::GrayGainG1);
    params.gains.g2 = settings.get(SettingsWord::GrayGainG2);
    params.gains.b = settings.get(SettingsWord::GrayGainB);
    params.offsetR = settings.get(SettingsWord::GrayOffsetR);
    params.offsetG1 = settings.get(SettingsWord::GrayOffsetG1);
    params.offsetG2 = settings.get(SettingsWord::GrayOffsetG2);
    params.offsetB = settings.get(SettingsWord::GrayOffsetB);
    apply(image8, ApplyGrayGains, image8, &params);
}

void mosaicWork(const FrameInput &frame, DibImage &raw) {
    const FrameImages &images = frame.images;
    switch (frame.mode) {
        case ColorMode::Mono8: {
            const std::int32_t grayMode = frame.settings.get(SettingsWord::GrayMode);
            if (grayMode == kGrayModeBayerConvert) {
                AutoGrayGain(raw, frame.settings, frame.controls);
                applyGrayGains(raw, frame.settings);
            } else if (grayMode == kGrayModeGrayscale && usable(images.image24) &&
                       images.image24->width() == raw.width() &&
                       images.image24->height() == raw.height()) {
                reconstructColour(raw, *images.image24, false, false, frame.settings,
                                  frame.controls);
                apply(raw, Luma24To8, *images.image24, nullptr);
            }
            break;
        }
        case ColorMode::Mono16:
            break;
        case ColorMode::Bgr24:
        case ColorMode::Bgr32:
        case ColorMode::Bgr48:
        case ColorMode::Bgr64: {
            DibImage *output = outputImageFor(images, frame.mode);
            if (usable(output) && output->width() == raw.width() &&
                output->height() == raw.height()) {
                // The 64-bit image is created zero-filled and every step leaves its fourth
                // words alone, so they are still 0 here.
                reconstructColour(raw, *output, hasWideRawSamples(frame.mode),
                                  frame.mode == ColorMode::Bgr64, frame.settings, frame.controls);
            }
            break;
        }
    }
}

// Copies the output image into the work image in row bands (a full colour frame is 86 MB).
void copyToWork(const DibImage &output, DibImage &work) {
    const std::size_t stride = static_cast<std::size_t>(output.stride());
    parallelRows(output.height(), 64, [&](int first, int end) {
        std::memcpy(work.row(first), output.row(first),
                    stride * static_cast<std::size_t>(end - first));
    });
}

void adjust(const FrameInput &frame, DibImage &output) {
    const AdjustmentKernels kernels = adjustmentKernels(frame.mode);
    const SettingsBlock &s = frame.settings;

    const std::int32_t hue = s.get(SettingsWord::Hue);
    const std::int32_t saturation = s.get(SettingsWord::Saturation);
    if (kernels.hueSaturation != nullptr && (hue != 0 || saturation != 0)) {
        const HueSaturationParams params{
            hue, 0, std::clamp(saturation, kMinSaturation, kMaxSaturation), 10};
        apply(output, kernels.hueSaturation, output, &params);
    }
    const SingleValueParams gamma{s.get(SettingsWord::Gamma)};
    if (gamma.value != kNeutralGamma) {
        apply(output, kernels.gamma, output, &gamma);
    }
    const SingleValueParams contrast{s.get(SettingsWord::Contrast)};
    if (contrast.value != 0) {
        apply(output, kernels.contrast, output, &contrast);
    }
    const SingleValueParams sharpness{s.get(SettingsWord::Sharpness)};
    DibImage *work = frame.images.work;
    if (sharpness.value != 0 && usable(work) && work != &output && sameFormat(*work, output)) {
        copyToWork(output, *work);
        apply(output, kernels.sharpen, *work, &sharpness);
    }
    const SingleValueParams brightness{s.get(SettingsWord::Brightness)};
    if (brightness.value != 0) {
        apply(output, kernels.brightness, output, &brightness);
    }
}

}  // namespace

DibImage *rawImageFor(const FrameImages &images, ColorMode mode) {
    return hasWideRawSamples(mode) ? images.image16 : images.image8;
}

DibImage *outputImageFor(const FrameImages &images, ColorMode mode) {
    switch (mode) {
        case ColorMode::Mono8:
            return images.image8;
        case ColorMode::Mono16:
            return images.image16;
        case ColorMode::Bgr24:
            return images.image24;
        case ColorMode::Bgr32:
            return images.image32;
        case ColorMode::Bgr48:
            return images.image48;
        case ColorMode::Bgr64:
            return images.image64;
    }
    return nullptr;
}

void ProcessFrame(const FrameInput &frame, FrameRhythm &rhythm) {
    DibImage *raw = rawImageFor(frame.images, frame.mode);
    AutoExposure(usable(raw) ? raw : nullptr, frame.analog, frame.controls, rhythm);
    if (!usable(raw)) {
        return;
    }
    if (frame.analog.get(AnalogWord::MirrorV) != 0) {
        apply(*raw, SwapRows, *raw, nullptr);
    }
    mosaicWork(frame, *raw);
    DibImage *output = outputImageFor(frame.images, frame.mode);
    if (usable(output)) {
        adjust(frame, *output);
    }
}

}  // namespace ostrel::imaging
