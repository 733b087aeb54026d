#include "engine/ntfs/recovery_rating.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "engine/ntfs/mft_snapshot.h"
#include "engine/snapshot/stream_reader.h"
#include "engine/volume.h"
#include "platform/wide_string.h"

namespace ntfs {
namespace {

constexpr uint32_t kBitmapBufferBytes = 262144;

// Calls visit(cluster) for every cluster of the stream's non-sparse runs that the map
// covers, until the stream's size is covered or its run list ends.
template <typename Visit>
void WalkClusters(ENTRY_STREAM* stream, const ClusterStateMap& map, uint32_t bytesPerCluster, Visit visit) {
    StreamReader reader;
    // A walk only decodes the run list, so the reader needs no volume (and no buffers).
    if (!reader.Open(nullptr, stream)) return;
    int64_t toCover = (stream->size + bytesPerCluster - 1) / bytesPerCluster;
    const uint64_t mapClusters = map.size * 4;
    int64_t cluster = 0;
    STREAM_EXTENT* extent = reader.currentExtent;
    int64_t length, delta;
    while (toCover > 0 && reader.NextRun(&length, &delta)) {
        // The cluster number restarts at 0 at the first run of every extent.
        if (reader.currentExtent != extent) {
            extent = reader.currentExtent;
            cluster = 0;
        }
        cluster += delta;
        if (delta != 0 && length > 0 && cluster >= 0 && uint64_t(cluster) < mapClusters) {
            uint64_t last = std::min<uint64_t>(uint64_t(cluster) + uint64_t(length), mapClusters);
            for (uint64_t c = uint64_t(cluster); c < last; ++c) visit(c);
        }
        toCover -= length;
    }
    reader.Release();
}

bool Walkable(const ENTRY_STREAM* s) { return !s->residentData && s->size > 0; }

}  // namespace

void ExpandBitmap(const uint8_t* bitmap, uint64_t length, uint8_t* out) {
    // Each bit becomes two equal bits: 1 (in use) becomes state 3, 0 (free) state 0.
    static const auto kSpread = [] {
        struct Table {
            uint16_t v[256];
        } t{};
        for (uint32_t b = 0; b < 256; ++b) {
            uint16_t w = 0;
            for (uint32_t j = 0; j < 8; ++j)
                if (b & (1u << j)) w = uint16_t(w | (3u << (2 * j)));
            t.v[b] = w;
        }
        return t;
    }();
    for (uint64_t i = 0; i < length; ++i) {
        uint16_t w = kSpread.v[bitmap[i]];
        out[2 * i] = uint8_t(w);
        out[2 * i + 1] = uint8_t(w >> 8);
    }
}

void ClaimStreamClusters(ENTRY_STREAM* s, ClusterStateMap& map, uint32_t bytesPerCluster) {
    if (!Walkable(s)) return;
    WalkClusters(s, map, bytesPerCluster, [&](uint64_t c) {
        uint32_t state = map.Get(c);
        if (state <= CLUSTER_ONE_CLAIM) map.Set(c, state + 1);
    });
}

void ClaimClusters(const SNAPSHOT_ENTRY& entry, ClusterStateMap& map, uint32_t bytesPerCluster) {
    for (ENTRY_STREAM* s = entry.streams; s; s = s->next) ClaimStreamClusters(s, map, bytesPerCluster);
}

int32_t RateEntry(const SNAPSHOT_ENTRY& entry, const ClusterStateMap& map, uint32_t bytesPerCluster) {
    if (!entry.streams) return CHANCE_NONE;
    uint64_t count[4] = {0, 0, 0, 0};
    bool held = false;
    for (ENTRY_STREAM* s = entry.streams; s; s = s->next) {
        if (!Walkable(s)) {
            held = true;
            continue;
        }
        WalkClusters(s, map, bytesPerCluster, [&](uint64_t c) { ++count[map.Get(c)]; });
    }
    if (count[0] == 0 && count[1] == 0 && count[2] == 0 && !held) return CHANCE_NONE;
    if (count[3] > 0) return CHANCE_POOR;
    if (count[2] > 0) return CHANCE_GOOD;
    return CHANCE_EXCELLENT;
}

int32_t ComputeFreeExtents(const ClusterStateMap& map, ExtentList* list) {
    FreeExtentList(list);
    const uint64_t clusters = map.size * 4;
    auto selected = [&](uint64_t c) {
        uint32_t s = map.Get(c);
        return s == CLUSTER_FREE || s == CLUSTER_SHARED;
    };
    // Two scans: count the runs, then record them.
    for (int pass = 0; pass < 2; ++pass) {
        uint64_t runs = 0;
        for (uint64_t c = 0; c < clusters;) {
            // Whole bytes of in-use clusters are skipped at once.
            if ((c & 3) == 0 && map.bytes[c >> 2] == 0xFF) {
                c += 4;
                continue;
            }
            if (!selected(c)) {
                ++c;
                continue;
            }
            uint64_t start = c;
            while (c < clusters && selected(c)) ++c;
            if (pass == 1) {
                list->starts[runs] = start;
                list->lengths[runs] = c - start;
            }
            ++runs;
        }
        if (pass == 0) {
            if (runs == 0) return 1;
            if (runs > UINT32_MAX) return SetStatus(STATUS_NO_MEMORY);
            list->starts = static_cast<uint64_t*>(std::malloc(sizeof(uint64_t) * runs));
            list->lengths = static_cast<uint64_t*>(std::malloc(sizeof(uint64_t) * runs));
            if (!list->starts || !list->lengths) {
                FreeExtentList(list);
                return SetStatus(STATUS_NO_MEMORY);
            }
            list->count = uint32_t(runs);
        }
    }
    return 1;
}

}  // namespace ntfs

