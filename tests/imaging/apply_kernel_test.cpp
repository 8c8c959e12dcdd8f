// ApplyKernel and ApplyKernelScaled: what the kernel is given after clipping and the bottom-up row
// numbering, and when it is not called at all.
#include <gtest/gtest.h>

#include "imaging/apply_kernel.h"
#include "imaging/dib_image.h"

namespace ostrel::imaging {
namespace {

KernelArgs lastArgs;
ScaledKernelArgs lastScaledArgs;
int calls = 0;

std::int32_t recordingKernel(const KernelArgs &args) {
    lastArgs = args;
    ++calls;
    return 1234;
}

std::int32_t recordingScaledKernel(const ScaledKernelArgs &args) {
    lastScaledArgs = args;
    ++calls;
    return 77;
}

class ApplyKernelTest : public ::testing::Test {
protected:
    void SetUp() override {
        calls = 0;
        lastArgs = KernelArgs{};
        ASSERT_TRUE(destination_.create(10, 8, 24));
        ASSERT_TRUE(source_.create(6, 5, 8));
    }

    void expectRect(const KernelRect &r, int left, int top, int right, int bottom) {
        EXPECT_EQ(r.left, left);
        EXPECT_EQ(r.top, top);
        EXPECT_EQ(r.right, right);
        EXPECT_EQ(r.bottom, bottom);
    }

