// Acquisition over one emulated 7100VRX: the states and their codes, snapshots and single-frame
// mode, the frame notifications with their FrameInfo, the copies of the newest frame, and the
// pixels that reach the application compared with the frame pipeline run on the camera's own
// picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <filesystem>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "context/camera_context.h"
#include "context/context_thread.h"
#include "context/streaming_support.h"
#include "imaging/dib_image.h"

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ostrel::context {
namespace {

using imaging::ColorMode;
using testing::NotificationQueue;
using testing::StoredSettings;
using Codes = std::vector<std::int32_t>;
using Posted = std::vector<std::intptr_t>;

class Acquisition : public ::testing::Test {
protected:
    // Initialises the context over the stored settings; whatever initialisation recorded is
    // taken out again.
    void open(const StoredSettings &stored = {}) {
        testing::plantSettings(stored);
        context = std::make_unique<CameraContext>();
        ASSERT_TRUE(context->initialise(errors.window()));
        ASSERT_EQ(testing::failureHistory(*context), Codes{});
        testing::clearHistory(*context);
        (void)errors.take();
    }

    emulator::EmulatedCamera &camera() { return cameras.camera(0); }
    std::vector<std::intptr_t> postedFailures() { return testing::failureCodes(errors.take()); }
    std::vector<std::uint8_t> frameBuffer(const imaging::DibImage &image) {
        return std::vector<std::uint8_t>(image.sizeBytes(), 0xA5);
    }
    testing::ExpectedFrame expected(std::uint32_t frame, ColorMode mode) {
        return testing::expectedFrame(camera(), frame, mode, context->settings(),
                                      context->analog());
    }

    testing::SettingsSandbox settings;
    testing::ScopedCameras cameras{1, testing::fullSizeCamera()};
    NotificationQueue errors;
    NotificationQueue frames;
    std::unique_ptr<CameraContext> context;
};

TEST_F(Acquisition, StartPreviewTwiceStartsOneStreamAndStopEndsIt) {
    open();
    ASSERT_TRUE(context->startPreview());
    EXPECT_TRUE(context->isCapturing());
    EXPECT_TRUE(context->startPreview());
    EXPECT_EQ(context->acquisitionState(), AcquisitionState::Streaming);
    EXPECT_EQ(camera().counters().startCommands, 1u);

    // Single frames are not possible while streaming.
    EXPECT_FALSE(context->capture());
    std::vector<std::uint8_t> buffer(16);
    EXPECT_FALSE(context->snapShot(buffer.data(), 16, 1));
    EXPECT_EQ(testing::failureHistory(*context), (Codes{1, 1}));

    EXPECT_TRUE(context->stopPreview());
    EXPECT_FALSE(context->isCapturing());
    EXPECT_EQ(context->acquisitionState(), AcquisitionState::Idle);
    EXPECT_TRUE(context->stopPreview());  // stopping an idle context is no failure
    EXPECT_EQ(testing::failureHistory(*context), (Codes{1, 1}));
}

TEST_F(Acquisition, PreviewWhileAnAcquisitionRunsReturnsZeroAndRecordsNothing) {
    open();
    ASSERT_TRUE(context->startPreview());
    testing::clearHistory(*context);
    (void)errors.take();
    std::vector<std::uint8_t> buffer(64);
    EXPECT_FALSE(context->preview());
    EXPECT_FALSE(context->callBackPreview(frames.window(), buffer.data(), 64, 1));
    EXPECT_EQ(testing::failureHistory(*context), Codes{});
    EXPECT_EQ(postedFailures(), Posted{});
    EXPECT_TRUE(context->stopPreview());

    ASSERT_TRUE(context->capture());
    EXPECT_FALSE(context->preview());
    EXPECT_EQ(testing::failureHistory(*context), Codes{});
    EXPECT_EQ(context->acquisitionState(), AcquisitionState::SingleFrame);
}

TEST_F(Acquisition, PreviewOpensItsWindowAndCloseReleasesItBeforeStopping) {
    open();
    ASSERT_TRUE(context->preview());
    EXPECT_TRUE(context->previewWindow().isOpen());
    EXPECT_FALSE(context->previewWindow().className().empty());
    EXPECT_EQ(context->acquisitionState(), AcquisitionState::Streaming);
    ASSERT_TRUE(testing::waitUntil([&] { return testing::framesSent(camera()) >= 3; }));
    EXPECT_TRUE(context->close());
    EXPECT_FALSE(context->previewWindow().isOpen());
    EXPECT_TRUE(context->previewWindow().className().empty());
    EXPECT_FALSE(context->isCapturing());
    EXPECT_EQ(context->acquisitionState(), AcquisitionState::Idle);
    // A closed context stays usable: the next preview makes a new window.
    for (int round = 0; round < 5; ++round) {
        ASSERT_TRUE(context->preview()) << round;
        EXPECT_TRUE(context->previewWindow().isOpen());
        EXPECT_TRUE(context->close());
    }
    EXPECT_EQ(testing::failureHistory(*context), Codes{});
}

TEST_F(Acquisition, CaptureThenSnapshotsTakeOneFrameEachWithTheModePreparedByCapture) {
    open();
    ASSERT_TRUE(context->capture());
    EXPECT_TRUE(context->capture());
    EXPECT_EQ(context->acquisitionState(), AcquisitionState::SingleFrame);
    // A mode chosen now takes effect at the next preparation: the snapshots stay 24-bit.
    ASSERT_TRUE(context->setColorMode(8));
    const imaging::DibImage &output = *context->image(ImageSlot::Image24);
    ASSERT_EQ(output.width(), 3288);
    ASSERT_EQ(output.height(), 2192);
    const std::uint32_t startsBefore =
        static_cast<std::uint32_t>(camera().counters().startCommands);
    for (int shot = 0; shot < 2; ++shot) {
        std::vector<std::uint8_t> buffer = frameBuffer(output);
        ASSERT_TRUE(context->snapShot(buffer.data(), static_cast<std::int32_t>(buffer.size()), 1));
        // Every single capture is the camera's frame 0.
        EXPECT_TRUE(buffer == expected(0, ColorMode::Bgr24).bytes) << "snapshot " << shot;
    }
    EXPECT_EQ(camera().counters().startCommands, startsBefore + 2);
    EXPECT_EQ(context->acquisitionState(), AcquisitionState::SingleFrame);

    EXPECT_FALSE(context->startPreview());
    EXPECT_EQ(testing::failureHistory(*context), Codes{1});
    EXPECT_TRUE(context->stopPreview());
    EXPECT_EQ(context->acquisitionState(), AcquisitionState::Idle);
    EXPECT_TRUE(context->startPreview());
    EXPECT_TRUE(context->stopPreview());
}

TEST_F(Acquisition, SnapshotIntoABufferOneByteShortRecordsFiveTwice) {
    open();
    ASSERT_TRUE(context->capture());
    const imaging::DibImage &output = *context->image(ImageSlot::Image24);
    std::vector<std::uint8_t> buffer = frameBuffer(output);
    EXPECT_FALSE(context->snapShot(buffer.data(), static_cast<std::int32_t>(buffer.size()) - 1, 1));
    EXPECT_EQ(testing::failureHistory(*context), (Codes{5, 5}));
    EXPECT_EQ(postedFailures(), (Posted{5, 5}));
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](auto b) { return b == 0xA5; }));

    // Without a buffer the frame waits for Ostrel_GetImage.
    testing::clearHistory(*context);
    ASSERT_TRUE(context->snapShot(nullptr, 0, 0));
    ASSERT_TRUE(context->getImage(buffer.data(), static_cast<std::int32_t>(buffer.size()), 1));
    EXPECT_TRUE(buffer == expected(0, ColorMode::Bgr24).bytes);
    EXPECT_EQ(testing::failureHistory(*context), Codes{});
}

