#include "platform/device_file.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/decimal.h"
#include "platform/last_error.h"
#include "platform/mount_table.h"

namespace platform {

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
    if (!ParseUnsigned(off, o) || (plus != std::string::npos && !ParseUnsigned(len, l))) return where;
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
    std::vector<MountEntry> mounts;
    if (!ReadMountTable(mountinfo, mounts)) {
        SetLastErrorFromErrno(errno ? errno : ENOENT);
        return {};
    }
    const MountEntry* mount = MountAt(mounts, mountPoint);
    if (!mount) {
        SetLastError(ERROR_FILE_NOT_FOUND_CODE);
        return {};
    }
    struct stat st {};
    if (stat(mount->source.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) {
        SetLastError(ERROR_NOT_SUPPORTED_CODE);
        return {};
    }
    return mount->source;
}

}  // namespace platform
