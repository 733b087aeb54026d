// The ANSI code page (Windows-1252, fixed) and Windows-style upper-casing.
#pragma once
#include "platform/win_types.h"

namespace platform {

// One Windows-1252 byte as UTF-16.
WCHAR AnsiToWide(unsigned char c);
// Upper case of one character as the system folds it (Latin-1 and the common blocks).
WCHAR CharUpper(WCHAR c);

}  // namespace platform
