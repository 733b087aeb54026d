// Strict decimal parsing of the numbers in sysfs, mountinfo and volume paths.
#pragma once
#include <cstdint>
#include <string_view>

namespace platform {

// Digits only, at most 19 of them; false for anything else.
inline bool ParseUnsigned(std::string_view s, uint64_t& out) {
    if (s.empty() || s.size() > 19) return false;
    uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + uint64_t(c - '0');
    }
    out = v;
    return true;
}

// A device number written "MAJOR:MINOR" ("8:17"); false, leaving both alone, when malformed.
inline bool ParseDevNumber(std::string_view s, uint32_t& major, uint32_t& minor) {
    size_t colon = s.find(':');
    uint64_t a = 0, b = 0;
    if (colon == std::string_view::npos || !ParseUnsigned(s.substr(0, colon), a) ||
        !ParseUnsigned(s.substr(colon + 1), b) || a > UINT32_MAX || b > UINT32_MAX)
        return false;
    major = uint32_t(a);
    minor = uint32_t(b);
    return true;
}

}  // namespace platform
