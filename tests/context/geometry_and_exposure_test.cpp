// The geometry check (the image must lie on the 6576 x 4384 sensor, subsampling 0..2) and the
// exposure time of an exposure register value.
#include <gtest/gtest.h>

#include <climits>

#include "context/exposure_time.h"
#include "context/image_geometry.h"

namespace ostrel::context {
namespace {

ImageGeometry geometry(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
    ImageGeometry g;
    g.originX = x;
    g.originY = y;
    g.imageWidth = width;
    g.imageHeight = height;
    return g;
}

TEST(GeometryCheck, TheFullSensorAndEveryImageOnItPass) {
    EXPECT_TRUE(isValidGeometry(kSensorGeometry, 0));
    EXPECT_TRUE(isValidGeometry(geometry(0, 0, 6576, 4384), 2));
    EXPECT_TRUE(isValidGeometry(geometry(6000, 4000, 576, 384), 1));
    EXPECT_TRUE(isValidGeometry(geometry(6576, 4384, 0, 0), 0));
}

TEST(GeometryCheck, AnImageReachingPastTheSensorFails) {
    EXPECT_FALSE(isValidGeometry(geometry(0, 0, 6577, 4384), 0));
    EXPECT_FALSE(isValidGeometry(geometry(0, 0, 6576, 4385), 0));
    EXPECT_FALSE(isValidGeometry(geometry(1, 0, 6576, 4384), 0));
    EXPECT_FALSE(isValidGeometry(geometry(0, 1, 6576, 4384), 0));
    EXPECT_FALSE(isValidGeometry(geometry(6577, 0, 0, 0), 0));
    EXPECT_FALSE(isValidGeometry(geometry(0, 4385, 0, 0), 0));
}

TEST(GeometryCheck, NegativeValuesFailEvenWhenTheSumsWouldFit) {
    EXPECT_FALSE(isValidGeometry(geometry(-1, 0, 100, 100), 0));
    EXPECT_FALSE(isValidGeometry(geometry(0, -1, 100, 100), 0));
    EXPECT_FALSE(isValidGeometry(geometry(100, 0, -1, 100), 0));
    EXPECT_FALSE(isValidGeometry(geometry(0, 100, 100, -1), 0));
    EXPECT_FALSE(isValidGeometry(geometry(INT_MAX, 0, INT_MIN + 10, 10), 0));
}

TEST(GeometryCheck, OnlySubsampleModesZeroToTwoPass) {
    EXPECT_FALSE(isValidGeometry(kSensorGeometry, 3));
    EXPECT_FALSE(isValidGeometry(kSensorGeometry, -1));
    EXPECT_TRUE(isValidGeometry(kSensorGeometry, 1));
}

TEST(ExposureTime, FollowsTheRegisterInWholeMicroseconds) {
    EXPECT_EQ(exposureTimeMicroseconds(4455), 44);
    EXPECT_EQ(exposureTimeMicroseconds(2228), 262760);
    EXPECT_EQ(exposureTimeMicroseconds(100), 513798);
    EXPECT_EQ(exposureTimeMicroseconds(1), 525477);
    EXPECT_EQ(exposureTimeMicroseconds(0), 525595);
}

TEST(ExposureTime, ValuesFarOutsideTheRegisterSaturateInsteadOfOverflowing) {
    EXPECT_EQ(exposureTimeMicroseconds(INT_MIN), INT_MAX);
    EXPECT_EQ(exposureTimeMicroseconds(INT_MAX), INT_MIN);
    // Just above the register's range the time goes negative, as the formula says.
    EXPECT_EQ(exposureTimeMicroseconds(4456), static_cast<std::int32_t>((-3775 + 1426) * 0.03125));
}

}  // namespace
}  // namespace ostrel::context
