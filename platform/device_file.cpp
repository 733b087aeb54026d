#include "platform/device_file.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <linux/fs.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/last_error.h"

namespace platform {
namespace {

// Mount points in mountinfo escape blanks and a few other bytes as \ooo.
std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '7' && s[i + 2] >= '0' && s[i + 2] <= '7' && s[i + 3] >= '0' &&
            s[i + 3] <= '7') {
            out.push_back(char(((s[i + 1] - '0') << 6) | ((s[i + 2] - '0') << 3) | (s[i + 3] - '0')));
            i += 3;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

bool ParseDecimal(const std::string& s, uint64_t& out) {
    if (s.empty() || s.size() > 19) return false;
    uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + uint64_t(c - '0');
    }
    out = v;
    return true;
}

}  // namespace

VolumeLocation ParseVolumeLocation(const std::string& path) {
    VolumeLocation where;
    where.path = path;
    size_t at = path.rfind('@');
    if (at == std::string::npos || at == 0) return where;
    std::string tail = path.substr(at + 1);
    std::string off = tail, len;
    size_t plus = tail.find('+');
    if (plus != std::string::npos) {
        off = tail.substr(0, plus);
        len = tail.substr(plus + 1);
    }
    uint64_t o = 0, l = 0;
    if (!ParseDecimal(off, o) || (plus != std::string::npos && !ParseDecimal(len, l))) return where;
    where.path = path.substr(0, at);
    where.offset = o;
    where.length = l;
    return where;
}

std::string FormatVolumeLocation(const VolumeLocation& where) {
    if (where.offset == 0 && where.length == 0) return where.path;
    std::string s = where.path + "@" + std::to_string(where.offset);
    if (where.length) s += "+" + std::to_string(where.length);
    return s;
}

DeviceFile::~DeviceFile() {
    if (fd_ >= 0) ::close(fd_);
}

DeviceFile* DeviceFile::Open(const std::string& path) {
    VolumeLocation where = ParseVolumeLocation(path);
    // A plain file whose name really contains "@digits" still opens as named.
    int fd = ::open(where.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && (where.offset || where.length)) {
        where = VolumeLocation{path, 0, 0};
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    }
    if (fd < 0) {
        SetLastErrorFromErrno(errno);
        return nullptr;
    }
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        SetLastErrorFromErrno(EISDIR);
        return nullptr;
    }
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return new DeviceFile(fd, where.offset, where.length);
}

bool DeviceFile::ReadAt(void* buffer, size_t length, uint64_t offset) {
    if (limit_ && (offset > limit_ || length > limit_ - offset)) {
        SetLastError(ERROR_HANDLE_EOF_CODE);
        return false;
    }
    if (offset > uint64_t(INT64_MAX) - base_) {
        SetLastError(ERROR_INVALID_PARAMETER_CODE);
        return false;
    }
    auto* p = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < length) {
        ssize_t n = ::pread(fd_, p + done, length - done, off_t(base_ + offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            SetLastErrorFromErrno(errno);
            return false;
        }
        if (n == 0) {
            SetLastError(ERROR_HANDLE_EOF_CODE);
            return false;
        }
        done += size_t(n);
    }
    return true;
}

uint64_t DeviceFile::Size() const {
    struct stat st {};
    if (fstat(fd_, &st) != 0) return 0;
    uint64_t total = 0;
    if (S_ISBLK(st.st_mode)) {
        if (ioctl(fd_, BLKGETSIZE64, &total) != 0) return 0;
    } else {
        total = uint64_t(st.st_size);
    }
    if (total <= base_) return 0;
    total -= base_;
    return limit_ && limit_ < total ? limit_ : total;
}

std::string DeviceForMountPoint(const std::string& mountPoint, const std::string& mountinfo) {
    std::string want = mountPoint;
    while (want.size() > 1 && want.back() == '/') want.pop_back();
    std::ifstream in(mountinfo);
    if (!in) {
        SetLastErrorFromErrno(errno ? errno : ENOENT);
        return {};
    }
    std::string line;
    std::string found;
    while (std::getline(in, line)) {
        // id parent major:minor root mountpoint options [optional...] - fstype source superopts
        std::istringstream fields(line);
        std::string id, parent, devno, root, point;
        if (!(fields >> id >> parent >> devno >> root >> point)) continue;
        if (Unescape(point) != want) continue;
        std::string tok;
        while (fields >> tok && tok != "-") {}
        std::string fstype, source;
        if (!(fields >> fstype >> source)) continue;
        found = Unescape(source);  // the last mount on a point is the one visible
    }
    if (found.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND_CODE);
        return {};
    }
    struct stat st {};
    if (stat(found.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) {
        SetLastError(ERROR_NOT_SUPPORTED_CODE);
        return {};
    }
    return found;
}

}  // namespace platform
