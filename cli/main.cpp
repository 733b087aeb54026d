// The undelete command: finds deleted files on NTFS and FAT volumes and writes them back.
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/commands.h"

namespace {
void Usage(FILE* out) {
    std::fputs(
        "usage: undelete COMMAND [ARGS]\n"
        "commands:\n"
        "  scan VOLUME [--types LIST] [--all-chances] [--json]\n"
        "                   list the deleted files that can be recovered\n"
        "  recover VOLUME --to DIR [--keep-paths] [--match GLOB]... [--number N]...\n"
        "                   write deleted files into DIR (never onto VOLUME)\n"
        "  info VOLUME      file system, sector and cluster size and volume size\n"
        "  partitions IMAGE the partitions of a whole-disk image or device\n"
        "  volumes [--json] the fixed and removable volumes of this machine\n"
        "VOLUME is a block device, a mount point ending in \"/\", or an image file; a volume\n"
        "inside a whole-disk image or device is chosen with --partition N or --offset BYTES.\n"
        "'undelete COMMAND --help' tells more. Exit codes: 0 done, 1 some files failed,\n"
        "2 usage error, 3 the volume could not be opened or scanned, 130 cancelled.\n",
        out);
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        Usage(stderr);
        return cli::kExitUsage;
    }
    std::string command = argv[1];
    if (command == "-h" || command == "--help" || command == "help") {
        Usage(stdout);
        return 0;
    }
    if (command == "info") return cli::RunInfo(argc - 2, argv + 2);
    if (command == "scan") return cli::RunScan(argc - 2, argv + 2);
    if (command == "recover") return cli::RunRecover(argc - 2, argv + 2);
    if (command == "partitions") return cli::RunPartitions(argc - 2, argv + 2);
    if (command == "volumes") return cli::RunVolumes(argc - 2, argv + 2);
    std::fprintf(stderr, "undelete: unknown command \"%s\" (see undelete --help)\n", command.c_str());
    return cli::kExitUsage;
}
