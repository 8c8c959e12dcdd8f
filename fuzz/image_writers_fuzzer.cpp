// The still image writers and the recording's AVI writer with geometry, bit count, colour mode
// and pixels from the input: every still format either saves a file or refuses the format, a
// saved bitmap and raw file have the sizes their headers promise, and a recording of the
// converted frames is finished with a RIFF size that matches the file.
#include <fuzzer/FuzzedDataProvider.h>

#include <unistd.h>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "platform/color_mode.h"
#include "imaging/dib_image.h"
#include "imaging/record_conversion.h"
#include "output/avi_writer.h"
#include "output/image_file_type.h"
#include "output/save_image.h"

namespace {

using ostrel::imaging::DibImage;
using ostrel::output::ImageFileType;
using ostrel::output::SaveResult;

std::string scratch(const char *suffix) {
    return (std::filesystem::temp_directory_path() /
            ("ostrel-fuzz-writers-" + std::to_string(::getpid()) + suffix))
        .string();
}

std::uint32_t u32At(const std::string &path, std::streamoff at) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(at);
    std::uint8_t b[4] = {0, 0, 0, 0};
    in.read(reinterpret_cast<char *>(b), 4);
    return b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

void fillPixels(FuzzedDataProvider &input, DibImage &image) {
    const std::vector<std::uint8_t> bytes = input.ConsumeBytes<std::uint8_t>(256);
    for (std::size_t i = 0; i < image.sizeBytes(); ++i) {
        image.pixels()[i] =
            bytes.empty() ? static_cast<std::uint8_t>(i * 31) : bytes[i % bytes.size()];
    }
}

void saveStills(FuzzedDataProvider &input, const DibImage &image) {
    const std::string path = scratch(".still");
    const auto type = input.ConsumeIntegralInRange<std::int32_t>(-1, 7);
    const SaveResult result = ostrel::output::saveImage(path.c_str(), image, type);
    if (type < 0 || type > 6) {
        OSTREL_FUZZ_CHECK(result == SaveResult::UnknownFileType);
        return;
    }
    OSTREL_FUZZ_CHECK(result == SaveResult::Saved || result == SaveResult::UnsupportedFormat);
    if (result != SaveResult::Saved) {
        return;
    }
    const auto size = std::filesystem::file_size(path);
    switch (static_cast<ImageFileType>(type)) {
        case ImageFileType::Bmp:
            OSTREL_FUZZ_CHECK(u32At(path, 2) == size);
            OSTREL_FUZZ_CHECK(size >= 54 + image.sizeBytes());
            break;
        case ImageFileType::Raw:
            OSTREL_FUZZ_CHECK(size == image.sizeBytes());
            break;
        default:
            OSTREL_FUZZ_CHECK(size > 0);
            break;
    }
}

void record(FuzzedDataProvider &input, DibImage &image) {
    const std::string path = scratch(".avi");
    ostrel::imaging::RecordConversion conversion;
    OSTREL_FUZZ_CHECK(conversion.convert(image));
    const DibImage &frame = conversion.frame();
    OSTREL_FUZZ_CHECK(frame.width() == image.width() && frame.height() == image.height() &&
                      frame.bitCount() == 24);
    // A small size limit now and then, so some frames are refused for it.
    const bool limited = input.ConsumeBool();
    ostrel::output::AviWriter writer(limited
                                         ? input.ConsumeIntegralInRange<std::uint64_t>(0, 64 * 1024)
                                         : ostrel::output::AviWriter::kMaxRiffSize);
    writer.setWidth(frame.width());
    writer.setHeight(frame.height());
    writer.setBitCount(image.bitCount());
    writer.setRate(input.ConsumeIntegral<std::uint8_t>());
    writer.setFrameCount(0);
    OSTREL_FUZZ_CHECK(writer.openRecording(path.c_str()));
    const int frames = input.ConsumeIntegralInRange<int>(0, 4);
    for (int i = 0; i < frames; ++i) {
        const ostrel::output::AviFrameResult result = writer.writeFrame(frame.pixels());
        if (result == ostrel::output::AviFrameResult::SizeLimit) {
            break;
        }
        OSTREL_FUZZ_CHECK(result == ostrel::output::AviFrameResult::Written);
        writer.setFrameCount(writer.frameCount() + 1);
    }
    const std::uint32_t written = writer.frameCount();
    writer.setRate(input.ConsumeIntegral<std::uint32_t>());
    OSTREL_FUZZ_CHECK(writer.closeRecording());
    const auto size = std::filesystem::file_size(path);
    OSTREL_FUZZ_CHECK(u32At(path, 4) + 8ull == size);
    OSTREL_FUZZ_CHECK(u32At(path, 48) == written);
    const std::uint64_t frameBytes =
        static_cast<std::uint64_t>(frame.width()) * 3 * static_cast<std::uint64_t>(frame.height());
    OSTREL_FUZZ_CHECK(size > written * (8 + frameBytes) + 16ull * written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    static const std::uint16_t kBitCounts[] = {8, 16, 24, 32, 48, 64};
    const std::uint16_t bitCount = kBitCounts[input.ConsumeIntegralInRange<int>(0, 5)];
    const std::int32_t width = input.ConsumeIntegralInRange<std::int32_t>(1, 96);
    const std::int32_t height = input.ConsumeIntegralInRange<std::int32_t>(1, 64);
    DibImage image;
    OSTREL_FUZZ_CHECK(image.create(width, height, bitCount));
    OSTREL_FUZZ_CHECK(image.stride() % 4 == 0 && image.stride() >= width * (bitCount / 8));
    fillPixels(input, image);
    if (bitCount == 16 || bitCount == 48 || bitCount == 64) {
        // Wide modes hold 10-bit samples; now and then leave the high bits set anyway.
        if (!input.ConsumeBool()) {
            for (std::size_t i = 1; i < image.sizeBytes(); i += 2) {
                image.pixels()[i] &= 0x03;
            }
        }
    }
    saveStills(input, image);
    record(input, image);
    return 0;
}
