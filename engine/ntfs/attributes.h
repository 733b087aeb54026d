// Applying one attribute record of an MFT record to the snapshot entry it describes:
// standard information (times, attribute bits), file names, data streams and the
// volume version. Every field read is checked against the attribute's own length.
#pragma once
#include <cstdint>
#include "engine/snapshot/records.h"

class VolumeAccess;

namespace ntfs {

// One attribute record whose length has been checked to lie within its MFT record.
struct Attribute {
    const uint8_t* bytes;
    uint32_t length;
};

// Each returns 1 to go on (an attribute it cannot use is skipped) and 0 when memory ran out.
int32_t ApplyStandardInformation(SNAPSHOT_ENTRY* entry, const Attribute& a, bool recordInUse);
int32_t ApplyFileName(SNAPSHOT_ENTRY* entry, const Attribute& a);
int32_t ApplyDataStream(SNAPSHOT_ENTRY* entry, const Attribute& a, uint32_t type);
void ApplyVolumeInformation(VolumeAccess* volume, const Attribute& a);
// The cluster map of a non-resident attribute list as an unnamed stream; null when the
// attribute is resident, damaged, or memory ran out.
ENTRY_STREAM* AttributeListClusters(const Attribute& a);

}  // namespace ntfs
