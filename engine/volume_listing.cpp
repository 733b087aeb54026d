#include "engine/volume_listing.h"

#include <cerrno>
#include <cstring>
#include <sys/statvfs.h>
#include <vector>

#include "platform/last_error.h"
#include "platform/mount_table.h"
#include "platform/volume_probe.h"
#include "platform/wide_string.h"

namespace {

// Copies `text` into a fixed field only when it fits whole; a cut path would name
// another place, so a text that does not fit leaves the field empty.
void CopyWhole(WCHAR* field, size_t capacity, const std::u16string& text) {
    if (text.size() + 1 > capacity) {
        field[0] = 0;
        return;
    }
    std::memcpy(field, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
}

// Copies at most capacity-1 characters, not splitting a surrogate pair.
void CopyCut(WCHAR* field, size_t capacity, const std::u16string& text) {
    size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
    if (n < text.size() && n > 0 && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
    std::memcpy(field, text.data(), n * sizeof(WCHAR));
    field[n] = 0;
}

std::string JoinDev(const std::string& root, const std::string& node) {
    if (!root.empty() && root.back() == '/') return root + node;
    return root + "/" + node;
}

bool IsNetworkFileSystem(const std::string& type) {
    static const char* const kNetwork[] = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs",
                                           "ceph", "9p", "fuse.sshfs", "glusterfs", "fuse.glusterfs"};
    for (const char* t : kNetwork)
        if (type == t) return true;
    return false;
}

void FillRecord(const platform::BlockDevice& device, uint32_t driveType, const ListingSources& sources,
                const std::vector<platform::MountEntry>& mounts, VolumeDetails& record) {
    std::memset(&record, 0, sizeof record);
    record.driveType = driveType;
    CopyWhole(record.volumeName, kVolumeNameChars, platform::WideFromUtf8(JoinDev(sources.devRoot, device.node)));

    const platform::MountEntry* mount = platform::FirstMountOf(mounts, device.major, device.minor, "/dev/" + device.node);
    if (mount) {
        std::string path = mount->mountPoint;
        if (path.empty() || path.back() != '/') path += '/';
        CopyWhole(record.mountPath, kMountPathChars, platform::WideFromUtf8(path));
    }

    record.totalBytes = kUnknownSize;
    record.freeBytes = kUnknownSize;
    // A floppy drive is never read: no medium is needed to list it.
    if (device.floppy) return;

    platform::VolumeProbe probe = platform::ProbeVolume(JoinDev(sources.devRoot, device.node));
    if (probe.found) {
        CopyCut(record.fileSystemName, kFileSystemNameChars, FileSystemDisplayName(probe.type, probe.version));
        CopyCut(record.volumeLabel, kVolumeLabelChars, platform::WideFromUtf8(probe.label));
    }

    struct statvfs st {};
    if (mount && statvfs(mount->mountPoint.c_str(), &st) == 0 && st.f_frsize != 0) {
        record.totalBytes = uint64_t(st.f_blocks) * st.f_frsize;
        record.freeBytes = uint64_t(st.f_bfree) * st.f_frsize;  // all free space, not the caller's share
    } else if (device.sectors != 0 && device.sectors < (kUnknownSize >> 9)) {
        // Not mounted: the capacity is the device's size; the free space is unknown.
        record.totalBytes = device.sectors * 512;
    }
}

}  // namespace

std::u16string FileSystemDisplayName(const std::string& type, const std::string& version) {
    if (type == "ntfs") return u"NTFS";
    if (type == "vfat" || type == "msdos") {
        if (version == "FAT12" || version == "FAT16" || version == "FAT32") return platform::WideFromUtf8(version);
        return u"FAT";
    }
    if (type == "exfat") return u"exFAT";
    return platform::WideFromUtf8(type);
}

uint32_t BuildVolumeListing(const ListingSources& sources, VolumeListing& listing) {
    std::vector<platform::BlockDevice> devices;
    errno = 0;
    if (!platform::ListBlockDevices(sources.sysRoot, devices)) {
        uint32_t code = platform::ErrnoToWinError(errno);
        return code ? code : ERROR_FILE_NOT_FOUND_CODE;
    }
    // Without a mount table every volume is listed as not mounted.
    std::vector<platform::MountEntry> mounts;
    platform::ReadMountTable(sources.mountinfo, mounts);

    for (const platform::BlockDevice& device : devices) {
        if (!device.isPartition && device.hasPartitions) continue;  // its partitions hold the volumes
        uint32_t type = platform::DriveTypeOf(device);
        if (type != DRIVE_TYPE_REMOVABLE && type != DRIVE_TYPE_FIXED) continue;
        VolumeDetails record;
        FillRecord(device, type, sources, mounts, record);
        if (listing.Add(record) < 0) {
            platform::SetLastError(ERROR_NOT_ENOUGH_MEMORY_CODE);
            listing.error = ARRAY_OK;
            return ERROR_NOT_ENOUGH_MEMORY_CODE;
        }
    }
    return 0;
}

uint32_t ResolveRoot(const std::string& root, const ListingSources& sources, platform::BlockDevice* device) {
    std::vector<platform::BlockDevice> devices;
    if (!platform::ListBlockDevices(sources.sysRoot, devices)) return DRIVE_TYPE_UNKNOWN;
    auto pick = [&](const platform::BlockDevice& d) {
        if (device) *device = d;
        return platform::DriveTypeOf(d);
    };
    // A device node.
    for (const std::string& prefix : {JoinDev(sources.devRoot, ""), std::string("/dev/")}) {
        if (root.size() > prefix.size() && root.compare(0, prefix.size(), prefix) == 0) {
            std::string node = root.substr(prefix.size());
            while (!node.empty() && node.back() == '/') node.pop_back();
            for (const platform::BlockDevice& d : devices)
                if (d.node == node) return pick(d);
        }
    }
    // A mounted volume's root.
    std::vector<platform::MountEntry> mounts;
    if (!platform::ReadMountTable(sources.mountinfo, mounts)) return DRIVE_TYPE_NO_ROOT;
    const platform::MountEntry* mount = platform::MountAt(mounts, root);
    if (!mount) return DRIVE_TYPE_NO_ROOT;
    if (IsNetworkFileSystem(mount->fsType)) return DRIVE_TYPE_REMOTE;
    for (const platform::BlockDevice& d : devices)
        if ((d.major == mount->major && d.minor == mount->minor && d.major != 0) || mount->source == "/dev/" + d.node)
            return pick(d);
    if (mount->fsType == "tmpfs" || mount->fsType == "ramfs") return DRIVE_TYPE_RAMDISK;
    return DRIVE_TYPE_UNKNOWN;
}
