#include "engine/volume.h"

#include <string>

#include "engine/status.h"
#include "platform/last_error.h"
#include "platform/wide_string.h"

int32_t VolumeAccess::OpenVolume(const WCHAR* path) {
    CloseVolume();
    kind = FS_NONE;
    std::string name = platform::Utf8FromWide(path);
    if (name.empty()) {
        platform::SetLastError(ERROR_PATH_NOT_FOUND_CODE);
        return SetStatusWithSystemError(STATUS_OPEN_FAILED);
    }
    if (name.back() == '/') {
        // A volume root: the block device mounted there.
        if (name.size() > kMaxDeviceName) {
            platform::SetLastError(ERROR_FILENAME_EXCED_RANGE_CODE);
            return SetStatusWithSystemError(STATUS_OPEN_FAILED);
        }
        name = platform::DeviceForMountPoint(name);
        if (name.empty()) return SetStatusWithSystemError(STATUS_OPEN_FAILED);
        if (name.size() > kMaxDeviceName) {
            platform::SetLastError(ERROR_FILENAME_EXCED_RANGE_CODE);
            return SetStatusWithSystemError(STATUS_OPEN_FAILED);
        }
    }
    device = platform::DeviceFile::Open(name);
    if (!device) return SetStatusWithSystemError(STATUS_OPEN_FAILED);

    // Bytes per sector is preset to 512 so that sector 0 can be read.
    bootSector[11] = 0x00;
    bootSector[12] = 0x02;
    if (!ReadSectors(bootSector, 0, 1)) {
        SetStatusWithSystemError(STATUS_BOOT_READ);
        CloseVolume();
        return 0;
    }
    bytesPerCluster = uint32_t(SectorsPerCluster()) * BytesPerSector();

    if (std::memcmp(bootSector + 3, "NTFS    ", 8) == 0) {
        kind = FS_NTFS;
        return 1;
    }
    if (!PassesFatChecks()) {
        CloseVolume();
        return SetStatus(STATUS_UNKNOWN_FS);
    }
    DeriveFatGeometry();
    kind = FS_FAT;
    return 1;
}

bool VolumeAccess::PassesFatChecks() const {
    if (bootSector[0] != 0xEB && bootSector[0] != 0xE9) return false;
    if (BytesPerSector() == 0 || SectorsPerCluster() == 0 || NumberOfFats() == 0) return false;
    bool small = TotalSectors16() != 0, large = TotalSectors32() != 0;
    return small != large;
}

void VolumeAccess::DeriveFatGeometry() {
    uint32_t bps = BytesPerSector();
    rootDirSectors = (uint32_t(RootEntries()) * 32 + bps - 1) / bps;
    sectorsPerFat = SectorsPerFat16() ? SectorsPerFat16() : SectorsPerFat32();
    totalSectors = TotalSectors16() ? TotalSectors16() : TotalSectors32();
    uint32_t fatSectors = uint32_t(NumberOfFats()) * sectorsPerFat;
    firstDataSector = ReservedSectors() + fatSectors + rootDirSectors;
    // A damaged boot sector may describe more metadata than sectors; the data area is then empty.
    uint32_t meta = ReservedSectors() + fatSectors + rootDirSectors;
    dataSectors = totalSectors > meta ? totalSectors - meta : 0;
    clusterCount = dataSectors / SectorsPerCluster();
    fatType = clusterCount < 4085 ? FAT_12 : (clusterCount < 65525 ? FAT_16 : FAT_32);
    if (fatType == FAT_32)
        rootDirFirstSector = (RootCluster() - 2) * SectorsPerCluster() + firstDataSector;
    else
        rootDirFirstSector = ReservedSectors() + uint32_t(NumberOfFats()) * SectorsPerFat16();
}

void VolumeAccess::CloseVolume() {
    delete device;
    device = nullptr;
}

int32_t VolumeAccess::ReadSectors(void* buffer, uint64_t firstSector, uint32_t count) {
    if (!device) {
        platform::SetLastError(ERROR_INVALID_HANDLE_CODE);
        return 0;
    }
    uint64_t bps = BytesPerSector();
    uint64_t offset = firstSector * bps;
    if (bps && offset / bps != firstSector) {
        platform::SetLastError(ERROR_INVALID_PARAMETER_CODE);
        return 0;
    }
    return device->ReadAt(buffer, size_t(count) * bps, offset) ? 1 : 0;
}

int32_t VolumeAccess::ReadClusters(void* buffer, uint64_t firstCluster, uint32_t count) {
    uint64_t spc = SectorsPerCluster();
    uint64_t first = kind == FS_NTFS ? firstCluster * spc : (firstCluster - 2) * spc + firstDataSector;
    return ReadSectors(buffer, first, uint32_t(uint64_t(count) * spc));
}
