// One MFT file record: the update-sequence fix-ups that restore the last word of each
// sector, and the walk over its attribute records (CMFTSnapshot::ParseRecord).
#pragma once
#include <cstdint>

namespace ntfs {

// Restores the protected last word of each of `sectors` sectors of a record of
// `recordSize` bytes. False at the first mismatch, or when the update sequence array
// does not lie inside the record (sectors already restored stay restored).
bool ApplyFixups(uint8_t* record, uint32_t recordSize, uint32_t bytesPerSector, uint32_t sectors);

}  // namespace ntfs
