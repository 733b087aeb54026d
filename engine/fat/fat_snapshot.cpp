// CFATSnapshot: the take sequence, clearing, and the life of the snapshot's tables.
#include "engine/fat/fat_snapshot.h"

#include <cstdlib>
#include <new>

#include "engine/volume.h"

CSnapshot* NewFatSnapshot(VolumeAccess* volume) { return new (std::nothrow) CFATSnapshot(volume); }

CFATSnapshot::CFATSnapshot(VolumeAccess* v) : CSnapshot(v) {}

CFATSnapshot::~CFATSnapshot() {
    Clear();
    DestroyClusterTable();
}

void CFATSnapshot::Clear() {
    ReleaseWalkState();
    if (root) {
        if (deletedFolderAdded && root->children && root->childCount > 0) {
            SNAPSHOT_ENTRY* folder = root->children[root->childCount - 1].entry;
            --root->childCount;
            FreeSnapshotEntry(folder);  // its names and its array, not the entries it lists
        }
        ReleaseFatTree(root);
        root = nullptr;
    }
    deletedFolderAdded = 0;
    rootCapacity = 0;
    std::free(table);
    table = nullptr;
    ReleaseRunList();
}

int32_t CFATSnapshot::Take(CSnapshotProgressDlg* progressDlg, uint32_t takeOptions, ExtentList** extents) {
    progress = progressDlg;
    options = takeOptions;
    if (extents) *extents = nullptr;
    if (!volume || !volume->IsOpen()) return SetStatus(STATUS_NOT_OPEN);
    if (volume->kind != FS_FAT) return SetStatus(STATUS_NOT_FAT);
    if (volume->GetClusterSize() == 0) return SetStatus(STATUS_NOT_FAT);
    Clear();

    progress->Report(MSG_FAT_STEP_2);
    if (!LoadAllocationTable()) return 0;
    CountClusters();
    progressDone = 0;
    liveCredit = 0;
    progressTotal = usedCount + ((options & SNAP_DEEP_SCAN) ? 15ull * freeCount : 0);
    currentLive = &liveA;
    nextLive = &liveB;
    currentDeleted = &deletedA;
    nextDeleted = &deletedB;
    liveSweep = deletedSweep = 0;

    progress->Report(MSG_FAT_STEP_1);
    if (!WalkLiveDirectories()) {
        Clear();
        return 0;
    }
    progress->Report(MSG_FAT_STEP_3);
    int32_t walked = WalkDeletedDirectories();
    ReleaseWalkState();
    if (!walked) {
        Clear();
        return 0;
    }
    // Live-directory marks are not needed any more; the deep scan counts only bit 28.
    for (uint32_t c = 2; c < scanEnd; ++c) table[c] &= ~kQueuedForLiveDir;

    if (options & SNAP_DEEP_SCAN) {
        progress->Report(MSG_FAT_STEP_4);
        int32_t ok = 0;
        if (clusterTable && progress->Ask(PROGRESS_QUESTION, MSG_FAT_REUSE_QUESTION, 1)) {
            progress->Report(MSG_FAT_STEP_5);
            ok = ReuseClusterTable();
        } else {
            DestroyClusterTable();
            clusterTable = new (std::nothrow) TDirectArray<CLUSTER>(256, 256);
            if (clusterTable && clusterTable->error != ARRAY_OK) {
                delete clusterTable;
                clusterTable = nullptr;
            }
            if (!clusterTable) SetStatus(STATUS_NO_MEMORY);
            else ok = ScanFreeClusters();
        }
        if (clusterTable) {
            if (ok) ok = AttachLostDirectories();
            if (!ok) DestroyClusterTable();
        }
        ReleaseClusterData();
    }
    progress->SetProgress(1000);

    if (!(options & SNAP_LIVE_FILES)) DropLiveDirectoriesWithoutDeleted(root);
    for (uint32_t c = 2; c < scanEnd; ++c) table[c] &= kFatValueMask;
    RateTree(root, RATE_CLAIM);
    RateTree(root, RATE_RATE);
    if ((options & SNAP_FREE_EXTENTS) && extents) {
        RateTree(root, RATE_RECLAIM);
        *extents = ProcessExtentList();
        if (!ComputeFreeExtents()) *extents = nullptr;
    }
    if (!BuildStreams(root)) {
        Clear();
        return 0;
    }
    ReleaseRunList();
    if (options & SNAP_DROP_EMPTY) DropEmptyFiles(root);
    if (options & SNAP_PRUNE_DIRS) PruneEmptyDirectories(root);
    NumberDuplicateNames(root);
    AddDeletedFilesFolder();
    std::free(table);
    table = nullptr;
    return 1;
}
