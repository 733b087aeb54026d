// Linking the record table into the directory tree: listing order, lost-parent folders,
// the deleted-files folder, pruning, empty files, a missing root, damaged parent links.
#include <gtest/gtest.h>

#include "tests/ntfs/ntfs_test_support.h"

using namespace ntfs_test;

namespace {

const std::string kMadeUp = "ERROR LOADING STRING";

class TreeTest : public ::testing::Test {
protected:
    VolumeAccess volume;
    TableSnapshot snap{&volume, 64};
    void SetUp() override { snap.PutSystem(); }

    std::map<std::string, SNAPSHOT_ENTRY*> Paths() {
        std::map<std::string, SNAPSHOT_ENTRY*> out;
        std::set<const SNAPSHOT_ENTRY*> seen;
        WalkTree(snap.root, "", seen, [&](const std::string& p, SNAPSHOT_ENTRY* e) { out[p] = e; });
        return out;
    }
};

TEST_F(TreeTest, RootListsItsEntriesThenLostFoldersThenTheDeletedFiles) {
    snap.Put(24, true, false, {{5, u"Docs"}});
    SNAPSHOT_ENTRY* report = snap.Put(25, false, true, {{24, u"report.doc"}});
    snap.Put(26, false, true, {{40, u"a.txt"}});   // parent 40 never existed
    snap.Put(27, false, true, {{40, u"b.txt"}});   // same missing parent: same folder
    snap.Put(28, true, false, {{5, u"Keep"}});
    snap.Put(29, false, false, {{28, u"live.txt"}});
    snap.Put(30, false, true, {{29, u"c.txt"}});   // parent record now holds a file
    snap.Put(31, false, true, {{5, u"top.bin"}});
    ASSERT_EQ(snap.BuildTree(), 1);
    EXPECT_EQ(snap.root, snap.records[5]);
    EXPECT_EQ(ChildNames(snap.root),
              (std::vector<std::string>{"Docs", "Keep", "top.bin", kMadeUp, kMadeUp, kMadeUp}));
    ASSERT_EQ(snap.virtualDirs.count, 3);
    VIRTUAL_DIR* lost40 = snap.virtualDirs.At(0);
    VIRTUAL_DIR* lost29 = snap.virtualDirs.At(1);
    VIRTUAL_DIR* deleted = snap.virtualDirs.At(2);
    EXPECT_EQ(lost40->key, 40);
    EXPECT_EQ(lost29->key, 29);
    EXPECT_EQ(deleted->key, -2);
    EXPECT_EQ(lost40->entry.attributes, 0x80000080u);
    EXPECT_EQ(deleted->entry.attributes, 0x80u);
    EXPECT_EQ(lost40->entry.isDirectory, 1);
    EXPECT_EQ(ChildNames(&lost40->entry), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(ChildNames(&lost29->entry), (std::vector<std::string>{"c.txt"}));
    EXPECT_EQ(ChildNames(&deleted->entry),
              (std::vector<std::string>{"report.doc", "a.txt", "b.txt", "c.txt", "top.bin"}));
    EXPECT_EQ(snap.root->children[5].entry, &deleted->entry);
    EXPECT_EQ(ChildNames(snap.records[24]), std::vector<std::string>{"report.doc"});
    EXPECT_EQ(snap.records[24]->children[0].entry, report);
    EXPECT_EQ(deleted->entry.children[0].entry, report);  // listed twice
    // System records are in no directory; children marks are gone.
    for (auto& [path, e] : Paths()) EXPECT_NE(path.rfind("$", 0), 0u) << path;
    EXPECT_EQ(snap.records[29]->children, nullptr);
}

TEST_F(TreeTest, ParentReusedForAnotherDirectoryAndHardLinks) {
    snap.Put(24, true, false, {{5, u"New Folder"}});       // took the old folder's record
    snap.Put(25, false, true, {{24 | (uint64_t(9) << 48), u"old.txt"}});
    snap.Put(26, true, false, {{5, u"B"}});
    SNAPSHOT_ENTRY* linked = snap.Put(27, false, true, {{26, u"in b.bin"}, {24, u"in new.bin"}});
    ASSERT_EQ(snap.BuildTree(), 1);
    auto paths = Paths();
    EXPECT_TRUE(paths.count("New Folder/old.txt"));  // sequence numbers are not compared
    EXPECT_EQ(paths["B/in b.bin"], linked);
    EXPECT_EQ(paths["New Folder/in new.bin"], linked);
    EXPECT_EQ(snap.virtualDirs.count, 1);  // only the deleted-files folder
}

TEST_F(TreeTest, PruneAndDropEmpty) {
    snap.options = SNAP_PRUNE_DIRS | SNAP_DROP_EMPTY;
    snap.Put(24, true, true, {{5, u"Empty"}});
    snap.Put(25, true, true, {{24, u"Inner"}});
    snap.Put(26, true, false, {{25, u"Deeper"}});
    snap.Put(27, true, false, {{5, u"Full"}});
    AddStream(snap.Put(28, false, true, {{27, u"zero.bin"}}), 0);
    SNAPSHOT_ENTRY* named = snap.Put(29, false, true, {{27, u"named.bin"}});
    AddStream(named, 0);
    AddStream(named, 10, {}, u"alt");
    snap.Put(30, false, true, {{27, u"nostream.bin"}});
    AddStream(snap.Put(31, false, true, {{5, u"data.bin"}}), 9);
    ASSERT_EQ(snap.BuildTree(), 1);
    EXPECT_EQ(snap.records[24], nullptr);
    EXPECT_EQ(snap.records[25], nullptr);
    EXPECT_EQ(snap.records[26], nullptr);
    EXPECT_EQ(snap.records[28], nullptr);
    EXPECT_EQ(ChildNames(snap.records[27]), (std::vector<std::string>{"named.bin", "nostream.bin"}));
    EXPECT_EQ(ChildNames(snap.root), (std::vector<std::string>{"Full", "data.bin", kMadeUp}));
    for (int32_t i = 0; i < snap.recordCount; ++i)
        if (snap.records[i] && !snap.records[i]->isDirectory) {
            EXPECT_EQ(snap.records[i]->children, nullptr);
        }

    // With nothing left but the root, the root stays.
    VolumeAccess v2;
    TableSnapshot bare(&v2, 30);
    bare.PutSystem();
    bare.Put(24, true, true, {{5, u"Nothing"}});
    bare.options = SNAP_PRUNE_DIRS;
    ASSERT_EQ(bare.BuildTree(), 1);
    EXPECT_EQ(ChildNames(bare.root), std::vector<std::string>{kMadeUp});
}

TEST_F(TreeTest, WithoutARootTheSnapshotMakesItsOwn) {
    FreeSnapshotEntry(snap.records[5]);
    snap.records[5] = nullptr;
    snap.Put(24, false, true, {{5, u"orphan.txt"}});
    SetStatus(0);
    ASSERT_EQ(snap.BuildTree(), 1);
    EXPECT_EQ(LastStatus(), uint32_t(STATUS_NO_ROOT));
    EXPECT_EQ(snap.ownsRoot, 1);
    EXPECT_EQ(snap.root->isDirectory, 1);
    EXPECT_EQ(snap.root->names, nullptr);
    EXPECT_EQ(ChildNames(snap.root), (std::vector<std::string>{kMadeUp, kMadeUp}));
    EXPECT_EQ(snap.virtualDirs.At(0)->key, 5);
}

// Parent numbers outside the table and parent links that loop: every entry still lands
// in the tree, and a walk that enters each directory once sees each of them.
TEST_F(TreeTest, DamagedParentLinks) {
    for (uint32_t options : {0u, uint32_t(SNAP_PRUNE_DIRS)}) {
        VolumeAccess v;
        TableSnapshot s(&v, 64);
        s.PutSystem();
        s.options = options;
        s.Put(24, false, true, {{0xFFFFFFFEu, u"far.bin"}});  // would read as key -2
        s.Put(25, false, true, {{1000000, u"far2.bin"}});
        s.Put(30, true, true, {{31, u"A"}});
        s.Put(31, true, true, {{32, u"B"}});
        s.Put(32, true, true, {{30, u"C"}});  // A -> B -> C -> A
        s.Put(33, false, true, {{30, u"in loop.txt"}});
        s.Put(34, true, true, {{34, u"Self"}});
        s.Put(35, false, true, {{34, u"in self.txt"}});
        ASSERT_EQ(s.BuildTree(), 1);
        std::map<std::string, SNAPSHOT_ENTRY*> paths;
        std::set<const SNAPSHOT_ENTRY*> seen;
        WalkTree(s.root, "", seen, [&](const std::string& p, SNAPSHOT_ENTRY* e) { paths[p] = e; });
        std::set<SNAPSHOT_ENTRY*> reached;
        for (auto& [p, e] : paths) reached.insert(e);
        for (int32_t i : {24, 25, 30, 31, 32, 33, 34, 35}) EXPECT_TRUE(reached.count(s.records[i])) << i;
        EXPECT_TRUE(paths.count(kMadeUp + "/far.bin"));
        EXPECT_TRUE(paths.count(kMadeUp + "/Self/in self.txt"));
        // Following children from the root never comes back to a directory on the path.
        std::function<bool(SNAPSHOT_ENTRY*, std::set<SNAPSHOT_ENTRY*>&)> acyclic =
            [&](SNAPSHOT_ENTRY* d, std::set<SNAPSHOT_ENTRY*>& path) {
                if (!path.insert(d).second) return false;
                for (int32_t i = 0; i < d->childCount; ++i)
                    if (d->children[i].entry->isDirectory && !acyclic(d->children[i].entry, path)) return false;
                path.erase(d);
                return true;
            };
        std::set<SNAPSHOT_ENTRY*> path;
        EXPECT_TRUE(acyclic(s.root, path));
        // The deleted-files folder is the last child and is not a lost-parent folder.
        const CHILD_LINK& last = s.root->children[s.root->childCount - 1];
        EXPECT_EQ(reinterpret_cast<VIRTUAL_DIR*>(last.entry)->key, -2);
        EXPECT_EQ(last.entry->attributes, 0x80u);
    }
}

TEST_F(TreeTest, CancellationStopsTheBuild) {
    for (int32_t i = 24; i < 64; ++i) snap.Put(i, false, true, {{5, u"f"}});
    snap.sink.cancelAtPoll = [](uint32_t n) { return n == 3 ? 1u : 0u; };
    EXPECT_EQ(snap.BuildTree(), 0);
    EXPECT_EQ(snap.sink.polls, 3u);
    snap.Clear();  // whatever was half built is released
    EXPECT_EQ(snap.root, nullptr);
}

TEST_F(TreeTest, GetVirtualDirFindsOrMakes) {
    VIRTUAL_DIR* a = snap.GetVirtualDir(77, MSG_LOST_FOLDER, 0x80000080u);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(snap.GetVirtualDir(77, MSG_LOST_FOLDER, 0x80000080u), a);
    EXPECT_EQ(Utf8(a->entry.names->name), kMadeUp);
    EXPECT_EQ(a->entry.names->parentRef, 0u);
    EXPECT_EQ(a->entry.streams, nullptr);
    EXPECT_EQ(FileTimeToU64(a->entry.created), FileTimeToU64(a->entry.modified));
    // With a registered text, the name carries the record number.
    platform::RegisterString(GetHostModule(), MSG_LOST_FOLDER, u"Lost %d");
    VIRTUAL_DIR* b = snap.GetVirtualDir(78, MSG_LOST_FOLDER, 0x80000080u);
    EXPECT_EQ(Utf8(b->entry.names->name), "Lost 78");
    platform::RegisterString(GetHostModule(), MSG_LOST_FOLDER, u"");
}

}  // namespace
