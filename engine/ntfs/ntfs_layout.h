// Byte layout of the NTFS structures the snapshot reads: file record header, attribute
// record header and the attribute values it uses, with bounds-checked little-endian reads.
#pragma once
#include <cstdint>
#include <cstring>

namespace ntfs {

inline uint16_t Get16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline uint32_t Get32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline uint64_t Get64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// File record header.
enum : uint32_t {
    REC_SIGNATURE = 0,
    REC_USA_OFFSET = 4,
    REC_FIRST_ATTRIBUTE = 20,
    REC_FLAGS = 22,
    REC_BASE_REFERENCE = 32,
    REC_HEADER_BYTES = 40,  // the header fields above all lie below this
};
enum : uint16_t { REC_IN_USE = 0x1, REC_DIRECTORY = 0x2 };

// Attribute record header.
enum : uint32_t {
    ATTR_TYPE = 0,
    ATTR_LENGTH = 4,
    ATTR_NON_RESIDENT = 8,
    ATTR_NAME_LENGTH = 9,
    ATTR_NAME_OFFSET = 10,
    ATTR_FLAGS = 12,
    ATTR_VALUE_LENGTH = 16,
    ATTR_VALUE_OFFSET = 20,
    ATTR_RESIDENT_HEADER = 24,
    ATTR_FIRST_VCN = 16,
    ATTR_LAST_VCN = 24,
    ATTR_MAPPING_PAIRS = 32,
    ATTR_COMPRESSION_UNIT = 34,
    ATTR_DATA_SIZE = 48,
    ATTR_NON_RESIDENT_HEADER = 56,  // through the data size
};

enum : uint32_t {
    AT_STANDARD_INFORMATION = 0x10,
    AT_ATTRIBUTE_LIST = 0x20,
    AT_FILE_NAME = 0x30,
    AT_VOLUME_INFORMATION = 0x70,
    AT_DATA = 0x80,
    AT_LOGGED_UTILITY_STREAM = 0x100,
    AT_END = 0xFFFFFFFFu,
};

// $STANDARD_INFORMATION value.
enum : uint32_t { SI_CREATED = 0, SI_MODIFIED = 8, SI_ACCESSED = 24, SI_ATTRIBUTES = 32, SI_MIN_BYTES = 36 };
// $FILE_NAME value.
enum : uint32_t { FN_PARENT = 0, FN_NAME_LENGTH = 64, FN_NAMESPACE = 65, FN_NAME = 66 };
inline constexpr uint8_t FN_NAMESPACE_DOS = 2;
// $VOLUME_INFORMATION value.
enum : uint32_t { VI_MAJOR = 8, VI_MINOR = 9, VI_MIN_BYTES = 10 };

}  // namespace ntfs
