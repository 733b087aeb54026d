// Icons and display names of listed volumes.
#pragma once
#include <cstdint>
#include "platform/win_types.h"

HICON GetVolumeIcon(const WCHAR* root, uint32_t driveType, int32_t connected, int32_t large);
void GetVolumeDisplayName(const WCHAR* root, WCHAR* name);
