#include "engine/fat/dir_entry.h"

#include <cstring>

#include "engine/volume.h"
#include "platform/codepage.h"

uint32_t RawFirstCluster(const uint8_t* e, uint32_t fatType) {
    uint32_t c = RawLe16(e + 26);
    if (fatType == FAT_32) c |= uint32_t(RawLe16(e + 20)) << 16;
    return c;
}

bool RawIsDot(const uint8_t* e) { return std::memcmp(e, ".          ", 11) == 0; }
bool RawIsDotDot(const uint8_t* e) { return std::memcmp(e, "..         ", 11) == 0; }
bool RawIsDotName(const uint8_t* e) { return RawIsDot(e) || RawIsDotDot(e); }

uint8_t ShortNameChecksum(const uint8_t* name11) {
    uint8_t sum = 0;
    for (int i = 0; i < 11; ++i) sum = uint8_t(((sum & 1) << 7) + (sum >> 1) + name11[i]);
    return sum;
}

size_t ShortNameText(const uint8_t* e, uint8_t* out) {
    size_t n = 0;
    for (int i = 0; i < 8; ++i) {
        uint8_t b = e[i];
        if (i == 0 && b == DIRENT_KANJI_E5) b = 0xE5;
        if (b != ' ') out[n++] = b;
    }
    size_t nameChars = n;
    if (e[8] != ' ') {
        if (nameChars == 0) return 0;
        out[n++] = '.';
        for (int i = 8; i < 11; ++i)
            if (e[i] != ' ') out[n++] = e[i];
    }
    out[n] = 0;
    return n;
}

namespace {
bool NameByteValid(uint8_t b) {
    if (b < 0x20) return false;
    if (b >= 'a' && b <= 'z') return false;
    return std::strchr("*\\?<>\"+,/:;=", b) == nullptr;
}

bool EntryValid(const uint8_t* e, const FatGeometry& g) {
    if (RawIsLongName(e)) return (e[0] == DIRENT_DELETED || e[0] < 0x80) && e[12] == 0 && RawLe16(e + 26) == 0;
    for (int i = 0; i < 11; ++i)
        if (!NameByteValid(e[i])) return false;
    if (e[11] & 0xC0) return false;
    if (g.fatType != FAT_32 && RawLe16(e + 20) != 0) return false;
    uint32_t c = RawFirstCluster(e, g.fatType);
    return c == 0 || g.IsValid(c);
}
}  // namespace

bool IsDirectoryCluster(const uint8_t* data, size_t bytes, const FatGeometry& g, uint32_t* flags) {
    uint32_t f = 0;
    size_t slots = bytes / kDirEntrySize;
    if (slots >= 2 && ((RawIsDot(data) && RawIsDotDot(data + 32)) || (RawIsDotDot(data) && RawIsDot(data + 32))))
        f |= 0x1;
    size_t k = 0;
    while (k < slots && data[k * kDirEntrySize] != DIRENT_END) ++k;
    if (flags) *flags = 0;
    if (k == 0) return false;
    if (k < slots) f |= 0x2;
    if (flags) *flags = f;
    if (f & 0x1) return true;
    size_t valid = 0;
    for (size_t i = 0; i < k; ++i)
        if (EntryValid(data + i * kDirEntrySize, g)) ++valid;
    if (k == 1) return valid == 1 && !RawIsLongName(data);
    if (k < 10) return valid == k;
    return valid >= 9 * k / 10;
}

uint8_t WideToAnsi(WCHAR c) {
    if (c < 0x80) return uint8_t(c);
    for (int b = 0x80; b < 256; ++b)
        if (platform::AnsiToWide(uint8_t(b)) == c) return uint8_t(b);
    return '?';
}
