// The camera's facts as every module reads them: the register limits, the exposure time of a
// register value, the subsample divisors and the whole-sensor size entry.
#include "platform/camera_facts.h"

#include <gtest/gtest.h>

#include <climits>

namespace ostrel::platform::camera {
namespace {

TEST(CameraFacts, LimitsAreThoseTheCameraTakes) {
    const struct {
        const char *name;
        std::int32_t actual;
        std::int32_t expected;
    } cases[] = {
        {"min gain", kMinGlobalGain, 0},
        {"max gain", kMaxGlobalGain, 1023},
        {"min exposure", kMinExposure, 1},
        {"max exposure", kMaxExposure, 4455},
        {"max exposure, subsampled", kMaxExposureSubsampled, 2228},
        {"offered, full size", maxExposure(false), 4455},
        {"offered, subsampled", maxExposure(true), 2228},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.actual, c.expected) << c.name;
    }
}

TEST(CameraFacts, ExposureTimeRunsOppositeToTheRegister) {
    const struct {
        std::int32_t exposure;
        double micros;
    } cases[] = {
        {4455, 44.5625}, {4454, 162.53125}, {2228, 262760.96875}, {100, 513798.46875},
        {1, 525477.375}, {0, 525595.34375}, {4456, -73.40625},    {INT_MAX, -253335435886.6875},
    };
    for (const auto &c : cases) {
        EXPECT_DOUBLE_EQ(exposureTimeMicroseconds(c.exposure), c.micros) << c.exposure;
    }
    // Usable in constant expressions, where the emulator takes its brightness scale from it.
    static_assert(exposureTimeMicroseconds(kMaxExposure) == 44.5625);
}

TEST(CameraFacts, SubsampleModesDivideEachDirection) {
    const struct {
        std::int32_t mode;
        std::int32_t divisor;
    } cases[] = {{0, 1}, {1, 2}, {2, 4}, {3, 8}, {4, 1}, {-1, 1}, {17, 1}, {INT_MIN, 1}};
    for (const auto &c : cases) {
        EXPECT_EQ(subsampleDivisor(c.mode), c.divisor) << c.mode;
    }
}

TEST(CameraFacts, TheWholeSensorEntryAndAFreshEntry) {
    EXPECT_EQ(kSensorWidth, 6576);
    EXPECT_EQ(kSensorHeight, 4384);
    // The order of the fields is that of the stored values TH, TV, EH, EV, EHS, EVS, Buf.
    const ImageGeometry sensor{6576, 4384, 6576, 4384, 0, 0, 10};
    EXPECT_EQ(kSensorGeometry, sensor);
    EXPECT_EQ(kSensorGeometry.imageWidth, 6576);
    EXPECT_EQ(kSensorGeometry.imageHeight, 4384);
    EXPECT_EQ(ImageGeometry{}, (ImageGeometry{0, 0, 0, 0, 0, 0, 10}));
    EXPECT_NE(kSensorGeometry, (ImageGeometry{6576, 4384, 6576, 4384, 0, 0, 9}));
}

}  // namespace
}  // namespace ostrel::platform::camera
