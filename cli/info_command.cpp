// undelete info VOLUME: what kind of volume it is and its geometry.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/engine_session.h"
#include "engine/volume.h"
#include "platform/wide_string.h"

namespace cli {

int RunInfo(int argc, char** argv) {
    if (argc != 1) {
        std::fputs("usage: undelete info VOLUME\n", stderr);
        return kExitUsage;
    }
    const UndeleteApi* api = Engine();
    if (!api) {
        std::fputs("undelete: the recovery engine is not available on this system\n", stderr);
        return kExitVolume;
    }
    std::string path = argv[0];
    VolumeAccess* volume = api->CreateVolume();
    if (!volume) {
        std::fputs("undelete: out of memory\n", stderr);
        return kExitVolume;
    }
    std::u16string wide = platform::WideFromUtf8(path);
    if (!api->OpenVolume(volume, wide.c_str())) {
        std::fprintf(stderr, "undelete: cannot open %s: %s\n", path.c_str(), LastStatusText(api).c_str());
        api->DeleteVolume(volume);
        return kExitVolume;
    }
    const char* kind = "NTFS";
    uint64_t bytes = 0;
    if (volume->kind == FS_FAT) {
        static const char* kFat[] = {"FAT12", "FAT16", "FAT32"};
        kind = kFat[volume->fatType];
        bytes = uint64_t(volume->totalSectors) * volume->BytesPerSector();
    } else {
        // NTFS keeps its sector count at offset 40 of the boot sector.
        bytes = volume->Le64(40) * volume->BytesPerSector();
    }
    std::printf("file system:       %s\n", kind);
    std::printf("bytes per sector:  %u\n", unsigned(volume->BytesPerSector()));
    std::printf("bytes per cluster: %u\n", unsigned(api->GetClusterSize(volume)));
    std::printf("volume size:       %llu bytes\n", static_cast<unsigned long long>(bytes));
    if (volume->kind == FS_FAT) std::printf("clusters:          %u\n", unsigned(volume->clusterCount));
    api->CloseVolume(volume);
    api->DeleteVolume(volume);
    return kExitOk;
}

}  // namespace cli
