// undelete scan VOLUME: the deleted files the program offers, one line (or JSON object) each.
#include <CLI/CLI.hpp>
#include <cstdio>

#include "cli/commands.h"
#include "cli/engine_session.h"
#include "cli/result_format.h"
#include "cli/scan_options.h"

namespace cli {

int RunScan(int argc, char** argv) {
    CLI::App app("Lists the deleted files of VOLUME that can be recovered: number, recovery chance, size,\n"
                 "modified time and path. Files rated Excellent or Good are listed unless --all-chances.",
                 "undelete scan");
    app.footer(kVolumeHelp);
    ScanArgs args;
    bool json = false;
    AddScanOptions(app, args);
    app.add_flag("--json", json, "one JSON object a line: number, name, folder, size, chance, created, "
                                 "modified, encrypted, streams");
    if (int rc = ParseCommandLine(app, "scan", argc, argv); rc >= 0) return rc;

    InstallInterruptHandler();
    app::ScanDriver driver(Engine());
    ProgressLine progress(args.progress);
    ResolvedVolume volume;
    std::vector<app::FileNodeInfo> nodes;
    if (int rc = ScanVolume(args, driver, progress, volume, nodes)) return rc;

    if (json) {
        for (const app::FileNodeInfo& node : nodes) std::fputs(ScanJson(node).c_str(), stdout);
    } else {
        std::fputs(ScanHeader().c_str(), stdout);
        for (const app::FileNodeInfo& node : nodes) std::fputs(ScanRow(node).c_str(), stdout);
        std::printf("%zu %s found on %s\n", nodes.size(), nodes.size() == 1 ? "file" : "files", volume.shown.c_str());
    }
    return kExitOk;
}

}  // namespace cli
