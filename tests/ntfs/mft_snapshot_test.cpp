// Whole snapshots of NTFS images made by mkntfs and ntfs-3g: the deleted files found match
// sleuthkit's listing, files rated "Excellent" read back byte for byte, reused clusters
// give the four chances, and damaged images, cancellation and read failures end as they
// should.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/snapshot/stream_reader.h"
#include "tests/ntfs/ntfs_test_support.h"
#include "tests/support/fixtures.h"

using namespace ntfs_test;
namespace fs = std::filesystem;

namespace {

const std::string kMadeUp = "ERROR LOADING STRING";
const char* const kImages[] = {"ntfs", "ntfs_kinds", "ntfs_frag", "ntfs_reuse", "ntfs_lznt1", "ntfs_lznt1_512"};

struct Opened {
    VolumeAccess volume;
    CMFTSnapshot* snap = nullptr;
    RecordingProgress sink;
    ~Opened() { delete snap; }
    int32_t Open(const fs::path& image) {
        InitMessageRing();
        if (!volume.OpenVolume(platform::WideFromUtf8(image.string()).c_str())) return 0;
        snap = new CMFTSnapshot(&volume);
        return 1;
    }
    int32_t Take(uint32_t options = SNAP_APPLICATION_OPTIONS, ExtentList** extents = nullptr) {
        return snap->Take(&sink, options, extents);
    }
};

// A deleted file found in the tree: its path (outside the deleted-files folder) and entry.
struct Found {
    std::map<std::string, SNAPSHOT_ENTRY*> files;  // deleted, non-directory
    std::map<std::string, SNAPSHOT_ENTRY*> all;
};

Found Walk(SNAPSHOT_ENTRY* root) {
    Found out;
    std::set<const SNAPSHOT_ENTRY*> seen;
    // The deleted-files folder repeats what is listed elsewhere; leave it out.
    for (int32_t i = 0; i < root->childCount; ++i)
        if (root->children[i].entry->attributes == 0x80u && root->children[i].entry->isDirectory)
            seen.insert(root->children[i].entry);
    WalkTree(root, "", seen, [&](const std::string& p, SNAPSHOT_ENTRY* e) {
        out.all[p] = e;
        if (!e->isDirectory && IsDeleted(*e)) out.files[p] = e;
    });
    return out;
}

// Deleted files as sleuthkit lists them, without its orphan folder, named streams,
// directories and names whose record has since been reused. Records it could only
// place in its orphan folder go to `orphans`.
std::set<std::string> FlsDeletedFiles(const std::string& name, std::set<int32_t>* orphans) {
    std::set<std::string> out;
    std::ifstream in(fixtures::Path(name + ".fls"));
    std::string line;
    while (std::getline(in, line)) {
        auto tab = line.find('\t');
        if (tab == std::string::npos) continue;
        std::string head = line.substr(0, tab), path = line.substr(tab + 1);
        if (head.find("(realloc)") != std::string::npos || head.size() < 3 || head[2] == 'd') continue;
        if (path.rfind("$OrphanFiles/OrphanFile-", 0) == 0) {
            orphans->insert(std::stoi(path.substr(24)));
            continue;
        }
        if (path.find(':') != std::string::npos) continue;
        // Empty files are dropped by the application's options.
        std::error_code ec;
        if (fs::file_size(fixtures::Path(name + ".files") / path, ec) == 0 && !ec) continue;
        out.insert(path);
    }
    return out;
}

std::vector<uint8_t> ReadWhole(VolumeAccess& volume, ENTRY_STREAM* stream) {
    std::vector<uint8_t> out;
    StreamReader* reader = OpenStream(&volume, stream);
    if (!reader) return out;
    const uint32_t cluster = volume.GetClusterSize();
    const uint32_t chunk = (262144 / cluster) * cluster;
    std::vector<uint8_t> buffer(std::max<int64_t>(chunk, stream->residentData ? stream->size : 0) + cluster);
    int64_t bytesLeft = stream->size, clustersLeft = (stream->size + cluster - 1) / cluster;
    while (bytesLeft > 0) {
        int64_t k = std::min<int64_t>(clustersLeft, chunk / cluster);
        int64_t b = std::min<int64_t>(k * cluster, bytesLeft);
        if (!ReadStream(reader, buffer.data(), uint32_t(k))) break;
        out.insert(out.end(), buffer.begin(), buffer.begin() + b);
        bytesLeft -= b;
        clustersLeft -= k;
    }
    CloseStream(reader);
    return out;
}

TEST(MftSnapshotImages, DeletedFilesMatchSleuthkit) {
    for (const char* name : kImages) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(fixtures::Exists(std::string(name) + ".img"));
        Opened o;
        ASSERT_EQ(o.Open(fixtures::Path(std::string(name) + ".img")), 1);
        ASSERT_EQ(o.Take(), 1);
        Found found = Walk(o.snap->root);
        std::set<int32_t> orphans;
        std::set<std::string> expected = FlsDeletedFiles(name, &orphans);
        std::map<const SNAPSHOT_ENTRY*, int32_t> slots;
        for (int32_t i = 0; i < o.snap->recordCount; ++i)
            if (o.snap->records[i]) slots[o.snap->records[i]] = i;
        for (const auto& path : expected) EXPECT_TRUE(found.files.count(path)) << "missing " << path;
        for (const auto& [path, entry] : found.files) {
            if (path.rfind(kMadeUp, 0) == 0 || expected.count(path)) continue;
            // Sleuthkit does not follow the attribute list of a deleted record to the
            // extension record holding its name, and shows such a file as an orphan.
            if (orphans.count(slots[entry])) continue;
            // A file with several names is listed under each; sleuthkit shows one of them.
            bool otherNameListed = false;
            for (const auto& [p, e] : found.files) otherNameListed |= e == entry && expected.count(p);
            EXPECT_TRUE(otherNameListed) << "unexpected " << path;
        }
        EXPECT_EQ(o.sink.reports.front(), uint32_t(MSG_NTFS_START));
        EXPECT_EQ(o.sink.reports.back(), uint32_t(MSG_NTFS_TREE));
        EXPECT_EQ(o.sink.progress.back(), 1000u);
    }
}

