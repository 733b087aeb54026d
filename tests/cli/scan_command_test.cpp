// undelete scan end to end on the fixture images of both file systems.
#include <gtest/gtest.h>

#include <unistd.h>

#include "cli_helpers.h"

namespace {

using clitest::PathOf;

class ScanOnImage : public ::testing::TestWithParam<std::string> {};

TEST_P(ScanOnImage, ListsEveryDeletedFileOnceAsJson) {
    const std::string image = GetParam();
    auto rows = clitest::ScanJson(image);
    std::set<std::string> listed;
    int number = 0;
    for (const auto& j : rows) {
        EXPECT_EQ(j["number"].get<int>(), ++number);
        for (const char* field : {"name", "folder", "size", "chance", "created", "modified", "encrypted", "streams"})
            EXPECT_TRUE(j.contains(field)) << field << " in " << j.dump();
        EXPECT_TRUE(j["chance"] == "Excellent" || j["chance"] == "Good") << j.dump();
        EXPECT_TRUE(listed.insert(clitest::OriginalOf(image, PathOf(j))).second) << "listed twice: " << PathOf(j);
        if (!j["modified"].is_null()) {
            EXPECT_EQ(j["modified"].get<std::string>().back(), 'Z');
        }
    }
    EXPECT_EQ(listed, clitest::DeletedFiles(image));
}

TEST_P(ScanOnImage, TypesKeepOnlyTheChosenCategories) {
    const std::string image = GetParam();
    std::set<std::string> images, documents;
    for (const auto& j : clitest::ScanJson(image, {"--types", "images"})) images.insert(clitest::OriginalOf(image, PathOf(j)));
    EXPECT_EQ(images, std::set<std::string>{"/Photos/thumb.bmp"});
    for (const auto& j : clitest::ScanJson(image, {"--types", "documents,video"}))
        documents.insert(clitest::OriginalOf(image, PathOf(j)));
    std::set<std::string> want = clitest::DeletedFiles(image);
    want.erase("/Photos/thumb.bmp");
    EXPECT_EQ(documents, want);
}

INSTANTIATE_TEST_SUITE_P(Images, ScanOnImage, ::testing::Values("fat12", "fat16", "fat32", "ntfs"));

TEST(ScanCommand, TextListingHasOneRowPerFileAndASummary) {
    auto r = command::Undelete({"scan", fixtures::Path("ntfs.img").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("    No  Chance", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("  Excellent         20497  "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("/Docs/report.doc\n"), std::string::npos);
    EXPECT_EQ(clitest::LineCount(r.out), 1 + 7 + 1);
    EXPECT_NE(r.out.find("\n7 files found on "), std::string::npos);
    EXPECT_EQ(r.err, "");  // no progress without a terminal
}

TEST(ScanCommand, NamedStreamsAreListedWithTheirSizes) {
    for (const auto& j : clitest::ScanJson("ntfs_kinds")) {
        if (PathOf(j) != "/streams.bin") continue;
        std::set<std::pair<std::string, int64_t>> streams;
        for (const auto& s : j["streams"])
            streams.insert({s["name"].is_null() ? "" : s["name"].get<std::string>(), s["size"].get<int64_t>()});
        auto size = [](const std::string& p) {
            return int64_t(std::filesystem::file_size(fixtures::Path("ntfs_kinds.files") / p));
        };
        EXPECT_EQ(streams, (std::set<std::pair<std::string, int64_t>>{{"", size("streams.bin")},
                                                                       {"alt", size("streams.bin:alt")},
                                                                       {"note", size("streams.bin:note")}}));
        return;
    }
    ADD_FAILURE() << "streams.bin not listed";
}

TEST(ScanCommand, ProgressOnRequestWithoutATerminal) {
    auto r = command::Undelete({"scan", fixtures::Path("ntfs.img").string(), "--progress"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err.rfind("progress: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("Reading the master file table"), std::string::npos) << r.err;
}

}  // namespace
