#include "cli/engine_session.h"

#include "cli/strings.h"
#include "platform/wide_string.h"

namespace cli {

const UndeleteApi* Engine() {
    static const UndeleteApi* api = [] {
        RegisterCommandStrings();
        InitializeEngine(CommandModule());
        return GetEngineApi();
    }();
    return api;
}

std::string LastStatusText(const UndeleteApi* api) {
    uint32_t code = 0, sys = 0;
    const WCHAR* text = nullptr;
    const WCHAR* sysText = nullptr;
    api->GetLastStatus(&code, &text);
    api->GetLastSystemError(&sys, &sysText);
    std::string out = "status " + std::to_string(code) + ": " + platform::Utf8FromWide(text);
    if (sysText) out += " (system error " + std::to_string(sys) + ": " + platform::Utf8FromWide(sysText) + ")";
    return out;
}

}  // namespace cli
