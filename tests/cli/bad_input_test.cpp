// Bad input: each failure gives its exit code and one clear line on standard error.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include "cli_helpers.h"

namespace {

namespace fs = std::filesystem;

struct BadCase {
    const char* what;
    std::vector<std::string> args;
    int exitCode;
    std::vector<std::string> says;  // pieces the one line holds
};

void Check(const BadCase& c) {
    SCOPED_TRACE(c.what);
    auto r = command::Undelete(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    EXPECT_EQ(clitest::LineCount(r.err), 1) << r.err;
    EXPECT_EQ(r.err.rfind("undelete", 0), 0u) << r.err;
    for (const std::string& piece : c.says) EXPECT_NE(r.err.find(piece), std::string::npos) << piece << " in " << r.err;
    EXPECT_EQ(r.out, "");
}

TEST(BadInput, EachGivesItsExitCodeAndOneClearLine) {
    std::string random = fixtures::Path("random.img").string();
    std::string folder = fixtures::Dir().string();
    fs::path out = clitest::TempDir("bad");
    const BadCase cases[] = {
        {"missing path", {"scan", "/no/such/volume.img"}, 3,
         {"cannot open /no/such/volume.img", "status 14", "No such file or directory"}},
        {"a folder", {"scan", folder}, 3, {"cannot open " + folder, "status 14", "Is a directory"}},
        {"random bytes", {"recover", random, "--to", out.string()}, 3,
         {"cannot open " + random, "status 24: not an NTFS or FAT volume"}},
        {"FAT cut in its table", {"scan", fixtures::Path("cli_cut_fat.img").string()}, 3,
         {"cli_cut_fat.img", "status 25"}},
        {"NTFS cut in its table", {"scan", fixtures::Path("cli_cut_ntfs.img").string()}, 3,
         {"cannot scan", "cli_cut_ntfs.img", "status 6: the master file table cannot be read"}},
        {"unknown option", {"scan", random, "--bogus"}, 2, {"scan", "--bogus"}},
        {"unknown command", {"scram"}, 2, {"unknown command \"scram\""}},
        {"unknown type", {"scan", random, "--types", "images,pictures"}, 2, {"\"pictures\""}},
        {"no such partition", {"scan", fixtures::Path("cli_mbr_disk.img").string(), "--partition", "3"}, 3,
         {"partition 3", "no partition 3"}},
        {"partition of a plain volume", {"scan", random, "--partition", "1"}, 3, {"no MBR or GPT partition table"}},
        {"recover without --to", {"recover", random}, 2, {"--to"}},
    };
    for (const BadCase& c : cases) Check(c);
    fs::remove_all(out);
}

// A destination inside a mount of the scanned image (FUSE, as ntfs-3g mounts it), and
// inside the mount point given as the volume, is refused before anything is read.
TEST(BadInput, DestinationOnTheScannedVolumeIsRefused) {
    fs::path work = clitest::TempDir("samevol");
    fs::path image = work / "copy.img", mnt = work / "mnt";
    fs::copy_file(fixtures::Path("ntfs.img"), image);
    fs::create_directories(mnt);
    auto mount = command::Run("/usr/bin/ntfs-3g", {image.string(), mnt.string()});
    if (mount.exitCode != 0) GTEST_SKIP() << "ntfs-3g cannot mount here: " << mount.err;
    const BadCase cases[] = {
        {"inside a mount of the image", {"recover", image.string(), "--to", (mnt / "out").string()}, 2,
         {"refusing to write to " + (mnt / "out").string(), "scanned image"}},
        {"inside the mount point scanned", {"recover", mnt.string() + "/", "--to", (mnt / "out").string()}, 2,
         {"refusing to write to " + (mnt / "out").string(), "scanned volume"}},
    };
    for (const BadCase& c : cases) Check(c);
    EXPECT_FALSE(fs::exists(mnt / "out"));
    command::Run("/usr/bin/fusermount", {"-u", mnt.string()});
    fs::remove_all(work);
}

}  // namespace
