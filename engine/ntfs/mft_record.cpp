#include "engine/ntfs/mft_record.h"

#include "engine/ntfs/attributes.h"
#include "engine/ntfs/mft_snapshot.h"
#include "engine/ntfs/ntfs_layout.h"
#include "engine/volume.h"

namespace ntfs {

bool ApplyFixups(uint8_t* record, uint32_t recordSize, uint32_t bytesPerSector, uint32_t sectors) {
    uint32_t usa = Get16(record + REC_USA_OFFSET);
    // The array holds the sequence number and one saved word per sector.
    if (usa > recordSize || (uint64_t(sectors) + 1) * 2 > recordSize - usa) return false;
    if (uint64_t(sectors) * bytesPerSector > recordSize) return false;
    uint16_t sequence = Get16(record + usa);
    for (uint32_t i = 0; i < sectors; ++i) {
        uint8_t* last = record + (i + 1) * bytesPerSector - 2;
        if (Get16(last) != sequence) return false;
        const uint8_t* saved = record + usa + (i + 1) * 2;
        last[0] = saved[0];
        last[1] = saved[1];
    }
    return true;
}

}  // namespace ntfs

using namespace ntfs;

int32_t CMFTSnapshot::ParseRecord(uint8_t* record, int32_t number) {
    const uint32_t size = uint32_t(recordSize);
    if (size < REC_HEADER_BYTES || record[0] != 'F' || record[1] != 'I' || record[2] != 'L' || record[3] != 'E')
        return 1;
    const uint16_t flags = Get16(record + REC_FLAGS);
    const uint64_t baseRef = Get64(record + REC_BASE_REFERENCE);
    const bool inUse = (flags & REC_IN_USE) != 0;
    if (number >= kSystemRecords && !(options & SNAP_LIVE_FILES) && baseRef == 0 && inUse &&
        !(flags & REC_DIRECTORY))
        return 1;

    if (!ApplyFixups(record, size, volume->BytesPerSector(), uint32_t(sectorsPerRecord))) {
        if (number == 0) return SetStatus(STATUS_MFT_RECORD0);
        return 1;
    }

    uint64_t slot = uint64_t(number);
    if (baseRef != 0) {
        if (number == 0) return SetStatus(STATUS_MFT_RECORD0);
        slot = baseRef & 0xFFFFFFFFu;
        // A base record outside the table belongs to no entry.
        if (slot >= uint64_t(recordCount)) return 1;
    }
    SNAPSHOT_ENTRY*& entry = records[slot];
    if (!entry) {
        entry = NewSnapshotEntry();
        if (!entry) return SetStatus(STATUS_NO_MEMORY);
    }
    if (baseRef == 0) entry->isDirectory = (flags & REC_DIRECTORY) ? 1 : 0;

    // Walk the attributes; a length that is 0 or reaches past the record ends the walk.
    uint32_t pos = Get16(record + REC_FIRST_ATTRIBUTE);
    while (pos <= size - 8) {
        uint32_t type = Get32(record + pos + ATTR_TYPE);
        if (type == AT_END) break;
        uint32_t length = Get32(record + pos + ATTR_LENGTH);
        if (length < 16 || length > size - pos) break;
        Attribute a{record + pos, length};
        int32_t ok = 1;
        switch (type) {
            case AT_STANDARD_INFORMATION: ok = ApplyStandardInformation(entry, a, inUse); break;
            case AT_FILE_NAME: ok = ApplyFileName(entry, a); break;
            case AT_VOLUME_INFORMATION: ApplyVolumeInformation(volume, a); break;
            case AT_ATTRIBUTE_LIST:
                if (!inUse) {
                    // Only its clusters matter: the rating counts them as claimed.
                    if (ENTRY_STREAM* list = AttributeListClusters(a)) {
                        if (deletedAttributeLists.Add(list) < 0) {
                            deletedAttributeLists.error = ARRAY_OK;
                            FreeEntryStream(list);
                        }
                    }
                }
                break;
            case AT_DATA:
            case AT_LOGGED_UTILITY_STREAM: ok = ApplyDataStream(entry, a, type); break;
            default: break;
        }
        if (!ok) return SetStatus(STATUS_NO_MEMORY);
        pos += length;
    }
    return 1;
}
