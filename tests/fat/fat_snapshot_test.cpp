// The FAT snapshot on real images made by mkfs.fat and mtools (checked against sleuthkit's
// fls and the original bytes), on hand-made allocation tables for the rating rules, and
// through the progress adapter for questions and cancelling.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/fat/fat_snapshot.h"
#include "engine/interface.h"
#include "engine/snapshot/stream_reader.h"
#include "engine/volume.h"
#include "platform/string_table.h"
#include "platform/wide_string.h"
#include "support/fixtures.h"

namespace {

const std::vector<std::string> kImages = {"fat12", "fat16", "fat32", "cases12", "cases16", "cases32"};
const std::vector<std::string> kCaseImages = {"cases12", "cases16", "cases32"};

// Test side of the progress adapter: records questions, answers them, cancels on demand.
struct Session {
    int questions = 0;
    uint32_t lastQuestion = 0;
    uint32_t answer = 0;
    bool cancelAfterDeepScanStarts = false;
    bool deepScanStarted = false;
};
Session g_session;

class TestProgress : public CSnapshotProgressDlg {
public:
    uint32_t Ask(uint32_t, uint32_t message, uint32_t) override {
        ++g_session.questions;
        g_session.lastQuestion = message;
        return g_session.answer;
    }
    void ReportFormatted(uint32_t, uint32_t) override {}
    void Report(uint32_t message) override {
        if (message == MSG_FAT_STEP_4) g_session.deepScanStarted = true;
    }
    void SetProgress(uint32_t perMille) override { EXPECT_LE(perMille, 1000u); }
    uint32_t IsCancelled() override { return g_session.cancelAfterDeepScanStarts && g_session.deepScanStarted; }
};

std::string Utf8(const WCHAR* s) { return platform::Utf8FromWide(s); }

struct Found {
    std::string folder;  // "" root; lost-directory folders are "<lost>"
    std::string name;
    std::string shortName;
    SNAPSHOT_ENTRY* entry;
};

// Deleted files below the root, leaving out the deleted-files folder (the root's last child).
void Collect(SNAPSHOT_ENTRY* dir, const std::string& path, std::vector<Found>& out, bool top) {
    if (!dir->children) return;
    int32_t n = dir->childCount - (top ? 1 : 0);
    for (int32_t i = 0; i < n; ++i) {
        CHILD_LINK& link = dir->children[i];
        std::string name = Utf8(link.name->name);
        if (link.entry->isDirectory) {
            bool lost = top && !(link.entry->attributes & ENTRY_DELETED) && name == "ERROR LOADING STRING";
            Collect(link.entry, lost ? "<lost>" : (path.empty() ? name : path + "/" + name), out, false);
        } else if (link.entry->attributes & ENTRY_DELETED) {
            out.push_back({path, name, link.name->shortName ? Utf8(link.name->shortName) : "", link.entry});
        }
    }
}

// The deleted first letter is shown as U+00E5 here and "_" by fls; numbering is ours only.
std::string Normal(std::string name) {
    if (name.rfind("\xC3\xA5", 0) == 0) name = "_" + name.substr(2);
    // " (N)" before a three-character extension or at the end.
    size_t ext = name.size() >= 4 && name[name.size() - 4] == '.' ? name.size() - 4 : name.size();
    size_t close = ext > 0 && name[ext - 1] == ')' ? ext - 1 : std::string::npos;
    size_t open = close == std::string::npos ? std::string::npos : name.rfind(" (", close);
    if (open != std::string::npos && close > open + 2 &&
        name.find_first_not_of("0123456789", open + 2) == close)
        name.erase(open, close + 1 - open);
    return name;
}

// Same name, the first character excepted when ours was lost ("_").
bool SameName(const std::string& ours, const std::string& original) {
    if (ours.size() > 0 && ours[0] == '_' && original.size() == ours.size())
        return ours.compare(1, std::string::npos, original, 1, std::string::npos) == 0;
    return ours == original;
}

struct Image {
    VolumeAccess volume;
    CFATSnapshot* snapshot = nullptr;
    TestProgress progress;
    explicit Image(const std::string& name) {
        std::u16string path = platform::WideFromUtf8(fixtures::Path(name + ".img").string());
        if (!volume.OpenVolume(path.c_str())) return;
        snapshot = new CFATSnapshot(&volume);
    }
    ~Image() { delete snapshot; }
    int32_t Take(uint32_t options) { return snapshot->Take(&progress, options, nullptr); }
};

class FatImages : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        InitializeEngine(nullptr);
        g_session = Session{};
        if (!fixtures::Exists(GetParam() + ".img")) GTEST_SKIP() << "fixture missing";
    }
};

