// A set of emulated cameras standing in for the machine's disks: it serves the disk list (one
// matching entry per camera) as a machine key source and the cameras' drives as a raw drive
// source. While a set is installed no physical drive is opened: drive numbers without a camera
// fail to open.
//
// Threads: every member may be called from any thread.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "emulator/emulated_camera.h"
#include "emulator/fault_file.h"
#include "platform/raw_drive.h"
#include "platform/registry.h"

namespace ostrel::emulator {

inline constexpr int kMaxEmulatedCameras = 8;

class EmulatedCameraSet final : public platform::MachineKeySource, public platform::RawDriveSource {
public:
    // One camera per configuration; camera i on drive i, listed as disk entry i.
    explicit EmulatedCameraSet(const std::vector<EmulatedCameraConfig> &configs);
    // `count` cameras with the same configuration.
    EmulatedCameraSet(int count, const EmulatedCameraConfig &config);

    int size() const { return static_cast<int>(cameras_.size()); }
    EmulatedCamera &camera(int index) { return *cameras_.at(static_cast<std::size_t>(index)); }

    // The disk entry the set lists for camera `index`, in the form of the system's disk list.
    static std::string diskEntryFor(int index);
    // Replaces the listed disk entries (tests of discovery).
    void setDiskEntries(std::vector<std::string> entries);
    // Puts camera `index` on drive `drive` (-1: on no drive).
    void placeCamera(int index, int drive);
    // How often a drive number was asked for.
    int openCount(int drive) const;
    // Takes the cameras' faults from the fault file at `path` from now on (see FaultFile).
    void useFaultFile(const std::string &path);

    bool load(std::string_view path, std::vector<platform::RegistryValue> &values) override;
    bool open(int number, std::unique_ptr<platform::RawDrive> &drive) override;

private:
    std::vector<std::shared_ptr<EmulatedCamera>> cameras_;
    mutable std::mutex mutex_;
    std::vector<std::string> entries_;
    std::vector<int> driveOfCamera_;
    int opens_[platform::kMaxRawDrives] = {};
    std::shared_ptr<FaultFile> faults_;
};

// Installs a set as the disk list and drive source of the process (null removes it and gives
// the system back its own). The set is kept alive while installed. Not while another thread
// opens drives or registry keys.
void installEmulatedCameras(std::shared_ptr<EmulatedCameraSet> set);
// The installed set, or null.
std::shared_ptr<EmulatedCameraSet> installedEmulatedCameras();

}  // namespace ostrel::emulator
