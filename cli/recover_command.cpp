// undelete recover VOLUME --to DIR: writes the chosen offered files into DIR, never onto
// the scanned volume and never over an existing file.
#include <CLI/CLI.hpp>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fnmatch.h>
#include <set>
#include <sys/stat.h>

#include "app/core/recovered_file_writer.h"
#include "app/core/result_paths.h"
#include "cli/commands.h"
#include "cli/destination_check.h"
#include "cli/engine_session.h"
#include "cli/result_format.h"
#include "cli/scan_options.h"
#include "platform/wide_string.h"

namespace cli {
namespace {

// Makes `path` and its missing parents; false with the system's text in `error`.
bool MakeFolders(const std::string& path, std::string& error) {
    std::string part;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t slash = path.find('/', pos);
        part = path.substr(0, slash == std::string::npos ? path.size() : slash);
        if (!part.empty()) {
            struct stat st;
            if (::stat(part.c_str(), &st) != 0) {
                if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
                    error = "cannot create folder " + part + ": " + std::strerror(errno);
                    return false;
                }
            } else if (!S_ISDIR(st.st_mode)) {
                error = "cannot create folder " + part + ": " + std::strerror(ENOTDIR);
                return false;
            }
        }
        if (slash == std::string::npos) break;
        pos = slash + 1;
    }
    return true;
}

// The folders of an in-volume folder path, each made safe to write, joined with "/".
std::string SafeFolderPath(const std::u16string& folder) {
    std::string out;
    size_t pos = 0;
    while (pos < folder.size()) {
        size_t slash = folder.find(u'/', pos);
        if (slash == std::u16string::npos) slash = folder.size();
        if (slash > pos) out += platform::Utf8FromWide(app::SafeComponent(folder.substr(pos, slash - pos))) + "/";
        pos = slash + 1;
    }
    return out;
}

bool Matches(const std::vector<std::string>& globs, const std::string& path, const std::string& name) {
    for (const std::string& g : globs) {
        if (::fnmatch(g.c_str(), name.c_str(), FNM_CASEFOLD) == 0) return true;
        if (::fnmatch(g.c_str(), path.c_str(), FNM_CASEFOLD) == 0) return true;
    }
    return false;
}

}  // namespace

