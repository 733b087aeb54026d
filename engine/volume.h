// VolumeAccess: the engine's one way to the disk. Opens a volume device or raw image
// read-only, keeps its boot sector, recognises NTFS or FAT, derives the FAT geometry
// and reads whole sectors or clusters by number.
#pragma once
#include <cstdint>
#include <cstring>
#include "platform/device_file.h"
#include "platform/win_types.h"

enum FileSystemKind : uint32_t { FS_NONE = 0, FS_FAT = 1, FS_NTFS = 2 };
enum FatType : uint32_t { FAT_12 = 0, FAT_16 = 1, FAT_32 = 2 };

// Longest device name a volume root may turn into (prefix included).
inline constexpr size_t kMaxDeviceName = 260;

class VolumeAccess {
public:
    uint8_t bootSector[512] = {};
    uint32_t kind = FS_NONE;
    uint32_t fatType = FAT_12;
    uint32_t bytesPerCluster = 0;
    uint32_t rootDirFirstSector = 0;
    uint32_t rootDirSectors = 0;
    uint32_t sectorsPerFat = 0;
    uint32_t totalSectors = 0;
    uint32_t firstDataSector = 0;
    uint32_t dataSectors = 0;
    uint32_t clusterCount = 0;
    uint8_t ntfsVersion[2] = {0, 0};
    platform::DeviceFile* device = nullptr;  // null whenever the volume is not open

    VolumeAccess() = default;
    ~VolumeAccess() { CloseVolume(); }
    VolumeAccess(const VolumeAccess&) = delete;
    VolumeAccess& operator=(const VolumeAccess&) = delete;

    // Opens `path` (UTF-16): a path ending in "/" names a mounted volume's root and
    // opens the block device mounted there; any other path is opened as passed.
    // Records status 14, 15 or 24 on failure and leaves the object not opened.
    int32_t OpenVolume(const WCHAR* path);
    void CloseVolume();
    bool IsOpen() const { return device != nullptr; }
    uint32_t GetClusterSize() const { return bytesPerCluster; }

    // Read exactly count whole sectors / clusters; no status is recorded.
    int32_t ReadSectors(void* buffer, uint64_t firstSector, uint32_t count);
    int32_t ReadClusters(void* buffer, uint64_t firstCluster, uint32_t count);

    // Boot-sector fields, read in place (little-endian).
    uint16_t BytesPerSector() const { return Le16(11); }
    uint8_t SectorsPerCluster() const { return bootSector[13]; }
    uint16_t ReservedSectors() const { return Le16(14); }
    uint8_t NumberOfFats() const { return bootSector[16]; }
    uint16_t RootEntries() const { return Le16(17); }
    uint16_t TotalSectors16() const { return Le16(19); }
    uint16_t SectorsPerFat16() const { return Le16(22); }
    uint32_t TotalSectors32() const { return Le32(32); }
    uint32_t SectorsPerFat32() const { return Le32(36); }
    uint32_t RootCluster() const { return Le32(44); }

    uint16_t Le16(size_t off) const { return uint16_t(bootSector[off] | (bootSector[off + 1] << 8)); }
    uint32_t Le32(size_t off) const {
        uint32_t v;
        std::memcpy(&v, bootSector + off, 4);
        return v;
    }
    uint64_t Le64(size_t off) const {
        uint64_t v;
        std::memcpy(&v, bootSector + off, 8);
        return v;
    }

private:
    bool PassesFatChecks() const;
    void DeriveFatGeometry();
};
