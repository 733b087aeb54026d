// Basic types of the system interfaces the engine was written against, in Linux form.
#pragma once
#include <cstdint>

using WCHAR = char16_t;  // engine strings are UTF-16, zero-terminated
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using BOOL = int32_t;

// Module handle: identifies whose string table a text is looked up in.
using HMODULE = const void*;

// Icon handle: names a freedesktop icon ("drive-harddisk", ...); owned by the engine.
using HICON = const char*;

// 100-nanosecond intervals since 1601-01-01 UTC, split as the system stores it.
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

inline uint64_t FileTimeToU64(const FILETIME& ft) {
    return (uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}
inline FILETIME U64ToFileTime(uint64_t v) { return FILETIME{DWORD(v), DWORD(v >> 32)}; }

// Windows error codes the engine uses.
enum : DWORD {
    ERROR_SUCCESS_CODE = 0,
    ERROR_FILE_NOT_FOUND_CODE = 2,
    ERROR_PATH_NOT_FOUND_CODE = 3,
    ERROR_ACCESS_DENIED_CODE = 5,
    ERROR_INVALID_HANDLE_CODE = 6,
    ERROR_NOT_ENOUGH_MEMORY_CODE = 8,
    ERROR_NO_MORE_FILES_CODE = 18,
    ERROR_HANDLE_EOF_CODE = 38,
    ERROR_NOT_SUPPORTED_CODE = 50,
    ERROR_INVALID_PARAMETER_CODE = 87,
    ERROR_BUFFER_OVERFLOW_CODE = 111,
    ERROR_INSUFFICIENT_BUFFER_CODE = 122,
    ERROR_FILENAME_EXCED_RANGE_CODE = 206,
    ERROR_MORE_DATA_CODE = 234,
    ERROR_CANCELLED_CODE = 1223,
    ERROR_CRC_CODE = 23,
    ERROR_READ_FAULT_CODE = 30,
    ERROR_CLUSTERLOG_CORRUPT_CODE = 5029,
};