TEST_F(Acquisition, GetImageCopiesEachFrameOnce) {
    open();
    std::vector<std::uint8_t> buffer(3288 * 2192 * 3);
    const auto size = static_cast<std::int32_t>(buffer.size());
    // Nothing was ever prepared: there is no output image.
    EXPECT_FALSE(context->getImage(buffer.data(), size, 1));
    EXPECT_EQ(testing::failureHistory(*context), Codes{5});
    EXPECT_EQ(postedFailures(), Posted{5});
    testing::clearHistory(*context);

    // Prepared, but no frame yet: 0 without a code.
    ASSERT_TRUE(context->capture());
    EXPECT_FALSE(context->getImage(buffer.data(), size, 1));
    EXPECT_EQ(testing::failureHistory(*context), Codes{});

    ASSERT_TRUE(context->snapShot(nullptr, 0, 0));
    EXPECT_FALSE(context->getImage(nullptr, size, 1));  // no buffer: 5, and the frame stays new
    EXPECT_FALSE(context->getImage(buffer.data(), size - 1, 1));  // too small: 5, 5
    EXPECT_EQ(testing::failureHistory(*context), (Codes{5, 5, 5}));
    EXPECT_EQ(postedFailures(), (Posted{5, 5, 5}));
    testing::clearHistory(*context);
    EXPECT_TRUE(context->getImage(buffer.data(), size, 1));
    EXPECT_FALSE(context->getImage(buffer.data(), size, 1));
    EXPECT_EQ(testing::failureHistory(*context), Codes{});
    EXPECT_TRUE(buffer == expected(0, ColorMode::Bgr24).bytes);
}