using namespace ntfs;

namespace {

// The map from the $Bitmap file among the system records; 0 (status set) when it fails.
int32_t BuildClusterStateMap(CMFTSnapshot& snap, ClusterStateMap* map) {
    SNAPSHOT_ENTRY* bitmapFile = nullptr;
    for (int32_t i = 0; i < std::min(snap.recordCount, kSystemRecords) && !bitmapFile; ++i) {
        SNAPSHOT_ENTRY* e = snap.records[i];
        if (e && !e->isDirectory && e->names && platform::WideCompareNoCase(e->names->name, u"$Bitmap") == 0)
            bitmapFile = e;
    }
    if (!bitmapFile) return SetStatus(STATUS_NO_BITMAP);
    ENTRY_STREAM* stream = bitmapFile->streams;
    while (stream && stream->name) stream = stream->next;
    if (!stream) return SetStatus(STATUS_BITMAP_NO_DATA);

    VolumeAccess* volume = snap.volume;
    const uint32_t bytesPerCluster = volume->GetClusterSize();
    const uint64_t bitmapBytes = uint32_t(stream->size);
    // A resident bitmap is copied whole by the reader, so the buffer must hold it.
    const uint64_t bufferBytes = std::max<uint64_t>(kBitmapBufferBytes, stream->residentData ? bitmapBytes : 0);
    auto* buffer = static_cast<uint8_t*>(std::malloc(bufferBytes + bytesPerCluster));
    auto* bytes = static_cast<uint8_t*>(std::calloc(bitmapBytes * 2 + 1, 1));
    if (!buffer || !bytes || bytesPerCluster == 0) {
        std::free(buffer);
        std::free(bytes);
        return SetStatus(STATUS_NO_MEMORY);
    }
    const uint32_t batch = std::max<uint32_t>(1, uint32_t(kBitmapBufferBytes / bytesPerCluster));
    StreamReader reader;
    if (!reader.Open(volume, stream)) {
        std::free(buffer);
        std::free(bytes);
        return 0;
    }
    uint64_t clustersLeft = (bitmapBytes + bytesPerCluster - 1) / bytesPerCluster;
    uint64_t bytesLeft = bitmapBytes;
    uint64_t at = 0;
    while (bytesLeft > 0) {
        uint32_t k = uint32_t(std::min<uint64_t>(clustersLeft, batch));
        uint64_t n = std::min<uint64_t>(uint64_t(k) * bytesPerCluster, bytesLeft);
        if (stream->residentData) n = bytesLeft;
        if (k == 0 && !stream->residentData) break;
        if (!reader.Read(buffer, k)) {
            std::free(buffer);
            std::free(bytes);
            return SetStatus(STATUS_BITMAP_READ);
        }
        ExpandBitmap(buffer, n, bytes + 2 * at);
        at += n;
        bytesLeft -= n;
        clustersLeft -= k;
    }
    std::free(buffer);
    reader.Release();
    map->bytes = bytes;
    map->size = bitmapBytes * 2;
    return 1;
}

}  // namespace

int32_t CMFTSnapshot::RateDeletedFiles(uint32_t takeOptions, ExtentList** extents) {
    ClusterStateMap map;
    if (!BuildClusterStateMap(*this, &map)) return 0;
    const uint32_t bytesPerCluster = volume->GetClusterSize();
    auto rated = [&](const SNAPSHOT_ENTRY* e) { return e && IsDeleted(*e) && !e->isDirectory; };
    for (int32_t i = 0; i < recordCount; ++i)
        if (rated(records[i])) ClaimClusters(*records[i], map, bytesPerCluster);
    for (int32_t i = 0; i < unnamedDeleted.count; ++i) ClaimClusters(*unnamedDeleted[i], map, bytesPerCluster);
    for (int32_t i = 0; i < deletedAttributeLists.count; ++i)
        ClaimStreamClusters(deletedAttributeLists[i], map, bytesPerCluster);
    for (int32_t i = 0; i < recordCount; ++i)
        if (rated(records[i])) records[i]->chance = RateEntry(*records[i], map, bytesPerCluster);
    if ((takeOptions & SNAP_FREE_EXTENTS) && extents) {
        for (int32_t i = 0; i < recordCount; ++i) {
            SNAPSHOT_ENTRY* e = records[i];
            if (rated(e) && (e->chance == CHANCE_GOOD || e->chance == CHANCE_POOR))
                ClaimClusters(*e, map, bytesPerCluster);
        }
        *extents = ProcessExtentList();
        if (!ComputeFreeExtents(map, *extents)) *extents = nullptr;
    }
    std::free(map.bytes);
    return 1;
}
