#include "engine/interface.h"

#include <cstdio>
#include <mutex>
#include <new>

#include "engine/enumeration.h"
#include "engine/snapshot/stream_reader.h"
#include "engine/volume.h"
#include "engine/volume_icons.h"
#include "platform/version.h"

namespace {

struct EngineFacts {
    bool versionQueried = false;
    bool ntFamily = false;
    bool nt6OrLater = false;
} g_facts;

VolumeAccess* CreateVolumeEntry() { return new (std::nothrow) VolumeAccess(); }
int32_t OpenVolumeEntry(VolumeAccess* v, const WCHAR* path) { return v ? v->OpenVolume(path) : 0; }
uint32_t GetClusterSizeEntry(VolumeAccess* v) { return v ? v->GetClusterSize() : 0; }
void CloseVolumeEntry(VolumeAccess* v) {
    if (v) v->CloseVolume();
}
// Releases the object; the caller closes it first, but an open one is closed rather than leaked.
void DeleteVolumeEntry(VolumeAccess* v) { delete v; }
int32_t ReadClustersEntry(VolumeAccess* v, void* buffer, uint64_t first, uint32_t count) {
    return v ? v->ReadClusters(buffer, first, count) : 0;
}

const UndeleteApi kApi = {
    EnumerateVolumes,  FreeVolumeList,  CreateVolumeEntry,  OpenVolumeEntry,   GetClusterSizeEntry,
    CloseVolumeEntry,  DeleteVolumeEntry, GetVolumeIcon,    GetVolumeDisplayName, CreateSnapshot,
    TakeSnapshot,      DeleteSnapshot,  OpenStream,         ReadStream,        CloseStream,
    CreateEfsExport,   EfsExportCallback, DeleteEfsExport,  GetFirstCluster,   GetLastStatus,
    GetLastSystemError, FreeExtentList, ReadClustersEntry,
};

void InitializeOnce() {
    platform::OsVersionInfo info{};
    info.size = platform::kVersionInfoSize;
    if (!platform::GetVersionEx(&info)) return;
    g_facts.versionQueried = true;
    g_facts.ntFamily = info.platformId == platform::kPlatformNt;
    g_facts.nt6OrLater = g_facts.ntFamily && info.majorVersion >= 6;
    // The shell and icon libraries of the original platform have no counterpart to
    // load here: icons are named, not loaded.
    if (!InitMessageRing()) std::fputs("Undelete: Insufficient memory\n", stderr);
}

}  // namespace

int32_t InitializeEngine(HMODULE module) {
    static std::once_flag once;
    SetHostModule(module);
    std::call_once(once, InitializeOnce);
    return 1;
}

const UndeleteApi* GetEngineApi() { return g_facts.ntFamily ? &kApi : nullptr; }
