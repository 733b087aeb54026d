#include "platform/volume_probe.h"

#include <blkid/blkid.h>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace platform {
namespace {

std::string Lookup(blkid_probe probe, const char* name) {
    const char* data = nullptr;
    size_t length = 0;
    if (blkid_probe_lookup_value(probe, name, &data, &length) != 0 || !data) return {};
    std::string value(data, length);
    while (!value.empty() && value.back() == '\0') value.pop_back();  // blkid counts the terminator
    return value;
}

}  // namespace

VolumeProbe ProbeVolume(const std::string& path) {
    VolumeProbe result;
    // Non-blocking so that a drive without a medium answers at once.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return result;
    result.opened = true;
    blkid_probe probe = blkid_new_probe();
    if (probe && blkid_probe_set_device(probe, fd, 0, 0) == 0) {
        blkid_probe_enable_superblocks(probe, 1);
        blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_TYPE | BLKID_SUBLKS_LABEL | BLKID_SUBLKS_VERSION);
        if (blkid_do_safeprobe(probe) == 0) {
            result.type = Lookup(probe, "TYPE");
            result.version = Lookup(probe, "VERSION");
            result.label = Lookup(probe, "LABEL");
            result.found = !result.type.empty();
        }
    }
    if (probe) blkid_free_probe(probe);
    int saved = errno;
    ::close(fd);
    errno = saved;
    return result;
}

}  // namespace platform
