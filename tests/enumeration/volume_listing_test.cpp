// The volume listing on a fixture machine (sysfs tree, mountinfo and device images made
// by mkfs.fat), and on this machine with an image attached to a loop device.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/enumeration.h"
#include "engine/volume_listing.h"
#include "platform/wide_string.h"
#include "support/run_command.h"

namespace fs = std::filesystem;
using platform::Utf8FromWide;

namespace {

const fs::path kMachine = fs::path(UNDELETE_SOURCE_DIR) / "tests/enumeration/fixtures/machine";

bool Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// Device nodes of the fixture machine: sdb holds a FAT16 volume "STICK", fd0 a FAT12
// volume "FLOPPY" that the listing must never read; the other nodes are missing.
class FixtureMachine : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/undelete-devroot-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        devRoot_ = pattern;
        ASSERT_TRUE(Shell("mkfs.fat -F 16 -n STICK -C " + devRoot_ + "/sdb 16384"));
        ASSERT_TRUE(Shell("mkfs.fat -F 12 -n FLOPPY -C " + devRoot_ + "/fd0 1440"));
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(devRoot_, ec);
    }
    static ListingSources Sources() {
        ListingSources s;
        s.sysRoot = (kMachine / "sys").string();
        s.mountinfo = (kMachine / "mountinfo").string();
        s.devRoot = devRoot_;
        return s;
    }
    static std::vector<VolumeDetails> List(uint32_t* statusOut = nullptr) {
        uint16_t count = 0xFFFF;
        uint32_t status = 99;
        VolumeDetails* list = EnumerateVolumesFrom(Sources(), &count, &status);
        std::vector<VolumeDetails> out(list, list + (list ? count : 0));
        FreeVolumeList(list);
        if (statusOut) *statusOut = status;
        return out;
    }
    static std::string devRoot_;
};
std::string FixtureMachine::devRoot_;

const VolumeDetails* Find(const std::vector<VolumeDetails>& list, const std::string& volumeName) {
    for (const VolumeDetails& v : list)
        if (Utf8FromWide(v.volumeName) == volumeName) return &v;
    return nullptr;
}

TEST_F(FixtureMachine, ListsFixedAndRemovableVolumesInSystemOrder) {
    uint32_t status = 99;
    std::vector<VolumeDetails> list = List(&status);
    EXPECT_EQ(status, 0u);
    std::vector<std::string> names;
    for (const VolumeDetails& v : list) names.push_back(Utf8FromWide(v.volumeName).substr(devRoot_.size() + 1));
    // Left out: CD-ROM sr0, loop0 (no backing file), ram0, zram0, disks with partitions
    // (sda, nvme0n1) and the extended-partition container sda3.
    std::vector<std::string> expected = {"fd0", "loop1", "nvme0n1p1", "sda1", "sda2", "sda5", "sda10", "sdb"};
    EXPECT_EQ(names, expected);
}

TEST_F(FixtureMachine, RecordsFollowTheListingRules) {
    std::vector<VolumeDetails> list = List();
    const std::string dev = devRoot_ + "/";
    struct Case {
        std::string node, mountPath, fileSystem, label;
        uint32_t driveType;
        bool totalKnown, freeKnown;
    } cases[] = {
        // A floppy is listed as removable without being read: nothing probed, no sizes.
        {"fd0", "", "", "", 2, false, false},
        // Mounted twice: the first mount point, with its trailing "/" (and its blank unescaped).
        {"sdb", "/media/usb stick/", "FAT16", "STICK", 2, true, false},
        // Mounted at "/": statvfs answers both sizes.
        {"sda2", "/", "", "", 3, true, true},
        // Only a subfolder of it is bound somewhere: not mounted; capacity from sysfs.
        {"sda5", "", "", "", 3, true, false},
        {"sda10", "", "", "", 3, true, false},
        // Matched by its source where the device number is the file system's own.
        {"nvme0n1p1", "/mnt/fixture-home/", "", "", 3, true, false},
        {"loop1", "", "", "", 3, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.node);
        const VolumeDetails* v = Find(list, dev + c.node);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(Utf8FromWide(v->mountPath), c.mountPath);
        EXPECT_EQ(Utf8FromWide(v->fileSystemName), c.fileSystem);
        EXPECT_EQ(Utf8FromWide(v->volumeLabel), c.label);
        EXPECT_EQ(v->driveType, c.driveType);
        EXPECT_EQ(v->totalBytes != kUnknownSize, c.totalKnown);
        EXPECT_EQ(v->freeBytes != kUnknownSize, c.freeKnown);
    }
    EXPECT_EQ(Find(list, dev + "sda10")->totalBytes, 100000ull * 512);
    EXPECT_EQ(Find(list, dev + "sdb")->totalBytes, 131072ull * 512);
}

