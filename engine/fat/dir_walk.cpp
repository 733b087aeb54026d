// The directory walks: the live tree read from the root with every directory cluster read
// once, in rising cluster order per sweep, and the deleted directories followed into free
// clusters whose chains the allocation table no longer records.
#include <cstdlib>
#include <cstring>
#include <utility>

#include "engine/fat/fat_snapshot.h"
#include "engine/volume.h"

namespace {
constexpr uint32_t kMaxGuessDepth = 20;
constexpr uint32_t kDeletedBufferClusters = 10;
}  // namespace

void ReleaseFatTree(SNAPSHOT_ENTRY* directory) {
    if (!directory) return;
    if (directory->isDirectory && directory->children && directory->children != CHILDREN_MARK) {
        for (int32_t i = 0; i < directory->childCount; ++i) {
            SNAPSHOT_ENTRY* child = directory->children[i].entry;
            if (!child) continue;
            if (child->isDirectory) ReleaseFatTree(child);
            else FreeSnapshotEntry(child);
        }
    }
    FreeSnapshotEntry(directory);
}

void CFATSnapshot::ReportProgress() {
    if (progressTotal == 0) return;
    uint64_t done = progressDone > progressTotal ? progressTotal : progressDone;
    progress->SetProgress(uint32_t((done * 1000 + progressTotal / 2) / progressTotal));
}

void CFATSnapshot::ReleaseWalkState() {
    for (int32_t i = 0; i < made.count; ++i) {
        std::free(made[i].buffer);
        made[i].buffer = nullptr;
        if (!made[i].linked) ReleaseFatTree(made[i].entry);
    }
    made.count = 0;
    if (made.storage) made.error = ARRAY_OK;
    liveA.Clear();
    liveB.Clear();
    deletedA.Clear();
    deletedB.Clear();
}

int32_t CFATSnapshot::QueueChain(uint32_t madeIndex, uint32_t c) {
    uint32_t count = 0;
    // Each cluster joins at most one live directory, so a chain that loops or runs into
    // another directory's chain ends there.
    while (IsValid(c) && !(table[c] & kQueuedForLiveDir)) {
        table[c] |= kQueuedForLiveDir;
        DirQueue* q = c >= liveSweep ? currentLive : nextLive;
        if (!q->Push(DIR_QUEUE_ITEM{c, count, madeIndex})) return 0;
        ++count;
        c = table[c] & kFatValueMask;
        if (c >= endOfChain) break;
    }
    size_t clusterSize = volume->GetClusterSize();
    MADE_DIR& m = made[int32_t(madeIndex)];
    m.clusters = m.unread = count;
    if (count == 0) {
        // Nothing to read: the directory is decoded empty at once.
        SNAPSHOT_ENTRY* dir = m.entry;
        return DecodeDirectory(nullptr, 0, false, dir == root, &dir->children, &dir->childCount);
    }
    m.buffer = static_cast<uint8_t*>(std::malloc(size_t(count) * clusterSize));
    if (!m.buffer) return SetStatus(STATUS_NO_MEMORY);
    for (uint32_t i = 0; i < count; ++i) m.buffer[size_t(i) * clusterSize] = 0;
    return 1;
}

int32_t CFATSnapshot::QueueDeletedDirectory(uint32_t c, uint32_t madeIndex) {
    DirQueue* q = c >= deletedSweep ? currentDeleted : nextDeleted;
    return q->Push(DIR_QUEUE_ITEM{c, 0, madeIndex}) ? 1 : 0;
}

int32_t CFATSnapshot::WalkLiveDirectories() {
    root = NewSnapshotEntry();
    if (!root) return SetStatus(STATUS_NO_MEMORY);
    root->isDirectory = 1;
    if (made.Add(MADE_DIR{root, nullptr, 0, 0, 1}) < 0) return SetStatus(STATUS_NO_MEMORY);

    const size_t clusterSize = volume->GetClusterSize();
    if (volume->fatType == FAT_32) {
        if (!QueueChain(0, volume->RootCluster())) return 0;
    } else {
        size_t bytes = size_t(volume->rootDirSectors) * volume->BytesPerSector();
        auto* area = static_cast<uint8_t*>(std::malloc(bytes ? bytes : 1));
        if (!area) return SetStatus(STATUS_NO_MEMORY);
        if (bytes && !volume->ReadSectors(area, volume->rootDirFirstSector, volume->rootDirSectors)) {
            std::free(area);
            return SetStatusWithSystemError(STATUS_CLUSTER_READ);
        }
        int32_t ok = PrepareSubdirectories(area, bytes, false) &&
                     DecodeDirectory(area, bytes, false, true, &root->children, &root->childCount);
        std::free(area);
        if (!ok) return 0;
    }

    while (!currentLive->Empty()) {
        liveSweep = 0;
        DIR_QUEUE_ITEM item;
        while (currentLive->Pop(&item)) {
            uint8_t* slot = made[int32_t(item.directory)].buffer + size_t(item.slot) * clusterSize;
            if (!volume->ReadClusters(slot, item.cluster, 1)) return SetStatusWithSystemError(STATUS_CLUSTER_READ);
            if (!PrepareSubdirectories(slot, clusterSize, false)) return 0;
            MADE_DIR& m = made[int32_t(item.directory)];
            if (--m.unread == 0) {
                SNAPSHOT_ENTRY* dir = m.entry;
                CHILD_LINK* children;
                int32_t count;
                int32_t ok = DecodeDirectory(m.buffer, size_t(m.clusters) * clusterSize, false, dir == root,
                                             &children, &count);
                std::free(m.buffer);
                m.buffer = nullptr;
                if (!ok) return 0;
                dir->children = children;
                dir->childCount = count;
                ReportProgress();
            }
            liveSweep = item.cluster + 1;
            if (progress->IsCancelled()) return 0;
        }
        std::swap(currentLive, nextLive);
    }
    liveA.Clear();
    liveB.Clear();
    return 1;
}

