// Version facts: this platform reports itself as NT-family version 6.1.
#pragma once
#include <cstdint>

namespace platform {

struct OsVersionInfo {
    uint32_t size;          // must be 148 on entry
    uint32_t majorVersion;
    uint32_t minorVersion;
    uint32_t buildNumber;
    uint32_t platformId;    // 2 = NT family
};

inline constexpr uint32_t kVersionInfoSize = 148;
inline constexpr uint32_t kPlatformNt = 2;

// Fills the record; 0 when its size field is not the expected one.
inline int GetVersionEx(OsVersionInfo* info) {
    if (!info || info->size != kVersionInfoSize) return 0;
    info->majorVersion = 6;
    info->minorVersion = 1;
    info->buildNumber = 7601;
    info->platformId = kPlatformNt;
    return 1;
}

}  // namespace platform
