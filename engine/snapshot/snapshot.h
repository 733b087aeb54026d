// CSnapshot: the abstract picture of one volume that NTFS and FAT snapshots build,
// the take options, and the process-wide list of free cluster extents.
#pragma once
#include <cstdint>
#include "engine/snapshot/records.h"
#include "engine/status.h"

class VolumeAccess;

// Options of Take.
enum SnapshotOptions : uint32_t {
    SNAP_LIVE_FILES = 0x1,
    SNAP_DEEP_SCAN = 0x2,
    SNAP_DROP_EMPTY = 0x4,
    SNAP_PRUNE_DIRS = 0x8,
    SNAP_FREE_EXTENTS = 0x100,
};
// What the application passes.
inline constexpr uint32_t SNAP_APPLICATION_OPTIONS = SNAP_DEEP_SCAN | SNAP_DROP_EMPTY | SNAP_PRUNE_DIRS;

// Free cluster extents of a volume: count, first clusters, lengths.
struct ExtentList {
    uint32_t count;
    uint64_t* starts;
    uint64_t* lengths;
};

// The one list per process, refilled by every take with SNAP_FREE_EXTENTS.
ExtentList* ProcessExtentList();
// Releases both arrays and zeroes the record; null is ignored, twice is harmless.
void FreeExtentList(ExtentList* list);

class CSnapshot {
public:
    SNAPSHOT_ENTRY* root = nullptr;
    VolumeAccess* volume;                    // not owned
    CSnapshotProgressDlg* progress = nullptr; // valid only during Take
    uint32_t options = 0;

    explicit CSnapshot(VolumeAccess* v) : volume(v) {}
    virtual ~CSnapshot() = default;
    CSnapshot(const CSnapshot&) = delete;
    CSnapshot& operator=(const CSnapshot&) = delete;

    // Builds the snapshot; 1 on success, 0 on failure or cancellation.
    virtual int32_t Take(CSnapshotProgressDlg* progressDlg, uint32_t takeOptions, ExtentList** extents) = 0;
    // Releases every record the snapshot owns and leaves it without a root.
    virtual void Clear() = 0;
};

// Entry points: the snapshot that matches an opened volume, taking it, deleting it.
CSnapshot* CreateSnapshot(VolumeAccess* volume);
int32_t TakeSnapshot(CSnapshot* snapshot, uint32_t flags, SNAPSHOT_ENTRY** root, ProgressCallback callback,
                     uint32_t user, ExtentList** extents);
void DeleteSnapshot(CSnapshot* snapshot);
