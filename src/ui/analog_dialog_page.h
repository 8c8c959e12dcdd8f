// The analog dialog: one page with the camera's global gain and exposure (slider, edit and
// up-down each), four colour gain rows shown disabled, the automatic iris choice, the two mirror
// check boxes and the exposure time. Gain and exposure reach the camera while the user edits;
// anything but OK puts the camera, the analog settings and the Bayer mode back as they were.
//
// Threads: the dialog's thread. showValue is how the capture thread's automatic iris reaches
// the page: the capture thread asks the dialog's thread (by a posted message) to call it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/analog_settings.h"
#include "platform/settings_block.h"
#include "ui/dialog_view.h"

namespace ostrel::ui {

// What the page changes on the camera.
class AnalogCamera {
public:
    virtual ~AnalogCamera() = default;
    virtual void setGain(std::int32_t gain) = 0;
    virtual void setExposure(std::int32_t exposure) = 0;
    virtual void setMirrorV(std::int32_t flag) = 0;
    virtual void setMirrorH(std::int32_t flag) = 0;
    // 0 when the camera reads full frames.
    virtual std::int32_t subsampleMode() const = 0;
};

namespace analog_control {
inline constexpr int kGainSlider = 1014;
inline constexpr int kGainEdit = 1015;
inline constexpr int kGainSpin = 1038;
inline constexpr int kExposureSlider = 1026;
inline constexpr int kExposureEdit = 1027;
inline constexpr int kExposureSpin = 1043;
inline constexpr int kMirrorV = 1028;
inline constexpr int kMirrorH = 1030;
inline constexpr int kAutoIrisGain = 1036;
inline constexpr int kAutoIrisExposure = 1037;
inline constexpr int kExposureLabel = 1049;
inline constexpr int kDefault = 3;
// The colour gain rows G1, R, B, G2: slider, edit and spin control each.
inline constexpr std::array<std::array<int, 3>, 4> kColourGainRows{
    {{1018, 1019, 1039}, {1020, 1021, 1040}, {1022, 1023, 1041}, {1024, 1025, 1042}}};
}  // namespace analog_control

// "=%.2fms" of the exposure time of an exposure register value.
std::string exposureLabel(std::int32_t exposure);

class AnalogPage {
public:
    // Works on the context's analog settings and settings block (for its Bayer mode) and on
    // the camera; all borrowed for the page's life. Remembers them as they are now.
    AnalogPage(imaging::AnalogSettings &settings, imaging::SettingsBlock &block,
               AnalogCamera &camera, DialogView &view);
    AnalogPage(const AnalogPage &) = delete;
    AnalogPage &operator=(const AnalogPage &) = delete;

    void initialise();
    void sliderMoved(int control, std::int32_t position);
    void editChanged(int control, std::string_view text);
    // Check boxes and the dialog's buttons (OK, Cancel, "Default(&D)").
    DialogEnd clicked(int control);
    // A new gain (edit 1015) or exposure (edit 1027) from the automatic iris, taken as if
    // typed.
    void showValue(int control, std::int32_t value);
    // After the dialog has ended: anything but OK writes the remembered gain, exposure and
    // mirrors to the camera again and restores the settings and the Bayer mode.
    void finish(DialogEnd end);

private:
    void applyGain(std::int32_t gain);
    void applyExposure(std::int32_t exposure);
    void setEdit(int control, std::int32_t value);
    void showAutoIris();

    imaging::AnalogSettings &settings_;
    imaging::SettingsBlock &block_;
    AnalogCamera &camera_;
    DialogView &view_;
    const imaging::AnalogValues saved_;
    const std::int32_t savedBayer_;
    bool ready_ = false;
    std::string gainText_;
    std::string exposureText_;
};

}  // namespace ostrel::ui
