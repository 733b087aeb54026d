// undelete recover end to end: byte-identical copies of every file rated Excellent (named
// streams included), numbered names instead of overwriting, choosing files, and volumes
// inside whole-disk images.
#include <gtest/gtest.h>

#include "cli_helpers.h"

namespace {

namespace fs = std::filesystem;
using clitest::PathOf;

class RecoverOnImage : public ::testing::TestWithParam<std::string> {};

TEST_P(RecoverOnImage, WritesByteIdenticalCopiesOfEveryExcellentFile) {
    const std::string image = GetParam();
    fs::path dir = clitest::TempDir("recover-" + image);
    auto r = command::Undelete({"recover", fixtures::Path(image + ".img").string(), "--to", dir.string(), "--keep-paths"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    fs::path originals = fixtures::Path(image + ".files");
    int excellent = 0;
    for (const auto& j : clitest::ScanJson(image)) {
        if (j["chance"] != "Excellent") continue;
        ++excellent;
        std::string path = PathOf(j).substr(1), original = clitest::OriginalOf(image, PathOf(j));
        ASSERT_FALSE(original.empty()) << PathOf(j);
        EXPECT_TRUE(clitest::SameBytes(dir / path, originals / original.substr(1)));
        for (const auto& s : j["streams"]) {
            if (s["name"].is_null()) continue;
            std::string suffix = ":" + s["name"].get<std::string>();
            ASSERT_TRUE(fs::exists(originals / (original.substr(1) + suffix))) << original << suffix;
            EXPECT_TRUE(clitest::SameBytes(dir / (path + suffix), originals / (original.substr(1) + suffix)));
        }
    }
    EXPECT_GT(excellent, 0);
    EXPECT_NE(r.out.find(" files written, "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(", 0 failures\n"), std::string::npos) << r.out;
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Images, RecoverOnImage, ::testing::Values("fat12", "fat16", "fat32", "ntfs", "ntfs_kinds"));

TEST(RecoverCommand, NeverOverwritesAndChoosesByMatchOrNumber) {
    fs::path dir = clitest::TempDir("numbered");
    std::string img = fixtures::Path("ntfs.img").string();
    auto first = command::Undelete({"recover", img, "--to", dir.string(), "--match", "*.doc"});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(clitest::LineCount(first.out), 2) << first.out;  // one file line and the summary
    auto second = command::Undelete({"recover", img, "--to", dir.string(), "--match", "/docs/*", "--number", "4"});
    ASSERT_EQ(second.exitCode, 0) << second.err;
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    // /Docs/report.doc twice (the second time numbered), /Docs/Sub Folder/note.txt, and file 4.
    EXPECT_EQ(names, (std::set<std::string>{"report.doc", "report (1).doc", "note.txt", "thumb.bmp"}));
    EXPECT_TRUE(clitest::SameBytes(dir / "report (1).doc", dir / "report.doc"));
    EXPECT_NE(second.out.find("-> " + (dir / "report (1).doc").string() + " (20497 bytes)"), std::string::npos)
        << second.out;
    fs::remove_all(dir);
}

TEST(RecoverCommand, VolumeInsideWholeDiskImages) {
    struct Case {
        std::vector<std::string> args;
    } cases[] = {
        {{fixtures::Path("cli_mbr_disk.img").string(), "--partition", "2"}},
        {{fixtures::Path("cli_gpt_disk.img").string(), "--partition", "2"}},
        {{fixtures::Path("cli_gpt_disk.img").string(), "--offset", "2097152"}},
    };
    fs::path originals = fixtures::Path("cli_part.files");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        fs::path dir = clitest::TempDir("disk");
        std::vector<std::string> args{"recover"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.insert(args.end(), {"--to", dir.string(), "--keep-paths"});
        auto r = command::Undelete(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        // Both files are 8.3 names without a long name: shown with a lost first letter.
        EXPECT_TRUE(clitest::SameBytes(dir / "Docs/\xC3\xA5" "eport.doc", originals / "Docs/report.doc"));
        EXPECT_TRUE(clitest::SameBytes(dir / "\xC3\xA5" "hoto.jpg", originals / "photo.jpg"));
        EXPECT_NE(r.out.find("2 files written"), std::string::npos) << r.out;
        fs::remove_all(dir);
    }
}

TEST(PartitionsCommand, ListsTheTablesOfBothKinds) {
    for (const std::string disk : {"cli_mbr_disk", "cli_gpt_disk"}) {
        auto r = command::Undelete({"partitions", fixtures::Path(disk + ".img").string()});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.out.find(disk == "cli_mbr_disk" ? "partition table: MBR" : "partition table: GPT"),
                  std::string::npos);
        std::ifstream parts(fixtures::Path(disk + ".parts"));
        int n = 0;
        for (uint64_t number, offset, length; parts >> number >> offset >> length; ++n) {
            char row[64];
            std::snprintf(row, sizeof row, "%3d  %14llu  %14llu  ", int(number), (unsigned long long)offset,
                          (unsigned long long)length);
            EXPECT_NE(r.out.find(row), std::string::npos) << row << "\n" << r.out;
        }
        EXPECT_EQ(n, 2);
        EXPECT_NE(r.out.find("FAT12"), std::string::npos) << r.out;
    }
}

}  // namespace
