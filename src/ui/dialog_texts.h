// The texts that the settings dialogs put into their controls at run time (list items and tab
// captions), in English and Japanese. The texts fixed in the dialog templates are in the
// resource files.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace ostrel::ui {

enum class DialogLanguage { English, Japanese };

// Japanese for the Japanese system language (1041), English for every other.
constexpr DialogLanguage dialogLanguageFor(std::uint16_t languageId) {
    return languageId == 1041 ? DialogLanguage::Japanese : DialogLanguage::English;
}

struct CameraDialogTexts {
    std::string_view streamFormatTab;
    // Indexed by the colour mode code 0..5.
    std::array<std::string_view, 6> colorItems;
    std::string_view customSize;
    std::string_view normalClock;
    std::string_view fullSubsample;
};

const CameraDialogTexts &cameraDialogTexts(DialogLanguage language);

// Tab captions shared by both languages.
inline constexpr std::string_view kAnalogGainTab = "Analog Gain";
inline constexpr std::string_view kImageFilterTab = "Image Filter";
inline constexpr std::string_view kGrayFilterTab = "Gray Filter";

}  // namespace ostrel::ui
