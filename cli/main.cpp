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
        "  info VOLUME      file system, sector and cluster size and volume size\n"
        "VOLUME is a block device, a mount point ending in \"/\", or an image file.\n",
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
    std::fprintf(stderr, "undelete: unknown command \"%s\"\n", command.c_str());
    Usage(stderr);
    return cli::kExitUsage;
}
