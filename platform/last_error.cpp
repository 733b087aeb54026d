#include "platform/last_error.h"

#include <cerrno>
#include <cstring>
#include <string>

namespace platform {
namespace {
thread_local DWORD t_lastError = 0;

struct Mapping {
    int err;
    DWORD code;
};
// errno to Windows code; the reverse lookup gives the text.
constexpr Mapping kMap[] = {
    {ENOENT, 2},   {ENOTDIR, 3},  {EACCES, 5},   {EPERM, 5},    {EBADF, 6},     {ENOMEM, 8},
    {EROFS, 19},   {EIO, 30},     {EBUSY, 32},   {ENODEV, 21},  {ENXIO, 21},    {EEXIST, 80},
    {EINVAL, 87},  {ENOSPC, 112}, {ENAMETOOLONG, 206},          {EISDIR, 267},  {EFBIG, 223},
    {EOVERFLOW, 111},             {ECANCELED, 1223},            {EMFILE, 4},    {ENOTSUP, 50},
};
}  // namespace

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD code) { t_lastError = code; }

DWORD ErrnoToWinError(int err) {
    for (const auto& m : kMap)
        if (m.err == err) return m.code;
    return err == 0 ? 0 : 0x20000000u | DWORD(err);  // customer bit: an errno without a Windows twin
}

void SetLastErrorFromErrno(int err) { t_lastError = ErrnoToWinError(err); }

std::string SystemErrorText(DWORD code) {
    int err = -1;
    if (code & 0x20000000u) err = int(code & ~0x20000000u);
    for (const auto& m : kMap)
        if (m.code == code) { err = m.err; break; }
    switch (code) {
        case 38: return "Reached the end of the file (the image may be cut short).";
        case 111: return "The file name is too long or the data area passed is too small.";
        case 5029: return "The log file or run list is corrupt.";
        default: break;
    }
    if (err < 0) return "Unknown error " + std::to_string(code);
    char buf[256];
    const char* text = strerror_r(err, buf, sizeof buf);  // GNU form
    return text ? std::string(text) : "Unknown error " + std::to_string(code);
}

}  // namespace platform
