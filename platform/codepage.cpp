#include "platform/codepage.h"

namespace platform {

WCHAR AnsiToWide(unsigned char c) {
    // 0x80..0x9F differ from Latin-1; the five unassigned bytes map to themselves.
    static const WCHAR k80[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    if (c >= 0x80 && c < 0xA0) return k80[c - 0x80];
    return WCHAR(c);
}

WCHAR CharUpper(WCHAR c) {
    if (c >= u'a' && c <= u'z') return WCHAR(c - 32);
    if (c < 0x80) return c;
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return WCHAR(c - 32);
    if (c == 0xFF) return 0x178;
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A pairs: even upper, odd lower (with the 0x138/0x149/0x17F gaps).
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c : WCHAR(c - 1);
        if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        return (c & 1) ? WCHAR(c - 1) : c;
    }
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return WCHAR(c - 32);  // Greek
    if (c >= 0x430 && c <= 0x44F) return WCHAR(c - 32);                // Cyrillic
    if (c >= 0x450 && c <= 0x45F) return WCHAR(c - 80);
    if (c >= 0xFF41 && c <= 0xFF5A) return WCHAR(c - 32);              // full-width Latin
    return c;
}

}  // namespace platform