TEST_P(FatImages, DeletedFilesMatchSleuthkit) {
    Image image(GetParam());
    ASSERT_NE(image.snapshot, nullptr);
    ASSERT_EQ(image.Take(SNAP_DEEP_SCAN | SNAP_PRUNE_DIRS), 1);
    std::vector<Found> found;
    Collect(image.snapshot->root, "", found, true);
    std::multiset<std::string> ours, theirs;
    for (const Found& f : found) {
        // sleuthkit lists files of lost directories as orphans, under their 8.3 names.
        if (f.folder == "<lost>") ours.insert("$OrphanFiles/" + Normal(f.shortName.empty() ? f.name : f.shortName));
        else ours.insert((f.folder.empty() ? "" : f.folder + "/") + Normal(f.name));
    }
    std::ifstream fls(fixtures::Path(GetParam() + ".fls"));
    std::string line;
    while (std::getline(fls, line)) {
        if (line.rfind("r/r *", 0) != 0 && line.rfind("-/r *", 0) != 0) continue;
        theirs.insert(line.substr(line.find('\t') + 1));
    }
    EXPECT_EQ(ours, theirs);
}

TEST_P(FatImages, ExcellentFilesReadBackAsWritten) {
    Image image(GetParam());
    ASSERT_NE(image.snapshot, nullptr);
    ASSERT_EQ(image.Take(SNAP_DEEP_SCAN | SNAP_DROP_EMPTY | SNAP_PRUNE_DIRS), 1);
    std::vector<Found> found;
    Collect(image.snapshot->root, "", found, true);
    const auto files = fixtures::Path(GetParam() + ".files");
    const uint32_t cluster = image.volume.GetClusterSize();
    int checked = 0;
    for (const Found& f : found) {
        if (f.entry->chance != CHANCE_EXCELLENT) continue;
        ENTRY_STREAM* s = f.entry->streams;
        ASSERT_NE(s, nullptr);
        std::vector<uint8_t> data;
        if (s->size > 0) {
            uint32_t clusters = uint32_t(s->extents->lastVcn + 1);
            data.resize(size_t(clusters) * cluster);
            StreamReader* reader = OpenStream(&image.volume, s);
            ASSERT_NE(reader, nullptr);
            ASSERT_EQ(ReadStream(reader, data.data(), clusters), 1) << f.name;
            CloseStream(reader);
            data.resize(size_t(s->size));
        }
        // The original: same folder, same name but for a lost first letter and numbering.
        std::string folder = f.folder == "<lost>" ? "Outer/Lost" : f.folder;
        bool matched = false;
        for (const auto& p : std::filesystem::directory_iterator(files / folder)) {
            if (!p.is_regular_file() || !SameName(Normal(f.name), p.path().filename().string())) continue;
            std::vector<unsigned char> original = fixtures::ReadFile(p.path());
            if (std::equal(original.begin(), original.end(), data.begin(), data.end())) matched = true;
        }
        EXPECT_TRUE(matched) << folder << "/" << f.name;
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

INSTANTIATE_TEST_SUITE_P(Images, FatImages, ::testing::ValuesIn(kImages));

class FatCases : public FatImages {};

TEST_P(FatCases, ChancesFollowTheLayout) {
    Image image(GetParam());
    ASSERT_NE(image.snapshot, nullptr);
    ASSERT_EQ(image.Take(SNAP_APPLICATION_OPTIONS), 1);
    std::vector<Found> found;
    Collect(image.snapshot->root, "", found, true);
    std::ifstream expect(fixtures::Path(GetParam() + ".chance"));
    std::string path;
    int chance;
    while (expect >> std::ws && std::getline(expect, path, '\t') && expect >> chance) {
        std::string folder = path.substr(0, path.rfind('/'));
        std::string name = "_" + path.substr(path.rfind('/') + 2);
        int seen = 0;
        for (const Found& f : found)
            if (f.folder == folder && Normal(f.name) == name) {
                EXPECT_EQ(f.entry->chance, chance) << path;
                ++seen;
            }
        EXPECT_GE(seen, 1) << path;
    }
    // Options 14 drop the empty deleted file; the two deleted "same.txt"/"fame.txt" are numbered.
    std::set<std::string> names;
    for (const Found& f : found) names.insert(f.folder + "/" + f.name);
    EXPECT_EQ(names.count("Live/\xC3\xA5mpty.dat"), 0u);
    EXPECT_EQ(names.count("Dup/\xC3\xA5" "ame (1).txt"), 1u);
    EXPECT_EQ(names.count("Dup/\xC3\xA5" "ame (2).txt"), 1u);
}

TEST_P(FatCases, DeepScanHangsTheLostDirectoryUnderTheRoot) {
    Image image(GetParam());
    ASSERT_NE(image.snapshot, nullptr);
    auto lostFiles = [&] {
        std::vector<Found> found;
        Collect(image.snapshot->root, "", found, true);
        std::set<std::string> lost;
        for (const Found& f : found)
            if (f.folder == "<lost>") lost.insert(Normal(f.name));
        return lost;
    };
    const std::set<std::string> expected = {"_ne.bin", "Two Long Name.txt"};

    ASSERT_EQ(image.Take(SNAP_APPLICATION_OPTIONS), 1);
    EXPECT_EQ(lostFiles(), expected);
    EXPECT_EQ(g_session.questions, 0);  // a fresh snapshot never asks

    for (uint32_t answer : {1u, 0u}) {  // reuse the kept clusters, then scan afresh
        g_session.answer = answer;
        ASSERT_EQ(image.Take(SNAP_APPLICATION_OPTIONS), 1);
        EXPECT_EQ(g_session.lastQuestion, MSG_FAT_REUSE_QUESTION);
        EXPECT_EQ(lostFiles(), expected);
    }
    EXPECT_EQ(g_session.questions, 2);

    // Without the deep scan the lost directory stays lost.
    ASSERT_EQ(image.Take(SNAP_DROP_EMPTY | SNAP_PRUNE_DIRS), 1);
    EXPECT_TRUE(lostFiles().empty());
}

TEST_P(FatCases, CancellingTheDeepScanStillTakes) {
    Image image(GetParam());
    ASSERT_NE(image.snapshot, nullptr);
    g_session.cancelAfterDeepScanStarts = true;
    ASSERT_EQ(image.Take(SNAP_APPLICATION_OPTIONS), 1);
    std::vector<Found> found;
    Collect(image.snapshot->root, "", found, true);
    bool anyLost = false, anyWalked = false;
    for (const Found& f : found) {
        anyLost |= f.folder == "<lost>";
        anyWalked |= f.folder == "Tree/Sub";
    }
    EXPECT_FALSE(anyLost);
    EXPECT_TRUE(anyWalked);
    // The cancelled scan kept no cluster table, so the next take does not ask.
    g_session = Session{};
    ASSERT_EQ(image.Take(SNAP_APPLICATION_OPTIONS), 1);
    EXPECT_EQ(g_session.questions, 0);
}

INSTANTIATE_TEST_SUITE_P(Images, FatCases, ::testing::ValuesIn(kCaseImages));

}  // namespace
