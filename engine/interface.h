// The engine's bootstrap and its table of 23 entry points, the application's only way in.
#pragma once
#include <cstdint>
#include "engine/efs_export.h"
#include "engine/snapshot/snapshot.h"
#include "engine/status.h"
#include "platform/win_types.h"

struct VolumeDetails;
class VolumeAccess;
class StreamReader;

struct UndeleteApi {
    VolumeDetails* (*EnumerateVolumes)(uint16_t* count, uint32_t* status);                     // 0
    void (*FreeVolumeList)(VolumeDetails* list);                                                // 1
    VolumeAccess* (*CreateVolume)();                                                            // 2
    int32_t (*OpenVolume)(VolumeAccess* volume, const WCHAR* path);                             // 3
    uint32_t (*GetClusterSize)(VolumeAccess* volume);                                           // 4
    void (*CloseVolume)(VolumeAccess* volume);                                                  // 5
    void (*DeleteVolume)(VolumeAccess* volume);                                                 // 6
    HICON (*GetVolumeIcon)(const WCHAR* root, uint32_t driveType, int32_t connected, int32_t large);  // 7
    void (*GetVolumeDisplayName)(const WCHAR* root, WCHAR* name);                               // 8
    CSnapshot* (*CreateSnapshot)(VolumeAccess* volume);                                         // 9
    int32_t (*TakeSnapshot)(CSnapshot* snapshot, uint32_t flags, SNAPSHOT_ENTRY** root, ProgressCallback callback,
                            uint32_t user, ExtentList** extents);                               // 10
    void (*DeleteSnapshot)(CSnapshot* snapshot);                                                // 11
    StreamReader* (*OpenStream)(VolumeAccess* volume, ENTRY_STREAM* stream);                   // 12
    int32_t (*ReadStream)(StreamReader* reader, void* buffer, uint32_t count);                  // 13
    void (*CloseStream)(StreamReader* reader);                                                  // 14
    EfsExportContext* (*CreateEfsExport)(VolumeAccess* volume, ENTRY_STREAM* streams, void* buffer,
                                         uint32_t bufferSize, EfsCancelCallback cancel, uint32_t value);  // 15
    uint32_t (*EfsExportCallback)(uint8_t* data, EfsExportContext* context, uint32_t* length);  // 16
    void (*DeleteEfsExport)(EfsExportContext* context);                                         // 17
    int64_t (*GetFirstCluster)(ENTRY_STREAM* stream);                                           // 18
    void (*GetLastStatus)(uint32_t* code, const WCHAR** text);                                  // 19
    void (*GetLastSystemError)(uint32_t* code, const WCHAR** text);                             // 20
    void (*FreeExtentList)(ExtentList* list);                                                   // 21
    int32_t (*ReadClusters)(VolumeAccess* volume, void* buffer, uint64_t firstCluster, uint32_t count);  // 22
};

// Stores the host module and initialises the engine once; always 1.
int32_t InitializeEngine(HMODULE module);
// The table, or null when the platform was not recognised (or the engine not initialised).
const UndeleteApi* GetEngineApi();
