// Building the volume listing: one VolumeDetails per partition, or per unpartitioned
// disk, of the fixed and removable drives, from sysfs, mountinfo, statvfs and the
// superblock probe. Also answers which device and drive type stand behind a root path.
#pragma once
#include <cstdint>
#include <string>
#include "engine/arrays.h"
#include "engine/enumeration.h"
#include "platform/block_devices.h"

using VolumeListing = TDirectArray<VolumeDetails>;

inline constexpr int32_t kVolumeListingInitial = 5;
inline constexpr int32_t kVolumeListingGrowth = 5;

// Appends the machine's volumes to `listing` in system order. Returns 0, 8 when the
// listing cannot grow (the records so far stay), or the system error code with
// which reading the device list failed.
uint32_t BuildVolumeListing(const ListingSources& sources, VolumeListing& listing);

// The file-system name as the system names it: "NTFS", "FAT12", "FAT16", "FAT32",
// "exFAT", otherwise the probe's own type.
std::u16string FileSystemDisplayName(const std::string& type, const std::string& version);

// The block device behind a root: a device node ("/dev/sdb1") or a mounted volume's
// root ("/media/stick/"). Returns the drive type (0 when nothing is known about the
// root, 4 for a network file system) and fills `device` when a block device was found.
uint32_t ResolveRoot(const std::string& root, const ListingSources& sources, platform::BlockDevice* device);
