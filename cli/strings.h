// The command's string table: clear texts for the engine's statuses and progress
// messages. Messages 11 and 17 (made-up folder names) keep the engine's fallback text,
// which the path rules rely on.
#pragma once
#include "platform/win_types.h"

namespace cli {

HMODULE CommandModule();
void RegisterCommandStrings();

}  // namespace cli