// A colour mode chosen while frames stream takes effect at the next preparation; until then the
// copies are frames of the prepared mode, never the raw frame the camera is writing.
TEST_F(Acquisition, AColourModeChosenWhileStreamingWaitsForTheNextPreparation) {
    StoredSettings stored;
    stored.waitTime = 0;
    open(stored);
    ASSERT_TRUE(context->startPreview());
    ASSERT_TRUE(context->setColorMode(8));
    std::vector<std::uint8_t> copy(3288 * 3 * 2192);
    ASSERT_TRUE(testing::waitUntil(
        [&] { return context->getImage(copy.data(), static_cast<std::int32_t>(copy.size()), 1); }));
    ASSERT_TRUE(context->stopPreview());
    const auto frame = testing::matchingProcessedFrame(
        camera(), copy.data(), copy.size(), ColorMode::Bgr24, context->settings(),
        context->analog(), testing::framesSent(camera()), 64);
    EXPECT_TRUE(frame.has_value());
    EXPECT_EQ(testing::failureHistory(*context), Codes{});
}

TEST_F(Acquisition, RowOrderFlagZeroPutsTheBottomRowFirst) {
    open();
    ASSERT_TRUE(context->capture());
    const imaging::DibImage &output = *context->image(ImageSlot::Image24);
    std::vector<std::uint8_t> buffer = frameBuffer(output);
    ASSERT_TRUE(context->snapShot(buffer.data(), static_cast<std::int32_t>(buffer.size()), 0));
    const testing::ExpectedFrame picture = expected(0, ColorMode::Bgr24);
    const auto stride = static_cast<std::size_t>(picture.stride);
    for (std::int32_t row = 0; row < picture.height; ++row) {
        const std::size_t from = static_cast<std::size_t>(picture.height - 1 - row) * stride;
        ASSERT_EQ(std::memcmp(buffer.data() + static_cast<std::size_t>(row) * stride,
                              picture.bytes.data() + from, stride),
                  0)
            << "buffer row " << row;
    }
}

TEST_F(Acquisition, CallbackPreviewAnnouncesEveryDeliveredFrameWithItsFrameInfo) {
    open();
    std::vector<std::uint8_t> buffer(3288 * 2192 * 3);
    ASSERT_TRUE(context->callBackPreview(frames.window(), buffer.data(),
                                         static_cast<std::int32_t>(buffer.size()), 1));
    // The rate is measured once more than a second has passed.
    ASSERT_TRUE(testing::waitUntil([&] { return context->frameRate() > 0; }));
    std::vector<platform::Message> messages;
    ASSERT_TRUE(testing::holdCameraUntilTheLoopIsIdle(camera(), *context, [&] {
        for (const platform::Message &m : frames.take()) {
            messages.push_back(m);
        }
        return static_cast<std::uint64_t>(messages.size());
    }));
    ASSERT_TRUE(context->stopPreview());
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(frames.take().size(), 0u);
    for (const platform::Message &m : messages) {
        EXPECT_EQ(m.message, kFrameNotification);
        EXPECT_EQ(m.wParam, reinterpret_cast<std::uintptr_t>(&context->frameInfo()));
        EXPECT_EQ(m.lParam, 0);
    }
    const FrameInfo &info = context->frameInfo();
    EXPECT_EQ(info.size, static_cast<std::int32_t>(sizeof(FrameInfo)));
    EXPECT_EQ(info.width, 3288);
    EXPECT_EQ(info.height, 2192);
    EXPECT_EQ(info.bitsPerPixel, 24);
    EXPECT_GT(info.frameRate, 0);
    EXPECT_EQ(info.buffer, buffer.data());
    EXPECT_EQ(postedFailures(), Posted{});

    // The buffer holds the last frame, converted exactly.
    const auto frame = testing::matchingProcessedFrame(
        camera(), buffer.data(), buffer.size(), ColorMode::Bgr24, context->settings(),
        context->analog(), testing::framesSent(camera()), 3);
    EXPECT_TRUE(frame.has_value());
}

