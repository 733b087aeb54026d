// CFATSnapshot: the snapshot of a FAT12/16/32 volume, built from its allocation table
// and directories. The class is split over the files of this folder by concept: the
// allocation table, directory decoding, the directory walks, the lost-directory deep
// scan, data runs and rating, and the finishing of the tree.
#pragma once
#include <cstddef>
#include <cstdint>

#include "engine/arrays.h"
#include "engine/fat/dir_entry.h"
#include "engine/fat/dir_queue.h"
#include "engine/snapshot/snapshot.h"

// A new, empty FAT snapshot of an opened volume; null when memory is exhausted.
CSnapshot* NewFatSnapshot(VolumeAccess* volume);

// Allocation-table entry bits: the FAT value, and the marks the engine writes above it.
inline constexpr uint32_t kFatValueMask = 0x0FFFFFFFu;
inline constexpr uint32_t kTakenByDeletedDir = 0x10000000u;  // deleted-directory walk
inline constexpr uint32_t kQueuedForLiveDir = 0x20000000u;   // live walk: cluster already queued
inline constexpr uint32_t kClaimUnit = 0x10000000u;          // rating: claim count in bits 28-29

class CFATSnapshot : public CSnapshot {
public:
    // One directory cluster found in free space.
    struct CLUSTER {
        uint32_t cluster;
        uint32_t flags;
        uint32_t next;
        uint8_t* data;
    };
    enum : uint32_t {
        CLUSTER_DOTS = 0x1,
        CLUSTER_END_MARKER = 0x2,
        CLUSTER_REFERENCED = 0x4,
        CLUSTER_DECODED = 0x100,  // internal: already placed in a lost tree during this take
    };

    // A directory entry made ahead of its parent's decoding. Its raw entry's size field
    // holds (index + 1) into the table of these, since a pointer does not fit there.
    struct MADE_DIR {
        SNAPSHOT_ENTRY* entry;
        uint8_t* buffer;      // live directories being read: one slot per cluster
        uint32_t clusters;    // slots in buffer
        uint32_t unread;      // slots not read yet
        uint32_t linked;      // 1 once a children array (or the root pointer) owns the entry
    };

    enum RateMode { RATE_CLAIM, RATE_RATE, RATE_RECLAIM };
    enum GuessSource { GUESS_DISK, GUESS_CLUSTER_TABLE };

    uint32_t* table = nullptr;
    uint32_t endOfChain = 0;
    DirQueue* currentLive = nullptr;
    DirQueue* currentDeleted = nullptr;
    DirQueue* nextLive = nullptr;
    DirQueue* nextDeleted = nullptr;
    DirQueue liveA, liveB, deletedA, deletedB;
    uint32_t liveSweep = 0;
    uint32_t deletedSweep = 0;
    uint32_t tableCount = 0;
    uint32_t freeCount = 0;
    uint32_t usedCount = 0;
    uint64_t progressDone = 0;   // 64-bit: 15 x free clusters overflows 32 bits on big volumes
    uint64_t progressTotal = 0;
    int32_t deletedFolderAdded = 0;
    uint8_t* runList = nullptr;
    uint32_t runListLength = 0;
    uint32_t runListCapacity = 0;
    int64_t previousRunStart = 0;
    TDirectArray<CLUSTER>* clusterTable = nullptr;

    // Bounds derived from the volume and the loaded table (see Geometry()).
    uint32_t validEnd = 0;   // c is a valid cluster number when 2 <= c < validEnd
    uint32_t scanEnd = 0;    // counting, masking, deep-scan and extent loops: 2 .. scanEnd-1
    TDirectArray<MADE_DIR> made{256, 1024};
    int32_t rootCapacity = 0;     // elements allocated in the root's children array
    uint64_t liveCredit = 0;      // progress credited by the live decoding (bounded by usedCount)

    explicit CFATSnapshot(VolumeAccess* v);
    ~CFATSnapshot() override;

