// Partition tables from hand-made sectors: primary and logical MBR partitions, a looping
// extended chain, entries past the disk's end, and a volume boot sector that is no table.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/core/partition_table.h"

namespace {

struct Disk {
    std::vector<uint8_t> bytes;
    explicit Disk(size_t sectors) : bytes(sectors * 512) {}
    void Entry(uint64_t sector, int slot, uint8_t type, uint32_t start, uint32_t count) {
        uint8_t* e = &bytes[sector * 512 + 446 + 16 * slot];
        e[4] = type;
        std::memcpy(e + 8, &start, 4);
        std::memcpy(e + 12, &count, 4);
        bytes[sector * 512 + 510] = 0x55;
        bytes[sector * 512 + 511] = 0xAA;
    }
    app::DiskReader Reader() const {
        return [this](uint64_t offset, void* out, size_t length) {
            if (offset > bytes.size() || length > bytes.size() - offset) return false;
            std::memcpy(out, &bytes[offset], length);
            return true;
        };
    }
};

TEST(PartitionTable, MbrWithPrimaryAndLogicalPartitions) {
    Disk d(4096);
    d.Entry(0, 0, 0x0C, 64, 1000);
    d.Entry(0, 1, 0x0F, 2048, 2000);    // extended
    d.Entry(2048, 0, 0x07, 16, 500);     // logical 5 at 2064
    d.Entry(2048, 1, 0x05, 600, 700);    // next EBR at 2048+600
    d.Entry(2648, 0, 0x06, 16, 300);     // logical 6 at 2664
    auto t = app::ReadPartitionTable(d.Reader(), d.bytes.size());
    ASSERT_EQ(t.kind, app::PartitionTable::Kind::Mbr);
    ASSERT_EQ(t.partitions.size(), 4u);
    EXPECT_EQ(t.partitions[0].number, 1);
    EXPECT_EQ(t.partitions[0].offset, 64u * 512);
    EXPECT_EQ(t.partitions[0].length, 1000u * 512);
    EXPECT_EQ(t.partitions[0].type, "0c");
    EXPECT_EQ(t.partitions[2].number, 5);
    EXPECT_EQ(t.partitions[2].offset, 2064u * 512);
    EXPECT_EQ(t.partitions[3].number, 6);
    EXPECT_EQ(t.partitions[3].offset, 2664u * 512);
}

TEST(PartitionTable, LoopingChainAndEntriesPastTheDiskEnd) {
    Disk d(4096);
    d.Entry(0, 0, 0x0C, 64, 100000);  // past the end: left out
    d.Entry(0, 1, 0x05, 100, 1000);   // extended
    d.Entry(100, 0, 0x07, 1, 10);     // logical 5
    d.Entry(100, 1, 0x05, 200, 10);   // next EBR at 300
    d.Entry(300, 0, 0x07, 1, 10);     // logical 6
    d.Entry(300, 1, 0x05, 200, 10);   // next EBR at 300 again: a loop
    auto t = app::ReadPartitionTable(d.Reader(), d.bytes.size());
    ASSERT_EQ(t.kind, app::PartitionTable::Kind::Mbr);
    ASSERT_EQ(t.partitions.size(), 3u);  // the extended entry, logical 5 and 6
    EXPECT_EQ(t.partitions[0].number, 2);
    EXPECT_EQ(t.partitions[1].number, 5);
    EXPECT_EQ(t.partitions[2].number, 6);
    EXPECT_EQ(t.partitions[2].offset, 301u * 512);
}

TEST(PartitionTable, VolumeBootSectorAndBlankDiskHoldNoTable) {
    Disk fat(64);
    fat.bytes[0] = 0xEB;
    fat.bytes[1] = 0x3C;
    fat.bytes[2] = 0x90;
    fat.bytes[11] = 0x00;
    fat.bytes[12] = 0x02;  // 512 bytes per sector
    fat.bytes[13] = 4;
    std::memcpy(&fat.bytes[54], "FAT16   ", 8);
    fat.bytes[510] = 0x55;
    fat.bytes[511] = 0xAA;
    EXPECT_EQ(app::ReadPartitionTable(fat.Reader(), fat.bytes.size()).kind, app::PartitionTable::Kind::None);
    Disk blank(64);
    EXPECT_EQ(app::ReadPartitionTable(blank.Reader(), blank.bytes.size()).kind, app::PartitionTable::Kind::None);
    Disk cut(0);
    EXPECT_EQ(app::ReadPartitionTable(cut.Reader(), 0).kind, app::PartitionTable::Kind::None);
}

}  // namespace
