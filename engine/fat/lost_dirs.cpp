// Lost directories: the deep scan of free space for clusters that look like directory
// data, the table of those clusters kept from one take to the next, and the made-up
// folders under the root that hold the trees no found cluster refers to.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "engine/fat/fat_snapshot.h"
#include "engine/volume.h"
#include "platform/wide_string.h"

namespace {
constexpr size_t kScanBytes = 262144;
constexpr uint32_t kMaxLostDepth = 512;  // nesting of lost directories decoded below one folder
}  // namespace

CFATSnapshot::CLUSTER* CFATSnapshot::FindCluster(uint32_t cluster) {
    if (!clusterTable) return nullptr;
    int32_t lo = 0, hi = clusterTable->count - 1;
    while (lo <= hi) {
        int32_t mid = lo + (hi - lo) / 2;
        uint32_t c = (*clusterTable)[mid].cluster;
        if (c == cluster) return &(*clusterTable)[mid];
        if (c < cluster) lo = mid + 1;
        else hi = mid - 1;
    }
    return nullptr;
}

void CFATSnapshot::ReleaseClusterData() {
    if (!clusterTable) return;
    for (int32_t i = 0; i < clusterTable->count; ++i) {
        std::free((*clusterTable)[i].data);
        (*clusterTable)[i].data = nullptr;
    }
}

void CFATSnapshot::DestroyClusterTable() {
    ReleaseClusterData();
    delete clusterTable;
    clusterTable = nullptr;
}

int32_t CFATSnapshot::ScanFreeClusters() {
    const size_t clusterSize = volume->GetClusterSize();
    size_t bufferBytes = std::max(kScanBytes, clusterSize);
    auto* buffer = static_cast<uint8_t*>(std::malloc(bufferBytes));
    if (!buffer) return SetStatus(STATUS_NO_MEMORY);
    const uint32_t runLimit = uint32_t(bufferBytes / clusterSize);
    const FatGeometry geometry = Geometry();
    uint32_t found = 0;
    int32_t result = 1;
    uint32_t c = 2;
    while (c < scanEnd) {
        while (c < scanEnd && table[c] != 0) ++c;
        if (c >= scanEnd) break;
        uint32_t n = 1;
        while (c + n < scanEnd && table[c + n] == 0 && n < runLimit) ++n;
        if (!volume->ReadClusters(buffer, c, n)) {
            result = SetStatusWithSystemError(STATUS_CLUSTER_READ);
            break;
        }
        uint32_t before = found;
        for (uint32_t i = 0; i < n && result; ++i) {
            const uint8_t* data = buffer + size_t(i) * clusterSize;
            uint32_t flags = 0;
            if (!IsDirectoryCluster(data, clusterSize, geometry, &flags)) continue;
            auto* copy = static_cast<uint8_t*>(std::malloc(clusterSize));
            if (!copy) {
                result = 0;
                break;
            }
            std::memcpy(copy, data, clusterSize);
            if (clusterTable->Add(CLUSTER{c + i, flags, 0, copy}) < 0) {
                std::free(copy);
                result = 0;
                break;
            }
            ++found;
        }
        if (!result) break;
        if (found != before) progress->ReportFormatted(found == 1 ? MSG_DIR_CLUSTERS_ONE : MSG_DIR_CLUSTERS_MANY, found);
        progressDone += 15ull * n;
        ReportProgress();
        if (progress->IsCancelled()) {
            result = 0;
            break;
        }
        c += n;
    }
    std::free(buffer);
    return result;
}

int32_t CFATSnapshot::ReuseClusterTable() {
    if (!clusterTable || clusterTable->count == 0) return 1;
    const size_t clusterSize = volume->GetClusterSize();
    const FatGeometry geometry = Geometry();
    uint32_t records = uint32_t(clusterTable->count);
    uint32_t work = 15u * freeCount;
    uint32_t share = work / records, remainder = work % records, accumulator = 0;
    int32_t index = 0;
    while (index < clusterTable->count) {
        CLUSTER& r = (*clusterTable)[index];
        bool keep = true;
        if (!r.data) {
            r.data = static_cast<uint8_t*>(std::malloc(clusterSize));
            if (!r.data) return SetStatus(STATUS_NO_MEMORY);
            if (!volume->ReadClusters(r.data, r.cluster, 1)) return SetStatusWithSystemError(STATUS_CLUSTER_READ);
        }
        // A cluster that is no longer free belongs to a live file or directory now.
        if (!IsValid(r.cluster) || r.cluster >= scanEnd || table[r.cluster] != 0 ||
            !IsDirectoryCluster(r.data, clusterSize, geometry, nullptr))
            keep = false;
        if (!keep) {
            std::free(r.data);
            r.data = nullptr;
            clusterTable->RemoveAt(index);
        } else {
            ++index;
        }
        progressDone += share;
        accumulator += remainder;
        if (accumulator >= records) {
            accumulator -= records;
            ++progressDone;
        }
        if (index % 5 == 0) ReportProgress();
        if (progress->IsCancelled()) return 0;
    }
    return 1;
}

