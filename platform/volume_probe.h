// What a device (or image file) holds, as libblkid recognises it from its superblock:
// the file-system type, its version and its label.
#pragma once
#include <string>

namespace platform {

struct VolumeProbe {
    bool opened = false;   // false: the device could not be opened (errno says why)
    bool found = false;    // a file system (or other known content) was recognised
    std::string type;      // blkid's TYPE ("vfat", "ntfs", "exfat", "ext4", ...)
    std::string version;   // blkid's VERSION ("FAT32", ...)
    std::string label;     // UTF-8
};

// Probes `path` read-only. A device that needs privileges the process lacks gives
// opened = false and nothing else.
VolumeProbe ProbeVolume(const std::string& path);

}  // namespace platform
