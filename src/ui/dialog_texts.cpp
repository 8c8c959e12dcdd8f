// English and Japanese run-time texts of the camera settings dialog. The clock list's single
// item keeps its historical English spelling "Nomal": applications and manuals quote it.
#include "ui/dialog_texts.h"

namespace ostrel::ui {

namespace {

constexpr CameraDialogTexts kEnglish{
    "Stream Format",
    {"Monochrome 8bit", "Monochrome 10bit *", "Color 24bit", "Color 32bit", "Color 48bit *",
     "Color 64bit *"},
    "Custom",
    "Nomal",
    "1/1",
};

constexpr CameraDialogTexts kJapanese{
    "ストリーム形式",
    {"モノクロ 8ビット", "モノクロ 10ビット *", "カラー 24ビット", "カラー 32ビット",
     "カラー 48ビット *", "カラー 64ビット *"},
    "カスタム",
    "標準",
    "1/1",
};

}  // namespace

const CameraDialogTexts &cameraDialogTexts(DialogLanguage language) {
    return language == DialogLanguage::Japanese ? kJapanese : kEnglish;
}

}  // namespace ostrel::ui
