// The emulated camera's sector protocol, registers, pacing and injected faults.
#include "emulator/emulated_camera.h"

#include <algorithm>
#include <cstring>

namespace ostrel::emulator {

namespace camera = platform::camera;

namespace {

std::size_t registerSlot(camera::Register id) {
    for (std::size_t i = 0; i < camera::kRegisterMap.size(); ++i) {
        if (camera::kRegisterMap[i].id == id) {
            return i;
        }
    }
    return 0;
}

DriveRegion regionOf(std::uint64_t offset) {
    if (offset == camera::kStatusSectorOffset) {
        return DriveRegion::Status;
    }
    if (offset == camera::kCommandSectorOffset) {
        return DriveRegion::Command;
    }
    if (offset == camera::kDataWindowOffset) {
        return DriveRegion::Data;
    }
    return DriveRegion::Other;
}

std::uint16_t clampToRegister(camera::Register id, std::uint16_t value) {
    const camera::RegisterInfo &info = camera::registerInfo(id);
    return std::clamp(value, info.minimum, info.maximum);
}

// What a raw disk takes: whole sectors from a sector boundary.
bool wholeSectors(std::uint64_t offset, std::uint32_t length) {
    return offset % camera::kSectorSize == 0 && length % camera::kSectorSize == 0;
}

bool allZero(const std::uint8_t *bytes, std::size_t count) {
    return std::all_of(bytes, bytes + count, [](std::uint8_t b) { return b == 0; });
}

}  // namespace

EmulatedCamera::EmulatedCamera(const EmulatedCameraConfig &config,
                               std::shared_ptr<const StillScene> still)
    : config_(config),
      synthesizer_(std::move(still)),
      bandwidth_(config.bandwidthBytesPerSecond),
      statusLatency_(config.statusReadLatency),
      bytes_(65536, 0) {
    for (std::size_t i = 0; i < camera::kRegisterMap.size(); ++i) {
        words_[i] = camera::kRegisterMap[i].resetValue;
    }
    activeReadout_.twoSided = words_[registerSlot(camera::Register::ReadoutSingleSided)] == 0;
    activeReadout_.subsampled = words_[registerSlot(camera::Register::ReadoutSubsample)] != 0;
    activeGain_ = words_[registerSlot(camera::Register::Gain)];
}

bool EmulatedCamera::connected() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connected_;
}

void EmulatedCamera::countDriveCall() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++counters_.driveCalls;
}

bool EmulatedCamera::reaches(std::uint64_t generation) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return generation == generation_;
}

std::uint64_t EmulatedCamera::generation() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return generation_;
}

bool EmulatedCamera::openRefused() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return openRefused_;
}

bool EmulatedCamera::takeFailureLocked(DriveRegion region) {
    int &pending = failReads_[static_cast<int>(region)];
    if (pending > 0) {
        --pending;
        return true;
    }
    return false;
}

void EmulatedCamera::logLocked(DriveRegion region, bool write, const std::uint8_t *block) {
    DriveAccess access;
    access.region = region;
    access.write = write;
    if (block != nullptr) {
        std::memcpy(access.command, block, sizeof access.command);
    }
    if (write && region == DriveRegion::Command) {
        commands_.push_back(access);
        if (commands_.size() > kCommandLogLimit) {
            commands_.pop_front();
        }
    }
    if (logging_) {
        accesses_.push_back(access);
    }
}

bool EmulatedCamera::read(std::uint64_t offset, void *buffer, std::uint32_t length,
                          std::uint32_t *done) {
    std::unique_lock<std::mutex> lock(mutex_);
    const DriveRegion region = regionOf(offset);
    if (!connected_) {
        return false;
    }
    if (!wholeSectors(offset, length)) {
        return refuseLocked(ProtocolFault::UnalignedTransfer, false, offset, length, nullptr);
    }
    if (takeFailureLocked(region)) {
        return false;
    }
    auto *out = static_cast<std::uint8_t *>(buffer);
    switch (region) {
        case DriveRegion::Status: {
            ++counters_.statusReads;
            Clock::time_point now = Clock::now();
            if (!readyLocked(now) && statusLatency_.count() > 0) {
                // A real status read is a round trip: while not ready it takes its time, or
                // ends early when a half falls due.
                Clock::time_point until = now + statusLatency_;
                if (streaming_ && !neverReady_ && halvesAllowed_ != 0) {
                    until = std::min(until, nextDueLocked());
                }
                changed_.wait_until(lock, until,
                                    [&] { return !connected_ || readyLocked(Clock::now()); });
                if (!connected_) {
                    return false;
                }
                now = Clock::now();
            }
            fillStatusLocked(out, length, now);
            logLocked(region, false, nullptr);
            break;
        }
        case DriveRegion::Data:
            ++counters_.dataReads;
            if (!readDataLocked(out, length)) {
                return false;
            }
            logLocked(region, false, nullptr);
            break;
        case DriveRegion::Command: {
            const std::uint32_t n = std::min<std::uint32_t>(length, camera::kSectorSize);
            std::memcpy(out, lastCommand_, n);
            std::memset(out + n, 0, length - n);
            logLocked(region, false, nullptr);
            break;
        }
        case DriveRegion::Other:
            std::memset(out, 0, length);
            logLocked(region, false, nullptr);
            break;
    }
    if (done != nullptr) {
        *done = length;
    }
    return true;
}

