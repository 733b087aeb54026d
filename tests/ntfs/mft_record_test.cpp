// Reading single MFT records into the record table: geometry, fix-ups, names, streams,
// extension records, the live-file filter, and damaged records.
#include <gtest/gtest.h>

#include "engine/ntfs/mft_record.h"
#include "tests/ntfs/ntfs_test_support.h"

using namespace ntfs_test;

namespace {

struct GeometryCase {
    uint16_t bytesPerSector;
    uint8_t sectorsPerCluster;
    int8_t field;
    int32_t recordSize;  // 0: refused
    int32_t sectorsPerRecord;
};

TEST(MftGeometry, RecordSizeFromBootSector) {
    const GeometryCase cases[] = {
        {512, 8, -10, 1024, 2},   // 0xF6: 2^10 bytes
        {512, 8, 2, 8192, 16},    // two clusters of eight sectors
        {4096, 1, -12, 4096, 1},  // 4 KiB sectors
        {512, 1, -8, 0, 0},       // 256-byte records on 512-byte sectors hold no whole sector
        {0, 8, -10, 0, 0},        // no sector size
        {512, 8, -60, 0, 0},      // absurd size
        {512, 0, 1, 0, 0},        // no sectors per cluster
    };
    for (const auto& c : cases) {
        VolumeAccess v;
        SetNtfsGeometry(v, c.bytesPerSector, c.sectorsPerCluster, c.field);
        CMFTSnapshot s(&v);
        EXPECT_EQ(s.SetGeometry(), c.recordSize ? 1 : 0) << int(c.field);
        if (c.recordSize) {
            EXPECT_EQ(s.recordSize, c.recordSize);
            EXPECT_EQ(s.sectorsPerRecord, c.sectorsPerRecord);
        }
    }
}

TEST(MftFixups, RestoresEachSectorAndRejectsMismatch) {
    RecordBuilder b;
    b.Raw()[510] = 0xAA;
    b.Raw()[511] = 0xBB;
    auto rec = b.Build(0x0707);
    EXPECT_EQ(rec[510], 0x07);
    EXPECT_TRUE(ntfs::ApplyFixups(rec.data(), 1024, 512, 2));
    EXPECT_EQ(rec[510], 0xAA);
    EXPECT_EQ(rec[511], 0xBB);

    auto bad = b.Build(0x0707);
    bad[1022] = 0x08;  // second sector torn
    EXPECT_FALSE(ntfs::ApplyFixups(bad.data(), 1024, 512, 2));
    auto outside = b.Build();
    outside[4] = 0xFE;  // update sequence array past the record
    outside[5] = 0x03;
    EXPECT_FALSE(ntfs::ApplyFixups(outside.data(), 1024, 512, 2));
}

class RecordTest : public ::testing::Test {
protected:
    VolumeAccess volume;
    TableSnapshot snap{&volume, 64};

    int32_t Parse(std::vector<uint8_t> rec, int32_t n) { return snap.ParseRecord(rec.data(), n); }
};

TEST_F(RecordTest, DeletedFileWithNamesTimesAndStreams) {
    RecordBuilder b(1024, 0x0);  // not in use
    b.StandardInformation(0x20 | 0x80000000u, 11, 22, 33)
        .FileName(5 | (uint64_t(5) << 48), u"REPORT~1.DOC", 2)
        .FileName(5 | (uint64_t(5) << 48), u"report.doc", 1)
        .NonResident(0x80, 0, 4, 5 * 4096 - 100, {0x11, 0x05, 0x20, 0x00})
        .Resident(0x80, {1, 2, 3}, u"alt");
    ASSERT_EQ(Parse(b.Build(), 40), 1);
    SNAPSHOT_ENTRY* e = snap.records[40];
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->isDirectory, 0);
    EXPECT_EQ(e->attributes, 0x20u | ENTRY_DELETED);
    EXPECT_EQ(e->chance, 0);
    EXPECT_EQ(FileTimeToU64(e->created), 11u);
    EXPECT_EQ(FileTimeToU64(e->modified), 22u);
    EXPECT_EQ(FileTimeToU64(e->accessed), 33u);
    ASSERT_NE(e->names, nullptr);
    EXPECT_EQ(Utf8(e->names->name), "report.doc");  // the Win32 name replaced the DOS name
    EXPECT_EQ(e->names->next, nullptr);
    ASSERT_NE(e->streams, nullptr);
    EXPECT_EQ(e->streams->name, nullptr);
    EXPECT_EQ(e->streams->size, 5 * 4096 - 100);
    ASSERT_NE(e->streams->extents, nullptr);
    EXPECT_EQ(e->streams->extents->lastVcn, 4);
    ASSERT_NE(e->streams->next, nullptr);
    EXPECT_EQ(Utf8(e->streams->next->name), "alt");
    EXPECT_EQ(e->streams->next->size, 3);
    EXPECT_EQ(e->streams->next->residentData[2], 3);
}

