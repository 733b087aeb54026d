// Recovery chance of deleted files: the cluster state map, claims, ratings and the list
// of free extents.
#include <gtest/gtest.h>

#include "engine/ntfs/recovery_rating.h"
#include "tests/ntfs/ntfs_test_support.h"

using namespace ntfs_test;
using ntfs::ClusterStateMap;

namespace {

ClusterStateMap MapOf(const std::vector<uint32_t>& states, std::vector<uint8_t>& storage) {
    storage.assign((states.size() + 3) / 4, 0);
    ClusterStateMap map{storage.data(), storage.size()};
    for (size_t c = 0; c < states.size(); ++c) map.Set(c, states[c]);
    return map;
}

TEST(ClusterStateMap, BitmapExpandsToStatesZeroAndThree) {
    const uint8_t bitmap[8] = {0x05, 0x80, 0, 0, 0, 0, 0, 0xFF};
    uint8_t out[16];
    ntfs::ExpandBitmap(bitmap, 8, out);
    ClusterStateMap map{out, 16};  // covers 64 clusters
    EXPECT_EQ(map.Get(0), 3u);
    EXPECT_EQ(map.Get(1), 0u);
    EXPECT_EQ(map.Get(2), 3u);
    EXPECT_EQ(map.Get(15), 3u);
    EXPECT_EQ(map.Get(14), 0u);
    EXPECT_EQ(map.Get(56), 3u);
    EXPECT_EQ(map.Get(63), 3u);
    // An odd byte count expands the last byte alone.
    uint8_t odd[6] = {};
    const uint8_t three[3] = {0, 0, 0x01};
    ntfs::ExpandBitmap(three, 3, odd);
    EXPECT_EQ(odd[4], 0x03);
}

TEST(FreeExtents, RunsOfFreeOrSharedClusters) {
    std::vector<uint8_t> storage;
    ClusterStateMap map = MapOf({0, 0, 1, 2, 3, 0, 3, 3}, storage);
    ExtentList list{0, nullptr, nullptr};
    ASSERT_EQ(ntfs::ComputeFreeExtents(map, &list), 1);
    ASSERT_EQ(list.count, 3u);
    EXPECT_EQ(list.starts[0], 0u);
    EXPECT_EQ(list.lengths[0], 2u);
    EXPECT_EQ(list.starts[1], 3u);
    EXPECT_EQ(list.lengths[1], 1u);
    EXPECT_EQ(list.starts[2], 5u);
    EXPECT_EQ(list.lengths[2], 1u);
    // All in use: an empty list, and success.
    ClusterStateMap full = MapOf({3, 3, 3, 3, 3, 3, 3, 3}, storage);
    ASSERT_EQ(ntfs::ComputeFreeExtents(full, &list), 1);
    EXPECT_EQ(list.count, 0u);
    EXPECT_EQ(list.starts, nullptr);
    FreeExtentList(&list);
}

// Runs (as mapping pairs) over a 16-cluster map: 0-3 free, 4-5 in use, 6-15 free.
class RateTest : public ::testing::Test {
protected:
    std::vector<uint8_t> storage;
    ClusterStateMap map;
    std::vector<SNAPSHOT_ENTRY*> entries;
    void SetUp() override { map = MapOf({0, 0, 0, 0, 3, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, storage); }
    void TearDown() override {
        for (auto* e : entries) FreeSnapshotEntry(e);
    }
    SNAPSHOT_ENTRY* File(std::vector<uint8_t> runs, int64_t clusters) {
        SNAPSHOT_ENTRY* e = NewSnapshotEntry();
        e->attributes = ENTRY_DELETED;
        if (clusters >= 0) AddStream(e, clusters * 4096, runs);
        entries.push_back(e);
        return e;
    }
};

TEST_F(RateTest, FourChances) {
    SNAPSHOT_ENTRY* alone = File({0x11, 0x02, 0x00, 0x00}, 2);       // clusters 0-1... delta 0 is sparse
    SNAPSHOT_ENTRY* excellent = File({0x11, 0x02, 0x08, 0x00}, 2);   // 8-9
    SNAPSHOT_ENTRY* good = File({0x11, 0x02, 0x0A, 0x00}, 2);        // 10-11
    SNAPSHOT_ENTRY* sharer = File({0x11, 0x02, 0x0B, 0x00}, 2);      // 11-12: shares 11
    SNAPSHOT_ENTRY* poor = File({0x11, 0x03, 0x02, 0x00}, 3);        // 2-4: 4 in use
    SNAPSHOT_ENTRY* none = File({0x11, 0x02, 0x04, 0x00}, 2);        // 4-5: all in use
    SNAPSHOT_ENTRY* nostream = File({}, -1);
    SNAPSHOT_ENTRY* resident = File({}, -1);
    AddStream(resident, 30)->residentData = static_cast<uint8_t*>(std::calloc(30, 1));
    for (auto* e : entries) ntfs::ClaimClusters(*e, map, 4096);
    EXPECT_EQ(ntfs::RateEntry(*excellent, map, 4096), 1);
    EXPECT_EQ(ntfs::RateEntry(*good, map, 4096), 2);
    EXPECT_EQ(ntfs::RateEntry(*sharer, map, 4096), 2);
    EXPECT_EQ(ntfs::RateEntry(*poor, map, 4096), 3);
    EXPECT_EQ(ntfs::RateEntry(*none, map, 4096), 4);
    EXPECT_EQ(ntfs::RateEntry(*nostream, map, 4096), 4);
    EXPECT_EQ(ntfs::RateEntry(*resident, map, 4096), 1);
    EXPECT_EQ(ntfs::RateEntry(*alone, map, 4096), 4);  // only sparse: no cluster at all
}

TEST_F(RateTest, SecondExtentRestartsFromClusterZeroAndMapBoundsHold) {
    SNAPSHOT_ENTRY* e = File({0x11, 0x02, 0x04, 0x00}, 4);  // VCN 0-1 at clusters 4-5 (in use)
    ENTRY_STREAM* s = e->streams;
    s->extents->lastVcn = 1;
    AddStream(e, 4 * 4096, {0x11, 0x02, 0x08, 0x00}, nullptr, 2, 3);  // VCN 2-3 at 8-9, not 12-13
    ntfs::ClaimClusters(*e, map, 4096);
    EXPECT_EQ(map.Get(8), 1u);
    EXPECT_EQ(map.Get(12), 0u);
    EXPECT_EQ(map.Get(4), 3u);  // in use stays in use
    // Runs beyond the map, or with a negative start, are not counted.
    SNAPSHOT_ENTRY* far = File({0x31, 0x04, 0x00, 0x00, 0x01, 0x00}, 4);   // cluster 65536
    SNAPSHOT_ENTRY* back = File({0x11, 0x02, 0xF0, 0x00}, 2);              // cluster -16
    ntfs::ClaimClusters(*far, map, 4096);
    ntfs::ClaimClusters(*back, map, 4096);
    EXPECT_EQ(ntfs::RateEntry(*far, map, 4096), 4);
    EXPECT_EQ(ntfs::RateEntry(*back, map, 4096), 4);
}

}  // namespace
