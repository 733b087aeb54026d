// The VOLUME argument of scan and recover, with --partition N or --offset BYTES.
//
// The engine opens a volume path as given; a volume inside a larger file or device is
// named "PATH@OFFSET+LENGTH" (bytes), which its device layer reads as a window. So
// --partition N reads the MBR or GPT of PATH and passes "PATH@START+LENGTH" of that
// partition; --offset BYTES passes "PATH@BYTES" (to the end). A plain path that itself
// holds "@" is passed as "PATH@0" so it is never taken for a window. No engine slot is
// involved.
#pragma once
#include <cstdint>
#include <string>

namespace cli {

struct VolumeArgument {
    std::string path;     // as the user wrote it
    int partition = 0;    // 0: none
    bool hasOffset = false;
    uint64_t offset = 0;
};

struct ResolvedVolume {
    std::string enginePath;  // what OpenVolume gets (UTF-8)
    std::string shown;       // how messages name the volume
};

// Fills `out`, or returns the exit code of the failure after printing one line.
// 0 on success.
int ResolveVolume(const VolumeArgument& arg, ResolvedVolume& out);

}  // namespace cli