TEST_F(RecordTest, DosNameAfterWin32NameIsIgnoredAndLiveFileIsRatedOne) {
    RecordBuilder b(1024, 0x1);
    b.StandardInformation(0x20).FileName(5, u"Long Name.txt", 1).FileName(5, u"LONGNA~1.TXT", 2).FileName(9, u"other", 3);
    snap.options = SNAP_LIVE_FILES;
    ASSERT_EQ(Parse(b.Build(), 30), 1);
    SNAPSHOT_ENTRY* e = snap.records[30];
    EXPECT_EQ(e->chance, 1);
    EXPECT_EQ(Utf8(e->names->name), "other");  // the most recent parent first
    EXPECT_EQ(Utf8(e->names->next->name), "Long Name.txt");
}

TEST_F(RecordTest, LiveFilesAfterTheSystemRecordsAreSkippedButTheirExtensionsApply) {
    RecordBuilder live(1024, 0x1);
    live.StandardInformation(0x20).FileName(5, u"live.bin");
    RecordBuilder dir(1024, 0x3);
    dir.StandardInformation(0x10).FileName(5, u"Folder");
    RecordBuilder ext(1024, 0x1, 30 | (uint64_t(2) << 48));
    ext.NonResident(0x80, 10, 19, 0, {0x11, 0x0A, 0x40, 0x00});
    ASSERT_EQ(Parse(live.Build(), 30), 1);
    ASSERT_EQ(Parse(live.Build(), 3), 1);  // system records are always read
    ASSERT_EQ(Parse(dir.Build(), 31), 1);
    ASSERT_EQ(Parse(ext.Build(), 32), 1);
    EXPECT_NE(snap.records[3], nullptr);
    ASSERT_NE(snap.records[31], nullptr);
    EXPECT_EQ(snap.records[31]->isDirectory, 1);
    EXPECT_EQ(snap.records[32], nullptr);
    ASSERT_NE(snap.records[30], nullptr);  // made by the extension record alone
    EXPECT_EQ(snap.records[30]->names, nullptr);
    ASSERT_NE(snap.records[30]->streams, nullptr);
    EXPECT_EQ(snap.records[30]->streams->extents->firstVcn, 10);
}

TEST_F(RecordTest, ExtentsOfASplitStreamAreKeptInVcnOrder) {
    RecordBuilder base(1024, 0x0);
    base.StandardInformation(0x20).FileName(5, u"split.bin").NonResident(0x80, 0, 9, 20 * 4096, {0x11, 0x0A, 0x20, 0x00});
    RecordBuilder ext(1024, 0x0, 40);
    ext.NonResident(0x80, 10, 19, 0, {0x11, 0x0A, 0x40, 0x00});
    ASSERT_EQ(Parse(ext.Build(), 41), 1);  // the later piece is met first
    ASSERT_EQ(Parse(base.Build(), 40), 1);
    ENTRY_STREAM* s = snap.records[40]->streams;
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->next, nullptr);
    EXPECT_EQ(s->size, 20 * 4096);
    ASSERT_NE(s->extents, nullptr);
    EXPECT_EQ(s->extents->firstVcn, 0);
    ASSERT_NE(s->extents->next, nullptr);
    EXPECT_EQ(s->extents->next->firstVcn, 10);
    EXPECT_EQ(snap.records[40]->attributes & ENTRY_DELETED, ENTRY_DELETED);
}

TEST_F(RecordTest, OnlyTheEfsLoggedUtilityStreamBecomesAStream) {
    RecordBuilder b(1024, 0x0);
    b.StandardInformation(0x4020).FileName(5, u"secret.doc").Resident(0x100, {9, 9}, u"$TXF_DATA").Resident(0x100, {7}, u"$efs");
    ASSERT_EQ(Parse(b.Build(), 40), 1);
    ENTRY_STREAM* s = snap.records[40]->streams;
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(Utf8(s->name), "$efs");
    EXPECT_EQ(s->next, nullptr);
}

