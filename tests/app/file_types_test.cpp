// The file-type test of the results walk, and the path rules the writer and the lists use.
#include <gtest/gtest.h>

#include "app/core/file_types.h"
#include "app/core/result_paths.h"
#include "platform/wide_string.h"

namespace {

TEST(FileTypes, TypeSelectionDecidesWhichNamesPass) {
    struct Case {
        int32_t selection;
        const char16_t* name;
        bool passes;
    } cases[] = {
        {1, u"anything.exe", true},
        {11111, u"setup.exe", true},
        {11110, u"setup.exe", false},
        {11110, u"a.bmp", true},
        {11110, u"a.mp4", true},
        {11110, u"a.wav", true},
        {11110, u"a.pptx", true},
        {10, u"photo.jpg", true},
        {10, u"PHOTO.JPG", true},
        {10, u"a.bm", true},   // a piece of the Images caption
        {10, u"a.if", true},
        {10, u"notes.txt", false},
        {10, u"bmp", true},    // no dot: the whole name is looked for
        {10, u"readme", false},
        {1000, u"a.mp", true},
        {0, u"name.", true},   // nothing chosen: only an empty extension passes
        {0, u"name.txt", false},
        {10000, u"report.doc", true},
        {10000, u"photo.jpg", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(app::PassesTypeSelection(c.name, c.selection), c.passes)
            << c.selection << " " << platform::Utf8FromWide(c.name);
    }
}

TEST(FileTypes, PatternJoinsCaptionsInCategoryOrder) {
    EXPECT_EQ(app::TypePattern(10010), std::u16string(app::kCaptionImages) + std::u16string(app::kCaptionDocument));
    EXPECT_EQ(app::TypePattern(1), u"");
    EXPECT_STREQ(app::ChanceWord(1), "Excellent");
    EXPECT_STREQ(app::ChanceWord(4), "None");
}

TEST(ResultPaths, MadeUpFoldersNumberedNamesAndSafeComponents) {
    EXPECT_EQ(app::RemoveMadeUpFolders(u"/ERROR LOADING STRING/a/ERROR LOADING STRING/"), u"/a/");
    EXPECT_EQ(app::RemoveMadeUpFolders(u"/ERROR LOADING STRINGS/"), u"/ERROR LOADING STRINGS/");
    EXPECT_EQ(app::NumberedName(u"report.doc", 2), u"report (2).doc");
    EXPECT_EQ(app::NumberedName(u"archive.tar.gz", 1), u"archive.tar.gz (1)");
    EXPECT_EQ(app::NumberedName(u"noext", 3), u"noext (3)");
    EXPECT_EQ(app::SafeComponent(u".."), u"_..");
    EXPECT_EQ(app::SafeComponent(u"."), u"_.");
    EXPECT_EQ(app::SafeComponent(u""), u"_");
    EXPECT_EQ(app::SafeComponent(u"a/../b"), u"a_.._b");
    EXPECT_EQ(app::SafeComponent(u"ok name.txt"), u"ok name.txt");
}

}  // namespace
