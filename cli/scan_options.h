// What scan and recover share: the VOLUME argument with --partition / --offset, --types,
// --all-chances, --yes / --no, --progress, and the scan itself (open, snapshot, results
// walk) with its failure lines.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "app/core/results_walk.h"
#include "app/core/scan_driver.h"
#include "cli/terminal.h"
#include "cli/volume_argument.h"

namespace CLI {
class App;
}

namespace cli {

struct ScanArgs {
    VolumeArgument volume;
    std::string types;   // comma list; empty: every file
    bool allChances = false;
    bool yes = false;
    bool no = false;
    bool progress = false;
};

void AddScanOptions(CLI::App& app, ScanArgs& args);

// "images,video" -> typeSelection digits; false (with `error`) for an unknown word.
bool ParseTypeList(const std::string& list, int32_t& typeSelection, std::string& error);

// The help text on VOLUME shared by the commands.
extern const char* const kVolumeHelp;

// Opens the volume, takes the snapshot and walks it. Returns 0 with `nodes` filled (the
// driver then holds snapshot and volume), or the exit code after one failure line.
int ScanVolume(const ScanArgs& args, app::ScanDriver& driver, ProgressLine& progress, ResolvedVolume& volume,
               std::vector<app::FileNodeInfo>& nodes);

// Parses a command's arguments with CLI11; returns -1 to go on, or the exit code
// (0 after --help, 2 after one line naming the usage error).
int ParseCommandLine(CLI::App& app, const char* command, int argc, char** argv);

}  // namespace cli
