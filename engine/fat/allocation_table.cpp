// The allocation table in memory: loading the first FAT copy, the bounds of valid cluster
// numbers, counting free and used clusters, and the list of free extents.
#include <algorithm>
#include <cstdlib>

#include "engine/fat/fat_snapshot.h"
#include "engine/volume.h"

namespace {
constexpr uint32_t kFat12ReadSectors = 126;  // a multiple of 3: 12-bit pairs never straddle reads
constexpr uint32_t kReadSectors = 128;
}  // namespace

FatGeometry CFATSnapshot::Geometry() const {
    return FatGeometry{volume->fatType, volume->GetClusterSize(), validEnd};
}

void CFATSnapshot::SetBounds() {
    uint64_t end = uint64_t(volume->clusterCount) + 2;
    validEnd = uint32_t(std::min<uint64_t>(end, tableCount));
    scanEnd = std::min(volume->clusterCount, tableCount);
}

int32_t CFATSnapshot::LoadAllocationTable() {
    uint32_t fatType = volume->fatType;
    uint64_t num = 1, den = 4;
    endOfChain = 0x0FFFFFF8;
    if (fatType == FAT_12) {
        num = 2, den = 3, endOfChain = 0xFF8;
    } else if (fatType == FAT_16) {
        num = 1, den = 2, endOfChain = 0xFFF8;
    }
    uint32_t bps = volume->BytesPerSector();
    uint64_t fatBytes = uint64_t(volume->sectorsPerFat) * bps;
    uint64_t count = fatBytes * num / den + 1;
    // A FAT larger than the volume cannot be read; say so before allocating for it.
    if (fatBytes > uint64_t(volume->totalSectors) * bps || count > 0x10000002u) return SetStatus(STATUS_FAT_READ);
    tableCount = uint32_t(count);
    table = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) * count));
    if (!table) return SetStatus(STATUS_NO_MEMORY);
    table[count - 1] = 0;

    uint32_t bufferSectors = fatType == FAT_12 ? kFat12ReadSectors : kReadSectors;
    // Two spare bytes so a FAT12 piece whose length is not a multiple of 3 can finish its group.
    auto* buffer = static_cast<uint8_t*>(std::calloc(size_t(bufferSectors) * bps + 2, 1));
    if (!buffer) {
        std::free(table);
        table = nullptr;
        return SetStatus(STATUS_NO_MEMORY);
    }

    uint32_t filled = 0;
    uint32_t limit = tableCount - 1;
    uint64_t sector = volume->ReservedSectors();
    uint32_t left = volume->sectorsPerFat;
    bool ok = true;
    while (left > 0) {
        uint32_t n = std::min(left, bufferSectors);
        if (!volume->ReadSectors(buffer, sector, n) || progress->IsCancelled()) {
            ok = false;
            break;
        }
        size_t bytes = size_t(n) * bps;
        if (fatType == FAT_32) {
            for (size_t i = 0; i + 4 <= bytes && filled < limit; i += 4) table[filled++] = RawLe32(buffer + i) & kFatValueMask;
        } else if (fatType == FAT_16) {
            for (size_t i = 0; i + 2 <= bytes && filled < limit; i += 2) table[filled++] = RawLe16(buffer + i);
        } else {
            for (size_t i = 0; i < bytes && filled < limit; i += 3) {
                const uint8_t* b = buffer + i;
                table[filled++] = b[0] + 256u * (b[1] & 0x0F);
                if (filled < limit) table[filled++] = (b[1] >> 4) + 16u * b[2];
            }
        }
        sector += n;
        left -= n;
    }
    std::free(buffer);
    while (filled < limit) table[filled++] = 0;
    if (!ok) {
        std::free(table);
        table = nullptr;
        if (progress->IsCancelled()) return 0;
        return SetStatus(STATUS_FAT_READ);
    }
    SetBounds();
    return 1;
}

void CFATSnapshot::CountClusters() {
    freeCount = usedCount = 0;
    for (uint32_t c = 2; c < scanEnd; ++c) {
        if (table[c] == 0) ++freeCount;
        else ++usedCount;
    }
}

int32_t CFATSnapshot::ComputeFreeExtents() {
    ExtentList* list = ProcessExtentList();
    FreeExtentList(list);
    auto selected = [&](uint32_t c) {
        uint32_t claims = (table[c] >> 28) & 3;
        return (table[c] & kFatValueMask) == 0 && (claims == 0 || claims == 2);
    };
    uint32_t extents = 0;
    for (uint32_t c = 2; c < scanEnd; ++c)
        if (selected(c) && (c == 2 || !selected(c - 1))) ++extents;
    if (extents == 0) return 1;
    list->starts = static_cast<uint64_t*>(std::malloc(sizeof(uint64_t) * extents));
    list->lengths = static_cast<uint64_t*>(std::malloc(sizeof(uint64_t) * extents));
    if (!list->starts || !list->lengths) {
        FreeExtentList(list);
        return SetStatus(STATUS_NO_MEMORY);
    }
    uint32_t i = 0;
    for (uint32_t c = 2; c < scanEnd;) {
        if (!selected(c)) {
            ++c;
            continue;
        }
        uint32_t start = c;
        while (c < scanEnd && selected(c)) ++c;
        list->starts[i] = start;
        list->lengths[i] = c - start;
        ++i;
    }
    list->count = extents;
    return 1;
}