TEST_F(RecordTest, AttributeListsOfDeletedRecordsAreKeptForTheirClusters) {
    RecordBuilder deleted(1024, 0x0);
    deleted.StandardInformation(0x20).NonResident(0x20, 0, 0, 200, {0x11, 0x01, 0x30, 0x00});
    RecordBuilder live(1024, 0x1);
    live.StandardInformation(0x20).NonResident(0x20, 0, 0, 200, {0x11, 0x01, 0x31, 0x00});
    ASSERT_EQ(Parse(deleted.Build(), 40), 1);
    ASSERT_EQ(Parse(live.Build(), 3), 1);
    ASSERT_EQ(snap.deletedAttributeLists.count, 1);
    EXPECT_EQ(snap.deletedAttributeLists[0]->size, 200);
    EXPECT_EQ(snap.deletedAttributeLists[0]->extents->runList[2], 0x30);
    EXPECT_EQ(snap.records[40]->streams, nullptr);  // not a stream of the file
}

TEST_F(RecordTest, BadFixupAndMissingSignature) {
    RecordBuilder b(1024, 0x0);
    b.StandardInformation(0x20).FileName(5, u"x");
    auto torn = b.Build();
    torn[1022] ^= 0xFF;
    EXPECT_EQ(Parse(torn, 40), 1);  // ignored, not an error
    EXPECT_EQ(snap.records[40], nullptr);
    auto wiped = b.Build();
    wiped[0] = 'B';
    EXPECT_EQ(Parse(wiped, 41), 1);
    EXPECT_EQ(snap.records[41], nullptr);
    SetStatus(0);
    EXPECT_EQ(Parse(torn, 0), 0);
    EXPECT_EQ(LastStatus(), uint32_t(STATUS_MFT_RECORD0));
    RecordBuilder ext(1024, 0x1, 7);
    EXPECT_EQ(Parse(ext.Build(), 0), 0);  // record 0 may not be an extension record
    EXPECT_EQ(LastStatus(), uint32_t(STATUS_MFT_RECORD0));
}

// Damaged layouts end the walk or skip the attribute; nothing is read outside the record.
TEST_F(RecordTest, DamagedLayoutsGiveAPartialEntryAndNoOutOfBoundsRead) {
    struct Damage {
        const char* what;
        std::function<void(RecordBuilder&, uint32_t nameAttr)> apply;
        bool keepsName;
    };
    const Damage cases[] = {
        {"attribute length 0", [](RecordBuilder& b, uint32_t at) { b.Put32(at + 4, 0); }, false},
        {"attribute past the record", [](RecordBuilder& b, uint32_t at) { b.Put32(at + 4, 5000); }, false},
        {"first attribute outside", [](RecordBuilder& b, uint32_t) { b.Put16(20, 1020); }, false},
        {"first attribute far outside", [](RecordBuilder& b, uint32_t) { b.Put16(20, 0xFFF0); }, false},
        {"value outside the attribute", [](RecordBuilder& b, uint32_t at) { b.Put16(at + 20, 0x7FF0); }, false},
        {"value length too long", [](RecordBuilder& b, uint32_t at) { b.Put32(at + 16, 0xFFFFFFF0u); }, false},
        {"name length beyond the value", [](RecordBuilder& b, uint32_t at) { b.Raw()[at + 24 + 64] = 200; }, false},
        {"base record outside the table", [](RecordBuilder& b, uint32_t) { b.Put64(32, 1000000); }, false},
    };
    for (const auto& c : cases) {
        RecordBuilder b(1024, 0x0);
        b.StandardInformation(0x20);
        uint32_t nameAttr = b.End();
        b.FileName(5, u"name.bin").NonResident(0x80, 0, 0, 4096, {0x11, 0x01, 0x20, 0x00});
        c.apply(b, nameAttr);
        ASSERT_EQ(Parse(b.Build(), 50), 1) << c.what;
        SNAPSHOT_ENTRY* e = snap.records[50];
        bool named = e && e->names;
        EXPECT_EQ(named, c.keepsName) << c.what;
        FreeSnapshotEntry(snap.records[50]);
        snap.records[50] = nullptr;
    }
    // A non-resident data attribute whose run list would start past its end is skipped.
    RecordBuilder b(1024, 0x0);
    b.StandardInformation(0x20).FileName(5, u"n");
    uint32_t dataAttr = b.End();
    b.NonResident(0x80, 0, 0, 4096, {0x11, 0x01, 0x20, 0x00});
    b.Put16(dataAttr + 32, 0x7000);
    ASSERT_EQ(Parse(b.Build(), 51), 1);
    EXPECT_EQ(snap.records[51]->streams, nullptr);
}

}  // namespace
