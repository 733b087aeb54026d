// The machine's block devices as sysfs describes them (SYSROOT/class/block): what each
// one is, which disk it belongs to and whether that disk is removable. The sysfs root is
// a parameter so a fixture tree can stand in for /sys.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct BlockDevice {
    std::string name;          // kernel name ("sdb1")
    std::string node;          // device node below /dev ("sdb1"; "cciss/c0d0" for "cciss!c0d0")
    std::string disk;          // kernel name of the whole disk; the device itself for a disk
    uint32_t major = 0;
    uint32_t minor = 0;
    uint64_t sectors = 0;      // size in 512-byte sectors, 0 when unknown or empty
    bool isPartition = false;
    bool hasPartitions = false;  // a disk whose partitions sysfs lists
    bool removable = false;    // the disk's "removable" attribute
    bool hidden = false;       // a device the kernel hides (multipath paths)
    bool cdrom = false;        // an optical drive (SCSI CD-ROM major or device type 5)
    bool floppy = false;       // a floppy drive (fd devices)
    bool ramDisk = false;      // ram and zram devices
    bool loop = false;
    bool hasBackingFile = false;  // loop devices: a file is attached
};

// Every block device under SYSROOT/class/block, in natural name order (sda, sda1,
// sda2, sda10, sdb). False with errno set when the folder cannot be read.
bool ListBlockDevices(const std::string& sysRoot, std::vector<BlockDevice>& devices);

// Natural order of kernel names: runs of digits compare by value.
bool NaturalLess(const std::string& a, const std::string& b);

// The kernel's drive type for a device, in the Windows numbering: 2 removable,
// 3 fixed, 5 CD-ROM, 6 RAM disk, 1 for a device that holds no drive (a loop
// device without a backing file, a hidden path, an empty device).
uint32_t DriveTypeOf(const BlockDevice& device);

}  // namespace platform
