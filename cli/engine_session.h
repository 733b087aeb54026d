// The command's hold on the engine: the table, and texts for statuses and errors.
#pragma once
#include <string>
#include "engine/interface.h"

namespace cli {

// Initialises the engine with the command's string table; null when unavailable.
const UndeleteApi* Engine();

// "status N: TEXT (system error M: TEXT)" for the engine's last status.
std::string LastStatusText(const UndeleteApi* api);

}  // namespace cli
