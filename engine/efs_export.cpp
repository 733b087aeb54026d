// Placeholder until the encrypted-file export lands.
#include "engine/efs_export.h"

EfsExportContext* CreateEfsExport(VolumeAccess*, ENTRY_STREAM*, void*, uint32_t, EfsCancelCallback, uint32_t) {
    return nullptr;
}
uint32_t EfsExportCallback(uint8_t*, EfsExportContext*, uint32_t* length) {
    if (length) *length = 0;
    return 50;
}
void DeleteEfsExport(EfsExportContext*) {}
