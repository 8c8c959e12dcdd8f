// The named filter-value exports, one row per FilterId: Ostrel_Set<Name> and Ostrel_Get<Name>.
// X(Name, FilterId) is expanded once to define the 54 functions and again by the tests.
#pragma once

#include "OstrelSdk.h"

#define OSTREL_FILTER_VALUE_EXPORTS(X)                  \
    X(Brightness, OSTREL_FILTER_BRIGHTNESS)             \
    X(Contrast, OSTREL_FILTER_CONTRAST)                 \
    X(Hue, OSTREL_FILTER_HUE)                           \
    X(Saturation, OSTREL_FILTER_SATURATION)             \
    X(Sharpness, OSTREL_FILTER_SHARPNESS)               \
    X(BayerGainRGB, OSTREL_FILTER_BAYER_GAIN_RGB)       \
    X(BayerGainRed, OSTREL_FILTER_BAYER_GAIN_RED)       \
    X(BayerGainGreen, OSTREL_FILTER_BAYER_GAIN_GREEN)   \
    X(BayerGainBlue, OSTREL_FILTER_BAYER_GAIN_BLUE)     \
    X(BayerGainAuto, OSTREL_FILTER_BAYER_GAIN_AUTO)     \
    X(Gamma, OSTREL_FILTER_GAMMA)                       \
    X(BayerMode, OSTREL_FILTER_BAYER_MODE)              \
    X(GlobalGain, OSTREL_FILTER_GLOBAL_GAIN)            \
    X(ColorGainRed, OSTREL_FILTER_COLOR_GAIN_RED)       \
    X(ColorGainGreen1, OSTREL_FILTER_COLOR_GAIN_GREEN1) \
    X(ColorGainGreen2, OSTREL_FILTER_COLOR_GAIN_GREEN2) \
    X(ColorGainBlue, OSTREL_FILTER_COLOR_GAIN_BLUE)     \
    X(ExposureTime, OSTREL_FILTER_EXPOSURE_TIME)        \
    X(GrayMode, OSTREL_FILTER_GRAY_MODE)                \
    X(GrayGainR, OSTREL_FILTER_GRAY_GAIN_R)             \
    X(GrayGainG1, OSTREL_FILTER_GRAY_GAIN_G1)           \
    X(GrayGainG2, OSTREL_FILTER_GRAY_GAIN_G2)           \
    X(GrayGainB, OSTREL_FILTER_GRAY_GAIN_B)             \
    X(GrayOffsetR, OSTREL_FILTER_GRAY_OFFSET_R)         \
    X(GrayOffsetG1, OSTREL_FILTER_GRAY_OFFSET_G1)       \
    X(GrayOffsetG2, OSTREL_FILTER_GRAY_OFFSET_G2)       \
    X(GrayOffsetB, OSTREL_FILTER_GRAY_OFFSET_B)
