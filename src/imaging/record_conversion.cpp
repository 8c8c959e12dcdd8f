// Conversion of the output image for the recorder.
#include "imaging/record_conversion.h"

#include "imaging/apply_kernel.h"
#include "imaging/copy_kernels.h"
#include "imaging/reduce_kernels.h"

namespace ostrel::imaging {

bool RecordConversion::convert(const DibImage &output) {
    if (output.isEmpty()) {
        frame_.release();
        return false;
    }
    const std::int32_t width = output.width();
    const std::int32_t height = output.height();
    if (!frame_.create(width, height, 24)) {
        return false;
    }
    bool done = false;
    switch (output.bitCount()) {
        case 8:
            // Grey through the colour table into a 24-bit scratch image, then rows reversed.
            done = scratch_.create(width, height, 24) &&
                   transferImage(scratch_, output, nullptr, 0, 0) &&
                   ApplyKernel(frame_, Copy24Flipped, scratch_, nullptr, 0, 0, nullptr, 0) == 1;
            break;
        case 16:
            // Reduced with rows reversed into an 8-bit scratch image, then through the table.
            done =
                scratch_.create(width, height, 8) &&
                ApplyKernel(scratch_, Reduce16To8Flipped, output, nullptr, 0, 0, nullptr, 0) == 1 &&
                transferImage(frame_, scratch_, nullptr, 0, 0);
            break;
        case 24:
        case 32:
            done = ApplyKernel(frame_, Copy24Flipped, output, nullptr, 0, 0, nullptr, 0) == 1;
            break;
        case 48:
        case 64:
            done = ApplyKernel(frame_, Reduce48To24Flipped, output, nullptr, 0, 0, nullptr, 0) == 1;
            break;
        default:
            break;
    }
    if (!done) {
        frame_.release();
    }
    return done;
}

}  // namespace ostrel::imaging
