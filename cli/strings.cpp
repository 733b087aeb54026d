#include "cli/strings.h"

#include "engine/status.h"
#include "platform/string_table.h"

namespace cli {
namespace {
const char kModuleTag = 0;

struct Text {
    unsigned id;
    const char16_t* text;
};

constexpr Text kTexts[] = {
    {STATUS_NO_MEMORY, u"out of memory"},
    {STATUS_MFT_READ, u"the master file table cannot be read"},
    {STATUS_MFT_RECORD0, u"the master file table's own record is damaged"},
    {STATUS_NO_ROOT, u"the root folder was not found; a new one was made"},
    {STATUS_NOT_NTFS, u"not an NTFS volume"},
    {STATUS_NOT_OPEN, u"the volume is not open"},
    {STATUS_OPEN_FAILED, u"the volume cannot be opened"},
    {STATUS_BOOT_READ, u"the boot sector cannot be read"},
    {STATUS_UNKNOWN_FS, u"not an NTFS or FAT volume"},
    {STATUS_FAT_READ, u"the file allocation table cannot be read"},
    {STATUS_CLUSTER_READ, u"directory or cluster data cannot be read"},
    {STATUS_NOT_FAT, u"not a FAT volume"},
    {STATUS_NO_BITMAP, u"the cluster bitmap was not found"},
    {STATUS_BITMAP_NO_DATA, u"the cluster bitmap has no data"},
    {STATUS_BITMAP_READ, u"the cluster bitmap cannot be read"},
    {MSG_NTFS_START, u"Reading the master file table"},
    {MSG_FAT_STEP_1, u"Reading the file allocation table"},
    {MSG_FAT_STEP_2, u"Reading folders"},
    {MSG_FAT_STEP_3, u"Reading deleted folders"},
    {MSG_FAT_STEP_4, u"Searching free space for lost folders"},
    {MSG_FAT_REUSE_QUESTION, u"Use the folder clusters found by the previous deep scan?"},
    {MSG_FAT_STEP_5, u"Rating deleted files"},
    {MSG_FLOPPY_35, u"3\u00bd-inch floppy disk"},
    {MSG_FLOPPY_525, u"5\u00bc-inch floppy disk"},
    {MSG_CDROM, u"CD drive"},
    {MSG_LOCAL_DISK, u"Local disk"},
    {MSG_REMOVABLE_DISK, u"Removable disk"},
    {MSG_NTFS_TREE, u"Building the folder tree"},
    {MSG_DIR_CLUSTERS_ONE, u"%d folder cluster found"},
    {MSG_DIR_CLUSTERS_MANY, u"%d folder clusters found"},
    {MSG_MFT_PARTIAL_QUESTION, u"Part of the master file table cannot be read. Go on with the part already read?"},
};
}  // namespace

HMODULE CommandModule() { return &kModuleTag; }

void RegisterCommandStrings() {
    for (const Text& t : kTexts) platform::RegisterString(CommandModule(), t.id, t.text);
}

}  // namespace cli
