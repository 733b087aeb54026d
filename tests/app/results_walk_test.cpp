// The results walk on hand-built snapshot trees: which entries are offered, in which order
// and under which folder; the deleted-files folder; loops in damaged trees.
#include <gtest/gtest.h>

#include "app/core/results_walk.h"
#include "platform/wide_string.h"
#include "snapshot_tree.h"

namespace {

using testtree::Tree;

std::vector<std::string> Listing(const std::vector<app::FileNodeInfo>& nodes) {
    std::vector<std::string> out;
    for (const auto& n : nodes)
        out.push_back(std::to_string(n.number) + " " + platform::Utf8FromWide(n.DisplayFolder()) +
                      platform::Utf8FromWide(n.Name()));
    return out;
}

// root: Docs/{report.doc (1), old.doc (3), Sub/{a.txt (2)}}, live.txt (live, rated 1),
// a lost-parent folder holding lost.jpg (2), and the deleted-files folder listing the
// deleted files again, as both snapshot kinds build it.
struct Sample {
    Tree t;
    SNAPSHOT_ENTRY *docs, *sub, *report, *old, *a, *live, *lostDir, *lost, *deletedDir;
    Sample() {
        docs = t.Dir(u"Docs");
        sub = t.Dir(u"Sub");
        report = t.File(u"report.doc", 1);
        old = t.File(u"old.doc", 3);
        a = t.File(u"a.txt", 2);
        live = t.File(u"live.txt", 1, 10, false);
        lostDir = t.Dir(u"ERROR LOADING STRING", true);
        lost = t.File(u"lost.jpg", 2);
        deletedDir = t.Dir(u"ERROR LOADING STRING");
        t.Add(t.root, docs);
        t.Add(docs, report);
        t.Add(docs, old);
        t.Add(docs, sub);
        t.Add(sub, a);
        t.Add(t.root, live);
        t.Add(t.root, lostDir);
        t.Add(lostDir, lost);
        t.Add(t.root, deletedDir);
        for (SNAPSHOT_ENTRY* e : {report, old, a, lost}) t.Add(deletedDir, e);
    }
};

TEST(ResultsWalk, OffersRatedOneAndTwoDepthFirstWithMadeUpFoldersRemoved) {
    Sample s;
    auto nodes = app::CollectResults(s.t.root, u"/", {});
    // Every file rated 1 or 2 is offered wherever it is listed, the deleted-files folder included.
    EXPECT_EQ(Listing(nodes), (std::vector<std::string>{"1 /Docs/report.doc", "2 /Docs/Sub/a.txt", "3 /live.txt",
                                                         "4 /lost.jpg", "5 /report.doc", "6 /a.txt",
                                                         "7 /lost.jpg"}));
    // The raw folder keeps the made-up component; only the shown form drops it.
    EXPECT_EQ(platform::Utf8FromWide(nodes[3].folderPath), "/ERROR LOADING STRING/");
    EXPECT_EQ(nodes[0].chance, 1);
    EXPECT_EQ(nodes[0].Entry(), s.report);
}

TEST(ResultsWalk, ListOnceShowsEachEntryUnderItsOwnFolderOnly) {
    Sample s;
    app::WalkOptions options;
    options.listOnce = true;
    EXPECT_EQ(Listing(app::CollectResults(s.t.root, u"/", options)),
              (std::vector<std::string>{"1 /Docs/report.doc", "2 /Docs/Sub/a.txt", "3 /live.txt", "4 /lost.jpg"}));
    options.allChances = true;
    EXPECT_EQ(Listing(app::CollectResults(s.t.root, u"/", options)),
              (std::vector<std::string>{"1 /Docs/report.doc", "2 /Docs/old.doc", "3 /Docs/Sub/a.txt", "4 /live.txt",
                                        "5 /lost.jpg"}));
}

TEST(ResultsWalk, TypeSelectionAppliesToCandidates) {
    Sample s;
    app::WalkOptions options;
    options.listOnce = true;
    options.typeSelection = app::TYPE_IMAGES;
    EXPECT_EQ(Listing(app::CollectResults(s.t.root, u"/", options)), (std::vector<std::string>{"1 /lost.jpg"}));
    options.typeSelection = app::TYPE_DOCUMENTS;
    EXPECT_EQ(Listing(app::CollectResults(s.t.root, u"/", options)),
              (std::vector<std::string>{"1 /Docs/report.doc", "2 /Docs/Sub/a.txt", "3 /live.txt"}));
}

TEST(ResultsWalk, RatedDirectoryIsOfferedAfterItsFiles) {
    Tree t;
    SNAPSHOT_ENTRY* dir = t.Dir(u"Gone", true);
    dir->chance = 1;
    t.Add(t.root, dir);
    t.Add(dir, t.File(u"x.bin", 1));
    EXPECT_EQ(Listing(app::CollectResults(t.root, u"/", {})),
              (std::vector<std::string>{"1 /Gone/x.bin", "2 /Gone/Gone"}));
}

TEST(ResultsWalk, DirectoryListedBelowItselfEndsTheWalk) {
    Tree t;
    SNAPSHOT_ENTRY* a = t.Dir(u"A", true);
    SNAPSHOT_ENTRY* b = t.Dir(u"B", true);
    t.Add(t.root, a);
    t.Add(a, t.File(u"f.txt", 1));
    t.Add(a, b);
    t.Add(b, a);       // damaged parent links: A below B below A
    t.Add(b, t.root);  // and the root below B
    auto nodes = app::CollectResults(t.root, u"/", {});
    EXPECT_EQ(Listing(nodes), (std::vector<std::string>{"1 /A/f.txt"}));
}

TEST(ResultsWalk, StopRequestEndsTheWalkAndKeepsWhatWasFound) {
    Sample s;
    int polls = 0;
    std::vector<app::FileNodeInfo> found;
    app::WalkCallbacks callbacks;
    callbacks.stopRequested = [&polls] { return ++polls > 3; };
    callbacks.result = [&found](app::FileNodeInfo& n) { found.push_back(n); };
    int32_t counter = 0;
    EXPECT_FALSE(app::WalkResults(s.t.root, u"/", {}, callbacks, counter));
    EXPECT_EQ(Listing(found), (std::vector<std::string>{"1 /Docs/report.doc"}));
    EXPECT_EQ(counter, 1);
}

}  // namespace