    int32_t Take(CSnapshotProgressDlg* progressDlg, uint32_t takeOptions, ExtentList** extents) override;
    void Clear() override;

    // Allocation table (allocation_table.cpp).
    int32_t LoadAllocationTable();
    void SetBounds();
    void CountClusters();
    int32_t ComputeFreeExtents();
    bool IsValid(uint64_t c) const { return c >= 2 && c < validEnd; }
    bool InUse(uint32_t c) const { return (table[c] & kFatValueMask) != 0; }
    FatGeometry Geometry() const;

    // Directory decoding (dir_decode.cpp).
    bool SkipEntry(const uint8_t* raw, bool deletedContext) const;
    int32_t DecodeDirectory(const uint8_t* data, size_t bytes, bool deletedContext, bool isRoot,
                            CHILD_LINK** children, int32_t* childCount);
    int32_t PrepareSubdirectories(uint8_t* data, size_t bytes, bool deletedContext);
    int32_t TieNewDirectory(uint8_t* raw, uint32_t* index);

    // Directory walks (dir_walk.cpp).
    int32_t QueueChain(uint32_t madeIndex, uint32_t firstCluster);
    int32_t QueueDeletedDirectory(uint32_t firstCluster, uint32_t madeIndex);
    int32_t WalkLiveDirectories();
    int32_t WalkDeletedDirectories();
    uint32_t NextClusterGuess(const uint8_t* data, uint32_t depth, GuessSource source);
    void ReleaseWalkState();
    void ReportProgress();

    // Lost directories (lost_dirs.cpp).
    int32_t ScanFreeClusters();
    int32_t ReuseClusterTable();
    int32_t AttachLostDirectories();
    int32_t DecodeLostChain(SNAPSHOT_ENTRY* directory, CLUSTER* first, uint32_t depth);
    CLUSTER* FindCluster(uint32_t cluster);
    void ReleaseClusterData();
    void DestroyClusterTable();

    // Runs and rating (runs_and_rating.cpp).
    void RateTree(SNAPSHOT_ENTRY* directory, RateMode mode);
    void ClaimFile(SNAPSHOT_ENTRY* file);
    void RateFile(SNAPSHOT_ENTRY* file);
    int32_t BuildStreams(SNAPSHOT_ENTRY* directory);
    int32_t LiveRunList(uint32_t firstCluster, uint64_t clusters);
    int32_t DeletedRunList(uint32_t firstCluster, uint64_t clusters, uint32_t* size);
    int32_t AppendRun(int64_t start, int64_t length);
    void ReleaseRunList();

    // Finishing the tree (tree_finishing.cpp).
    bool DropLiveDirectoriesWithoutDeleted(SNAPSHOT_ENTRY* directory);
    void DropEmptyFiles(SNAPSHOT_ENTRY* directory);
    bool PruneEmptyDirectories(SNAPSHOT_ENTRY* directory);
    int32_t NumberDuplicateNames(SNAPSHOT_ENTRY* directory);
    SNAPSHOT_ENTRY* AddFolder(SNAPSHOT_ENTRY* parent, const WCHAR* name, int32_t isDirectory);
    int32_t ReserveRootRoom(int32_t extra);
    int32_t AddDeletedFilesFolder();
};

// First cluster and size that a file entry carries until its stream is built.
inline uint32_t FileFirstCluster(const SNAPSHOT_ENTRY* e) { return uint32_t(reinterpret_cast<uintptr_t>(e->children)); }
inline uint32_t FileSize(const SNAPSHOT_ENTRY* e) { return uint32_t(e->childCount); }
inline void SetFileData(SNAPSHOT_ENTRY* e, uint32_t firstCluster, uint32_t size) {
    e->children = reinterpret_cast<CHILD_LINK*>(uintptr_t(firstCluster));
    e->childCount = int32_t(size);
}

// Releases a directory and everything below it (files through the entry release).
void ReleaseFatTree(SNAPSHOT_ENTRY* directory);
