#include "cli/engine_session.h"

#include "app/core/engine_status.h"
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

std::string LastStatusText(const UndeleteApi* api) { return app::LastEngineStatusText(api); }

}  // namespace cli