TEST_F(FixtureMachine, MissingSysfsGivesItsErrorAndNoList) {
    ListingSources s = Sources();
    s.sysRoot = devRoot_ + "/no-such-sys";
    uint16_t count = 7;
    uint32_t status = 0;
    EXPECT_EQ(EnumerateVolumesFrom(s, &count, &status), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(status, 2u);  // file not found
}

TEST_F(FixtureMachine, MissingMountTableListsEverythingUnmounted) {
    ListingSources s = Sources();
    s.mountinfo = devRoot_ + "/no-such-mountinfo";
    uint16_t count = 0;
    uint32_t status = 99;
    VolumeDetails* list = EnumerateVolumesFrom(s, &count, &status);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(status, 0u);
    for (int i = 0; i < count; ++i) EXPECT_EQ(list[i].mountPath[0], 0);
    FreeVolumeList(list);
}

// A device the process may not open leaves label and file system empty; the listing goes on.
TEST_F(FixtureMachine, DeviceNeedingPrivilegesLeavesLabelAndFileSystemEmpty) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to drop to another user";
    ASSERT_TRUE(Shell("chmod 0600 " + devRoot_ + "/sdb"));
    ASSERT_TRUE(Shell("chmod 0755 " + devRoot_));
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0) _exit(3);
        std::vector<VolumeDetails> list = List();
        const VolumeDetails* v = Find(list, devRoot_ + "/sdb");
        if (!v) _exit(4);
        bool ok = v->fileSystemName[0] == 0 && v->volumeLabel[0] == 0 && v->driveType == 2 &&
                  Utf8FromWide(v->mountPath) == "/media/usb stick/";
        _exit(ok ? 0 : 5);
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    Shell("chmod 0644 " + devRoot_ + "/sdb");
    ASSERT_TRUE(WIFEXITED(wstatus));
    EXPECT_EQ(WEXITSTATUS(wstatus), 0) << "3: could not drop privileges, 4: sdb not listed, 5: wrong record";
}

TEST(FileSystemNames, AsTheSystemNamesThem) {
    struct Case {
        const char* type;
        const char* version;
        const char16_t* name;
    } cases[] = {
        {"ntfs", "", u"NTFS"},   {"vfat", "FAT12", u"FAT12"}, {"vfat", "FAT16", u"FAT16"},
        {"vfat", "FAT32", u"FAT32"}, {"exfat", "1.0", u"exFAT"}, {"ext4", "1.0", u"ext4"},
    };
    for (const Case& c : cases) EXPECT_EQ(FileSystemDisplayName(c.type, c.version), c.name) << c.type;
}

// This machine: an image attached to a loop device is listed with its file system and label.
class LoopDevice : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/undelete-loop-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        image_ = dir_ + "/fat.img";
        ASSERT_TRUE(Shell("mkfs.fat -F 16 -n LOOPTEST -C " + image_ + " 16384"));
        FILE* p = popen(("losetup -f --show " + image_ + " 2>/dev/null").c_str(), "r");
        char line[256] = {};
        if (p) {
            if (!std::fgets(line, sizeof line, p)) line[0] = 0;
            pclose(p);
        }
        device_ = line;
        while (!device_.empty() && (device_.back() == '\n' || device_.back() == ' ')) device_.pop_back();
        if (device_.empty())
            GTEST_SKIP() << "this machine cannot attach a loop device (losetup -f --show failed: no root, "
                            "no /dev/loop-control or no free loop device)";
    }
    void TearDown() override {
        if (!device_.empty()) Shell("losetup -d " + device_);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string dir_, image_, device_;
};

TEST_F(LoopDevice, IsListedWithItsFileSystemAndLabel) {
    uint16_t count = 0;
    uint32_t status = 99;
    VolumeDetails* list = EnumerateVolumes(&count, &status);
    EXPECT_EQ(status, 0u);
    const VolumeDetails* found = nullptr;
    for (int i = 0; i < count; ++i)
        if (Utf8FromWide(list[i].volumeName) == device_) found = &list[i];
    ASSERT_NE(found, nullptr) << device_ << " not listed";
    EXPECT_EQ(Utf8FromWide(found->fileSystemName), "FAT16");
    EXPECT_EQ(Utf8FromWide(found->volumeLabel), "LOOPTEST");
    EXPECT_EQ(found->driveType, 3u);
    EXPECT_EQ(found->mountPath[0], 0);
    EXPECT_EQ(found->totalBytes, 16384ull * 1024);
    EXPECT_EQ(found->freeBytes, kUnknownSize);
    FreeVolumeList(list);
}

// The volumes command shows the same device as a table row and in its JSON.
TEST_F(LoopDevice, VolumesCommandShowsIt) {
    command::Result table = command::Undelete({"volumes"});
    ASSERT_EQ(table.exitCode, 0) << table.err;
    EXPECT_NE(table.out.find("DEVICE"), std::string::npos);
    bool row = false;
    for (size_t at = 0, end; at < table.out.size(); at = end + 1) {
        end = table.out.find('\n', at);
        if (end == std::string::npos) end = table.out.size();
        std::string line = table.out.substr(at, end - at);
        if (line.rfind(device_ + " ", 0) == 0)
            row = line.find("FAT16") != std::string::npos && line.find("LOOPTEST") != std::string::npos &&
                  line.find("fixed") != std::string::npos && line.find("16.0 MiB") != std::string::npos;
    }
    EXPECT_TRUE(row) << table.out;

    command::Result json = command::Undelete({"volumes", "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    nlohmann::json list = nlohmann::json::parse(json.out);
    bool found = false;
    for (const auto& v : list) {
        if (v["device"] != device_) continue;
        found = true;
        EXPECT_EQ(v["file_system"], "FAT16");
        EXPECT_EQ(v["label"], "LOOPTEST");
        EXPECT_EQ(v["type"], "fixed");
        EXPECT_TRUE(v["mount_point"].is_null());
        EXPECT_EQ(v["total_bytes"], 16384ull * 1024);
        EXPECT_TRUE(v["free_bytes"].is_null());
    }
    EXPECT_TRUE(found) << json.out;
}

}  // namespace
