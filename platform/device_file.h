// Read-only access to a volume: a block device or a raw image file, opened with
// open(O_RDONLY | O_CLOEXEC) and read with positioned reads. A window (offset and
// length) lets a volume inside a whole-disk image or device be read as if alone.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class DeviceFile {
public:
    ~DeviceFile();
    DeviceFile(const DeviceFile&) = delete;
    DeviceFile& operator=(const DeviceFile&) = delete;

    // Opens `path` for reading with the sequential hint; null with the last error set on failure.
    static DeviceFile* Open(const std::string& path);

    // Reads exactly `length` bytes at `offset` (relative to the window); false on any
    // failure or short read, with the last error set (38 at the end of the data).
    bool ReadAt(void* buffer, size_t length, uint64_t offset);

    // Size of the data in bytes (of the window when one is set), or 0 when unknown.
    uint64_t Size() const;

    int Descriptor() const { return fd_; }

private:
    DeviceFile(int fd, uint64_t base, uint64_t limit) : fd_(fd), base_(base), limit_(limit) {}
    int fd_;
    uint64_t base_;   // byte offset of the volume inside the file
    uint64_t limit_;  // bytes of the volume, 0 = to the end
};

// The block device mounted at `mountPoint` (given with or without its trailing "/"),
// read from `mountinfo` (normally /proc/self/mountinfo); empty with the last error set
// when nothing is mounted there or the mount has no block device.
std::string DeviceForMountPoint(const std::string& mountPoint,
                                const std::string& mountinfo = "/proc/self/mountinfo");

// A volume path may name a volume inside a larger file: "PATH@OFFSET" or
// "PATH@OFFSET+LENGTH" (bytes, decimal). Splits such a path; a plain path gives offset 0.
struct VolumeLocation {
    std::string path;
    uint64_t offset = 0;
    uint64_t length = 0;  // 0 = to the end
};
VolumeLocation ParseVolumeLocation(const std::string& path);
std::string FormatVolumeLocation(const VolumeLocation& where);

}  // namespace platform
