// An emulated 7100VRX: the camera's side of the three sectors of its drive. It answers status
// reads (identification, ready flag, last byte register read), decodes command blocks (start,
// the two-step word register write, byte register write and read), keeps its registers, and
// after a start command sends frames as two tagged half-frames in its readout order, no faster
// than its exposure time and its bandwidth allow, with a brightness that follows its exposure and
// gain. Like a raw disk it refuses transfers that are not whole sectors at a sector boundary, and
// like the camera it refuses writes outside the command sector and command blocks it does not
// know; it records each refusal as a protocol fault that tests can read. Tests can also make it
// misbehave: drop halves, send scripted or mismatched tags, never become ready, fail reads or
// writes, disappear in the middle of a stream (for a moment, or unplugged for good until it
// comes back), or refuse to have its drive opened.
//
// Threads: every operation may be called from any thread; the camera serialises them with its
// own lock (several drives may be open on one camera).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "emulator/frame_synthesizer.h"
#include "emulator/scene_generator.h"
#include "platform/camera_facts.h"

namespace ostrel::emulator {

inline constexpr double kDefaultBandwidthBytesPerSecond = 400e6;

// The first byte of a data window read while no half is due: its low four bits mark neither
// half, so a device ignores the transfer.
inline constexpr std::uint8_t kIdleDataMark = 0x0A;

struct EmulatedCameraConfig {
    // Sensor size; multiples of 4 (so the subsampled readout keeps an even size).
    std::int32_t width = platform::camera::kSensorWidth;
    std::int32_t height = platform::camera::kSensorHeight;
    // Image data rate; 0 sends every half as soon as it is asked for.
    double bandwidthBytesPerSecond = kDefaultBandwidthBytesPerSecond;
    // How long a status read takes while the camera is not ready (the round trip of a real
    // device, about one USB 3.0 microframe); 0 answers at once. At this pace the 10000 polls of
    // a device's ready wait outlast the longest exposure (525 ms).
    std::chrono::microseconds statusReadLatency{125};
    // How brightly the scene is lit: the brightness response to exposure and gain is multiplied
    // by it. At 1 exposure 100 and gain 100 show the scene as it is; a brighter light lets a
    // short exposure (and so a fast frame rate) show it as well.
    double illumination = 1.0;
    // The scene; null for the default test chart.
    std::shared_ptr<const SceneGenerator> scene;
    // What the status sector identifies the camera as.
    std::string identification{platform::camera::kIdentificationText};
    std::uint8_t modelId0 = platform::camera::kModelId0;
    std::uint8_t modelId1 = platform::camera::kModelId1;
};

// The parts of the drive the camera tells apart.
enum class DriveRegion { Status, Command, Data, Other };

// Transfers the camera refuses (the read or write fails).
enum class ProtocolFault {
    UnalignedTransfer,  // not whole 512-byte sectors at a sector boundary
    WriteOutsideCommandSector,
    MalformedCommand,  // an unknown opcode, or bytes a command block must leave zero
};

// One refused transfer, as recorded for tests.
struct ProtocolFaultRecord {
    ProtocolFault fault = ProtocolFault::UnalignedTransfer;
    bool write = false;
    std::uint64_t offset = 0;
    std::uint32_t length = 0;
    std::uint8_t command[4] = {0, 0, 0, 0};  // the first bytes written, for refused writes
};

// One access to the drive, as recorded for tests.
struct DriveAccess {
    DriveRegion region = DriveRegion::Other;
    bool write = false;
    std::uint8_t command[4] = {0, 0, 0, 0};  // the first bytes of a command block
};

// One half-frame to send instead of the regular sequence: half `second` of frame `frame`, with
// `tag` as its first byte.
struct ScriptedHalf {
    std::uint32_t frame = 0;
    bool secondHalf = false;
    std::uint8_t tag = 0;
};

struct CameraCounters {
    std::uint64_t statusReads = 0;
    std::uint64_t dataReads = 0;      // every read of the data window
    std::uint64_t idleDataReads = 0;  // reads of the data window while no half was due
    std::uint64_t commandWrites = 0;
    std::uint64_t startCommands = 0;
    std::uint64_t halvesSent = 0;
    std::uint64_t protocolFaults = 0;  // every refused transfer
    std::uint64_t driveCalls = 0;      // every seek, read and write on its drives, failed ones too
};

// The shortest exposure the camera takes (register value 4455, 0.04 ms), and the illumination
// at which it shows the scene as exposure 100 does: for tests that want frames as fast as they
// are asked for and still see the scene.
inline constexpr std::uint16_t kShortestExposure =
    platform::camera::registerInfo(platform::camera::Register::Exposure).maximum;
inline constexpr double kShortExposureIllumination =
    platform::camera::exposureTimeMicroseconds(100) /
    platform::camera::exposureTimeMicroseconds(kShortestExposure);

class EmulatedCamera {
public:
    EmulatedCamera(const EmulatedCameraConfig &config, std::shared_ptr<const StillScene> still);
    EmulatedCamera(const EmulatedCamera &) = delete;
    EmulatedCamera &operator=(const EmulatedCamera &) = delete;

    // The drive side: a read or write of `length` bytes at a byte offset. False when the camera
    // is gone, a failure was asked for, or the camera refuses the transfer (a protocol fault).
    bool read(std::uint64_t offset, void *buffer, std::uint32_t length, std::uint32_t *done);
    bool write(std::uint64_t offset, const void *data, std::uint32_t length);
    bool connected() const;
    // Counts one call on a drive of this camera.
    void countDriveCall();
    // Whether a drive opened while the camera's plug-in count was `generation` still reaches
    // the camera: a drive opened before the camera was unplugged never does again.
    bool reaches(std::uint64_t generation) const;
    std::uint64_t generation() const;
    // Whether its drive refuses to be opened (in use, no access rights).
    bool openRefused() const;
    // How many drives are open on this camera now.
    int openDrives() const { return openDrives_.load(); }
    void driveOpened() { ++openDrives_; }
    void driveClosed() { --openDrives_; }

