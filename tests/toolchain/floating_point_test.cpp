// Checks that the compiler flags give the floating-point behaviour the pixel kernels rely on to
// produce the same bits on both builds: double arithmetic in SSE2 registers (no x87 extended
// precision on i686) and no contraction of a multiply and an add into one fused operation.
#include <cfloat>
#include <cmath>

#include <gtest/gtest.h>

namespace {

TEST(FloatingPointTest, EvaluatesInTheDeclaredType)
{
    EXPECT_EQ(FLT_EVAL_METHOD, 0);

    // In x87 registers 1e308 * 10 still fits (64-bit exponent range) and dividing by 10 gives
    // 1e308 back; in double precision the product overflows to infinity.
    volatile double big = 1e308;
    volatile double ten = 10.0;
    const double result = big * ten / ten;
    EXPECT_TRUE(std::isinf(result)) << result;
}

TEST(FloatingPointTest, RoundsTheProductBeforeTheSum)
{
    // (1 + 2^-28)(1 - 2^-28) = 1 - 2^-56 exactly, which rounds to 1.0 in double precision, so
    // the sum with -1 is 0. A fused multiply-add, or an extended-precision product, keeps
    // the -2^-56 (and the float case its -2^-26).
    volatile double a = 1.0 + std::ldexp(1.0, -28);
    volatile double b = 1.0 - std::ldexp(1.0, -28);
    volatile double c = -1.0;
    const double result = a * b + c;
    EXPECT_EQ(result, 0.0) << result;

    volatile float fa = 1.0f + std::ldexp(1.0f, -13);
    volatile float fb = 1.0f - std::ldexp(1.0f, -13);
    volatile float fc = -1.0f;
    const float fresult = fa * fb + fc;
    EXPECT_EQ(fresult, 0.0f) << fresult;
}

}  // namespace
