// ApplyKernel and ApplyKernelScaled: rectangle clipping and the bottom-up row numbering that every
// kernel expects.
#include "imaging/apply_kernel.h"

namespace ostrel::imaging {

std::int32_t ApplyKernel(DibImage &destination, ConversionKernel kernel, const DibImage &source,
                         const KernelRect *rect, std::int32_t x, std::int32_t y, const void *params,
                         std::int32_t extra) {
    if (kernel == nullptr || destination.isEmpty() || source.isEmpty()) {
        return 0;
    }
    const std::int32_t dw = destination.width();
    const std::int32_t dh = destination.height();
    const std::int32_t sw = source.width();
    const std::int32_t sh = source.height();

    // 64-bit while clipping, so that no caller's rectangle can overflow the arithmetic.
    std::int64_t sl = rect != nullptr ? rect->left : 0;
    std::int64_t st = rect != nullptr ? rect->top : 0;
    std::int64_t sr = rect != nullptr ? rect->right : sw;
    std::int64_t sb = rect != nullptr ? rect->bottom : sh;
    std::int64_t dl = x;
    std::int64_t dt = y;
    std::int64_t dr = dl + (sr - sl);
    std::int64_t db = dt + (sb - st);

    // Cut to the destination; the source rectangle loses the same amounts.
    if (dl < 0) {
        sl -= dl;
        dl = 0;
    }
    if (dt < 0) {
        st -= dt;
        dt = 0;
    }
    if (dr > dw) {
        sr -= dr - dw;
        dr = dw;
    }
    if (db > dh) {
        sb -= db - dh;
        db = dh;
    }
    // Cut to the source; the destination follows, so every pixel still lands where it belongs.
    if (sl < 0) {
        dl -= sl;
        sl = 0;
    }
    if (st < 0) {
        dt -= st;
        st = 0;
    }
    if (sr > sw) {
        dr -= sr - sw;
        sr = sw;
    }
    if (sb > sh) {
        db -= sb - sh;
        sb = sh;
    }
    // Both rectangles now lie inside their images and have the same size; an empty one (also
    // one that starts at or beyond the far edge) leaves nothing to do.
    if (sr <= sl || sb <= st) {
        return 0;
    }

    KernelArgs args;
    args.dst = destination.pixels();
    args.src = source.pixels();
    args.srcRect = KernelRect{static_cast<std::int32_t>(sl), static_cast<std::int32_t>(sh - sb),
                              static_cast<std::int32_t>(sr), static_cast<std::int32_t>(sh - st)};
    args.dstX = static_cast<std::int32_t>(dl);
    args.dstY = static_cast<std::int32_t>(dh - db);
    args.dstBytesPerPixel = destination.bytesPerPixel();
    args.srcBytesPerPixel = source.bytesPerPixel();
    args.dstStride = destination.stride();
    args.srcStride = source.stride();
    args.params = params;
    args.extra = extra;
    return kernel(args);
}

std::int32_t ApplyKernelScaled(DibImage &destination, ScaledConversionKernel kernel,
                               const DibImage &source) {
    if (kernel == nullptr || destination.isEmpty() || source.isEmpty()) {
        return 0;
    }
    ScaledKernelArgs args;
    args.dst = destination.pixels();
    args.src = source.pixels();
    args.dstRect = KernelRect{0, 0, destination.width(), destination.height()};
    args.srcRect = KernelRect{0, 0, source.width(), source.height()};
    args.dstWidth = destination.width();
    args.dstHeight = destination.height();
    args.srcWidth = source.width();
    args.srcHeight = source.height();
    args.dstBytesPerPixel = destination.bytesPerPixel();
    args.srcBytesPerPixel = source.bytesPerPixel();
    args.dstStride = destination.stride();
    args.srcStride = source.stride();
    return kernel(args);
}

}  // namespace ostrel::imaging