bool EmulatedCamera::write(std::uint64_t offset, const void *data, std::uint32_t length) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!connected_) {
        return false;
    }
    const auto *bytes = static_cast<const std::uint8_t *>(data);
    if (!wholeSectors(offset, length)) {
        return refuseLocked(ProtocolFault::UnalignedTransfer, true, offset, length, bytes);
    }
    if (failWrites_ > 0) {
        --failWrites_;
        return false;
    }
    // The camera takes one command block at a time and nothing anywhere else: a longer write at
    // the command sector would spill into the data window.
    const DriveRegion region = regionOf(offset);
    if (region != DriveRegion::Command || length != camera::kSectorSize) {
        return refuseLocked(ProtocolFault::WriteOutsideCommandSector, true, offset, length, bytes);
    }
    if (!wellFormedCommand(bytes)) {
        return refuseLocked(ProtocolFault::MalformedCommand, true, offset, length, bytes);
    }
    std::memcpy(lastCommand_, bytes, sizeof lastCommand_);
    ++counters_.commandWrites;
    logLocked(region, true, bytes);
    executeCommandLocked(bytes);
    return true;
}

bool EmulatedCamera::wellFormedCommand(const std::uint8_t *block) {
    const std::uint8_t *rest = block + 4;
    const std::size_t restSize = camera::kSectorSize - 4;
    switch (block[0]) {
        case camera::kOpcodeStart:
            return allZero(block + 1, camera::kSectorSize - 1);
        case camera::kOpcodeWrite:
            return allZero(rest, restSize);
        case camera::kOpcodeRead:
            return block[3] == 0 && allZero(rest, restSize);
        default:
            return false;
    }
}

bool EmulatedCamera::refuseLocked(ProtocolFault fault, bool write, std::uint64_t offset,
                                  std::uint32_t length, const std::uint8_t *data) {
    ++counters_.protocolFaults;
    if (faults_.size() < kFaultLogLimit) {
        ProtocolFaultRecord record;
        record.fault = fault;
        record.write = write;
        record.offset = offset;
        record.length = length;
        if (data != nullptr) {
            std::memcpy(record.command, data, std::min<std::size_t>(length, sizeof record.command));
        }
        faults_.push_back(record);
    }
    return false;
}

bool EmulatedCamera::readyLocked(Clock::time_point now) const {
    return connected_ && streaming_ && !neverReady_ && halvesAllowed_ != 0 &&
           now >= nextDueLocked();
}

EmulatedCamera::Clock::time_point EmulatedCamera::nextDueLocked() const {
    // A frame's first half waits for its exposure to end as well as for the bandwidth; the
    // second half only for the bandwidth. The exposure register's value now counts, so a
    // shorter exposure written meanwhile ends the wait early, as the sensor would.
    const bool firstHalfNext = script_.empty() ? !secondHalfNext_ : !script_.front().secondHalf;
    if (!firstHalfNext) {
        return due_;
    }
    return std::max(due_, exposureStart_ + exposureTimeLocked());
}

EmulatedCamera::Clock::duration EmulatedCamera::exposureTimeLocked() const {
    const std::uint16_t exposure = clampToRegister(
        camera::Register::Exposure, words_[registerSlot(camera::Register::Exposure)]);
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double, std::micro>(camera::exposureTimeMicroseconds(exposure)));
}

void EmulatedCamera::fillStatusLocked(std::uint8_t *out, std::uint32_t length,
                                      Clock::time_point now) {
    std::uint8_t sector[camera::kSectorSize] = {};
    const std::size_t idLength =
        std::min<std::size_t>(config_.identification.size(), camera::kModelIdOffset);
    std::memcpy(sector, config_.identification.data(), idLength);
    sector[camera::kModelIdOffset] = config_.modelId0;
    sector[camera::kModelIdOffset + 1] = config_.modelId1;
    sector[camera::kReadyFlagOffset] = readyLocked(now) ? camera::kReadyFlagSet : 0;
    sector[camera::kRegisterValueOffset] = lastByteRead_;
    const std::uint32_t n = std::min<std::uint32_t>(length, camera::kSectorSize);
    std::memcpy(out, sector, n);
    std::memset(out + n, 0, length - n);
}