TEST(MftSnapshotImages, ExcellentFilesReadBackExactly) {
    int compared = 0;
    std::set<std::string> kinds;
    for (const char* name : kImages) {
        SCOPED_TRACE(name);
        Opened o;
        ASSERT_EQ(o.Open(fixtures::Path(std::string(name) + ".img")), 1);
        ASSERT_EQ(o.Take(), 1);
        for (const auto& [path, entry] : Walk(o.snap->root).files) {
            if (entry->chance != CHANCE_EXCELLENT || path.rfind(kMadeUp, 0) == 0) continue;
            for (ENTRY_STREAM* s = entry->streams; s; s = s->next) {
                std::string file = path + (s->name ? ":" + Utf8(s->name) : "");
                SCOPED_TRACE(file);
                fs::path original = fixtures::Path(std::string(name) + ".files") / file;
                ASSERT_TRUE(fs::exists(original));
                EXPECT_TRUE(ReadWhole(o.volume, s) == fixtures::ReadFile(original));
                ++compared;
                if (s->residentData) kinds.insert("resident");
                if (s->name) kinds.insert("named");
                if (s->extents && (s->extents->flags & EXTENT_COMPRESSED)) kinds.insert("compressed");
                if (s->extents && (s->extents->flags & EXTENT_SPARSE)) kinds.insert("sparse");
            }
        }
    }
    EXPECT_GT(compared, 10);
    EXPECT_EQ(kinds, (std::set<std::string>{"compressed", "named", "resident", "sparse"}));
}

