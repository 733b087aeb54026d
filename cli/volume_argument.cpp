#include "cli/volume_argument.h"

#include <cstdio>

#include "app/core/partition_table.h"
#include "cli/commands.h"

namespace cli {

int ResolveVolume(const VolumeArgument& arg, ResolvedVolume& out) {
    if (arg.path.empty()) {
        std::fputs("undelete: VOLUME is empty\n", stderr);
        return kExitUsage;
    }
    bool mountPoint = arg.path.back() == '/';
    if ((arg.partition || arg.hasOffset) && mountPoint) {
        std::fprintf(stderr,
                     "undelete: --partition and --offset need a disk image or device, not the mount point %s\n",
                     arg.path.c_str());
        return kExitUsage;
    }
    if (arg.partition && arg.hasOffset) {
        std::fputs("undelete: give either --partition or --offset, not both\n", stderr);
        return kExitUsage;
    }
    out.shown = arg.path;
    if (arg.partition) {
        std::string error;
        app::PartitionTable table = app::ReadPartitionTable(arg.path, &error);
        if (table.kind == app::PartitionTable::Kind::None) {
            std::fprintf(stderr, "undelete: cannot open partition %d of %s: %s\n", arg.partition, arg.path.c_str(),
                         error.empty() ? "it holds no MBR or GPT partition table" : error.c_str());
            return kExitVolume;
        }
        for (const app::PartitionInfo& p : table.partitions) {
            if (p.number != arg.partition) continue;
            out.enginePath = arg.path + "@" + std::to_string(p.offset) + "+" + std::to_string(p.length);
            out.shown = arg.path + " partition " + std::to_string(p.number);
            return kExitOk;
        }
        std::fprintf(stderr, "undelete: cannot open partition %d of %s: its %s table has no partition %d\n",
                     arg.partition, arg.path.c_str(), app::PartitionKindName(table.kind), arg.partition);
        return kExitVolume;
    }
    if (arg.hasOffset) {
        out.enginePath = arg.path + "@" + std::to_string(arg.offset);
        out.shown = arg.path + " at offset " + std::to_string(arg.offset);
        return kExitOk;
    }
    out.enginePath = !mountPoint && arg.path.find('@') != std::string::npos ? arg.path + "@0" : arg.path;
    return kExitOk;
}

}  // namespace cli
