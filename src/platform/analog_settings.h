// The analog settings of one camera: nine 32-bit words (gain, colour gains, exposure, mirror
// flags, auto-iris mode) shared by the application, the analog page and the automatic exposure of
// the capture thread. Each word is atomic (relaxed): one word changes at once, without a race.
// A plain record below both the settings store, which keeps it, and the frame pipeline, which
// reads it; it keeps the pipeline's namespace, where it is used most.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace ostrel::imaging {

enum class AnalogWord : int {
    GlobalGain = 0,
    ColourGainG1 = 1,
    ColourGainR = 2,
    ColourGainB = 3,
    ColourGainG2 = 4,
    Exposure = 5,
    MirrorV = 6,
    MirrorH = 7,
    AutoIris = 8,
};

// Auto-iris modes (the AutoIris word).
inline constexpr std::int32_t kAutoIrisOff = 0;
inline constexpr std::int32_t kAutoIrisExposure = 1;
inline constexpr std::int32_t kAutoIrisGain = 2;

using AnalogValues = std::array<std::int32_t, 9>;

class AnalogSettings {
public:
    static constexpr std::size_t kWordCount = 9;

    AnalogSettings() = default;
    explicit AnalogSettings(const AnalogValues &values) { assign(values); }
    AnalogSettings(const AnalogSettings &other) { assign(other.values()); }
    AnalogSettings &operator=(const AnalogSettings &other) {
        if (this != &other) {
            assign(other.values());
        }
        return *this;
    }

    std::int32_t get(AnalogWord word) const {
        return words_[static_cast<std::size_t>(word)].load(std::memory_order_relaxed);
    }
    void set(AnalogWord word, std::int32_t value) {
        words_[static_cast<std::size_t>(word)].store(value, std::memory_order_relaxed);
    }

    std::int32_t word(std::size_t index) const {
        return words_[index].load(std::memory_order_relaxed);
    }
    void setWord(std::size_t index, std::int32_t value) {
        words_[index].store(value, std::memory_order_relaxed);
    }

    AnalogValues values() const {
        AnalogValues out{};
        for (std::size_t i = 0; i < kWordCount; ++i) {
            out[i] = word(i);
        }
        return out;
    }
    void assign(const AnalogValues &values) {
        for (std::size_t i = 0; i < kWordCount; ++i) {
            setWord(i, values[i]);
        }
    }

private:
    std::array<std::atomic<std::int32_t>, kWordCount> words_{};
};

}  // namespace ostrel::imaging