// Expected ratings written by the fixture script, by path.
TEST(MftSnapshotImages, RatingsOfReusedAndSpecialFiles) {
    for (const char* name : {"ntfs_kinds", "ntfs_frag", "ntfs_reuse"}) {
        SCOPED_TRACE(name);
        Opened o;
        ASSERT_EQ(o.Open(fixtures::Path(std::string(name) + ".img")), 1);
        ASSERT_EQ(o.Take(), 1);
        Found found = Walk(o.snap->root);
        std::ifstream in(fixtures::Path(std::string(name) + ".chance"));
        int expected;
        std::string path;
        std::set<int> seen;
        while (in >> expected >> std::ws && std::getline(in, path)) {
            ASSERT_TRUE(found.files.count(path)) << path;
            EXPECT_EQ(found.files[path]->chance, expected) << path;
            seen.insert(expected);
        }
        if (std::string(name) == "ntfs_reuse") {
            EXPECT_EQ(seen, (std::set<int>{1, 2, 3, 4}));
        }
    }
}

TEST(MftSnapshotImages, SpecialFilesHaveTheirStreams) {
    Opened o;
    ASSERT_EQ(o.Open(fixtures::Path("ntfs_kinds.img")), 1);
    ASSERT_EQ(o.Take(), 1);
    Found found = Walk(o.snap->root);
    ASSERT_TRUE(found.files.count("streams.bin"));
    std::vector<std::string> names;
    for (ENTRY_STREAM* s = found.files["streams.bin"]->streams; s; s = s->next) names.push_back(Utf8(s->name));
    EXPECT_EQ(names, (std::vector<std::string>{"", "alt", "note"}));
    ASSERT_TRUE(found.files.count("Packed/text.txt"));
    SNAPSHOT_ENTRY* packed = found.files["Packed/text.txt"];
    EXPECT_TRUE(packed->attributes & FILE_ATTR_COMPRESSED);
    EXPECT_EQ(packed->streams->extents->flags & EXTENT_COMPRESSED, uint32_t(EXTENT_COMPRESSED));
    EXPECT_EQ(packed->streams->extents->compressionUnit, 4u);
    // ntfs-3g takes a name out of the record when one of two links goes.
    EXPECT_TRUE(found.files.count("Links/b/other.bin"));
    EXPECT_FALSE(found.files.count("Links/a/shared.bin"));
    EXPECT_TRUE(found.all.count("Gone/Inner"));
    EXPECT_TRUE(IsDeleted(*found.all["Gone"]));
    EXPECT_EQ(found.all["Gone"]->chance, 0);
    // With live files: one entry listed in both folders of its hard links.
    ASSERT_EQ(o.Take(SNAP_LIVE_FILES | SNAP_PRUNE_DIRS), 1);
    Found live = Walk(o.snap->root);
    ASSERT_TRUE(live.all.count("Links/live/kept.bin"));
    EXPECT_EQ(live.all["Links/live/kept.bin"], live.all["Links/live2/kept link.bin"]);
    EXPECT_EQ(live.all["Links/live/kept.bin"]->chance, 1);

    // A live file whose name and run list come from extension records reads back whole.
    Opened frag;
    ASSERT_EQ(frag.Open(fixtures::Path("ntfs_frag.img")), 1);
    ASSERT_EQ(frag.Take(SNAP_LIVE_FILES | SNAP_PRUNE_DIRS), 1);
    Found fragFound = Walk(frag.snap->root);
    std::ifstream in(fixtures::Path("ntfs_frag.extended"));
    std::string path;
    int checked = 0;
    while (std::getline(in, path)) {
        SCOPED_TRACE(path);
        SNAPSHOT_ENTRY* e = fragFound.all[path];
        ASSERT_NE(e, nullptr);
        ASSERT_NE(e->streams, nullptr);
        EXPECT_TRUE(ReadWhole(frag.volume, e->streams) == fixtures::ReadFile(fixtures::Path("ntfs_frag.files") / path));
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

TEST(MftSnapshotImages, FreeExtentsAndRetake) {
    Opened o;
    ASSERT_EQ(o.Open(fixtures::Path("ntfs_reuse.img")), 1);
    ExtentList* extents = reinterpret_cast<ExtentList*>(1);
    ASSERT_EQ(o.Take(SNAP_APPLICATION_OPTIONS | SNAP_FREE_EXTENTS, &extents), 1);
    ASSERT_EQ(extents, ProcessExtentList());
    ASSERT_GT(extents->count, 0u);
    uint64_t total = 0;
    for (uint32_t i = 0; i < extents->count; ++i) {
        if (i) {
            EXPECT_GT(extents->starts[i], extents->starts[i - 1] + extents->lengths[i - 1]);
        }
        total += extents->lengths[i];
    }
    EXPECT_LT(total, o.volume.Le64(40));
    FreeExtentList(extents);
    EXPECT_EQ(extents->count, 0u);
    // Without the option the out pointer is cleared and left alone.
    SNAPSHOT_ENTRY* firstRoot = o.snap->root;
    ASSERT_EQ(o.Take(SNAP_APPLICATION_OPTIONS, &extents), 1);
    EXPECT_EQ(extents, nullptr);
    EXPECT_NE(o.snap->root, nullptr);
    (void)firstRoot;
    // Live files are kept when asked.
    ASSERT_EQ(o.Take(SNAP_LIVE_FILES), 1);
    EXPECT_TRUE(Walk(o.snap->root).all.count("cover.bin"));
}

class DamagedImage : public ::testing::Test {
protected:
    fs::path copy;
    void SetUp() override { InitMessageRing(); }
    void TearDown() override {
        if (!copy.empty()) fs::remove(copy);
    }
    void MakeCopy(const std::string& name) {
        copy = fs::temp_directory_path() / ("ntfs-damaged-" + std::to_string(::getpid()) + "-" + name + ".img");
        fs::copy_file(fixtures::Path(name + ".img"), copy, fs::copy_options::overwrite_existing);
    }
    // The image offset of MFT record r, from the manifest of MFT clusters.
    uint64_t RecordOffset(const std::string& name, uint32_t r) {
        std::ifstream in(fixtures::Path(name + ".mft"));
        std::string key;
        uint64_t value, recordSize = 1024;
        std::vector<uint64_t> clusters;
        while (in >> key >> value) {
            if (key == "record_size") recordSize = value;
            else clusters.push_back(value);
        }
        uint64_t byte = r * recordSize;
        return clusters.at(byte / 4096) + byte % 4096;
    }
    void Overwrite(uint64_t offset, const std::vector<uint8_t>& bytes) {
        std::fstream f(copy, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(std::streamoff(offset));
        f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    int32_t Take(Opened& o, uint32_t answer = 0) {
        EXPECT_EQ(o.Open(copy), 1);
        o.sink.answer = answer;
        SetStatus(0);
        return o.Take();
    }
};

TEST_F(DamagedImage, RecordZeroWithABadFixup) {
    MakeCopy("ntfs_kinds");
    Overwrite(RecordOffset("ntfs_kinds", 0) + 510, {0x55, 0xAA});
    Opened o;
    EXPECT_EQ(Take(o), 0);
    EXPECT_EQ(LastStatus(), uint32_t(STATUS_MFT_RECORD0));
    EXPECT_EQ(o.snap->root, nullptr);
}

TEST_F(DamagedImage, RandomBytesOverTheTable) {
    MakeCopy("ntfs_frag");
    std::vector<uint8_t> noise(64 * 1024);
    uint32_t x = 12345;
    for (auto& b : noise) b = uint8_t((x = x * 1103515245u + 12345u) >> 16);
    Overwrite(RecordOffset("ntfs_frag", 0), noise);
    Opened o;
    EXPECT_EQ(Take(o), 0);
    EXPECT_EQ(LastStatus(), uint32_t(STATUS_MFT_RECORD0));
    // Noise over the records after the system files is ignored record by record.
    MakeCopy("ntfs_frag");
    Overwrite(RecordOffset("ntfs_frag", 24), std::vector<uint8_t>(noise.begin(), noise.begin() + 8 * 1024));
    Opened later;
    EXPECT_EQ(Take(later), 1);
}

TEST_F(DamagedImage, TruncatedImage) {
    MakeCopy("ntfs");
    fs::resize_file(copy, 8192);  // the table is gone
    Opened o;
    EXPECT_EQ(Take(o), 0);
    EXPECT_EQ(LastStatus(), uint32_t(STATUS_MFT_READ));
    EXPECT_TRUE(o.sink.questions.empty());
}

TEST_F(DamagedImage, ReadFailureAfterManyRecordsAsksWhetherToGoOn) {
    for (uint32_t answer : {0u, 1u}) {
        MakeCopy("ntfs_frag");
        fs::resize_file(copy, RecordOffset("ntfs_frag", 200));
        Opened o;
        int32_t result = Take(o, answer);
        ASSERT_EQ(o.sink.questions, std::vector<uint32_t>{MSG_MFT_PARTIAL_QUESTION});
        if (answer) {
            EXPECT_EQ(result, 1);
            ASSERT_NE(o.snap->root, nullptr);
            EXPECT_FALSE(Walk(o.snap->root).files.empty());
        } else {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(LastStatus(), uint32_t(STATUS_MFT_READ));
            EXPECT_EQ(o.snap->root, nullptr);
            EXPECT_EQ(o.snap->recordCount, 0);
        }
    }
    // A failure among the first records fails at once.
    MakeCopy("ntfs_frag");
    fs::resize_file(copy, RecordOffset("ntfs_frag", 20));
    Opened early;
    EXPECT_EQ(Take(early, 1), 0);
    EXPECT_TRUE(early.sink.questions.empty());
    EXPECT_EQ(LastStatus(), uint32_t(STATUS_MFT_READ));
}

TEST(MftSnapshotEntry, CancellationClearsTheSnapshot) {
    InitMessageRing();
    VolumeAccess volume;
    ASSERT_EQ(volume.OpenVolume(platform::WideFromUtf8(fixtures::Path("ntfs_frag.img").string()).c_str()), 1);
    CSnapshot* snap = CreateSnapshot(&volume);
    ASSERT_NE(snap, nullptr);
    SNAPSHOT_ENTRY* root = reinterpret_cast<SNAPSHOT_ENTRY*>(1);
    EXPECT_EQ(TakeSnapshot(snap, SNAP_APPLICATION_OPTIONS, &root,
                           [](uint32_t kind, const WCHAR*, uint32_t, uint32_t) { return kind == PROGRESS_POLL ? 1u : 0u; },
                           0, nullptr),
              0);
    EXPECT_EQ(root, nullptr);
    EXPECT_EQ(static_cast<CMFTSnapshot*>(snap)->recordCount, 0);
    // The same snapshot takes again afterwards.
    EXPECT_EQ(TakeSnapshot(snap, SNAP_APPLICATION_OPTIONS, &root, nullptr, 0, nullptr), 1);
    EXPECT_NE(root, nullptr);
    DeleteSnapshot(snap);
}

TEST(MftSnapshotEntry, VolumeChecksLeaveTheSnapshotAlone) {
    InitMessageRing();
    VolumeAccess volume;
    ASSERT_EQ(volume.OpenVolume(platform::WideFromUtf8(fixtures::Path("ntfs.img").string()).c_str()), 1);
    CMFTSnapshot snap(&volume);
    RecordingProgress sink;
    ASSERT_EQ(snap.Take(&sink, SNAP_APPLICATION_OPTIONS, nullptr), 1);
    SNAPSHOT_ENTRY* root = snap.root;
    volume.kind = FS_FAT;
    EXPECT_EQ(snap.Take(&sink, SNAP_APPLICATION_OPTIONS, nullptr), 0);
    EXPECT_EQ(LastStatus(), uint32_t(STATUS_NOT_NTFS));
    EXPECT_EQ(snap.root, root);
    volume.kind = FS_NTFS;
    volume.CloseVolume();
    EXPECT_EQ(snap.Take(&sink, SNAP_APPLICATION_OPTIONS, nullptr), 0);
    EXPECT_EQ(LastStatus(), uint32_t(STATUS_NOT_OPEN));
    EXPECT_EQ(snap.root, root);
}

}  // namespace
