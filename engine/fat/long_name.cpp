#include "engine/fat/long_name.h"

#include <cstring>

#include "engine/fat/dir_entry.h"
#include "platform/codepage.h"

namespace {
// Offsets of the 13 UTF-16 units one long-name entry carries.
constexpr int kUnitOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
}

size_t GatherLongName(const uint8_t* data, size_t position, WCHAR* out) {
    if (position < kDirEntrySize) return 0;
    const uint8_t* shortEntry = data + position;
    const uint8_t* before = shortEntry - kDirEntrySize;
    if (!RawIsLongName(before)) return 0;

    uint8_t name[11];
    std::memcpy(name, shortEntry, 11);
    bool deleted = name[0] == DIRENT_DELETED;
    if (deleted) {
        // The deleted entry lost its first letter; take it from the long name just before,
        // skipping leading dots, as one upper-cased ANSI byte.
        WCHAR unit = '.';
        for (int i = 0; i < 5; ++i) {
            WCHAR u = WCHAR(RawLe16(before + kUnitOffsets[i]));
            if (u != '.') {
                unit = u;
                break;
            }
        }
        name[0] = WideToAnsi(platform::CharUpper(platform::AnsiToWide(WideToAnsi(unit))));
    }
    uint8_t sum = ShortNameChecksum(name);

    size_t units = 0;
    size_t entries = 0;
    uint32_t expected = 1;
    for (size_t p = position; p >= kDirEntrySize && entries < kMaxLongNameEntries; p -= kDirEntrySize) {
        const uint8_t* e = data + p - kDirEntrySize;
        if (!RawIsLongName(e) || e[13] != sum) break;
        if (!deleted && uint32_t(e[0] & 0x3F) != expected) break;
        for (int off : kUnitOffsets) out[units++] = WCHAR(RawLe16(e + off));
        ++entries;
        ++expected;
        if (!deleted && (e[0] & 0x40)) break;
    }
    size_t length = 0;
    while (length < units && out[length] != 0) ++length;
    out[length] = 0;
    return length;
}
