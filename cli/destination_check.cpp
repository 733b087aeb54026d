#include "cli/destination_check.h"

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <vector>

#include "platform/device_file.h"

namespace cli {
namespace {

std::string SysfsNode(dev_t dev) {
    std::string link = "/sys/dev/block/" + std::to_string(major(dev)) + ":" + std::to_string(minor(dev));
    char real[PATH_MAX];
    if (!::realpath(link.c_str(), real)) return {};
    return real;
}

// The same device, or one is a partition of the other.
bool SameDisk(dev_t a, dev_t b) {
    if (a == b) return true;
    std::string na = SysfsNode(a), nb = SysfsNode(b);
    if (na.empty() || nb.empty()) return false;
    auto inside = [](const std::string& child, const std::string& parent) {
        return child.size() > parent.size() && child.compare(0, parent.size(), parent) == 0 &&
               child[parent.size()] == '/';
    };
    return inside(na, nb) || inside(nb, na);
}

bool SameFile(const struct stat& a, const std::string& path) {
    struct stat b;
    return ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The image behind a device number: the loop device's backing file, or the source of a
// mount made on it (FUSE mounts of an image name the image as their source).
bool DeviceBackedBy(dev_t dev, const struct stat& image) {
    std::ifstream backing("/sys/dev/block/" + std::to_string(major(dev)) + ":" + std::to_string(minor(dev)) +
                          "/loop/backing_file");
    std::string file;
    if (backing && std::getline(backing, file) && SameFile(image, file)) return true;
    std::ifstream mounts("/proc/self/mountinfo");
    std::string wanted = std::to_string(major(dev)) + ":" + std::to_string(minor(dev));
    for (std::string line; std::getline(mounts, line);) {
        std::istringstream in(line);
        std::string id, parent, majmin;
        in >> id >> parent >> majmin;
        if (majmin != wanted) continue;
        size_t dash = line.find(" - ");
        if (dash == std::string::npos) continue;
        std::istringstream tail(line.substr(dash + 3));
        std::string fstype, source;
        tail >> fstype >> source;
        if (!source.empty() && source[0] == '/' && SameFile(image, source)) return true;
    }
    return false;
}

// The device the destination will be written on: that of the destination itself or of
// its nearest existing parent folder.
bool DestinationDevice(const std::string& destination, dev_t& dev) {
    std::string p = destination.empty() ? "." : destination;
    for (;;) {
        struct stat st;
        if (::stat(p.c_str(), &st) == 0) {
            dev = st.st_dev;
            return true;
        }
        while (p.size() > 1 && p.back() == '/') p.pop_back();
        size_t slash = p.rfind('/');
        if (slash == std::string::npos) p = ".";
        else if (slash == 0) p = "/";
        else p = p.substr(0, slash);
    }
}

}  // namespace

std::string DestinationConflict(const std::string& volumePath, const std::string& destination) {
    dev_t dest = 0;
    if (!DestinationDevice(destination, dest)) return {};
    const std::string why = "it is on the scanned volume " + volumePath;
    if (!volumePath.empty() && volumePath.back() == '/') {
        struct stat mount;
        if (::stat(volumePath.c_str(), &mount) == 0 && mount.st_dev == dest) return why;
        std::string device = platform::DeviceForMountPoint(volumePath);
        struct stat st;
        if (!device.empty() && ::stat(device.c_str(), &st) == 0 && S_ISBLK(st.st_mode) && SameDisk(st.st_rdev, dest))
            return why;
        return {};
    }
    struct stat st;
    if (::stat(volumePath.c_str(), &st) != 0) return {};
    if (S_ISBLK(st.st_mode)) return SameDisk(st.st_rdev, dest) ? why : std::string();
    if (S_ISREG(st.st_mode) && DeviceBackedBy(dest, st)) return "it is inside a mount of the scanned image " + volumePath;
    return {};
}

}  // namespace cli
