// A FrameControls that records every call in order, for the automatic controls and pipeline
// tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/frame_controls.h"

namespace ostrel::imaging::test {

class FakeFrameControls : public FrameControls {
public:
    bool device = true;
    std::int32_t maximumExposure = 4455;
    std::vector<std::string> calls;

    bool hasDevice() const override { return device; }
    void setGain(std::int32_t gain) override { add("gain " + std::to_string(gain)); }
    void setExposure(std::int32_t exposure) override {
        add("exposure " + std::to_string(exposure));
    }
    std::int32_t maxExposure() const override { return maximumExposure; }
    void waitMilliseconds(int milliseconds) override {
        add("wait " + std::to_string(milliseconds));
    }
    void recordError(std::int32_t code) override { add("error " + std::to_string(code)); }
    void postFrameNotification(std::int32_t lParam) override {
        add("notify " + std::to_string(lParam));
    }
    void refreshAnalogPage(int control, std::int32_t value) override {
        add("analog " + std::to_string(control) + " " + std::to_string(value));
    }
    void refreshImageFilterDialog() override { add("dialog"); }

private:
    void add(std::string call) { calls.push_back(std::move(call)); }
};

}  // namespace ostrel::imaging::test
