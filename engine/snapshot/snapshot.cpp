#include "engine/snapshot/snapshot.h"

#include <cstdlib>

#include "engine/fat/fat_snapshot.h"
#include "engine/ntfs/mft_snapshot.h"
#include "engine/volume.h"

ExtentList* ProcessExtentList() {
    static ExtentList list{0, nullptr, nullptr};
    return &list;
}

void FreeExtentList(ExtentList* list) {
    if (!list) return;
    std::free(list->starts);
    std::free(list->lengths);
    list->count = 0;
    list->starts = nullptr;
    list->lengths = nullptr;
}

CSnapshot* CreateSnapshot(VolumeAccess* volume) {
    if (!volume) return nullptr;
    switch (volume->kind) {
        case FS_FAT: return NewFatSnapshot(volume);
        case FS_NTFS: return NewMftSnapshot(volume);
        default: return nullptr;
    }
}

int32_t TakeSnapshot(CSnapshot* snapshot, uint32_t flags, SNAPSHOT_ENTRY** root, ProgressCallback callback,
                     uint32_t user, ExtentList** extents) {
    if (!snapshot) return 0;
    CSnapshotProgressDlgTmpl adapter(callback, user);
    int32_t result = snapshot->Take(&adapter, flags, extents);
    if (root) *root = snapshot->root;
    return result;
}

void DeleteSnapshot(CSnapshot* snapshot) {
    if (!snapshot) return;
    snapshot->Clear();
    delete snapshot;
}
