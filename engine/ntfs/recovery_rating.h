// Recovery chance of deleted NTFS files: the two-bit cluster state map built from the
// volume's $Bitmap, the claim and rating of each deleted file's clusters, and the list
// of free cluster extents (CMFTSnapshot::RateDeletedFiles).
#pragma once
#include <cstdint>
#include "engine/snapshot/records.h"
#include "engine/snapshot/snapshot.h"

namespace ntfs {

// Cluster states, two bits per cluster, four clusters to a byte.
enum ClusterState : uint8_t {
    CLUSTER_FREE = 0,
    CLUSTER_ONE_CLAIM = 1,
    CLUSTER_SHARED = 2,
    CLUSTER_IN_USE = 3,
};

struct ClusterStateMap {
    uint8_t* bytes = nullptr;
    uint64_t size = 0;  // bytes; covers 4 x size clusters

    uint32_t Get(uint64_t c) const { return (bytes[c >> 2] >> ((c & 3) * 2)) & 3; }
    void Set(uint64_t c, uint32_t state) {
        uint8_t shift = uint8_t((c & 3) * 2);
        bytes[c >> 2] = uint8_t((bytes[c >> 2] & ~(3u << shift)) | (state << shift));
    }
};

// Expands bitmap bytes (bit set = in use) into map states, one 16-bit word at a time;
// `length` bytes in, 2 x length bytes out. An odd last byte is expanded on its own.
void ExpandBitmap(const uint8_t* bitmap, uint64_t length, uint8_t* out);

// Adds one claim to every free cluster of the entry's streams (or of one stream).
void ClaimClusters(const SNAPSHOT_ENTRY& entry, ClusterStateMap& map, uint32_t bytesPerCluster);
void ClaimStreamClusters(ENTRY_STREAM* stream, ClusterStateMap& map, uint32_t bytesPerCluster);
// 1 Excellent, 2 Good, 3 Poor, 4 None.
int32_t RateEntry(const SNAPSHOT_ENTRY& entry, const ClusterStateMap& map, uint32_t bytesPerCluster);
// Fills `list` with the runs of clusters in state 0 or 2; 0 with status 2 when memory runs out.
int32_t ComputeFreeExtents(const ClusterStateMap& map, ExtentList* list);

}  // namespace ntfs
