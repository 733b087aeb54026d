// The thread's last system error, holding the Windows codes the engine reports,
// and the system's text for a code.
#pragma once
#include <string>
#include "platform/win_types.h"

namespace platform {

DWORD GetLastError();
void SetLastError(DWORD code);

// Maps an errno value to the Windows code that means the same.
DWORD ErrnoToWinError(int err);
// Sets the last error from errno.
void SetLastErrorFromErrno(int err);

// The system's text for a Windows code (as UTF-8): the strerror text of the errno
// that the code came from, or "Unknown error N".
std::string SystemErrorText(DWORD code);

}  // namespace platform