    DibImage destination_;
    DibImage source_;
};

TEST_F(ApplyKernelTest, WholeEqualImagesPassTheWholeRectangleAndEverythingElse) {
    DibImage a;
    DibImage b;
    ASSERT_TRUE(a.create(7, 3, 24));
    ASSERT_TRUE(b.create(7, 3, 16));
    const int block = 42;
    EXPECT_EQ(ApplyKernel(a, recordingKernel, b, nullptr, 0, 0, &block, 0), 1234);
    EXPECT_EQ(calls, 1);
    expectRect(lastArgs.srcRect, 0, 0, 7, 3);
    EXPECT_EQ(lastArgs.dstX, 0);
    EXPECT_EQ(lastArgs.dstY, 0);
    EXPECT_EQ(lastArgs.dst, a.pixels());
    EXPECT_EQ(lastArgs.src, b.pixels());
    EXPECT_EQ(lastArgs.dstBytesPerPixel, 3);
    EXPECT_EQ(lastArgs.srcBytesPerPixel, 2);
    EXPECT_EQ(lastArgs.dstStride, a.stride());
    EXPECT_EQ(lastArgs.srcStride, b.stride());
    EXPECT_EQ(lastArgs.params, &block);
    EXPECT_EQ(lastArgs.extra, 0);
}

TEST_F(ApplyKernelTest, RowsAreNumberedBottomUp) {
    // Rectangle rows 1..3 of a 5-row source at (2, 4) of an 8-row destination: destination rows
    // 4..6 counted from the top are memory rows from 8 - 7 = 1; source rows from 5 - 4 = 1 to
    // 5 - 1 = 4.
    const KernelRect rect{1, 1, 4, 4};
    EXPECT_EQ(ApplyKernel(destination_, recordingKernel, source_, &rect, 2, 4, nullptr, 9), 1234);
    expectRect(lastArgs.srcRect, 1, 1, 4, 4);
    EXPECT_EQ(lastArgs.dstX, 2);
    EXPECT_EQ(lastArgs.dstY, 1);
    EXPECT_EQ(lastArgs.extra, 9);

    const KernelRect top{0, 0, 6, 2};
    EXPECT_EQ(ApplyKernel(destination_, recordingKernel, source_, &top, 0, 0, nullptr, 0), 1234);
    expectRect(lastArgs.srcRect, 0, 3, 6, 5);
    EXPECT_EQ(lastArgs.dstY, 6);
}

TEST_F(ApplyKernelTest, RectangleIsCutToTheDestinationAndTheSourceBySameAmounts) {
    // Hanging over the destination's left and top edges by 2 and 1.
    const KernelRect rect{0, 0, 6, 5};
    ASSERT_EQ(ApplyKernel(destination_, recordingKernel, source_, &rect, -2, -1, nullptr, 0), 1234);
    // Clipped source (2, 1, 6, 5) at destination (0, 0) .. (4, 4): bottom-up rows 5-5, 5-1 and
    // destination y 8 - 4.
    expectRect(lastArgs.srcRect, 2, 0, 6, 4);
    EXPECT_EQ(lastArgs.dstX, 0);
    EXPECT_EQ(lastArgs.dstY, 4);

    // Hanging over the right and bottom edges.
    ASSERT_EQ(ApplyKernel(destination_, recordingKernel, source_, &rect, 7, 6, nullptr, 0), 1234);
    // Destination (7, 6) .. (10, 8): source (0, 0, 3, 2), bottom-up rows 3 .. 5; y = 8 - 8.
    expectRect(lastArgs.srcRect, 0, 3, 3, 5);
    EXPECT_EQ(lastArgs.dstX, 7);
    EXPECT_EQ(lastArgs.dstY, 0);
}

TEST_F(ApplyKernelTest, SourceRectangleBeyondTheSourceMovesTheDestinationWithIt) {
    // Columns -1..2 and rows 3..7 of a 6 x 5 source: only columns 0..1 and rows 3..4 exist; they
    // still land where they belong, one column and no row further on.
    const KernelRect rect{-1, 3, 2, 7};
    ASSERT_EQ(ApplyKernel(destination_, recordingKernel, source_, &rect, 4, 2, nullptr, 0), 1234);
    expectRect(lastArgs.srcRect, 0, 0, 2, 2);  // rows 3..4 are bottom-up rows 0..1
    EXPECT_EQ(lastArgs.dstX, 5);
    EXPECT_EQ(lastArgs.dstY, 8 - 4);  // destination rows 2..3 from the top
}

TEST_F(ApplyKernelTest, NothingLeftAfterClippingReturns0WithoutCallingTheKernel) {
    const KernelRect rect{0, 0, 6, 5};
    EXPECT_EQ(ApplyKernel(destination_, recordingKernel, source_, &rect, 10, 0, nullptr, 0), 0);
    EXPECT_EQ(ApplyKernel(destination_, recordingKernel, source_, &rect, 0, 8, nullptr, 0), 0);
    EXPECT_EQ(ApplyKernel(destination_, recordingKernel, source_, &rect, -6, 0, nullptr, 0), 0);
    const KernelRect beyond{6, 0, 9, 5};
    EXPECT_EQ(ApplyKernel(destination_, recordingKernel, source_, &beyond, 0, 0, nullptr, 0), 0);
    const KernelRect inverted{4, 3, 2, 1};
    EXPECT_EQ(ApplyKernel(destination_, recordingKernel, source_, &inverted, 0, 0, nullptr, 0), 0);
    const KernelRect huge{-2147483647, 0, 2147483647, 5};
    EXPECT_EQ(ApplyKernel(destination_, recordingKernel, source_, &huge, 2147483647, 0, nullptr, 0),
              0);
    EXPECT_EQ(calls, 0);
}

TEST_F(ApplyKernelTest, NoKernelOrAnEmptyImageReturns0) {
    EXPECT_EQ(ApplyKernel(destination_, nullptr, source_, nullptr, 0, 0, nullptr, 0), 0);
    DibImage empty;
    EXPECT_EQ(ApplyKernel(empty, recordingKernel, source_, nullptr, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(ApplyKernel(destination_, recordingKernel, empty, nullptr, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(calls, 0);
}

TEST_F(ApplyKernelTest, ScaledKernelGetsBothWholeImages) {
    EXPECT_EQ(ApplyKernelScaled(destination_, recordingScaledKernel, source_), 77);
    expectRect(lastScaledArgs.dstRect, 0, 0, 10, 8);
    expectRect(lastScaledArgs.srcRect, 0, 0, 6, 5);
    EXPECT_EQ(lastScaledArgs.dstWidth, 10);
    EXPECT_EQ(lastScaledArgs.dstHeight, 8);
    EXPECT_EQ(lastScaledArgs.srcWidth, 6);
    EXPECT_EQ(lastScaledArgs.srcHeight, 5);
    EXPECT_EQ(lastScaledArgs.dstBytesPerPixel, 3);
    EXPECT_EQ(lastScaledArgs.srcBytesPerPixel, 1);
    EXPECT_EQ(lastScaledArgs.dstStride, destination_.stride());
    EXPECT_EQ(lastScaledArgs.srcStride, source_.stride());
    EXPECT_EQ(lastScaledArgs.user0, 0);
    EXPECT_EQ(lastScaledArgs.user1, 0);
    EXPECT_EQ(ApplyKernelScaled(destination_, nullptr, source_), 0);
}

}  // namespace
}  // namespace ostrel::imaging
