#include "app/core/partition_table.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <set>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/wide_string.h"

namespace app {
namespace {

constexpr size_t kMaxGptEntries = 4096;
constexpr size_t kMaxLogical = 128;

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint64_t Le64(const uint8_t* p) { return uint64_t(Le32(p)) | uint64_t(Le32(p + 4)) << 32; }

uint32_t Crc32(const uint8_t* data, size_t length) {
    static const auto table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < length; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

std::string Hex2(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02x", v & 0xFF);
    return buf;
}

std::string GuidText(const uint8_t* g) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", unsigned(Le32(g)),
                  unsigned(Le16(g + 4)), unsigned(Le16(g + 6)), g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15]);
    return buf;
}

const char* MbrTypeName(uint8_t type) {
    switch (type) {
        case 0x01: return "FAT12";
        case 0x04: return "FAT16 (<32 MiB)";
        case 0x06: return "FAT16";
        case 0x07: return "NTFS/exFAT";
        case 0x0B: return "FAT32";
        case 0x0C: return "FAT32 (LBA)";
        case 0x0E: return "FAT16 (LBA)";
        case 0x05: case 0x0F: case 0x85: return "extended";
        case 0x82: return "Linux swap";
        case 0x83: return "Linux";
        case 0xEE: return "GPT protective";
        case 0xEF: return "EFI system";
        default: return "";
    }
}

const char* GptTypeName(const std::string& guid) {
    if (guid == "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7") return "Microsoft basic data";
    if (guid == "C12A7328-F81F-11D2-BA4B-00A0C93EC93B") return "EFI system";
    if (guid == "E3C9E316-0B5C-4DB8-817D-F92DF00215AE") return "Microsoft reserved";
    if (guid == "DE94BBA4-06D1-4D40-A16A-BFD50179D6AC") return "Windows recovery";
    if (guid == "0FC63DAF-8483-4772-8E79-3D69D8477DE4") return "Linux filesystem";
    if (guid == "0657FD6D-A4AB-43C4-84E5-0933C84B4F4F") return "Linux swap";
    return "";
}

bool IsExtended(uint8_t type) { return type == 0x05 || type == 0x0F || type == 0x85; }

// A volume boot sector also ends in 55 AA; it is not a partition table.
bool LooksLikeVolumeBootSector(const uint8_t* s) {
    if (std::memcmp(s + 3, "NTFS    ", 8) == 0) return true;
    uint16_t bps = Le16(s + 11);
    bool sizeOk = bps >= 512 && bps <= 4096 && (bps & (bps - 1)) == 0;
    bool jump = s[0] == 0xEB || s[0] == 0xE9;
    return jump && sizeOk && s[13] != 0 && (std::memcmp(s + 54, "FAT", 3) == 0 || std::memcmp(s + 82, "FAT", 3) == 0);
}

bool FitsDisk(uint64_t offset, uint64_t length, uint64_t diskBytes) {
    if (length == 0) return false;
    if (diskBytes == 0) return true;
    return offset < diskBytes && length <= diskBytes - offset;
}

bool ReadGpt(const DiskReader& read, uint64_t diskBytes, uint32_t sectorSize, PartitionTable& table) {
    std::vector<uint8_t> header(sectorSize);
    if (!read(sectorSize, header.data(), sectorSize)) return false;
    if (std::memcmp(header.data(), "EFI PART", 8) != 0) return false;
    uint32_t headerSize = Le32(&header[12]);
    if (headerSize < 92 || headerSize > sectorSize) return false;
    uint32_t storedCrc = Le32(&header[16]);
    std::memset(&header[16], 0, 4);
    if (Crc32(header.data(), headerSize) != storedCrc) return false;
    uint64_t entriesLba = Le64(&header[72]);
    uint32_t count = Le32(&header[80]);
    uint32_t entrySize = Le32(&header[84]);
    uint32_t entriesCrc = Le32(&header[88]);
    if (count == 0 || count > kMaxGptEntries || entrySize < 128 || entrySize > 4096 || entrySize % 8 != 0)
        return false;
    if (entriesLba > UINT64_MAX / sectorSize) return false;
    size_t bytes = size_t(count) * entrySize;
    uint64_t at = entriesLba * sectorSize;
    if (!FitsDisk(at, bytes, diskBytes)) return false;
    std::vector<uint8_t> entries(bytes);
    if (!read(at, entries.data(), bytes)) return false;
    if (Crc32(entries.data(), bytes) != entriesCrc) return false;
    table.kind = PartitionTable::Kind::Gpt;
    table.sectorSize = sectorSize;
    static const uint8_t kZero[16] = {};
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* e = &entries[size_t(i) * entrySize];
        if (std::memcmp(e, kZero, 16) == 0) continue;
        uint64_t first = Le64(e + 32), last = Le64(e + 40);
        if (last < first || last >= UINT64_MAX / sectorSize) continue;
        PartitionInfo p;
        p.number = int(i) + 1;
        p.offset = first * sectorSize;
        p.length = (last - first + 1) * sectorSize;
        if (!FitsDisk(p.offset, p.length, diskBytes)) continue;
        p.type = GuidText(e);
        p.typeName = GptTypeName(p.type);
        std::u16string name;
        for (size_t k = 0; k < 36; ++k) {
            char16_t c = char16_t(Le16(e + 56 + 2 * k));
            if (c == 0) break;
            name += c;
        }
        p.name = platform::Utf8FromWide(name);
        table.partitions.push_back(p);
    }
    return true;
}

