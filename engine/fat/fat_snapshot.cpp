// Placeholder until the FAT snapshot lands: takes check the volume, then fail.
#include "engine/fat/fat_snapshot.h"

#include <new>

#include "engine/volume.h"

namespace {
class CFATSnapshot : public CSnapshot {
public:
    using CSnapshot::CSnapshot;
    int32_t Take(CSnapshotProgressDlg* dlg, uint32_t takeOptions, ExtentList** extents) override {
        progress = dlg;
        options = takeOptions;
        if (extents) *extents = nullptr;
        if (!volume->IsOpen()) return SetStatus(STATUS_NOT_OPEN);
        if (volume->kind != FS_FAT) return SetStatus(STATUS_NOT_FAT);
        Clear();
        return SetStatus(STATUS_NOT_FAT);
    }
    void Clear() override { root = nullptr; }
};
}  // namespace

CSnapshot* NewFatSnapshot(VolumeAccess* volume) { return new (std::nothrow) CFATSnapshot(volume); }