TEST_F(Acquisition, QuarterSubsamplingGivesAQuarterOfTheImageInEachDirection) {
    StoredSettings stored;
    stored.subsample = 2;
    open(stored);
    EXPECT_EQ(context->subsampleMode(), 2);
    std::vector<std::uint8_t> buffer(1644 * 1096 * 3);
    ASSERT_TRUE(context->callBackPreview(frames.window(), buffer.data(),
                                         static_cast<std::int32_t>(buffer.size()), 1));
    (void)testing::waitForMessages(frames, 1, kFrameNotification);
    ASSERT_TRUE(context->stopPreview());
    EXPECT_EQ(context->frameInfo().width, 1644);
    EXPECT_EQ(context->frameInfo().height, 1096);
    EXPECT_EQ(context->image(ImageSlot::Image24)->width(), 1644);
    EXPECT_EQ(context->image(ImageSlot::Image24)->height(), 1096);
    // Ostrel_Width and Ostrel_Height report the size before subsampling.
    EXPECT_EQ(context->imageWidth(), 6576);
    EXPECT_EQ(context->imageHeight(), 4384);
}

// Every colour mode, with adjustments and both mirrors on: the snapshot equals the frame
// pipeline run on the camera's picture (samples widened to 10 bits for the 16-bit modes).
TEST_F(Acquisition, DeliveredPixelsAreTheFramePipelineOfTheCamerasPicture) {
    open();
    ASSERT_TRUE(context->setFilterValue(1, 12));    // brightness
    ASSERT_TRUE(context->setFilterValue(2, 20));    // contrast
    ASSERT_TRUE(context->setFilterValue(3, 40));    // hue
    ASSERT_TRUE(context->setFilterValue(4, -30));   // saturation
    ASSERT_TRUE(context->setFilterValue(5, 4));     // sharpness
    ASSERT_TRUE(context->setFilterValue(11, 140));  // gamma
    ASSERT_TRUE(context->setMirrorH(1));
    ASSERT_TRUE(context->setMirrorV(1));
    const struct {
        std::int32_t bits;
        ColorMode mode;
    } modes[] = {{24, ColorMode::Bgr24}, {32, ColorMode::Bgr32}, {48, ColorMode::Bgr48},
                 {64, ColorMode::Bgr64}, {8, ColorMode::Mono8},  {16, ColorMode::Mono16}};
    for (const auto &m : modes) {
        ASSERT_TRUE(context->setColorMode(m.bits));
        const std::size_t size =
            static_cast<std::size_t>(imaging::DibImage::strideFor(3288, m.bits)) * 2192;
        std::vector<std::uint8_t> buffer(size, 0xA5);
        ASSERT_TRUE(context->snapShot(buffer.data(), static_cast<std::int32_t>(size), 1)) << m.bits;
        const testing::ExpectedFrame picture = expected(0, m.mode);
        ASSERT_EQ(picture.bytes.size(), size);
        EXPECT_TRUE(buffer == picture.bytes) << m.bits << " bits per pixel";
    }
    EXPECT_EQ(testing::failureHistory(*context), Codes{});
}

// The 16-bit modes hold 10-bit samples: the camera's 8-bit samples scaled by 4, never the
// camera's bytes paired into words.
TEST_F(Acquisition, TenBitModesCarryTheCamerasSamplesScaledToTenBits) {
    open();
    ASSERT_TRUE(context->setColorMode(16));
    std::vector<std::uint8_t> buffer(3288 * 2192 * 2);
    ASSERT_TRUE(context->snapShot(buffer.data(), static_cast<std::int32_t>(buffer.size()), 1));
    const std::vector<std::uint8_t> picture = testing::deliveredPicture(
        camera(), 0, platform::camera::halfTag(0, false), platform::camera::halfTag(0, true));
    for (std::size_t i = 0; i < picture.size(); i += 977) {
        std::uint16_t word = 0;
        std::memcpy(&word, buffer.data() + 2 * i, 2);
        ASSERT_EQ(word, picture[i] * 4) << "sample " << i;
    }
}

