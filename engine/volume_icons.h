// Icons and display names of listed volumes. An icon is the name of a freedesktop
// icon (drive-harddisk, drive-removable-media, media-floppy, drive-optical,
// network-server); the desktop program turns it into a picture.
#pragma once
#include <cstdint>
#include "engine/enumeration.h"
#include "platform/win_types.h"

inline constexpr int kDisplayNameChars = 260;

// root: a device node or a mounted volume's root; driveType: a drive type as listed.
HICON GetVolumeIcon(const WCHAR* root, uint32_t driveType, int32_t connected, int32_t large);
// Fills `name` (260 characters) with the volume's display name; empty when there is none.
void GetVolumeDisplayName(const WCHAR* root, WCHAR* name);

// The same, looking the root up in the given sources.
HICON GetVolumeIconFrom(const WCHAR* root, uint32_t driveType, int32_t connected, int32_t large,
                        const ListingSources& sources);
void GetVolumeDisplayNameFrom(const WCHAR* root, WCHAR* name, const ListingSources& sources);
