// Volume icons and display names on the fixture machine.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/status.h"
#include "engine/volume_icons.h"
#include "platform/string_table.h"
#include "platform/wide_string.h"

namespace fs = std::filesystem;

namespace {

const fs::path kMachine = fs::path(UNDELETE_SOURCE_DIR) / "tests/enumeration/fixtures/machine";
const int kModule = 0;

class VolumeNames : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/undelete-names-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        devRoot_ = pattern;
        ASSERT_EQ(std::system(("mkfs.fat -F 16 -n STICK -C " + devRoot_ + "/sdb 16384 >/dev/null 2>&1").c_str()), 0);
        ASSERT_EQ(std::system(("mkfs.fat -F 12 -C " + devRoot_ + "/sda1 1440 >/dev/null 2>&1").c_str()), 0);
        SetHostModule(&kModule);
        InitMessageRing();
        platform::RegisterString(&kModule, MSG_FLOPPY_35, u"3.5 floppy");
        platform::RegisterString(&kModule, MSG_LOCAL_DISK, u"Local Disk");
        platform::RegisterString(&kModule, MSG_REMOVABLE_DISK, u"Removable Disk");
    }
    static void TearDownTestSuite() {
        platform::UnregisterStrings(&kModule);
        std::error_code ec;
        fs::remove_all(devRoot_, ec);
    }
    static ListingSources Sources() {
        return ListingSources{(kMachine / "sys").string(), (kMachine / "mountinfo").string(), devRoot_};
    }
    static std::string devRoot_;
};
std::string VolumeNames::devRoot_;

TEST_F(VolumeNames, DisplayNameFollowsTheDriveType) {
    struct Case {
        std::string root, name;
    } cases[] = {
        {"/media/usb stick/", "STICK"},      // removable: its label, found through the mount point
        {"@/sdb", "STICK"},                  // the same by device node
        {"@/fd0", "3.5 floppy"},             // a floppy drive by form factor, never read
        {"/boot/efi/", "Local Disk"},        // fixed without a label
        {"@/sda10", ""},                     // fixed whose device cannot be read
        {"/mnt/share/", ""},                 // network share
        {"/nowhere/", ""},
    };
    for (Case c : cases) {
        if (c.root[0] == '@') c.root = devRoot_ + c.root.substr(1);
        SCOPED_TRACE(c.root);
        WCHAR name[kDisplayNameChars];
        name[0] = u'?';
        std::u16string root = platform::WideFromUtf8(c.root);
        GetVolumeDisplayNameFrom(root.c_str(), name, Sources());
        EXPECT_EQ(platform::Utf8FromWide(name), c.name);
    }
}

TEST_F(VolumeNames, IconsAreFreedesktopNames) {
    std::u16string floppy = platform::WideFromUtf8(devRoot_ + "/fd0");
    std::u16string stick = platform::WideFromUtf8(devRoot_ + "/sdb");
    struct Case {
        const char16_t* root;
        uint32_t type;
        std::string icon;
    } cases[] = {
        {floppy.c_str(), 2, "media-floppy"}, {stick.c_str(), 2, "drive-removable-media"},
        {u"/", 3, "drive-harddisk"},         {u"/mnt/share/", 4, "network-server"},
        {u"/", 5, "drive-optical"},          {u"/", 6, "drive-harddisk"},
        {nullptr, 2, "drive-removable-media"}, {u"/", 9, "drive-harddisk"},
    };
    for (const Case& c : cases) {
        HICON icon = GetVolumeIconFrom(c.root, c.type, 1, 1, Sources());
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(std::string(icon), c.icon) << c.type;
    }
}

}  // namespace
