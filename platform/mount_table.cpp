#include "platform/mount_table.h"

#include "platform/decimal.h"

#include <cerrno>
#include <fstream>
#include <sstream>

namespace platform {
namespace {

// mountinfo escapes blanks, tabs, newlines and backslashes as \ooo.
std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3' && s[i + 2] >= '0' && s[i + 2] <= '7' && s[i + 3] >= '0' &&
            s[i + 3] <= '7') {
            out.push_back(char(((s[i + 1] - '0') << 6) | ((s[i + 2] - '0') << 3) | (s[i + 3] - '0')));
            i += 3;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

std::string WithoutTrailingSlash(std::string p) {
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

}  // namespace

bool ReadMountTable(const std::string& mountinfo, std::vector<MountEntry>& entries) {
    entries.clear();
    std::ifstream in(mountinfo);
    if (!in) {
        if (errno == 0) errno = ENOENT;
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        // id parent major:minor root mountpoint options [optional...] - fstype source superopts
        std::istringstream fields(line);
        std::string id, parent, devno, root, point, options;
        if (!(fields >> id >> parent >> devno >> root >> point >> options)) continue;
        MountEntry e;
        if (!ParseDevNumber(devno, e.major, e.minor)) continue;
        std::string tok;
        bool separator = false;
        while (fields >> tok)
            if (tok == "-") {
                separator = true;
                break;
            }
        if (!separator || !(fields >> e.fsType >> e.source)) continue;
        e.root = Unescape(root);
        e.mountPoint = Unescape(point);
        e.source = Unescape(e.source);
        entries.push_back(std::move(e));
    }
    return true;
}

const MountEntry* FirstMountOf(const std::vector<MountEntry>& entries, uint32_t major, uint32_t minor,
                               const std::string& node) {
    for (const MountEntry& e : entries) {
        if (e.root != "/") continue;
        if ((e.major == major && e.minor == minor && (major != 0 || minor != 0)) || (!node.empty() && e.source == node))
            return &e;
    }
    return nullptr;
}

const MountEntry* MountAt(const std::vector<MountEntry>& entries, const std::string& path) {
    std::string want = WithoutTrailingSlash(path);
    const MountEntry* found = nullptr;
    for (const MountEntry& e : entries)
        if (WithoutTrailingSlash(e.mountPoint) == want) found = &e;
    return found;
}

}  // namespace platform
