// Rating and run lists on a hand-made FAT16 allocation table with 4096-byte clusters.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "engine/fat/fat_snapshot.h"
#include "engine/volume.h"

namespace {

class HandMadeTable : public ::testing::Test {
protected:
    VolumeAccess volume;
    CFATSnapshot* snapshot = nullptr;
    SNAPSHOT_ENTRY* dir = nullptr;

    void SetUp() override {
        volume.kind = FS_FAT;
        volume.fatType = FAT_16;
        volume.bytesPerCluster = 4096;
        volume.clusterCount = 1000;
        snapshot = new CFATSnapshot(&volume);
        snapshot->tableCount = 1002;
        snapshot->table = static_cast<uint32_t*>(std::calloc(1002, sizeof(uint32_t)));
        snapshot->endOfChain = 0xFFF8;
        snapshot->SetBounds();
        dir = NewSnapshotEntry();
        dir->isDirectory = 1;
    }
    void TearDown() override {
        ReleaseFatTree(dir);
        delete snapshot;
    }
    SNAPSHOT_ENTRY* AddFile(uint32_t first, uint32_t size, bool deleted) {
        SNAPSHOT_ENTRY* f = NewSnapshotEntry();
        f->attributes = deleted ? ENTRY_DELETED : 0;
        SetFileData(f, first, size);
        dir->children = static_cast<CHILD_LINK*>(std::realloc(dir->children, sizeof(CHILD_LINK) * (dir->childCount + 1)));
        dir->children[dir->childCount++] = CHILD_LINK{nullptr, f};
        return f;
    }
    void Use(uint32_t c) { snapshot->table[c] = 0xFFFF; }
    void RateAndBuild() {
        snapshot->RateTree(dir, CFATSnapshot::RATE_CLAIM);
        snapshot->RateTree(dir, CFATSnapshot::RATE_RATE);
        ASSERT_EQ(snapshot->BuildStreams(dir), 1);
    }
    static std::vector<uint8_t> Runs(const SNAPSHOT_ENTRY* f) {
        const STREAM_EXTENT* e = f->streams->extents;
        return std::vector<uint8_t>(e->runList, e->runList + e->runListLength);
    }
};

struct DeletedCase {
    std::vector<uint32_t> used;
    std::vector<uint8_t> runs;
    int chance;
};

TEST_F(HandMadeTable, DeletedFileOfThreeClusters) {
    const DeletedCase cases[] = {
        {{}, {0x11, 0x03, 0x64}, CHANCE_EXCELLENT},
        {{101}, {0x11, 0x01, 0x64, 0x11, 0x02, 0x02}, CHANCE_POOR},
        {{100, 101, 102}, {0x11, 0x03, 0x64}, CHANCE_NONE},
    };
    for (const DeletedCase& c : cases) {
        std::fill(snapshot->table, snapshot->table + 1002, 0u);
        for (uint32_t u : c.used) Use(u);
        SNAPSHOT_ENTRY* f = AddFile(100, 10000, true);
        RateAndBuild();
        EXPECT_EQ(f->chance, c.chance);
        EXPECT_EQ(Runs(f), c.runs);
        EXPECT_EQ(f->streams->extents->lastVcn, 2);
        EXPECT_EQ(f->streams->size, 10000);
        EXPECT_EQ(f->children, nullptr);
        EXPECT_EQ(f->childCount, 0);
        ReleaseFatTree(dir);
        dir = NewSnapshotEntry();
        dir->isDirectory = 1;
    }
}

TEST_F(HandMadeTable, TwoDeletedFilesClaimingOneClusterAreBothGood) {
    SNAPSHOT_ENTRY* a = AddFile(200, 4096, true);
    SNAPSHOT_ENTRY* b = AddFile(200, 3000, true);
    RateAndBuild();
    EXPECT_EQ(a->chance, CHANCE_GOOD);
    EXPECT_EQ(b->chance, CHANCE_GOOD);
}

TEST_F(HandMadeTable, LiveChainsBecomeRuns) {
    snapshot->table[50] = 51;
    snapshot->table[51] = 52;
    snapshot->table[52] = 0xFFFF;
    snapshot->table[60] = 70;
    snapshot->table[70] = 0xFFF8;
    SNAPSHOT_ENTRY* straight = AddFile(50, 3 * 4096, false);
    SNAPSHOT_ENTRY* jump = AddFile(60, 2 * 4096, false);
    RateAndBuild();
    EXPECT_EQ(straight->chance, CHANCE_EXCELLENT);
    EXPECT_EQ(Runs(straight), (std::vector<uint8_t>{0x11, 0x03, 0x32}));
    EXPECT_EQ(Runs(jump), (std::vector<uint8_t>{0x11, 0x01, 0x3C, 0x11, 0x01, 0x0A}));
}

// A chain that comes back to a cluster gives runs with a zero delta (read as zeros).
TEST_F(HandMadeTable, LoopingChainEndsAtTheFileSize) {
    snapshot->table[80] = 81;
    snapshot->table[81] = 80;  // damaged: the chain loops
    SNAPSHOT_ENTRY* f = AddFile(80, 5 * 4096, false);
    RateAndBuild();
    EXPECT_EQ(Runs(f), (std::vector<uint8_t>{0x11, 0x02, 0x50, 0x11, 0x02, 0x00, 0x11, 0x01, 0x00}));
}

TEST_F(HandMadeTable, EmptyDeletedFileHasAStreamWithoutExtent) {
    SNAPSHOT_ENTRY* f = AddFile(0, 0, true);
    RateAndBuild();
    ASSERT_NE(f->streams, nullptr);
    EXPECT_EQ(f->streams->size, 0);
    EXPECT_EQ(f->streams->extents, nullptr);
    snapshot->DropEmptyFiles(dir);
    EXPECT_EQ(dir->childCount, 0);
}

TEST_F(HandMadeTable, FreeExtentsSkipTheLastTwoClusters) {
    volume.clusterCount = 10;
    snapshot->SetBounds();
    const uint32_t values[] = {0, 0, 7, 0, 0, 0, 0xFFF8, 0};
    for (uint32_t i = 0; i < 8; ++i) snapshot->table[2 + i] = values[i];
    ASSERT_EQ(snapshot->ComputeFreeExtents(), 1);
    ExtentList* list = ProcessExtentList();
    ASSERT_EQ(list->count, 3u);
    EXPECT_EQ(std::vector<uint64_t>(list->starts, list->starts + 3), (std::vector<uint64_t>{2, 5, 9}));
    EXPECT_EQ(std::vector<uint64_t>(list->lengths, list->lengths + 3), (std::vector<uint64_t>{2, 3, 1}));
    FreeExtentList(list);
}

}  // namespace
