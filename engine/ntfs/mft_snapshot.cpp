// Placeholder until the NTFS snapshot lands: takes check the volume, then fail.
#include "engine/ntfs/mft_snapshot.h"

#include <new>

#include "engine/volume.h"

namespace {
class CMFTSnapshot : public CSnapshot {
public:
    using CSnapshot::CSnapshot;
    int32_t Take(CSnapshotProgressDlg* dlg, uint32_t takeOptions, ExtentList** extents) override {
        progress = dlg;
        options = takeOptions;
        if (extents) *extents = nullptr;
        if (!volume->IsOpen()) return SetStatus(STATUS_NOT_OPEN);
        if (volume->kind != FS_NTFS) return SetStatus(STATUS_NOT_NTFS);
        Clear();
        return SetStatus(STATUS_NOT_NTFS);
    }
    void Clear() override { root = nullptr; }
};
}  // namespace

CSnapshot* NewMftSnapshot(VolumeAccess* volume) { return new (std::nothrow) CMFTSnapshot(volume); }