EmulatedCamera::Clock::duration EmulatedCamera::halfDurationLocked() const {
    if (bandwidth_ <= 0.0) {
        return Clock::duration::zero();
    }
    const double seconds = static_cast<double>(synthesizer_.halfBytes()) / bandwidth_;
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

double EmulatedCamera::responseLocked() const {
    const std::uint16_t exposure = clampToRegister(
        camera::Register::Exposure, words_[registerSlot(camera::Register::Exposure)]);
    const std::uint16_t gain = clampToRegister(camera::Register::Gain, activeGain_);
    return camera::exposureTimeMicroseconds(exposure) / camera::exposureTimeMicroseconds(100) *
           (gain / 100.0) * config_.illumination;
}

void EmulatedCamera::configureLocked() {
    synthesizer_.configure(activeReadout_, responseLocked());
}

bool EmulatedCamera::readDataLocked(std::uint8_t *out, std::uint32_t length) {
    const Clock::time_point now = Clock::now();
    if (!readyLocked(now)) {
        ++counters_.idleDataReads;
        std::memset(out, 0, length);
        if (length > 0) {
            out[0] = kIdleDataMark;
        }
        return true;
    }
    if (disconnectArmed_ && halvesBeforeDisconnect_ == 0) {
        connected_ = false;
        changed_.notify_all();
        return false;
    }
    ScriptedHalf half;
    if (!script_.empty()) {
        half = script_.front();
        script_.pop_front();
    } else {
        for (;;) {
            half.frame = frame_;
            half.secondHalf = secondHalfNext_;
            half.tag = camera::halfTag(frame_, secondHalfNext_);
            if (secondHalfNext_) {
                ++frame_;
            }
            secondHalfNext_ = !secondHalfNext_;
            if (dropsPending_ == 0) {
                break;
            }
            --dropsPending_;
        }
    }
    if (!half.secondHalf) {
        configureLocked();  // new settings apply from the start of a frame
        // The sensor starts the next exposure as it reads this one out.
        exposureStart_ = Clock::now();
    }
    synthesizer_.renderHalf(half.frame, half.secondHalf, out, length);
    if (length > 0) {
        out[0] = half.tag;
    }
    ++counters_.halvesSent;
    if (halvesAllowed_ > 0) {
        --halvesAllowed_;
    }
    if (disconnectArmed_) {
        --halvesBeforeDisconnect_;
    }
    due_ = Clock::now() + halfDurationLocked();
    return true;
}

void EmulatedCamera::executeCommandLocked(const std::uint8_t *block) {
    const std::uint16_t address = static_cast<std::uint16_t>((block[1] << 8) | block[2]);
    switch (block[0]) {
        case camera::kOpcodeStart:
            ++counters_.startCommands;
            streaming_ = true;
            frame_ = 0;
            secondHalfNext_ = false;
            configureLocked();
            exposureStart_ = Clock::now();
            due_ = exposureStart_ + halfDurationLocked();
            changed_.notify_all();
            break;
        case camera::kOpcodeWrite:
            // Byte 1 of 0 or 1 is a step of the word write, so byte registers below 0x0200
            // cannot be written with the byte form.
            if (block[1] == camera::kWordWriteAddressStep) {
                pendingAddress_ = (block[2] << 8) | block[3];
            } else if (block[1] == camera::kWordWriteValueStep) {
                if (pendingAddress_ >= 0) {
                    writeWordLocked(static_cast<std::uint16_t>(pendingAddress_),
                                    static_cast<std::uint16_t>((block[2] << 8) | block[3]));
                }
                pendingAddress_ = -1;
            } else {
                bytes_[address] = block[3];
            }
            break;
        case camera::kOpcodeRead:
            lastByteRead_ = bytes_[address];
            break;
        default:
            break;  // refused before they get here
    }
}

void EmulatedCamera::writeWordLocked(std::uint16_t address, std::uint16_t value) {
    const camera::RegisterInfo *info = camera::findRegister(address);
    if (info == nullptr) {
        return;
    }
    words_[registerSlot(info->id)] = value;
    changed_.notify_all();  // a shorter exposure may end a status read's wait
    switch (info->id) {
        case camera::Register::ReadoutUpdate:
            if (value == 1) {
                activeReadout_.twoSided =
                    words_[registerSlot(camera::Register::ReadoutSingleSided)] == 0;
                activeReadout_.subsampled =
                    words_[registerSlot(camera::Register::ReadoutSubsample)] != 0;
            }
            break;
        case camera::Register::Gain:
            if (words_[registerSlot(camera::Register::GainUpdate)] == 1) {
                activeGain_ = value;
            }
            break;
        default:
            break;
    }
}

std::uint16_t EmulatedCamera::registerValue(camera::Register id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return words_[registerSlot(id)];
}

std::uint8_t EmulatedCamera::byteRegister(std::uint16_t address) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return bytes_[address];
}