// A stored window smaller than the sensor: the camera still sends the whole sensor, and the
// application gets exactly the window.
TEST_F(Acquisition, AStoredWindowDeliversThatPartOfTheSensor) {
    StoredSettings stored;
    stored.color = 0;
    stored.subsample = 1;
    stored.width = 1002;  // 501 samples after subsampling: rows are padded to 504 bytes
    stored.height = 600;
    stored.originX = 104;
    stored.originY = 40;
    open(stored);
    ASSERT_TRUE(context->capture());
    const imaging::DibImage &output = *context->image(ImageSlot::Image8);
    ASSERT_EQ(output.width(), 501);
    ASSERT_EQ(output.height(), 300);
    ASSERT_EQ(output.stride(), 504);
    std::vector<std::uint8_t> buffer(output.sizeBytes(), 0xA5);
    ASSERT_TRUE(context->snapShot(buffer.data(), static_cast<std::int32_t>(buffer.size()), 1));
    const std::vector<std::uint8_t> picture = testing::deliveredPicture(
        camera(), 0, platform::camera::halfTag(0, false), platform::camera::halfTag(0, true));
    const std::size_t frameWidth = static_cast<std::size_t>(camera().pictureWidth());
    for (std::size_t row = 0; row < 300; ++row) {
        const std::uint8_t *line = buffer.data() + row * 504;
        ASSERT_EQ(std::memcmp(line, picture.data() + (20 + row) * frameWidth + 52, 501), 0)
            << "row " << row;
        EXPECT_EQ(line[501] | line[502] | line[503], 0) << "padding of row " << row;
    }
}

TEST_F(Acquisition, AnUnfinishedSingleFrameIsAFailedTransferNotAPicture) {
    open();
    ASSERT_TRUE(context->capture());
    // The first half arrives, the second never does.
    camera().limitHalves(1);
    std::vector<std::uint8_t> buffer(3288 * 2192 * 3, 0xA5);
    EXPECT_FALSE(context->snapShot(buffer.data(), static_cast<std::int32_t>(buffer.size()), 1));
    EXPECT_EQ(testing::failureHistory(*context), Codes{8});
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](auto b) { return b == 0xA5; }));
    EXPECT_FALSE(context->getImage(buffer.data(), static_cast<std::int32_t>(buffer.size()), 1));
    camera().limitHalves(-1);
    EXPECT_TRUE(context->snapShot(buffer.data(), static_cast<std::int32_t>(buffer.size()), 1));
}

TEST_F(Acquisition, ALongWaitTimeDoesNotHoldUpTheStop) {
    open();
    // A stop that waited for this pause would never end (the suite's time-out would fail it).
    ASSERT_TRUE(context->setWaitTime(INT_MAX));
    ASSERT_TRUE(context->startPreview());
    EXPECT_TRUE(context->stopPreview());
    EXPECT_FALSE(context->isCapturing());
}

TEST_F(Acquisition, AThreadThatCannotStartRecordsThreeAndLeavesNothingRunning) {
    open();
    failNextContextThreadStarts(1);
    EXPECT_FALSE(context->startPreview());
    EXPECT_EQ(testing::failureHistory(*context), Codes{3});
    EXPECT_FALSE(context->isCapturing());
    EXPECT_EQ(context->acquisitionState(), AcquisitionState::Idle);
    EXPECT_EQ(camera().counters().startCommands, 0u);

    testing::clearHistory(*context);
    failNextContextThreadStarts(1);
    EXPECT_FALSE(context->preview());
    EXPECT_EQ(testing::failureHistory(*context), (Codes{8, 3}));

    testing::clearHistory(*context);
    EXPECT_TRUE(context->startPreview());
    EXPECT_TRUE(context->stopPreview());
    EXPECT_EQ(testing::failureHistory(*context), Codes{});
}

TEST_F(Acquisition, ACameraThatRefusesTheStartRecordsSixAndStaysIdle) {
    open();
    camera().disconnect();
    EXPECT_FALSE(context->startPreview());
    EXPECT_EQ(testing::failureHistory(*context), Codes{6});
    EXPECT_FALSE(context->isCapturing());
    EXPECT_EQ(context->acquisitionState(), AcquisitionState::Idle);
    camera().reconnect();
    EXPECT_TRUE(context->startPreview());
    EXPECT_TRUE(context->stopPreview());
}