int32_t CFATSnapshot::WalkDeletedDirectories() {
    const size_t clusterSize = volume->GetClusterSize();
    size_t capacity = kDeletedBufferClusters;
    auto* buffer = static_cast<uint8_t*>(std::malloc(capacity * clusterSize));
    if (!buffer) return SetStatus(STATUS_NO_MEMORY);
    const FatGeometry geometry = Geometry();
    int32_t result = 1;

    while (result && !currentDeleted->Empty()) {
        deletedSweep = 0;
        DIR_QUEUE_ITEM item;
        while (result && currentDeleted->Pop(&item)) {
            size_t n = 0;
            uint32_t cur = item.cluster;
            while (cur != 0) {
                // A cluster already taken into a deleted directory is not taken again: guesses
                // and entries that lead back to it end the directory here.
                if (!IsValid(cur) || InUse(cur) || (table[cur] & kTakenByDeletedDir)) break;
                if (n == capacity) {
                    void* p = std::realloc(buffer, capacity * 2 * clusterSize);
                    if (!p) {
                        result = SetStatus(STATUS_NO_MEMORY);
                        break;
                    }
                    buffer = static_cast<uint8_t*>(p);
                    capacity *= 2;
                }
                uint8_t* slot = buffer + n * clusterSize;
                if (!volume->ReadClusters(slot, cur, 1)) {
                    result = SetStatusWithSystemError(STATUS_CLUSTER_READ);
                    break;
                }
                deletedSweep = cur;
                uint32_t flags = 0;
                if (!IsDirectoryCluster(slot, clusterSize, geometry, &flags)) break;
                ++n;
                table[cur] |= kTakenByDeletedDir;
                if ((options & SNAP_DEEP_SCAN) && progressTotal >= 15) progressTotal -= 15;
                if (!PrepareSubdirectories(slot, clusterSize, true)) {
                    result = 0;
                    break;
                }
                if (flags & 0x2) break;
                cur = NextClusterGuess(slot, 0, GUESS_DISK);
            }
            if (!result) break;
            SNAPSHOT_ENTRY* dir = made[int32_t(item.directory)].entry;
            if (!DecodeDirectory(buffer, n * clusterSize, true, false, &dir->children, &dir->childCount)) result = 0;
            else if (progress->IsCancelled()) result = 0;
        }
        std::swap(currentDeleted, nextDeleted);
    }
    std::free(buffer);
    deletedA.Clear();
    deletedB.Clear();
    return result;
}

uint32_t CFATSnapshot::NextClusterGuess(const uint8_t* data, uint32_t depth, GuessSource source) {
    if (depth > kMaxGuessDepth) return 0;
    const uint32_t clusterSize = volume->GetClusterSize();
    const uint32_t fatType = volume->fatType;
    const uint8_t* last = nullptr;
    bool endedEarly = false;
    for (size_t p = 0; p + kDirEntrySize <= clusterSize; p += kDirEntrySize) {
        const uint8_t* e = data + p;
        if (e[0] == DIRENT_END) {
            endedEarly = true;
            break;
        }
        if (!RawIsLongName(e) && (RawLe16(e + 26) != 0 || RawLe16(e + 20) != 0)) last = e;
    }
    if (!last || RawIsDotName(last)) return 0;
    uint64_t first = RawFirstCluster(last, fatType);
    bool isDir = RawIsDirectory(last);
    uint64_t candidate = first;
    if (!isDir) candidate = first + 1 + uint32_t(RawSize(last) - 1) / clusterSize;
    if (!IsValid(candidate)) return 0;
    if (!isDir && (depth == 0 || endedEarly)) return uint32_t(candidate);

    if (source == GUESS_CLUSTER_TABLE) {
        CLUSTER* record = FindCluster(uint32_t(candidate));
        if (!record || !record->data) return 0;
        return NextClusterGuess(record->data, depth + 1, source);
    }
    auto* next = static_cast<uint8_t*>(std::malloc(clusterSize));
    if (!next) return 0;
    uint32_t answer = 0;
    if (volume->ReadClusters(next, candidate, 1) && IsDirectoryCluster(next, clusterSize, Geometry(), nullptr))
        answer = NextClusterGuess(next, depth + 1, source);
    std::free(next);
    return answer;
}
