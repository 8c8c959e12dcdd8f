// A FrameControls that accepts every call and does nothing: the frame pipeline runs alone, with
// no camera, notification or dialog behind it. The tests work out expected pictures with it and
// the benchmarks time the pipeline with it.
#pragma once

#include <cstdint>

#include "imaging/frame_controls.h"

namespace ostrel::imaging::test {

class QuietFrameControls final : public FrameControls {
public:
    bool hasDevice() const override { return true; }
    void setGain(std::int32_t) override {}
    void setExposure(std::int32_t) override {}
    std::int32_t maxExposure() const override { return 4455; }
    void waitMilliseconds(int) override {}
    void recordError(std::int32_t) override {}
    void postFrameNotification(std::int32_t) override {}
    void refreshAnalogPage(int, std::int32_t) override {}
    void refreshImageFilterDialog() override {}
};

}  // namespace ostrel::imaging::test
