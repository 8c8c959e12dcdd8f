// The disks of a Linux system as sysfs describes them: each block device that carries SCSI-style
// inquiry data (vendor, model, revision), with its entry written as Windows writes its disk
// enumeration entries, e.g. "USBSTOR\Disk&Ven_NEMBRA&Prod_USB3.0_7100VRX&Rev_1.00\sdb&0". The disk
// list and the raw drive service both read it, so a drive is numbered from the very entry that
// discovery matched. The sysfs folder is /sys unless OSTREL_SYSFS_ROOT names another, so tests
// can lay out a fake tree.
#pragma once

#include <string>
#include <vector>

namespace ostrel::platform {

struct SysfsDisk {
    std::string name;   // the kernel's name of the disk, e.g. "sdq" (its folder in /sys/block)
    std::string entry;  // its disk list entry
};

// The sysfs folder in use.
std::string sysfsRoot();

// The first line of a small sysfs attribute; false when it does not exist.
bool readSysfsAttribute(const std::string &path, std::string &text);

// Every disk with inquiry data, in the order the kernel names them (sdz before sdaa), so the
// order stays the same from one call to the next while no disk comes or goes.
std::vector<SysfsDisk> sysfsDisks();

}  // namespace ostrel::platform