    // Registers: the last value written to a word register (its reset value before), and the
    // byte registers.
    std::uint16_t registerValue(platform::camera::Register id) const;
    std::uint8_t byteRegister(std::uint16_t address) const;
    // Whether a start command came (frames are being sent).
    bool streaming() const;
    CameraCounters counters() const;
    // The command blocks received (their first four bytes), oldest first; at most the last
    // kCommandLogLimit.
    static constexpr std::size_t kCommandLogLimit = 4096;
    std::vector<DriveAccess> commands() const;
    void clearCommands();
    // Records every access to the drive while on (off by default).
    void setAccessLogging(bool on);
    std::vector<DriveAccess> accesses() const;
    // The refused transfers, oldest first; at most the first kFaultLogLimit since the last
    // clear (the counters count them all).
    static constexpr std::size_t kFaultLogLimit = 64;
    std::vector<ProtocolFaultRecord> protocolFaults() const;
    void clearProtocolFaults();

    // Faults and pacing, for tests.
    void dropNextHalves(int count);
    void scriptHalves(const std::vector<ScriptedHalf> &halves);
    void setNeverReady(bool neverReady);
    void failNextReads(DriveRegion region, int count);
    void failNextWrites(int count);
    // The camera stops answering for a while: every call on its drives fails until reconnect(),
    // after which the same drives work again.
    void disconnect();
    // The camera is unplugged: every call on its drives fails ("device gone"), and the drives
    // opened until now keep failing even after it comes back; a new open reaches it again.
    void unplug();
    // Back after disconnect() or unplug(), waiting for a start command.
    void reconnect();
    void refuseOpens(bool refuse);
    // The camera disappears when it is asked for a half after `count` more were sent.
    void disconnectAfterHalves(std::uint64_t count);
    // After `count` more halves the camera stops becoming ready (until called again); a negative
    // count lifts the limit.
    void limitHalves(std::int64_t count);
    void setBandwidth(double bytesPerSecond);
    void setStatusReadLatency(std::chrono::microseconds latency);

    // The picture of frame `frame` as a device shows it after re-ordering, with the readout
    // and brightness the camera has now (no tags). Its size is pictureWidth() x
    // pictureHeight().
    std::vector<std::uint8_t> renderPicture(std::uint32_t frame);
    std::int32_t pictureWidth() const;
    std::int32_t pictureHeight() const;
    // Where the first byte of each half lands in the picture (the tags' places).
    std::size_t firstHalfTagIndex() const;
    std::size_t secondHalfTagIndex();
    // The brightness factor of exposure, gain and illumination (1 at exposure 100 and gain 100
    // under illumination 1).
    double response() const;
    // How long one exposure takes at the exposure register's value now: the least time between
    // the starts of two frames.
    std::chrono::microseconds exposureTime() const;

private:
    using Clock = std::chrono::steady_clock;

    bool readyLocked(Clock::time_point now) const;
    Clock::time_point nextDueLocked() const;
    Clock::duration exposureTimeLocked() const;
    bool refuseLocked(ProtocolFault fault, bool write, std::uint64_t offset, std::uint32_t length,
                      const std::uint8_t *data);
    static bool wellFormedCommand(const std::uint8_t *block);
    void fillStatusLocked(std::uint8_t *out, std::uint32_t length, Clock::time_point now);
    bool readDataLocked(std::uint8_t *out, std::uint32_t length);
    void executeCommandLocked(const std::uint8_t *block);
    void writeWordLocked(std::uint16_t address, std::uint16_t value);
    void configureLocked();
    double responseLocked() const;
    Clock::duration halfDurationLocked() const;
    bool takeFailureLocked(DriveRegion region);
    void logLocked(DriveRegion region, bool write, const std::uint8_t *block);

    const EmulatedCameraConfig config_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    FrameSynthesizer synthesizer_;

    bool connected_ = true;
    std::uint64_t generation_ = 0;  // how often the camera was unplugged
    bool openRefused_ = false;
    bool streaming_ = false;
    bool neverReady_ = false;
    std::uint32_t frame_ = 0;
    bool secondHalfNext_ = false;
    Clock::time_point due_{};            // the next half may be sent from then (bandwidth)
    Clock::time_point exposureStart_{};  // when the exposure of the frame to send next began
    double bandwidth_;
    std::chrono::microseconds statusLatency_;

    // Registers.
    std::uint16_t words_[platform::camera::kRegisterMap.size()];
    int pendingAddress_ = -1;  // the address of a word write waiting for its value
    std::vector<std::uint8_t> bytes_;
    std::uint8_t lastByteRead_ = 0;
    ReadoutMode activeReadout_;
    std::uint16_t activeGain_;
    std::uint8_t lastCommand_[platform::camera::kSectorSize] = {};

    // Faults.
    int dropsPending_ = 0;
    std::deque<ScriptedHalf> script_;
    int failReads_[4] = {0, 0, 0, 0};
    int failWrites_ = 0;
    std::int64_t halvesAllowed_ = -1;
    bool disconnectArmed_ = false;
    std::uint64_t halvesBeforeDisconnect_ = 0;

    std::atomic<int> openDrives_{0};
    CameraCounters counters_;
    std::deque<DriveAccess> commands_;
    bool logging_ = false;
    std::vector<DriveAccess> accesses_;
    std::vector<ProtocolFaultRecord> faults_;
};

}  // namespace ostrel::emulator
