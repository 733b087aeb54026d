#include "cli/result_format.h"

#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>

#include "app/core/file_types.h"
#include "platform/filetime.h"
#include "platform/wide_string.h"

namespace cli {

std::string ShownPath(const app::FileNodeInfo& node) {
    return platform::Utf8FromWide(node.DisplayFolder()) + platform::Utf8FromWide(node.Name());
}

int64_t MainStreamSize(const SNAPSHOT_ENTRY* entry) {
    for (const ENTRY_STREAM* s = entry ? entry->streams : nullptr; s; s = s->next)
        if (!s->name) return s->size;
    return 0;
}

std::string LocalTimeText(const FILETIME& ft) {
    if (FileTimeToU64(ft) == 0) return "-";
    time_t t = time_t(platform::FileTimeToUnix(ft));
    struct tm tm {};
    if (!localtime_r(&t, &tm)) return "-";
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", &tm);
    return buf;
}

std::string IsoUtcText(const FILETIME& ft) {
    if (FileTimeToU64(ft) == 0) return {};
    time_t t = time_t(platform::FileTimeToUnix(ft));
    struct tm tm {};
    if (!gmtime_r(&t, &tm)) return {};
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

std::string ScanHeader() {
    char buf[128];
    std::snprintf(buf, sizeof buf, "%6s  %-9s  %12s  %-16s  %s\n", "No", "Chance", "Size", "Modified", "Path");
    return buf;
}

std::string ScanRow(const app::FileNodeInfo& node) {
    const SNAPSHOT_ENTRY* e = node.Entry();
    char buf[128];
    std::snprintf(buf, sizeof buf, "%6d  %-9s  %12" PRId64 "  %-16s  ", node.number, app::ChanceWord(node.chance),
                  MainStreamSize(e), LocalTimeText(e->modified).c_str());
    std::string row = buf + ShownPath(node);
    if (e->attributes & FILE_ATTR_ENCRYPTED) row += "  (encrypted)";
    int named = 0;
    for (const ENTRY_STREAM* s = e->streams; s; s = s->next)
        if (s->name) ++named;
    if (named) row += "  (+" + std::to_string(named) + (named == 1 ? " stream)" : " streams)");
    return row + "\n";
}

std::string ScanJson(const app::FileNodeInfo& node) {
    const SNAPSHOT_ENTRY* e = node.Entry();
    nlohmann::json j;
    j["number"] = node.number;
    j["name"] = platform::Utf8FromWide(node.Name());
    j["folder"] = platform::Utf8FromWide(node.DisplayFolder());
    j["size"] = MainStreamSize(e);
    j["chance"] = app::ChanceWord(node.chance);
    std::string created = IsoUtcText(e->created), modified = IsoUtcText(e->modified);
    j["created"] = created.empty() ? nlohmann::json(nullptr) : nlohmann::json(created);
    j["modified"] = modified.empty() ? nlohmann::json(nullptr) : nlohmann::json(modified);
    j["encrypted"] = (e->attributes & FILE_ATTR_ENCRYPTED) != 0;
    nlohmann::json streams = nlohmann::json::array();
    for (const ENTRY_STREAM* s = e->streams; s; s = s->next) {
        streams.push_back({{"name", s->name ? nlohmann::json(platform::Utf8FromWide(s->name)) : nlohmann::json(nullptr)},
                           {"size", s->size}});
    }
    j["streams"] = streams;
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace cli
