// What the pipeline benchmarks need to run ProcessFrame alone: frame controls with no camera
// behind them (shared with the tests), settings that leave every adjustment neutral and a random
// mosaic to convert.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>

#include "imaging/dib_image.h"

#include "imaging/quiet_frame_controls.h"
#include "platform/settings_block.h"

namespace ostrel::bench {

// Gamma 100, colour gains 100, the camera's Bayer mode 3, everything else off.
inline imaging::SettingsBlock neutralSettings() {
    imaging::SettingsBlock settings;
    settings.set(imaging::SettingsWord::Gamma, 100);
    settings.set(imaging::SettingsWord::ColourGainRed, 100);
    settings.set(imaging::SettingsWord::ColourGainGreen, 100);
    settings.set(imaging::SettingsWord::ColourGainBlue, 100);
    settings.set(imaging::SettingsWord::BayerMode, 3);
    return settings;
}

// Fills a raw image with the same random mosaic in every run: 8-bit samples, or 10-bit ones in
// 16-bit words when `wide`.
inline void fillRandomMosaic(imaging::DibImage &image, bool wide) {
    std::mt19937 rng(1);
    for (int y = 0; y < image.height(); ++y) {
        std::uint8_t *row = image.row(y);
        for (int x = 0; x < image.width(); ++x) {
            const std::uint32_t v = rng();
            if (wide) {
                const auto word = static_cast<std::uint16_t>(v & 1023);
                std::memcpy(row + 2 * x, &word, 2);
            } else {
                row[x] = static_cast<std::uint8_t>(v);
            }
        }
    }
}

}  // namespace ostrel::bench
