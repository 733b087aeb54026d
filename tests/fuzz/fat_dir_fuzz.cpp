// libFuzzer target over FAT directory data: the input's first bytes choose the FAT type and
// seed a small allocation table, the rest is directory clusters. It exercises the cluster
// recogniser, the chain walks of the table (progress credit, live run lists), directory
// decoding with long names, and the release of everything decoded.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/fat/fat_snapshot.h"
#include "engine/volume.h"

namespace {
constexpr uint32_t kClusters = 64;
constexpr uint32_t kClusterSize = 512;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 + kClusters) return 0;
    VolumeAccess volume;
    volume.kind = FS_FAT;
    volume.fatType = data[0] % 3;
    volume.bytesPerCluster = kClusterSize;
    volume.clusterCount = kClusters - 2;
    CSnapshotProgressDlgTmpl progress(nullptr, 0);  // no callback: every report is dropped
    CFATSnapshot snapshot(&volume);
    snapshot.progress = &progress;
    snapshot.options = data[0] & 0x80 ? SNAP_LIVE_FILES : 0;
    snapshot.tableCount = kClusters;
    snapshot.table = static_cast<uint32_t*>(std::calloc(kClusters, sizeof(uint32_t)));
    snapshot.endOfChain = volume.fatType == FAT_12 ? 0xFF8 : volume.fatType == FAT_16 ? 0xFFF8 : 0x0FFFFFF8;
    // Table values: small numbers make chains (loops included), 0xFF ends them.
    for (uint32_t c = 0; c < kClusters; ++c) {
        uint8_t v = data[1 + c];
        snapshot.table[c] = v == 0xFF ? snapshot.endOfChain : v % (kClusters + 4);
    }
    snapshot.SetBounds();
    snapshot.usedCount = kClusters;

    const uint8_t* dir = data + 1 + kClusters;
    size_t bytes = size - 1 - kClusters;
    FatGeometry geometry = snapshot.Geometry();
    for (size_t off = 0; off + kClusterSize <= bytes; off += kClusterSize) {
        uint32_t flags = 0;
        IsDirectoryCluster(dir + off, kClusterSize, geometry, &flags);
    }
    IsDirectoryCluster(dir, bytes, geometry, nullptr);
    if (bytes >= kClusterSize) {
        snapshot.NextClusterGuess(dir, 0, CFATSnapshot::GUESS_CLUSTER_TABLE);
        snapshot.NextClusterGuess(dir, 1, CFATSnapshot::GUESS_DISK);  // no device: every read fails
    }

    // Decode a private copy, with directory entries tied as the walks tie them.
    auto* copy = static_cast<uint8_t*>(std::malloc(bytes ? bytes : 1));
    if (bytes) std::memcpy(copy, dir, bytes);
    for (size_t p = 0; p + kDirEntrySize <= bytes; p += kDirEntrySize) {
        uint8_t* e = copy + p;
        if (e[0] == DIRENT_END) break;
        uint32_t index = 0;
        if (RawIsDirectory(e) && !snapshot.SkipEntry(e, false)) snapshot.TieNewDirectory(e, &index);
    }
    SNAPSHOT_ENTRY* parent = NewSnapshotEntry();
    parent->isDirectory = 1;
    if (snapshot.DecodeDirectory(copy, bytes, (data[0] & 0x40) != 0, false, &parent->children, &parent->childCount)) {
        snapshot.RateTree(parent, CFATSnapshot::RATE_CLAIM);
        snapshot.RateTree(parent, CFATSnapshot::RATE_RATE);
        snapshot.BuildStreams(parent);
        snapshot.NumberDuplicateNames(parent);
        snapshot.ReleaseRunList();
    }
    ReleaseFatTree(parent);
    snapshot.ReleaseWalkState();
    std::free(copy);
    return 0;
}
