// One 32-byte FAT directory entry: its fields, its 8.3 name, the checksum that ties long-name
// entries to it, and the test that tells whether a cluster holds directory entries at all.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/win_types.h"

inline constexpr size_t kDirEntrySize = 32;

enum : uint8_t {
    DIRENT_END = 0x00,
    DIRENT_DELETED = 0xE5,
    DIRENT_KANJI_E5 = 0x05,
    DIRATTR_READONLY = 0x01,
    DIRATTR_HIDDEN = 0x02,
    DIRATTR_SYSTEM = 0x04,
    DIRATTR_VOLUME = 0x08,
    DIRATTR_DIRECTORY = 0x10,
    DIRATTR_ARCHIVE = 0x20,
    DIRATTR_LONG_NAME = 0x0F,
    DIRCASE_LOWER = 0x08,
};

// What decoding needs to know about the volume: FAT type (FAT_12/16/32 of volume.h),
// cluster size and the bound of valid cluster numbers (2 <= c < validEnd).
struct FatGeometry {
    uint32_t fatType;
    uint32_t clusterSize;
    uint32_t validEnd;
    bool IsValid(uint64_t c) const { return c >= 2 && c < validEnd; }
};

inline uint16_t RawLe16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t RawLe32(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }
inline void RawPutLe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

inline uint8_t RawAttributes(const uint8_t* e) { return e[11]; }
inline bool RawIsLongName(const uint8_t* e) { return (e[11] & 0x3F) == DIRATTR_LONG_NAME; }
inline bool RawIsDirectory(const uint8_t* e) { return (e[11] & DIRATTR_DIRECTORY) != 0; }
inline bool RawIsDeleted(const uint8_t* e) { return e[0] == DIRENT_DELETED; }
inline uint32_t RawSize(const uint8_t* e) { return RawLe32(e + 28); }
// First cluster: offset 26, plus the high half at offset 20 on FAT32 only.
uint32_t RawFirstCluster(const uint8_t* e, uint32_t fatType);
// The 11 name bytes are "." or ".." padded with blanks.
bool RawIsDotName(const uint8_t* e);
bool RawIsDot(const uint8_t* e);
bool RawIsDotDot(const uint8_t* e);

// Checksum of 11 short-name bytes, as long-name entries carry it.
uint8_t ShortNameChecksum(const uint8_t* name11);

// The 8.3 name as Windows-1252 bytes into out (at least 13 bytes); its length, or 0 when
// the name is empty or an extension follows no name character.
size_t ShortNameText(const uint8_t* e, uint8_t* out);

// Judges whether data (bytes long) looks like a cluster of directory entries; sets flags
// to 0x1 (starts with "." and "..") and 0x2 (holds the end-of-directory marker).
bool IsDirectoryCluster(const uint8_t* data, size_t bytes, const FatGeometry& geometry, uint32_t* flags);

// Windows-1252 byte for a UTF-16 unit ('?' when it has none).
uint8_t WideToAnsi(WCHAR c);