// Ostrel_GetImage from another thread while frames stream in: every copy is one whole frame
// (in 8-bit mode the raw frame is the output, so the camera's own picture must come out).
TEST_F(Acquisition, CopiesWhileStreamingAreAlwaysOneWholeFrame) {
    StoredSettings stored;
    stored.color = 0;
    stored.waitTime = 0;
    open(stored);
    ASSERT_TRUE(context->startPreview());
    const std::size_t size = 3288 * 2192;
    std::vector<std::uint8_t> copy(size);
    std::vector<std::uint32_t> seen;
    while (seen.size() < 12) {
        if (!context->getImage(copy.data(), static_cast<std::int32_t>(size), 1)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        const auto frame =
            testing::matchingFrame(camera(), copy.data(), testing::framesSent(camera()));
        ASSERT_TRUE(frame.has_value()) << "copy " << seen.size() << " mixes frames";
        seen.push_back(*frame);
    }
    EXPECT_TRUE(context->stopPreview());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end()) << "a frame came twice";
}

TEST_F(Acquisition, StartingAndStoppingManyTimesDeliversFramesEveryTime) {
    StoredSettings stored;
    stored.subsample = 2;
    stored.waitTime = 0;
    open(stored);
    std::vector<std::uint8_t> buffer(1644 * 1096 * 3);
    for (int round = 0; round < 15; ++round) {
        ASSERT_TRUE(context->callBackPreview(frames.window(), buffer.data(),
                                             static_cast<std::int32_t>(buffer.size()), 1))
            << round;
        const auto messages = testing::waitForMessages(frames, 1, kFrameNotification);
        ASSERT_FALSE(messages.empty()) << round;
        ASSERT_TRUE(context->stopPreview()) << round;
        (void)frames.take();
    }
    EXPECT_EQ(testing::failureHistory(*context), Codes{});
}

#ifndef _WIN32
// The save writes into a pipe that the test stops reading once the first bytes have come, so the
// save is held in the middle of its writing for as long as the test likes: frames must go on
// being delivered meanwhile, and once the pipe is read again the whole image arrives.
TEST_F(Acquisition, FramesGoOnWhileAStillImageIsBeingWritten) {
    StoredSettings stored;
    stored.subsample = 0;
    stored.width = 1024;  // 2.3 MB at 24 bits: more than the file's buffer and the pipe hold
    stored.height = 768;
    stored.waitTime = 0;
    open(stored);
    const std::string path = (std::filesystem::path(::testing::TempDir()) /
                              ("ostrel-still-pipe-" + std::to_string(::getpid())))
                                 .string();
    std::filesystem::remove(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const int pipe = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(pipe, 0);
    ASSERT_TRUE(context->callBackPreview(frames.window(), nullptr, 0, 1));
    ASSERT_FALSE(testing::waitForMessages(frames, 1, kFrameNotification).empty());

    auto saved =
        std::async(std::launch::async, [&] { return context->saveImage(path.c_str(), 1); });
    pollfd ready{pipe, POLLIN, 0};
    std::size_t bytes = 0;
    std::vector<std::uint8_t> chunk(1 << 16);
    if (::poll(&ready, 1, 120000) == 1) {
        const ssize_t first = ::read(pipe, chunk.data(), 16);
        bytes += first > 0 ? static_cast<std::size_t>(first) : 0;
        // The frames announced from here on were converted while the save was writing.
        (void)frames.take();
        const auto during = testing::waitForMessages(frames, 2, kFrameNotification);
        EXPECT_GE(std::count_if(during.begin(), during.end(),
                                [](const platform::Message &m) {
                                    return m.message == kFrameNotification && m.lParam == 0;
                                }),
                  2);
    } else {
        ADD_FAILURE() << "the save wrote nothing";
    }
    // Read to the end whatever happened, so the save can finish.
    (void)::fcntl(pipe, F_SETFL, 0);
    for (ssize_t n; (n = ::read(pipe, chunk.data(), chunk.size())) > 0;) {
        bytes += static_cast<std::size_t>(n);
    }
    EXPECT_TRUE(saved.get());
    ::close(pipe);
    std::filesystem::remove(path);
    EXPECT_TRUE(context->stopPreview());
    EXPECT_EQ(bytes, static_cast<std::size_t>(1024 * 3) * 768);
    EXPECT_EQ(testing::failureHistory(*context), Codes{});
}
#endif

}  // namespace
}  // namespace ostrel::context
