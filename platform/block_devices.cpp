#include "platform/block_devices.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>

#include "platform/decimal.h"

namespace platform {
namespace fs = std::filesystem;
namespace {

constexpr uint32_t kRamDiskMajor = 1;
constexpr uint32_t kFloppyMajor = 2;
constexpr uint32_t kLoopMajor = 7;
constexpr uint32_t kScsiCdromMajor = 11;

// First line of a sysfs attribute, trailing blanks removed; empty when missing.
std::string ReadAttribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line)) return {};
    while (!line.empty() && (line.back() == '\n' || line.back() == ' ' || line.back() == '\r')) line.pop_back();
    return line;
}

// The device node named in the uevent file (DEVNAME=), else the kernel name with
// "!" standing for "/" as the kernel writes it.
std::string NodeName(const fs::path& dir, const std::string& name) {
    std::ifstream in(dir / "uevent");
    std::string line;
    while (in && std::getline(in, line))
        if (line.rfind("DEVNAME=", 0) == 0 && line.size() > 8) return line.substr(8);
    std::string node = name;
    std::replace(node.begin(), node.end(), '!', '/');
    return node;
}

// "prefix" followed by at least one digit and nothing else.
bool IsNumbered(const std::string& name, const char* prefix) {
    std::string p = prefix;
    if (name.size() <= p.size() || name.compare(0, p.size(), p) != 0) return false;
    return std::all_of(name.begin() + long(p.size()), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

bool NaturalLess(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        bool da = a[i] >= '0' && a[i] <= '9', db = b[j] >= '0' && b[j] <= '9';
        if (da && db) {
            size_t ei = i, ej = j;
            while (ei < a.size() && a[ei] >= '0' && a[ei] <= '9') ++ei;
            while (ej < b.size() && b[ej] >= '0' && b[ej] <= '9') ++ej;
            // Compare the digit runs by value: strip leading zeros, then length, then digits.
            size_t si = i, sj = j;
            while (si + 1 < ei && a[si] == '0') ++si;
            while (sj + 1 < ej && b[sj] == '0') ++sj;
            if (ei - si != ej - sj) return ei - si < ej - sj;
            int c = a.compare(si, ei - si, b, sj, ej - sj);
            if (c != 0) return c < 0;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

bool ListBlockDevices(const std::string& sysRoot, std::vector<BlockDevice>& devices) {
    devices.clear();
    fs::path classDir = fs::path(sysRoot) / "class" / "block";
    DIR* dir = opendir(classDir.c_str());
    if (!dir) return false;
    std::vector<std::string> names;
    while (dirent* e = readdir(dir)) {
        std::string n = e->d_name;
        if (n != "." && n != "..") names.push_back(n);
    }
    closedir(dir);
    std::sort(names.begin(), names.end(), NaturalLess);

    for (const std::string& name : names) {
        BlockDevice d;
        d.name = name;
        fs::path self = classDir / name;
        d.node = NodeName(self, name);
        ParseDevNumber(ReadAttribute(self / "dev"), d.major, d.minor);
        uint64_t sectors = 0;
        if (ParseUnsigned(ReadAttribute(self / "size"), sectors)) d.sectors = sectors;
        d.hidden = ReadAttribute(self / "hidden") == "1";
        std::error_code ec;
        d.isPartition = fs::exists(self / "partition", ec);

        // A partition's folder sits inside its disk's folder.
        fs::path diskDir = self;
        d.disk = name;
        uint32_t diskMajor = d.major;
        if (d.isPartition) {
            fs::path real = fs::canonical(self, ec);
            if (!ec && real.has_parent_path() && fs::exists(real.parent_path() / "dev", ec)) {
                diskDir = real.parent_path();
                d.disk = diskDir.filename().string();
                uint32_t minor = 0;
                ParseDevNumber(ReadAttribute(diskDir / "dev"), diskMajor, minor);
            }
        }
        d.removable = ReadAttribute(diskDir / "removable") == "1";
        d.cdrom = diskMajor == kScsiCdromMajor || ReadAttribute(diskDir / "device" / "type") == "5";
        d.floppy = diskMajor == kFloppyMajor || IsNumbered(d.disk, "fd");
        d.ramDisk = diskMajor == kRamDiskMajor || IsNumbered(d.disk, "ram") || IsNumbered(d.disk, "zram");
        d.loop = diskMajor == kLoopMajor || IsNumbered(d.disk, "loop");
        if (d.loop) d.hasBackingFile = !ReadAttribute(diskDir / "loop" / "backing_file").empty();
        devices.push_back(std::move(d));
    }
    for (BlockDevice& disk : devices) {
        if (disk.isPartition) continue;
        disk.hasPartitions = std::any_of(devices.begin(), devices.end(), [&](const BlockDevice& p) {
            return p.isPartition && p.disk == disk.name;
        });
    }
    return true;
}

uint32_t DriveTypeOf(const BlockDevice& device) {
    if (device.hidden) return 1;
    if (device.cdrom) return 5;
    if (device.ramDisk) return 6;
    if (device.loop && !device.hasBackingFile) return 1;
    if (device.floppy) return 2;
    if (device.sectors == 0) return 1;
    // An extended-partition container (one or two sectors) holds no volume.
    if (device.isPartition && device.sectors <= 2) return 1;
    return device.removable ? 2 : 3;
}

}  // namespace platform
