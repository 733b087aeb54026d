// Long (VFAT) names: gathering the UTF-16 units of the long-name entries that stand before
// a short entry and belong to it by checksum.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/win_types.h"

inline constexpr size_t kMaxLongNameEntries = 63;
inline constexpr size_t kMaxLongNameUnits = kMaxLongNameEntries * 13;

// The long name of the short entry at byte offset `position` of data (out holds at least
// kMaxLongNameUnits + 1 units); its length, 0 when it has none. Never reads before data.
size_t GatherLongName(const uint8_t* data, size_t position, WCHAR* out);
