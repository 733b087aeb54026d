#include "engine/volume_icons.h"

#include <string>

#include "engine/status.h"
#include "engine/volume_listing.h"
#include "platform/floppy_drive.h"
#include "platform/volume_probe.h"
#include "platform/wide_string.h"

namespace {

constexpr HICON kHardDisk = "drive-harddisk";
constexpr HICON kRemovable = "drive-removable-media";
constexpr HICON kFloppy = "media-floppy";
constexpr HICON kOptical = "drive-optical";
constexpr HICON kNetwork = "network-server";

std::string DevicePath(const ListingSources& sources, const platform::BlockDevice& device) {
    std::string root = sources.devRoot;
    if (root.empty() || root.back() != '/') root += '/';
    return root + device.node;
}

// The volume label; false when the volume cannot be read (the query failed).
bool QueryLabel(const ListingSources& sources, const platform::BlockDevice& device, bool resolved,
                std::u16string& label) {
    if (!resolved) return false;
    platform::VolumeProbe probe = platform::ProbeVolume(DevicePath(sources, device));
    if (!probe.opened || !probe.found) return false;
    label = platform::WideFromUtf8(probe.label);
    return true;
}

void Put(WCHAR* name, const std::u16string& text) {
    platform::WideCopy(name, kDisplayNameChars, text.c_str());
}
void PutMessage(WCHAR* name, uint32_t message) { platform::WideCopy(name, kDisplayNameChars, LoadEngineString(message)); }

}  // namespace

HICON GetVolumeIconFrom(const WCHAR* root, uint32_t driveType, int32_t connected, int32_t /*large*/,
                        const ListingSources& sources) {
    (void)connected;  // one network icon serves connected and disconnected shares
    switch (driveType) {
        case DRIVE_TYPE_REMOVABLE: {
            // The shell shows a floppy drive with the floppy icon, other removable drives alike.
            platform::BlockDevice device;
            if (root) ResolveRoot(platform::Utf8FromWide(root), sources, &device);
            return device.floppy ? kFloppy : kRemovable;
        }
        case DRIVE_TYPE_FIXED: return kHardDisk;
        case DRIVE_TYPE_REMOTE: return kNetwork;
        case DRIVE_TYPE_CDROM: return kOptical;
        case DRIVE_TYPE_RAMDISK: return kHardDisk;
        default: return kHardDisk;
    }
}

void GetVolumeDisplayNameFrom(const WCHAR* root, WCHAR* name, const ListingSources& sources) {
    if (!name) return;
    name[0] = 0;
    if (!root) return;
    platform::BlockDevice device;
    uint32_t type = ResolveRoot(platform::Utf8FromWide(root), sources, &device);
    bool resolved = !device.name.empty();
    std::u16string label;
    switch (type) {
        case DRIVE_TYPE_REMOVABLE: {
            // A floppy drive is named by its form factor and never read; the driver is
            // asked for it, and a drive that does not answer counts as 3.5-inch.
            if (resolved && device.floppy)
                return PutMessage(name, platform::FloppyFormFactorOf(DevicePath(sources, device)) ==
                                                platform::FloppyFormFactor::Inch525
                                            ? MSG_FLOPPY_525
                                            : MSG_FLOPPY_35);
            // The shell's name of a removable drive is its label (without the drive part).
            if (QueryLabel(sources, device, resolved, label) && !label.empty()) return Put(name, label);
            return PutMessage(name, MSG_REMOVABLE_DISK);
        }
        case DRIVE_TYPE_FIXED:
        case DRIVE_TYPE_RAMDISK:
            if (!QueryLabel(sources, device, resolved, label)) return;
            if (label.empty()) return PutMessage(name, MSG_LOCAL_DISK);
            return Put(name, label);
        case DRIVE_TYPE_CDROM:
            if (QueryLabel(sources, device, resolved, label) && !label.empty()) return Put(name, label);
            return PutMessage(name, MSG_CDROM);
        default: return;
    }
}

HICON GetVolumeIcon(const WCHAR* root, uint32_t driveType, int32_t connected, int32_t large) {
    return GetVolumeIconFrom(root, driveType, connected, large, ListingSources{});
}

void GetVolumeDisplayName(const WCHAR* root, WCHAR* name) { GetVolumeDisplayNameFrom(root, name, ListingSources{}); }
