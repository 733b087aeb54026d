// Times one whole snapshot of a volume image through the engine table (either kind) and
// prints the time, the entries found and the peak resident memory. With --list it also
// prints every deleted file as "path<TAB>chance" (made-up folders included), which the
// benchmarks and debugging use to compare with other tools.
//
//   snapshot_bench IMAGE [--options N] [--list]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/interface.h"
#include "platform/wide_string.h"

namespace {
uint32_t Answer(uint32_t kind, const WCHAR*, uint32_t, uint32_t) { return kind == PROGRESS_QUESTION ? 0 : 0; }

struct Counts {
    uint64_t files = 0, dirs = 0, deleted = 0;
};

void Walk(const SNAPSHOT_ENTRY* dir, const std::string& path, Counts& counts, bool list, int depth) {
    if (!dir->children || depth > 4096) return;
    for (int32_t i = 0; i < dir->childCount; ++i) {
        const CHILD_LINK& link = dir->children[i];
        std::string name = platform::Utf8FromWide(link.name->name);
        std::string full = path.empty() ? name : path + "/" + name;
        if (link.entry->isDirectory) {
            ++counts.dirs;
            Walk(link.entry, full, counts, list, depth + 1);
        } else {
            ++counts.files;
            if (link.entry->attributes & 0x80000000u) {
                ++counts.deleted;
                if (list) std::printf("%s\t%d\n", full.c_str(), link.entry->chance);
            }
        }
    }
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: snapshot_bench IMAGE [--options N] [--list]\n");
        return 2;
    }
    uint32_t options = 14;
    bool list = false;
    for (int i = 2; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--options") && i + 1 < argc) options = uint32_t(std::strtoul(argv[++i], nullptr, 0));
        else if (!std::strcmp(argv[i], "--list")) list = true;
    }
    InitializeEngine(nullptr);
    const UndeleteApi* api = GetEngineApi();
    if (!api) return 1;
    VolumeAccess* volume = api->CreateVolume();
    std::u16string path = platform::WideFromUtf8(argv[1]);
    auto start = std::chrono::steady_clock::now();
    if (!api->OpenVolume(volume, path.c_str())) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    CSnapshot* snapshot = api->CreateSnapshot(volume);
    SNAPSHOT_ENTRY* root = nullptr;
    int32_t ok = snapshot ? api->TakeSnapshot(snapshot, options, &root, Answer, 0, nullptr) : 0;
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!ok) {
        uint32_t code = 0;
        api->GetLastStatus(&code, nullptr);
        std::fprintf(stderr, "take failed, status %u\n", code);
        return 1;
    }
    Counts counts;
    Walk(root, "", counts, list, 0);
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::fprintf(list ? stderr : stdout, "seconds=%.3f files=%llu dirs=%llu deleted=%llu peak_rss_kib=%ld\n", seconds,
                 (unsigned long long)counts.files, (unsigned long long)counts.dirs,
                 (unsigned long long)counts.deleted, usage.ru_maxrss);
    api->DeleteSnapshot(snapshot);
    api->DeleteVolume(volume);
    return 0;
}
