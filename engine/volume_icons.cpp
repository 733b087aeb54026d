// Placeholder until volume icons and names land.
#include "engine/volume_icons.h"

HICON GetVolumeIcon(const WCHAR*, uint32_t, int32_t, int32_t) { return nullptr; }
void GetVolumeDisplayName(const WCHAR*, WCHAR* name) {
    if (name) name[0] = 0;
}
