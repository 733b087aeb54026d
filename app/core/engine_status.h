// The engine's last status as one line of text for a front end.
#pragma once
#include <cstdint>
#include <string>
#include "engine/interface.h"

namespace app {

struct EngineStatusReport {
    uint32_t code = 0;
    std::string text;       // UTF-8
    uint32_t systemCode = 0;
    std::string systemText; // empty when the status carried no system error
};

EngineStatusReport LastEngineStatus(const UndeleteApi* api);

// "status N: TEXT" and, when there is one, " (system error M: TEXT)".
std::string LastEngineStatusText(const UndeleteApi* api);

}  // namespace app
