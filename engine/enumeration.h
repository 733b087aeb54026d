// The machine's volumes as the application receives them: one flat VolumeDetails per
// listed volume, from the entry points EnumerateVolumes and FreeVolumeList.
#pragma once
#include <cstdint>
#include <string>
#include "platform/win_types.h"

inline constexpr int kMountPathChars = 260;
inline constexpr int kVolumeNameChars = 100;
inline constexpr int kFileSystemNameChars = 50;
inline constexpr int kVolumeLabelChars = 100;
inline constexpr uint64_t kUnknownSize = ~uint64_t(0);

// Drive types (the system numbering) the listing and the icons use.
enum DriveType : uint32_t {
    DRIVE_TYPE_UNKNOWN = 0,
    DRIVE_TYPE_NO_ROOT = 1,
    DRIVE_TYPE_REMOVABLE = 2,
    DRIVE_TYPE_FIXED = 3,
    DRIVE_TYPE_REMOTE = 4,
    DRIVE_TYPE_CDROM = 5,
    DRIVE_TYPE_RAMDISK = 6,
};

// One listed volume. Strings are UTF-16 and zero-terminated; every record starts zero-filled.
struct VolumeDetails {
    WCHAR mountPath[kMountPathChars];          // first mount point with its trailing "/", or empty
    WCHAR volumeName[kVolumeNameChars];        // the device node ("/dev/sdb1")
    WCHAR fileSystemName[kFileSystemNameChars];  // "NTFS", "FAT32", ... or empty when unknown
    WCHAR volumeLabel[kVolumeLabelChars];      // empty when none or unknown
    uint32_t driveType;                        // 2 removable, 3 fixed
    uint64_t totalBytes;                       // all bits set when unknown
    uint64_t freeBytes;                        // all bits set when unknown
};

// Where the listing looks: the sysfs root, the mountinfo file and the folder holding
// the device nodes. Tests point these at fixture trees.
struct ListingSources {
    std::string sysRoot = "/sys";
    std::string mountinfo = "/proc/self/mountinfo";
    std::string devRoot = "/dev";
};

// Listing of the machine's volumes; the caller releases the array with FreeVolumeList.
// The count is set to the number of records, the status to 0 or the listing's code.
VolumeDetails* EnumerateVolumes(uint16_t* count, uint32_t* status);
// The same from the given sources.
VolumeDetails* EnumerateVolumesFrom(const ListingSources& sources, uint16_t* count, uint32_t* status);
void FreeVolumeList(VolumeDetails* list);
