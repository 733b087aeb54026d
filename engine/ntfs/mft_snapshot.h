// CMFTSnapshot: the snapshot of an NTFS volume, built from its master file table.
// Take reads the table in batches into a flat record table (mft_record.cpp), links the
// entries into a directory tree (tree_builder.cpp) and rates the deleted files against
// the volume's cluster bitmap (recovery_rating.cpp).
#pragma once
#include <cstdint>
#include "engine/arrays.h"
#include "engine/snapshot/snapshot.h"

class StreamReader;

// Records 0 to 23 are the NTFS system files.
inline constexpr int32_t kSystemRecords = 24;
// Key of the folder that gathers every deleted file.
inline constexpr int32_t kDeletedFilesKey = -2;

class CMFTSnapshot : public CSnapshot {
public:
    SNAPSHOT_ENTRY** records = nullptr;  // one slot per MFT record number
    int32_t recordCount = 0;
    int32_t recordSize = 0;
    int32_t sectorsPerRecord = 0;
    int32_t ownsRoot = 0;
    TIndirectArray<VIRTUAL_DIR> virtualDirs{10, 10, false};

    explicit CMFTSnapshot(VolumeAccess* v);
    ~CMFTSnapshot() override;

    int32_t Take(CSnapshotProgressDlg* progressDlg, uint32_t takeOptions, ExtentList** extents) override;
    void Clear() override;

    // Applies one record (fixed up in place) to the table; 1 = go on, 0 = failure (status set).
    int32_t ParseRecord(uint8_t* record, int32_t number);
    // Links the table into the directory tree; 0 on cancellation or exhausted memory.
    int32_t BuildTree();
    // The made-up folder with this key (made on first use); null when memory runs out.
    VIRTUAL_DIR* GetVirtualDir(int32_t key, uint32_t message, uint32_t attributes);
    // Deleted files whose names are gone (a name kept in an extension record that was
    // emptied): they are in no folder, but their clusters still count as claimed when
    // the other deleted files are rated, so a file overwritten by one is not "Excellent".
    TDirectArray<SNAPSHOT_ENTRY*> unnamedDeleted{16, 256};
    // Cluster maps of the non-resident attribute lists of deleted records: their clusters
    // are claimed like a deleted file's (they may hold what a deleted file's data held).
    TDirectArray<ENTRY_STREAM*> deletedAttributeLists{16, 256};

    // Rates every deleted file against the cluster bitmap; 0 when the map could not be built.
    int32_t RateDeletedFiles(uint32_t takeOptions, ExtentList** extents);

    // Record geometry from the boot sector; 0 when it cannot describe a usable table.
    int32_t SetGeometry();
    // The entry at slot i when i is a slot of the table, else null.
    SNAPSHOT_ENTRY* Slot(uint64_t i) const { return i < uint64_t(recordCount) ? records[i] : nullptr; }
    // A slot below 24 whose entry's first name starts with "$".
    bool IsSystemRecord(int32_t slot) const;

private:
    // Index of the lost-parent folders by record number, so every name finds its folder
    // in constant time however many folders a damaged table makes.
    struct LostIndexSlot {
        uint32_t key;
        int32_t capacity;  // size of the folder's children array while the tree is built
        VIRTUAL_DIR* dir;
    };
    LostIndexSlot* lostIndex_ = nullptr;
    uint32_t lostIndexCapacity_ = 0;  // power of two, or 0
    uint32_t lostIndexCount_ = 0;
    VIRTUAL_DIR* deletedFolder_ = nullptr;

    LostIndexSlot* FindLostSlot(uint32_t key) const;
    bool IndexLostFolder(VIRTUAL_DIR* dir, uint32_t key);
    void ClearVirtualDirs();
    // The directory a name of `child` is listed under: its parent entry when that is a
    // directory other than the child itself, else the lost-parent folder for the number.
    // *capacity receives the size of that directory's children array once it is made.
    SNAPSHOT_ENTRY* ParentFor(const SNAPSHOT_ENTRY* child, const ENTRY_NAME* name, bool* failed, int32_t* capacity);
    void MarkAncestors(int32_t slot, int32_t depth, uint8_t* depthSeen);
    // Finds the names whose parent link closes a loop of directories; those names are
    // listed under a lost-parent folder instead, so every walk down the tree ends.
    int32_t FindLoopNames();
    bool IsLoopName(const ENTRY_NAME* name) const;
    bool Cancelled(int32_t slot);
    void RemoveSlot(int32_t slot);

    ENTRY_NAME** loopNames_ = nullptr;  // sorted; valid during BuildTree
    int32_t loopNameCount_ = 0;
    int32_t* capacity_ = nullptr;  // children array size per slot; valid during BuildTree
    int32_t rootCapacity_ = 0;
    // Step 11 of a take: reads records 1.. in batches; records done in *done.
    int32_t ReadTable(StreamReader& reader, int32_t* done, bool* cancelled);
};

// A new, empty NTFS snapshot of an opened volume; null when memory is exhausted.
CSnapshot* NewMftSnapshot(VolumeAccess* volume);