bool EmulatedCamera::streaming() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return streaming_;
}

CameraCounters EmulatedCamera::counters() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return counters_;
}

std::vector<DriveAccess> EmulatedCamera::commands() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return {commands_.begin(), commands_.end()};
}

void EmulatedCamera::clearCommands() {
    std::lock_guard<std::mutex> lock(mutex_);
    commands_.clear();
}

void EmulatedCamera::setAccessLogging(bool on) {
    std::lock_guard<std::mutex> lock(mutex_);
    logging_ = on;
    accesses_.clear();
}

std::vector<DriveAccess> EmulatedCamera::accesses() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return accesses_;
}

std::vector<ProtocolFaultRecord> EmulatedCamera::protocolFaults() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return faults_;
}

void EmulatedCamera::clearProtocolFaults() {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.clear();
}

void EmulatedCamera::dropNextHalves(int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    dropsPending_ += std::max(count, 0);
}

void EmulatedCamera::scriptHalves(const std::vector<ScriptedHalf> &halves) {
    std::lock_guard<std::mutex> lock(mutex_);
    script_.insert(script_.end(), halves.begin(), halves.end());
}

void EmulatedCamera::setNeverReady(bool neverReady) {
    std::lock_guard<std::mutex> lock(mutex_);
    neverReady_ = neverReady;
    changed_.notify_all();
}

void EmulatedCamera::failNextReads(DriveRegion region, int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    failReads_[static_cast<int>(region)] = std::max(count, 0);
}

void EmulatedCamera::failNextWrites(int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    failWrites_ = std::max(count, 0);
}

void EmulatedCamera::disconnect() {
    std::lock_guard<std::mutex> lock(mutex_);
    connected_ = false;
    changed_.notify_all();
}

void EmulatedCamera::unplug() {
    std::lock_guard<std::mutex> lock(mutex_);
    connected_ = false;
    ++generation_;
    changed_.notify_all();
}

void EmulatedCamera::refuseOpens(bool refuse) {
    std::lock_guard<std::mutex> lock(mutex_);
    openRefused_ = refuse;
}

void EmulatedCamera::reconnect() {
    std::lock_guard<std::mutex> lock(mutex_);
    connected_ = true;
    streaming_ = false;  // a camera plugged in again waits for its start command
    disconnectArmed_ = false;
}

void EmulatedCamera::disconnectAfterHalves(std::uint64_t count) {
    std::lock_guard<std::mutex> lock(mutex_);
    disconnectArmed_ = true;
    halvesBeforeDisconnect_ = count;
}

void EmulatedCamera::limitHalves(std::int64_t count) {
    std::lock_guard<std::mutex> lock(mutex_);
    halvesAllowed_ = count < 0 ? -1 : count;
    changed_.notify_all();
}

void EmulatedCamera::setBandwidth(double bytesPerSecond) {
    std::lock_guard<std::mutex> lock(mutex_);
    bandwidth_ = bytesPerSecond;
}

void EmulatedCamera::setStatusReadLatency(std::chrono::microseconds latency) {
    std::lock_guard<std::mutex> lock(mutex_);
    statusLatency_ = latency;
}

std::vector<std::uint8_t> EmulatedCamera::renderPicture(std::uint32_t frame) {
    std::lock_guard<std::mutex> lock(mutex_);
    configureLocked();
    std::vector<std::uint8_t> picture(synthesizer_.frameBytes());
    synthesizer_.renderPicture(frame, picture.data());
    return picture;
}

std::int32_t EmulatedCamera::pictureWidth() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return activeReadout_.subsampled ? config_.width / 2 : config_.width;
}

std::int32_t EmulatedCamera::pictureHeight() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return activeReadout_.subsampled ? config_.height / 2 : config_.height;
}

std::size_t EmulatedCamera::firstHalfTagIndex() const {
    return 0;
}

std::size_t EmulatedCamera::secondHalfTagIndex() {
    std::lock_guard<std::mutex> lock(mutex_);
    configureLocked();
    return synthesizer_.pictureIndex(synthesizer_.halfBytes());
}

double EmulatedCamera::response() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return responseLocked();
}

std::chrono::microseconds EmulatedCamera::exposureTime() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::chrono::duration_cast<std::chrono::microseconds>(exposureTimeLocked());
}

}  // namespace ostrel::emulator