int RunRecover(int argc, char** argv) {
    CLI::App app("Writes the deleted files of VOLUME that can be recovered into DIR: all offered files, or\n"
                 "those chosen with --match and --number (as numbered by 'undelete scan' with the same\n"
                 "--types and --all-chances). DIR must not be on the scanned volume. An existing file is\n"
                 "never replaced: a name that is taken gets a number, as in \"report (1).doc\". Named streams\n"
                 "are written as \"name:stream\" files; encrypted files in their raw encrypted form as\n"
                 "\"name.bak\".",
                 "undelete recover");
    app.footer(kVolumeHelp);
    ScanArgs args;
    std::string dir;
    bool keepPaths = false;
    std::vector<std::string> globs;
    std::vector<int> numbers;
    AddScanOptions(app, args);
    app.add_option("--to", dir, "folder to write the files into (made when missing)")->required()->type_name("DIR");
    app.add_flag("--keep-paths", keepPaths, "write each file under its folders inside DIR");
    app.add_option("--match", globs, "only files whose name or path matches GLOB (case-blind); repeatable")
        ->type_name("GLOB")
        ->take_last()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_option("--number", numbers, "only the file numbered N; repeatable")
        ->type_name("N")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->check(CLI::PositiveNumber);
    if (int rc = ParseCommandLine(app, "recover", argc, argv); rc >= 0) return rc;

    if (dir.empty()) {
        std::fputs("undelete: --to DIR is empty\n", stderr);
        return kExitUsage;
    }
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    if (std::string why = DestinationConflict(args.volume.path, dir); !why.empty()) {
        std::fprintf(stderr, "undelete: refusing to write to %s: %s; choose a folder on another device\n",
                     dir.c_str(), why.c_str());
        return kExitUsage;
    }
    struct stat st;
    if (::stat(dir.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "undelete: cannot write to %s: %s\n", dir.c_str(), std::strerror(ENOTDIR));
        return kExitUsage;
    }

    InstallInterruptHandler();
    app::ScanDriver driver(Engine());
    ProgressLine progress(args.progress);
    ResolvedVolume volume;
    std::vector<app::FileNodeInfo> nodes;
    if (int rc = ScanVolume(args, driver, progress, volume, nodes)) return rc;

    // The chosen nodes, in walk order.
    std::set<int> wanted(numbers.begin(), numbers.end());
    std::vector<const app::FileNodeInfo*> chosen;
    for (const app::FileNodeInfo& node : nodes) {
        bool take = (globs.empty() && wanted.empty()) || wanted.count(node.number) ||
                    (!globs.empty() && Matches(globs, ShownPath(node), platform::Utf8FromWide(node.Name())));
        if (take) chosen.push_back(&node);
    }
    for (int n : wanted) {
        if (n > int(nodes.size())) {
            std::fprintf(stderr, "undelete: no offered file has number %d (%zu offered on %s)\n", n, nodes.size(),
                         volume.shown.c_str());
            return kExitUsage;
        }
    }
    if (chosen.empty() && !globs.empty()) {
        std::fprintf(stderr, "undelete: no offered file on %s matches --match\n", volume.shown.c_str());
        return kExitSomeFailed;
    }

    std::string error;
    if (!MakeFolders(dir, error)) {
        std::fprintf(stderr, "undelete: %s\n", error.c_str());
        return kExitUsage;
    }

    uint64_t written = 0, bytes = 0, failures = 0, done = 0;
    app::WriteOptions options;
    options.keepExisting = true;
    options.removePartial = true;
    options.stopRequested = [] { return Interrupted(); };
    bool cancelled = false;
    for (const app::FileNodeInfo* node : chosen) {
        if (Interrupted()) {
            cancelled = true;
            break;
        }
        progress.Count(done, chosen.size(), "recovering");
        std::string shown = ShownPath(*node);
        std::string folder = dir + "/";
        if (keepPaths) folder += SafeFolderPath(node->DisplayFolder());
        if (keepPaths && !MakeFolders(folder, error)) {
            progress.Clear();
            std::fprintf(stderr, "undelete: cannot recover %s: %s\n", shown.c_str(), error.c_str());
            ++failures;
            ++done;
            continue;
        }
        std::string target = folder + platform::Utf8FromWide(app::SafeComponent(node->Name()));
        app::WriteResult r = app::WriteRecoveredFile(driver.Api(), driver.Volume(), node->Entry(), target, options);
        progress.Clear();
        ++done;
        if (r.stopped) {
            std::fprintf(stderr, "undelete: cancelled while writing %s%s\n", r.path.c_str(),
                         r.partialRemoved ? "; the partly written file was removed" : "");
            cancelled = true;
            break;
        }
        if (!r.ok) {
            std::fprintf(stderr, "undelete: cannot recover %s: %s%s\n", shown.c_str(), r.error.c_str(),
                         r.partialRemoved ? "; the partly written file was removed" : "");
            ++failures;
            continue;
        }
        ++written;
        bytes += r.bytes;
        std::string extra;
        if (r.files.size() > 1) extra = " and " + std::to_string(r.files.size() - 1) + " named stream(s)";
        std::printf("recovered %s -> %s (%" PRIu64 " bytes%s)\n", shown.c_str(), r.path.c_str(), r.bytes,
                    extra.c_str());
        std::fflush(stdout);
    }
    progress.Clear();
    std::printf("%" PRIu64 " %s written, %" PRIu64 " bytes, %" PRIu64 " %s%s\n", written,
                written == 1 ? "file" : "files", bytes, failures, failures == 1 ? "failure" : "failures",
                cancelled ? ", cancelled" : "");
    if (cancelled) return kExitCancelled;
    return failures ? kExitSomeFailed : kExitOk;
}

}  // namespace cli
