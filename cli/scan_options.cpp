#include "cli/scan_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>

#include "app/core/engine_status.h"
#include "cli/commands.h"
#include "cli/engine_session.h"
#include "platform/wide_string.h"

namespace cli {

const char* const kVolumeHelp =
    "VOLUME is a block device (/dev/sdb1), the mount point of a mounted volume ending in \"/\"\n"
    "(/media/usb/, which opens the block device mounted there), or a raw image file. A volume\n"
    "inside a whole-disk image or device is chosen with --partition N (MBR: 1-4 primary, 5 on\n"
    "logical; GPT: entry number; see 'undelete partitions') or --offset BYTES. The volume is\n"
    "only read.";

void AddScanOptions(CLI::App& app, ScanArgs& args) {
    app.add_option("VOLUME", args.volume.path, "block device, mount point ending in \"/\", or image file")
        ->required();
    app.add_option("--partition", args.volume.partition, "the volume is partition N of the disk image or device")
        ->check(CLI::PositiveNumber);
    app.add_option_function<uint64_t>(
           "--offset",
           [&args](const uint64_t& v) {
               args.volume.hasOffset = true;
               args.volume.offset = v;
           },
           "the volume starts BYTES into the disk image or device")
        ->type_name("BYTES");
    app.add_option("--types", args.types,
                   "only these kinds of files, a comma list of images, video, audio, documents");
    app.add_flag("--all-chances", args.allChances, "also files rated Poor and None");
    auto* yes = app.add_flag("--yes,-y", args.yes, "answer yes to the engine's questions");
    auto* no = app.add_flag("--no,-n", args.no, "answer no to the engine's questions");
    yes->excludes(no);
    app.add_flag("--progress", args.progress, "show progress on standard error even when it is not a terminal");
}

bool ParseTypeList(const std::string& list, int32_t& typeSelection, std::string& error) {
    typeSelection = 0;
    size_t pos = 0;
    while (pos <= list.size()) {
        size_t comma = list.find(',', pos);
        std::string word = list.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        std::transform(word.begin(), word.end(), word.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        int32_t digit = 0;
        if (word == "images" || word == "image") digit = app::TYPE_IMAGES;
        else if (word == "video" || word == "videos") digit = app::TYPE_VIDEO;
        else if (word == "audio") digit = app::TYPE_AUDIO;
        else if (word == "documents" || word == "document" || word == "docs") digit = app::TYPE_DOCUMENTS;
        else if (word == "all") digit = app::TYPE_ALL;
        if (!digit) {
            error = "unknown file type \"" + word + "\" in --types (use images, video, audio, documents)";
            return false;
        }
        if (!app::TypeChosen(typeSelection, digit)) typeSelection += digit;
        if (comma == std::string::npos) break;
        pos = comma + 1;
    }
    return true;
}

int ScanVolume(const ScanArgs& args, app::ScanDriver& driver, ProgressLine& progress, ResolvedVolume& volume,
               std::vector<app::FileNodeInfo>& nodes) {
    app::WalkOptions options;
    options.allChances = args.allChances;
    options.listOnce = true;
    if (!args.types.empty()) {
        std::string error;
        if (!ParseTypeList(args.types, options.typeSelection, error)) {
            std::fprintf(stderr, "undelete: %s\n", error.c_str());
            return kExitUsage;
        }
    }
    if (int rc = ResolveVolume(args.volume, volume)) return rc;
    if (!driver.Api()) {
        std::fputs("undelete: the recovery engine is not available on this system\n", stderr);
        return kExitVolume;
    }
    TerminalObserver observer(progress, args.yes ? Answer::Yes : args.no ? Answer::No : Answer::Ask);
    app::ScanDriver::Outcome outcome = driver.RunSnapshot(platform::WideFromUtf8(volume.enginePath), &observer);
    progress.Clear();
    switch (outcome) {
        case app::ScanDriver::Outcome::Done:
            break;
        case app::ScanDriver::Outcome::Cancelled:
            std::fprintf(stderr, "undelete: scan of %s cancelled\n", volume.shown.c_str());
            return kExitCancelled;
        case app::ScanDriver::Outcome::OpenFailed:
            std::fprintf(stderr, "undelete: cannot open %s: %s\n", volume.shown.c_str(),
                         app::LastEngineStatusText(driver.Api()).c_str());
            return kExitVolume;
        default:
            if (Interrupted()) {
                std::fprintf(stderr, "undelete: scan of %s cancelled\n", volume.shown.c_str());
                return kExitCancelled;
            }
            std::fprintf(stderr, "undelete: cannot scan %s: %s\n", volume.shown.c_str(),
                         app::LastEngineStatusText(driver.Api()).c_str());
            return kExitVolume;
    }
    app::WalkCallbacks callbacks;
    callbacks.stopRequested = [] { return Interrupted(); };
    callbacks.result = [&nodes](app::FileNodeInfo& node) { nodes.push_back(node); };
    int32_t counter = 0;
    if (!app::WalkResults(driver.Root(), u"/", options, callbacks, counter)) {
        std::fprintf(stderr, "undelete: scan of %s cancelled\n", volume.shown.c_str());
        return kExitCancelled;
    }
    return kExitOk;
}

int ParseCommandLine(CLI::App& app, const char* command, int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = argc - 1; i >= 0; --i) args.emplace_back(argv[i]);
    try {
        app.parse(args);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), stdout);
        return kExitOk;
    } catch (const CLI::ParseError& e) {
        std::string what = e.what();
        std::replace(what.begin(), what.end(), '\n', ' ');
        while (!what.empty() && what.back() == ' ') what.pop_back();
        std::fprintf(stderr, "undelete %s: %s (see undelete %s --help)\n", command, what.c_str(), command);
        return kExitUsage;
    }
    return -1;
}

}  // namespace cli
