// The image-adjustment settings of one camera: thirty 32-bit words read by the frame pipeline on
// the capture thread while the application, the dialogs and the automatic gains change them.
// Each word is atomic (relaxed) so that a single word changes at once without a data race; the
// block is copied and compared word by word, as one piece, when the dialogs save and restore it.
// A plain record below both the settings store, which keeps it, and the frame pipeline, which
// reads it; it keeps the pipeline's namespace, where it is used most.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace ostrel::imaging {

// Word indexes (0-based) of the settings in the block.
enum class SettingsWord : int {
    Brightness = 0,
    Contrast = 1,
    Hue = 2,
    Saturation = 3,
    Sharpness = 4,
    ColourGainRed = 5,
    ColourGainGreen = 6,
    ColourGainBlue = 7,
    Gamma = 8,
    BayerMode = 9,
    Reserved10 = 10,
    GrayMode = 11,
    GrayGainR = 12,
    GrayGainG1 = 13,
    GrayGainG2 = 14,
    GrayGainB = 15,
    GrayOffsetR = 16,
    GrayOffsetG1 = 17,
    GrayOffsetG2 = 18,
    GrayOffsetB = 19,
    Reserved20 = 20,
    Reserved21 = 21,
    Reserved22 = 22,
    Reserved23 = 23,
    Reserved24 = 24,
    AutoColourGain = 25,
    AutoColourGainOnce1 = 26,
    AutoColourGainOnce2 = 27,
    Reserved28 = 28,
    AutoGrayGainCountdown = 29,
};

// Plain values of the block, for saving, restoring and comparing it as one piece.
using SettingsValues = std::array<std::int32_t, 30>;

class SettingsBlock {
public:
    static constexpr std::size_t kWordCount = 30;

    SettingsBlock() = default;
    explicit SettingsBlock(const SettingsValues &values) { assign(values); }
    SettingsBlock(const SettingsBlock &other) { assign(other.values()); }
    SettingsBlock &operator=(const SettingsBlock &other) {
        if (this != &other) {
            assign(other.values());
        }
        return *this;
    }

    std::int32_t get(SettingsWord word) const {
        return words_[static_cast<std::size_t>(word)].load(std::memory_order_relaxed);
    }
    void set(SettingsWord word, std::int32_t value) {
        words_[static_cast<std::size_t>(word)].store(value, std::memory_order_relaxed);
    }

    // Replaces the word with desired only if it still holds expected (a thread that updates a
    // word from its own reading, such as a countdown, then never undoes another thread's store).
    bool compareAndSet(SettingsWord word, std::int32_t expected, std::int32_t desired) {
        return words_[static_cast<std::size_t>(word)].compare_exchange_strong(
            expected, desired, std::memory_order_relaxed);
    }

    // By 0-based index (index below kWordCount), for code that maps numbers to words.
    std::int32_t word(std::size_t index) const {
        return words_[index].load(std::memory_order_relaxed);
    }
    void setWord(std::size_t index, std::int32_t value) {
        words_[index].store(value, std::memory_order_relaxed);
    }

    SettingsValues values() const {
        SettingsValues out{};
        for (std::size_t i = 0; i < kWordCount; ++i) {
            out[i] = word(i);
        }
        return out;
    }
    void assign(const SettingsValues &values) {
        for (std::size_t i = 0; i < kWordCount; ++i) {
            setWord(i, values[i]);
        }
    }

private:
    std::array<std::atomic<std::int32_t>, kWordCount> words_{};
};

}  // namespace ostrel::imaging