void ReadExtended(const DiskReader& read, uint64_t diskBytes, uint32_t sectorSize, uint64_t extStart,
                  PartitionTable& table) {
    std::set<uint64_t> seen;
    uint64_t ebr = extStart;
    int number = 5;
    std::vector<uint8_t> s(512);
    while (seen.size() < kMaxLogical && seen.insert(ebr).second) {
        if (ebr > UINT64_MAX / sectorSize || !read(ebr * sectorSize, s.data(), 512)) return;
        if (s[510] != 0x55 || s[511] != 0xAA) return;
        const uint8_t* logical = &s[446];
        const uint8_t* next = &s[462];
        if (logical[4] != 0 && Le32(logical + 12) != 0) {
            PartitionInfo p;
            p.number = number++;
            p.offset = (ebr + Le32(logical + 8)) * sectorSize;
            p.length = uint64_t(Le32(logical + 12)) * sectorSize;
            p.type = Hex2(logical[4]);
            p.typeName = MbrTypeName(logical[4]);
            if (FitsDisk(p.offset, p.length, diskBytes)) table.partitions.push_back(p);
        }
        if (!IsExtended(next[4]) || Le32(next + 8) == 0) return;
        ebr = extStart + Le32(next + 8);
    }
}

}  // namespace

PartitionTable ReadPartitionTable(const DiskReader& read, uint64_t diskBytes, uint32_t sectorSize) {
    PartitionTable table;
    if (sectorSize < 512 || sectorSize > 4096 || (sectorSize & (sectorSize - 1)) != 0) sectorSize = 512;
    table.sectorSize = sectorSize;
    uint8_t mbr[512];
    if (!read(0, mbr, sizeof mbr)) return table;
    if (mbr[510] != 0x55 || mbr[511] != 0xAA || LooksLikeVolumeBootSector(mbr)) return table;
    bool anyEntry = false, protective = false;
    for (int i = 0; i < 4; ++i) {
        const uint8_t* e = mbr + 446 + 16 * i;
        if (e[0] != 0 && e[0] != 0x80) return table;
        if (e[4] != 0) anyEntry = true;
        if (e[4] == 0xEE) protective = true;
    }
    if (!anyEntry) return table;
    if (protective) {
        if (ReadGpt(read, diskBytes, sectorSize, table)) return table;
        if (sectorSize == 512 && ReadGpt(read, diskBytes, 4096, table)) return table;
    }
    table.kind = PartitionTable::Kind::Mbr;
    for (int i = 0; i < 4; ++i) {
        const uint8_t* e = mbr + 446 + 16 * i;
        if (e[4] == 0 || Le32(e + 12) == 0) continue;
        PartitionInfo p;
        p.number = i + 1;
        p.offset = uint64_t(Le32(e + 8)) * sectorSize;
        p.length = uint64_t(Le32(e + 12)) * sectorSize;
        p.type = Hex2(e[4]);
        p.typeName = MbrTypeName(e[4]);
        if (!FitsDisk(p.offset, p.length, diskBytes) && !IsExtended(e[4])) continue;
        table.partitions.push_back(p);
        if (IsExtended(e[4])) ReadExtended(read, diskBytes, sectorSize, Le32(e + 8), table);
    }
    return table;
}

PartitionTable ReadPartitionTable(const std::string& path, std::string* error) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (error) *error = std::strerror(errno);
        return {};
    }
    uint64_t bytes = 0;
    uint32_t sectorSize = 512;
    struct stat st;
    if (::fstat(fd, &st) == 0) {
        if (S_ISBLK(st.st_mode)) {
            if (::ioctl(fd, BLKGETSIZE64, &bytes) != 0) bytes = 0;
            int ss = 0;
            if (::ioctl(fd, BLKSSZGET, &ss) == 0 && ss > 0) sectorSize = uint32_t(ss);
        } else if (S_ISREG(st.st_mode)) {
            bytes = uint64_t(st.st_size);
        } else if (S_ISDIR(st.st_mode)) {
            if (error) *error = std::strerror(EISDIR);
            ::close(fd);
            return {};
        }
    }
    int lastErr = 0;
    DiskReader read = [fd, bytes, &lastErr](uint64_t offset, void* buffer, size_t length) {
        if (bytes && (offset > bytes || length > bytes - offset)) return false;
        size_t done = 0;
        while (done < length) {
            ssize_t n = ::pread(fd, static_cast<uint8_t*>(buffer) + done, length - done, off_t(offset + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                lastErr = n < 0 ? errno : 0;
                return false;
            }
            done += size_t(n);
        }
        return true;
    };
    PartitionTable table = ReadPartitionTable(read, bytes, sectorSize);
    if (error && lastErr && table.kind == PartitionTable::Kind::None) *error = std::strerror(lastErr);
    ::close(fd);
    return table;
}

const char* PartitionKindName(PartitionTable::Kind kind) {
    switch (kind) {
        case PartitionTable::Kind::Mbr: return "MBR";
        case PartitionTable::Kind::Gpt: return "GPT";
        default: return "none";
    }
}

}  // namespace app
