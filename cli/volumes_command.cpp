// undelete volumes [--json]: the machine's fixed and removable volumes, as the engine lists them.
#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/engine_session.h"
#include "engine/enumeration.h"
#include "platform/last_error.h"
#include "platform/wide_string.h"

namespace cli {
namespace {

std::string HumanSize(uint64_t bytes) {
    if (bytes == kUnknownSize) return "-";
    static const char* kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    double value = double(bytes);
    int unit = 0;
    while (value >= 1024 && unit < 6) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    if (unit == 0) std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
    else std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
    return text;
}

const char* TypeName(uint32_t driveType) {
    return driveType == DRIVE_TYPE_REMOVABLE ? "removable" : driveType == DRIVE_TYPE_FIXED ? "fixed" : "other";
}

nlohmann::json SizeJson(uint64_t bytes) { return bytes == kUnknownSize ? nlohmann::json(nullptr) : nlohmann::json(bytes); }

void PrintTable(const VolumeDetails* list, uint16_t count) {
    struct Row {
        std::string cells[7];
    };
    std::vector<Row> rows;
    rows.push_back({{"DEVICE", "MOUNT POINT", "FILE SYSTEM", "LABEL", "TYPE", "SIZE", "FREE"}});
    for (uint16_t i = 0; i < count; ++i) {
        const VolumeDetails& v = list[i];
        std::string mount = platform::Utf8FromWide(v.mountPath);
        std::string fs = platform::Utf8FromWide(v.fileSystemName);
        rows.push_back({{platform::Utf8FromWide(v.volumeName), mount.empty() ? "-" : mount, fs.empty() ? "-" : fs,
                         platform::Utf8FromWide(v.volumeLabel), TypeName(v.driveType), HumanSize(v.totalBytes),
                         HumanSize(v.freeBytes)}});
    }
    size_t width[7] = {};
    for (const Row& r : rows)
        for (int c = 0; c < 7; ++c) width[c] = std::max(width[c], r.cells[c].size());
    for (const Row& r : rows) {
        std::string line;
        for (int c = 0; c < 7; ++c) {
            std::string cell = r.cells[c];
            if (c < 6) cell.resize(width[c] + 2, ' ');
            line += cell;
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        std::printf("%s\n", line.c_str());
    }
}

}  // namespace

int RunVolumes(int argc, char** argv) {
    bool json = false;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--json") {
            json = true;
        } else if (a == "-h" || a == "--help") {
            std::puts("usage: undelete volumes [--json]\n"
                      "Lists the fixed and removable volumes: device, mount point, file system, label,\n"
                      "type and sizes. File systems and labels of devices the process may not read\n"
                      "are left empty; run as root to see them.");
            return kExitOk;
        } else {
            std::fputs("usage: undelete volumes [--json]\n", stderr);
            return kExitUsage;
        }
    }
    const UndeleteApi* api = Engine();
    if (!api) {
        std::fputs("undelete: the recovery engine is not available on this system\n", stderr);
        return kExitVolume;
    }
    uint16_t count = 0;
    uint32_t status = 0;
    VolumeDetails* list = api->EnumerateVolumes(&count, &status);
    if (status != 0) {
        std::fprintf(stderr, "undelete: cannot list the volumes: %s\n", platform::SystemErrorText(status).c_str());
        api->FreeVolumeList(list);
        return kExitVolume;
    }
    if (json) {
        nlohmann::json out = nlohmann::json::array();
        for (uint16_t i = 0; i < count; ++i) {
            const VolumeDetails& v = list[i];
            std::string mount = platform::Utf8FromWide(v.mountPath);
            out.push_back({{"device", platform::Utf8FromWide(v.volumeName)},
                           {"mount_point", mount.empty() ? nlohmann::json(nullptr) : nlohmann::json(mount)},
                           {"file_system", platform::Utf8FromWide(v.fileSystemName)},
                           {"label", platform::Utf8FromWide(v.volumeLabel)},
                           {"type", TypeName(v.driveType)},
                           {"drive_type", v.driveType},
                           {"total_bytes", SizeJson(v.totalBytes)},
                           {"free_bytes", SizeJson(v.freeBytes)}});
        }
        std::printf("%s\n", out.dump(2).c_str());
    } else {
        PrintTable(list, count);
    }
    api->FreeVolumeList(list);
    return kExitOk;
}

}  // namespace cli
