// Partition tables of a whole-disk image or device: the MBR with its extended partition
// chain, and the GPT. Lets a front end offer the volumes inside a disk; a volume is then
// opened through the engine as "PATH@OFFSET+LENGTH" (bytes).
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace app {

struct PartitionInfo {
    int number = 0;            // 1-4 MBR primary slots, 5 on for logical partitions; GPT entry index + 1
    uint64_t offset = 0;       // bytes from the start of the disk
    uint64_t length = 0;       // bytes
    std::string type;          // MBR: two hex digits ("0c"); GPT: the type GUID in text form
    std::string typeName;      // a short description of the type when known ("FAT32 (LBA)", "Microsoft basic data")
    std::string name;          // GPT partition name (UTF-8); empty for MBR
};

struct PartitionTable {
    enum class Kind { None, Mbr, Gpt } kind = Kind::None;
    uint32_t sectorSize = 512;
    std::vector<PartitionInfo> partitions;
};

// Reads `length` bytes at `offset`; false when they cannot all be read.
using DiskReader = std::function<bool(uint64_t offset, void* buffer, size_t length)>;

// Reads the table of a disk of `diskBytes` bytes (0 when unknown) with logical sectors of
// `sectorSize` bytes (a GPT is also looked for at 4096 when 512 finds none). Every field
// is checked against the disk: entries outside the disk, loops in the extended chain and
// oversized entry arrays end the read. Kind::None when the disk holds no table (a volume
// boot sector is not mistaken for an MBR).
PartitionTable ReadPartitionTable(const DiskReader& read, uint64_t diskBytes, uint32_t sectorSize = 512);

// The same for a file or device path; `error` gets the system's text when it cannot be read.
PartitionTable ReadPartitionTable(const std::string& path, std::string* error);

const char* PartitionKindName(PartitionTable::Kind kind);

}  // namespace app