int32_t CFATSnapshot::AttachLostDirectories() {
    const uint32_t clusterSize = volume->GetClusterSize();
    const uint32_t fatType = volume->fatType;
    TDirectArray<CLUSTER>& records = *clusterTable;
    for (int32_t i = 0; i < records.count; ++i) records[i].flags &= ~(CLUSTER_REFERENCED | CLUSTER_DECODED);
    for (int32_t i = 0; i < records.count; ++i) {
        CLUSTER& x = records[i];
        for (size_t p = 0; p + kDirEntrySize <= clusterSize; p += kDirEntrySize) {
            const uint8_t* e = x.data + p;
            if (!RawIsDirectory(e) || SkipEntry(e, true)) continue;
            if (CLUSTER* r = FindCluster(RawFirstCluster(e, fatType))) r->flags |= CLUSTER_REFERENCED;
        }
        if (!(x.flags & CLUSTER_END_MARKER)) {
            x.next = NextClusterGuess(x.data, 0, GUESS_CLUSTER_TABLE);
            if (CLUSTER* r = FindCluster(x.next)) r->flags |= CLUSTER_REFERENCED;
            else x.next = 0;
        }
    }
    int32_t tops = 0;
    for (int32_t i = 0; i < records.count; ++i)
        if (!(records[i].flags & CLUSTER_REFERENCED)) ++tops;
    if (!ReserveRootRoom(tops + 2)) return 0;
    int32_t result = 1;
    for (int32_t i = 0; i < records.count && result; ++i) {
        if (records[i].flags & (CLUSTER_REFERENCED | CLUSTER_DECODED)) continue;
        WCHAR name[100];
        long long arg = records[i].cluster;
        platform::FormatWide(name, 100, LoadEngineString(MSG_LOST_FOLDER), &arg, 1);
        SNAPSHOT_ENTRY* folder = AddFolder(root, name, 1);
        if (!folder) result = 0;
        else result = DecodeLostChain(folder, &records[i], 0);
    }
    for (int32_t i = 0; i < records.count; ++i) records[i].flags &= ~CLUSTER_DECODED;
    ReleaseWalkState();
    return result;
}

int32_t CFATSnapshot::DecodeLostChain(SNAPSHOT_ENTRY* directory, CLUSTER* first, uint32_t depth) {
    const size_t clusterSize = volume->GetClusterSize();
    const uint32_t fatType = volume->fatType;
    // The chain ends at a cluster already placed in a lost tree, so a loop of guesses ends.
    size_t length = 0;
    for (CLUSTER* r = first; r && !(r->flags & CLUSTER_DECODED) && r->data;) {
        r->flags |= CLUSTER_DECODED;
        ++length;
        r = r->next ? FindCluster(r->next) : nullptr;
    }
    if (length == 0) return 1;
    auto* buffer = static_cast<uint8_t*>(std::malloc(length * clusterSize));
    if (!buffer) return SetStatus(STATUS_NO_MEMORY);
    CLUSTER* r = first;
    for (size_t i = 0; i < length; ++i) {
        std::memcpy(buffer + i * clusterSize, r->data, clusterSize);
        r = r->next ? FindCluster(r->next) : nullptr;
    }
    size_t bytes = length * clusterSize;
    for (size_t p = 0; p + kDirEntrySize <= bytes; p += kDirEntrySize) {
        uint8_t* e = buffer + p;
        if (e[0] == DIRENT_END) break;
        if (!RawIsDirectory(e) || SkipEntry(e, true)) continue;
        uint32_t index = 0;
        if (!TieNewDirectory(e, &index)) {
            std::free(buffer);
            return 0;
        }
        CLUSTER* sub = FindCluster(RawFirstCluster(e, fatType));
        if (sub && !(sub->flags & CLUSTER_DECODED) && depth < kMaxLostDepth &&
            !DecodeLostChain(made[int32_t(index)].entry, sub, depth + 1)) {
            std::free(buffer);
            return 0;
        }
    }
    int32_t ok = DecodeDirectory(buffer, bytes, true, false, &directory->children, &directory->childCount);
    std::free(buffer);
    return ok;
}
