// Data runs and recovery chance: which clusters hold each file's data, how many deleted
// files claim each free cluster, the chance that follows, and the run list in
// mapping-pairs form that the stream reader walks.
#include <cstdlib>
#include <cstring>

#include "engine/fat/fat_snapshot.h"
#include "engine/volume.h"

namespace {
constexpr uint32_t kRunListGrowth = 1024;

uint64_t ClustersOf(uint32_t size, uint32_t clusterSize) { return (uint64_t(size) + clusterSize - 1) / clusterSize; }

// Smallest byte count from 1 to 4 that holds v as a signed two's-complement number.
uint32_t SignedBytes(int64_t v) {
    for (uint32_t n = 1; n < 4; ++n) {
        int64_t lim = int64_t(1) << (8 * n - 1);
        if (v >= -lim && v < lim) return n;
    }
    return 4;
}
}  // namespace

void CFATSnapshot::RateTree(SNAPSHOT_ENTRY* directory, RateMode mode) {
    if (!directory || !directory->children) return;
    for (int32_t i = 0; i < directory->childCount; ++i) {
        SNAPSHOT_ENTRY* e = directory->children[i].entry;
        if (e->isDirectory) {
            RateTree(e, mode);
            continue;
        }
        bool deleted = IsDeleted(*e);
        switch (mode) {
            case RATE_CLAIM:
                if (deleted) ClaimFile(e);
                break;
            case RATE_RATE:
                if (deleted) RateFile(e);
                else e->chance = CHANCE_EXCELLENT;
                break;
            case RATE_RECLAIM:
                if (deleted && (e->chance == CHANCE_GOOD || e->chance == CHANCE_POOR)) ClaimFile(e);
                break;
        }
    }
}

void CFATSnapshot::ClaimFile(SNAPSHOT_ENTRY* file) {
    uint64_t c = FileFirstCluster(file);
    uint64_t k = ClustersOf(FileSize(file), volume->GetClusterSize());
    while (k > 0 && IsValid(c) && InUse(uint32_t(c))) ++c, --k;
    while (k > 0 && IsValid(c)) {
        uint32_t& t = table[c];
        if (t & kFatValueMask) break;
        if (((t >> 28) & 3) < 2) t += kClaimUnit;
        ++c, --k;
    }
}

void CFATSnapshot::RateFile(SNAPSHOT_ENTRY* file) {
    uint64_t c = FileFirstCluster(file);
    uint64_t k = ClustersOf(FileSize(file), volume->GetClusterSize());
    uint64_t used = 0;
    while (k > 0 && IsValid(c) && InUse(uint32_t(c))) ++used, ++c, --k;
    if (k == 0 || !IsValid(c)) {
        file->chance = CHANCE_NONE;
        return;
    }
    uint64_t byClaims[3] = {0, 0, 0};
    while (k > 0 && IsValid(c)) {
        if (InUse(uint32_t(c))) {
            ++used;
            break;
        }
        uint32_t claims = (table[c] >> 28) & 3;
        ++byClaims[claims > 2 ? 2 : claims];
        ++c, --k;
    }
    if (byClaims[0] == 0 && byClaims[1] == 0 && byClaims[2] == 0) file->chance = CHANCE_NONE;
    else if (used > 0) file->chance = CHANCE_POOR;
    else if (byClaims[2] > 0) file->chance = CHANCE_GOOD;
    else file->chance = CHANCE_EXCELLENT;
}

void CFATSnapshot::ReleaseRunList() {
    std::free(runList);
    runList = nullptr;
    runListLength = runListCapacity = 0;
}

int32_t CFATSnapshot::AppendRun(int64_t start, int64_t length) {
    int64_t delta = start - previousRunStart;
    previousRunStart = start;
    uint32_t l = SignedBytes(length), f = SignedBytes(delta);
    if (runListLength + 1 + l + f > runListCapacity) {
        void* p = std::realloc(runList, size_t(runListCapacity) + kRunListGrowth);
        if (!p) return SetStatus(STATUS_NO_MEMORY);
        runList = static_cast<uint8_t*>(p);
        runListCapacity += kRunListGrowth;
    }
    uint8_t* out = runList + runListLength;
    *out++ = uint8_t(f * 16 + l);
    for (uint32_t i = 0; i < l; ++i) *out++ = uint8_t(uint64_t(length) >> (8 * i));
    for (uint32_t i = 0; i < f; ++i) *out++ = uint8_t(uint64_t(delta) >> (8 * i));
    runListLength += 1 + l + f;
    return 1;
}

int32_t CFATSnapshot::LiveRunList(uint32_t c, uint64_t clusters) {
    if (!IsValid(c)) return 1;
    // The chain is followed for at most the clusters the size covers, so a chain that loops
    // in a damaged table still ends.
    if (clusters == 0) clusters = 1;
    uint64_t start = c, length = 1, taken = 1;
    for (;;) {
        uint32_t next = table[c] & kFatValueMask;
        if (next == uint64_t(c) + 1 && IsValid(next) && taken < clusters) {
            ++length;
        } else {
            if (!AppendRun(int64_t(start), int64_t(length))) return 0;
            if (next >= endOfChain || !IsValid(next) || taken >= clusters) return 1;
            start = next;
            length = 1;
        }
        ++taken;
        c = next;
    }
}

int32_t CFATSnapshot::DeletedRunList(uint32_t firstCluster, uint64_t k, uint32_t* size) {
    const uint32_t clusterSize = volume->GetClusterSize();
    uint64_t c = firstCluster, start = c, n = 0;
    while (k > 0 && IsValid(c) && InUse(uint32_t(c))) ++c, ++n, --k;
    for (;;) {
        while (k > 0 && IsValid(c) && !InUse(uint32_t(c))) ++c, ++n, --k;
        if (!AppendRun(int64_t(start), int64_t(n))) return 0;
        if (k == 0) return 1;
        if (!IsValid(c)) {
            uint64_t cut = (c - firstCluster) * clusterSize;
            if (cut < *size) *size = uint32_t(cut);
            return 1;
        }
        while (IsValid(c) && InUse(uint32_t(c))) ++c;
        if (!IsValid(c)) return 1;
        start = c;
        n = 0;
    }
}

int32_t CFATSnapshot::BuildStreams(SNAPSHOT_ENTRY* directory) {
    if (!directory || !directory->children) return 1;
    const uint32_t clusterSize = volume->GetClusterSize();
    for (int32_t i = 0; i < directory->childCount; ++i) {
        SNAPSHOT_ENTRY* e = directory->children[i].entry;
        if (e->isDirectory) {
            if (!BuildStreams(e)) return 0;
            continue;
        }
        if (e->streams) continue;
        uint32_t first = FileFirstCluster(e), size = FileSize(e);
        runListLength = 0;
        previousRunStart = 0;
        int32_t ok = IsDeleted(*e) ? DeletedRunList(first, ClustersOf(size, clusterSize), &size)
                                   : LiveRunList(first, ClustersOf(size, clusterSize));
        if (!ok) return 0;
        ENTRY_STREAM* stream = NewEntryStream(nullptr);
        if (!stream) return SetStatus(STATUS_NO_MEMORY);
        stream->size = size;
        if (size != 0) {
            stream->extents = NewStreamExtent(0, int64_t((uint64_t(size) - 1) / clusterSize), 0, runList,
                                              runListLength, 0);
            if (!stream->extents) {
                FreeEntryStream(stream);
                return SetStatus(STATUS_NO_MEMORY);
            }
        }
        e->children = nullptr;
        e->childCount = 0;
        e->streams = stream;
    }
    return 1;
}
