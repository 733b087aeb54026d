// undelete partitions IMAGE: the MBR or GPT partitions of a whole-disk image or device,
// with the file system the engine finds in each.
#include <CLI/CLI.hpp>
#include <cinttypes>
#include <cstdio>

#include "app/core/partition_table.h"
#include "cli/commands.h"
#include "cli/engine_session.h"
#include "cli/scan_options.h"
#include "engine/volume.h"
#include "platform/wide_string.h"

namespace cli {
namespace {

// The file system the engine recognises at `enginePath`, or "-".
std::string FileSystemAt(const UndeleteApi* api, const std::string& enginePath) {
    if (!api) return "-";
    VolumeAccess* volume = api->CreateVolume();
    if (!volume) return "-";
    std::string kind = "-";
    if (api->OpenVolume(volume, platform::WideFromUtf8(enginePath).c_str())) {
        static const char* kFat[] = {"FAT12", "FAT16", "FAT32"};
        if (volume->kind == FS_NTFS) kind = "NTFS";
        else if (volume->kind == FS_FAT && volume->fatType <= FAT_32) kind = kFat[volume->fatType];
        api->CloseVolume(volume);
    }
    api->DeleteVolume(volume);
    return kind;
}

}  // namespace

int RunPartitions(int argc, char** argv) {
    CLI::App app("Lists the partitions of a whole-disk image or device (MBR with logical partitions, or GPT)\n"
                 "and the file system found in each. Scan one with 'undelete scan IMAGE --partition N'.",
                 "undelete partitions");
    std::string path;
    app.add_option("IMAGE", path, "whole-disk image file or block device")->required();
    if (int rc = ParseCommandLine(app, "partitions", argc, argv); rc >= 0) return rc;

    std::string error;
    app::PartitionTable table = app::ReadPartitionTable(path, &error);
    if (!error.empty()) {
        std::fprintf(stderr, "undelete: cannot read %s: %s\n", path.c_str(), error.c_str());
        return kExitVolume;
    }
    if (table.kind == app::PartitionTable::Kind::None) {
        std::string fs = FileSystemAt(Engine(), path.find('@') != std::string::npos ? path + "@0" : path);
        if (fs != "-")
            std::fprintf(stderr, "undelete: %s holds no partition table: it is a %s volume itself\n", path.c_str(),
                         fs.c_str());
        else
            std::fprintf(stderr, "undelete: %s holds no MBR or GPT partition table\n", path.c_str());
        return kExitVolume;
    }
    std::printf("partition table: %s, %u-byte sectors\n", app::PartitionKindName(table.kind),
                unsigned(table.sectorSize));
    std::printf("%3s  %14s  %14s  %-11s  %-36s  %s\n", "No", "Offset", "Bytes", "File system", "Type", "Name");
    for (const app::PartitionInfo& p : table.partitions) {
        std::string where = path + "@" + std::to_string(p.offset) + "+" + std::to_string(p.length);
        // MBR types are short codes shown with their meaning; GPT types are shown by name
        // when known, else as the type GUID.
        std::string type = table.kind == app::PartitionTable::Kind::Mbr
                               ? p.type + (p.typeName.empty() ? "" : " " + p.typeName)
                               : (p.typeName.empty() ? p.type : p.typeName);
        std::printf("%3d  %14" PRIu64 "  %14" PRIu64 "  %-11s  %-36s  %s\n", p.number, p.offset, p.length,
                    FileSystemAt(Engine(), where).c_str(), type.c_str(), p.name.c_str());
    }
    return kExitOk;
}

}  // namespace cli
