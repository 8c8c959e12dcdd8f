// The emulated cameras' disk list and drives, and their installation in the platform services.
#include "emulator/emulated_camera_set.h"

#include <cstdio>
#include <string_view>

#include "emulator/emulated_drive.h"
#include "emulator/test_chart_scene.h"

namespace ostrel::emulator {

namespace {

constexpr std::string_view kDiskEnumPath = "SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum";

bool sameKeyPath(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

platform::RegistryValue dwordValue(const char *name, std::uint32_t value) {
    platform::RegistryValue v;
    v.name = name;
    v.type = platform::RegistryType::Dword;
    v.data = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
              static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    return v;
}

// Cameras that show the same scene at the same size share its still rendering.
std::shared_ptr<const StillScene> stillFor(
    const EmulatedCameraConfig &config, std::vector<std::shared_ptr<const StillScene>> &rendered) {
    const std::shared_ptr<const SceneGenerator> scene =
        config.scene ? config.scene : defaultScene();
    for (const auto &still : rendered) {
        if (&still->generator() == scene.get() && still->width() == config.width &&
            still->height() == config.height) {
            return still;
        }
    }
    rendered.push_back(std::make_shared<StillScene>(scene, config.width, config.height));
    return rendered.back();
}

std::mutex installMutex;
std::shared_ptr<EmulatedCameraSet> *installedSet = new std::shared_ptr<EmulatedCameraSet>();

}  // namespace

EmulatedCameraSet::EmulatedCameraSet(const std::vector<EmulatedCameraConfig> &configs) {
    std::vector<std::shared_ptr<const StillScene>> rendered;
    for (std::size_t i = 0; i < configs.size(); ++i) {
        cameras_.push_back(
            std::make_shared<EmulatedCamera>(configs[i], stillFor(configs[i], rendered)));
        entries_.push_back(diskEntryFor(static_cast<int>(i)));
        driveOfCamera_.push_back(static_cast<int>(i));
    }
}

EmulatedCameraSet::EmulatedCameraSet(int count, const EmulatedCameraConfig &config)
    : EmulatedCameraSet(
          std::vector<EmulatedCameraConfig>(static_cast<std::size_t>(count), config)) {}

std::string EmulatedCameraSet::diskEntryFor(int index) {
    char text[128];
    std::snprintf(text, sizeof text,
                  "USBSTOR\\Disk&Ven_NEMBRA&Prod_USB3.0_7100VRX&Rev_1.00\\EMULATED%04d&0", index);
    return text;
}

void EmulatedCameraSet::setDiskEntries(std::vector<std::string> entries) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_ = std::move(entries);
}

void EmulatedCameraSet::placeCamera(int index, int drive) {
    std::lock_guard<std::mutex> lock(mutex_);
    driveOfCamera_.at(static_cast<std::size_t>(index)) = drive;
}

int EmulatedCameraSet::openCount(int drive) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return (drive >= 0 && drive < platform::kMaxRawDrives) ? opens_[drive] : 0;
}

bool EmulatedCameraSet::load(std::string_view path, std::vector<platform::RegistryValue> &values) {
    if (!sameKeyPath(path, kDiskEnumPath)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    values.clear();
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        platform::RegistryValue v;
        v.name = std::to_string(i);
        v.type = platform::RegistryType::String;
        v.data.assign(entries_[i].begin(), entries_[i].end());
        v.data.push_back(0);
        values.push_back(std::move(v));
    }
    const auto count = static_cast<std::uint32_t>(entries_.size());
    values.push_back(dwordValue("Count", count));
    values.push_back(dwordValue("NextInstance", count));
    return true;
}

void EmulatedCameraSet::useFaultFile(const std::string &path) {
    auto faults = std::make_shared<FaultFile>(path, cameras_);
    faults->pollNow();
    std::lock_guard<std::mutex> lock(mutex_);
    faults_ = std::move(faults);
}

bool EmulatedCameraSet::open(int number, std::unique_ptr<platform::RawDrive> &drive) {
    std::shared_ptr<FaultFile> faults;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        faults = faults_;
    }
    DriveCallHook hook;
    if (faults != nullptr) {
        faults->pollNow();  // an open sees the faults asked for up to now
        hook = [faults] { faults->poll(); };
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (number >= 0 && number < platform::kMaxRawDrives) {
        ++opens_[number];
    }
    drive.reset();
    for (std::size_t i = 0; i < cameras_.size(); ++i) {
        if (driveOfCamera_[i] == number && cameras_[i]->connected() &&
            !cameras_[i]->openRefused()) {
            drive = std::make_unique<EmulatedDrive>(cameras_[i], hook);
            break;
        }
    }
    return true;  // every drive number is served: no physical drive is ever opened
}

void installEmulatedCameras(std::shared_ptr<EmulatedCameraSet> set) {
    std::lock_guard<std::mutex> lock(installMutex);
    platform::setMachineKeySource(set.get());
    platform::setRawDriveSource(set.get());
    *installedSet = std::move(set);
}

std::shared_ptr<EmulatedCameraSet> installedEmulatedCameras() {
    std::lock_guard<std::mutex> lock(installMutex);
    return *installedSet;
}

}  // namespace ostrel::emulator
