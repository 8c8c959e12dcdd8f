// What the frame pipeline needs from the camera context that runs it: the camera's gain and
// exposure, the error history, the application's frame notification and the open settings pages.
// The pipeline knows nothing of contexts or devices; the context implements this interface and
// tests implement it with a recording fake.
#pragma once

#include <cstdint>

namespace ostrel::imaging {

// Controls of the analog page that the automatic exposure writes into while the page is open.
inline constexpr int kAnalogGainEdit = 1015;
inline constexpr int kAnalogExposureEdit = 1027;

// Every call is made on the thread that runs ProcessFrame or DeliverFrame.
class FrameControls {
public:
    virtual ~FrameControls() = default;

    // Whether a camera device is present; without one the automatic exposure records code 9.
    virtual bool hasDevice() const = 0;
    // Sends a new gain / exposure register value to the device.
    virtual void setGain(std::int32_t gain) = 0;
    virtual void setExposure(std::int32_t exposure) = 0;
    // The device's largest exposure value (4455, or 2228 when it subsamples).
    virtual std::int32_t maxExposure() const = 0;
    // Waits before a longer exposure value is sent (the sensor needs the pause).
    virtual void waitMilliseconds(int milliseconds) = 0;

    // Records an error code in the context's history (and notifies the application).
    virtual void recordError(std::int32_t code) = 0;
    // Posts the frame notification message with the given lParam to the callback window, if any.
    virtual void postFrameNotification(std::int32_t lParam) = 0;

    // Shows a new value in a control of the analog page, when the page is open.
    virtual void refreshAnalogPage(int control, std::int32_t value) = 0;
    // Reloads the open image filter dialog's controls from the settings, when it is open.
    virtual void refreshImageFilterDialog() = 0;
};

}  // namespace ostrel::imaging
