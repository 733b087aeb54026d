#include "app/core/engine_status.h"

#include "platform/wide_string.h"

namespace app {

EngineStatusReport LastEngineStatus(const UndeleteApi* api) {
    EngineStatusReport r;
    if (!api) return r;
    const WCHAR* text = nullptr;
    const WCHAR* sysText = nullptr;
    api->GetLastStatus(&r.code, &text);
    api->GetLastSystemError(&r.systemCode, &sysText);
    if (text) r.text = platform::Utf8FromWide(text);
    if (sysText) r.systemText = platform::Utf8FromWide(sysText);
    return r;
}

std::string LastEngineStatusText(const UndeleteApi* api) {
    EngineStatusReport r = LastEngineStatus(api);
    std::string out = "status " + std::to_string(r.code) + ": " + r.text;
    if (!r.systemText.empty()) {
        // System texts may end with a line break; keep the report on one line.
        while (!r.systemText.empty() && (r.systemText.back() == '\n' || r.systemText.back() == '\r'))
            r.systemText.pop_back();
        out += " (system error " + std::to_string(r.systemCode) + ": " + r.systemText + ")";
    }
    return out;
}

}  // namespace app
