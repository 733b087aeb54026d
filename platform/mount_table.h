// The mounts of the process as /proc/self/mountinfo lists them, in its order. The file
// is a parameter so a fixture can stand in for it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct MountEntry {
    uint32_t major = 0;
    uint32_t minor = 0;
    std::string root;        // the folder of the file system mounted here ("/" for its root)
    std::string mountPoint;  // unescaped
    std::string fsType;
    std::string source;      // unescaped ("/dev/sdb1", "tmpfs", ...)
};

// Reads every well-formed line; false with errno set when the file cannot be opened.
bool ReadMountTable(const std::string& mountinfo, std::vector<MountEntry>& entries);

// The first mount of a device's whole file system (root "/"): matched by device
// number, or by a source equal to `node` (the device's path). Null when none.
const MountEntry* FirstMountOf(const std::vector<MountEntry>& entries, uint32_t major, uint32_t minor,
                               const std::string& node);

// The mount whose mount point is `path` (with or without a trailing "/"); the last one
// listed, since that is the one visible there. Null when none.
const MountEntry* MountAt(const std::vector<MountEntry>& entries, const std::string& path);

}  // namespace platform
