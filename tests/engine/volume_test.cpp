// Opening volumes: classification of real images, failure statuses and geometry rules.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "engine/interface.h"
#include "engine/volume.h"
#include "platform/wide_string.h"
#include "support/fixtures.h"

namespace {

const UndeleteApi* Api() {
    InitializeEngine(nullptr);
    return GetEngineApi();
}

std::map<std::string, std::string> ReadInfo(const std::string& image) {
    std::map<std::string, std::string> info;
    std::ifstream in(fixtures::Path(image + ".info"));
    std::string line;
    while (std::getline(in, line)) {
        auto eq = line.find('=');
        if (eq != std::string::npos) info[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return info;
}

int32_t Open(VolumeAccess* v, const std::string& path) {
    std::u16string w = platform::WideFromUtf8(path);
    return Api()->OpenVolume(v, w.c_str());
}

uint32_t LastStatus() {
    uint32_t code = 0;
    Api()->GetLastStatus(&code, nullptr);
    return code;
}

uint32_t LastSystemError() {
    uint32_t code = 0;
    Api()->GetLastSystemError(&code, nullptr);
    return code;
}

// A scratch image file removed when the test ends.
struct TempImage {
    std::filesystem::path path;
    explicit TempImage(const std::vector<uint8_t>& bytes) {
        path = std::filesystem::temp_directory_path() /
               ("undelete-vol-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".img");
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    ~TempImage() { std::filesystem::remove(path); }
    static inline int counter = 0;
};

// A FAT boot sector with the given fields; enough sectors follow for cluster reads.
std::vector<uint8_t> FatBoot(uint16_t total16, uint32_t total32, uint8_t spc = 1, uint16_t rootEntries = 512,
                             uint16_t spf16 = 9, uint8_t jump = 0xEB) {
    std::vector<uint8_t> img(512 * 64, 0);
    img[0] = jump;
    std::memcpy(&img[3], "MSWIN4.1", 8);
    img[11] = 0x00;
    img[12] = 0x02;
    img[13] = spc;
    img[14] = 1;  // reserved
    img[16] = 2;  // FATs
    img[17] = uint8_t(rootEntries);
    img[18] = uint8_t(rootEntries >> 8);
    img[19] = uint8_t(total16);
    img[20] = uint8_t(total16 >> 8);
    img[22] = uint8_t(spf16);
    img[23] = uint8_t(spf16 >> 8);
    std::memcpy(&img[32], &total32, 4);
    return img;
}

}  // namespace

TEST(VolumeOpen, ClassifiesImagesMadeByRealTools) {
    for (const std::string name : {"fat12", "fat16", "fat32", "ntfs"}) {
        SCOPED_TRACE(name);
        auto info = ReadInfo(name);
        ASSERT_FALSE(info.empty()) << "fixture " << name << ".info missing";
        VolumeAccess* v = Api()->CreateVolume();
        ASSERT_TRUE(Open(v, fixtures::Path(name + ".img").string()));
        const std::string kind = info["kind"];
        if (kind == "NTFS") {
            EXPECT_EQ(v->kind, FS_NTFS);
        } else {
            EXPECT_EQ(v->kind, FS_FAT);
            const char* types[] = {"FAT12", "FAT16", "FAT32"};
            EXPECT_EQ(types[v->fatType], kind);
        }
        EXPECT_EQ(std::to_string(v->BytesPerSector()), info["bytes_per_sector"]);
        EXPECT_EQ(std::to_string(Api()->GetClusterSize(v)), info["bytes_per_cluster"]);
        Api()->CloseVolume(v);
        EXPECT_FALSE(v->IsOpen());
        Api()->DeleteVolume(v);
    }
}

TEST(VolumeOpen, FailuresGiveTheirStatusAndLeaveTheObjectClosed) {
    TempImage shortFile(std::vector<uint8_t>(100, 0xEB));
    struct Case {
        std::string path;
        uint32_t status;
        uint32_t systemError;  // 0: none expected
    } cases[] = {
        {"/nonexistent/undelete/volume.img", 14, 2},
        {shortFile.path.string(), 15, 38},
        {fixtures::Path("random.img").string(), 24, 0},
        {std::filesystem::temp_directory_path().string(), 14, 267},
    };
    VolumeAccess* v = Api()->CreateVolume();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(Open(v, c.path), 0);
        EXPECT_EQ(LastStatus(), c.status);
        EXPECT_EQ(LastSystemError(), c.systemError);
        EXPECT_FALSE(v->IsOpen());
    }
    Api()->DeleteVolume(v);
}

TEST(VolumeOpen, OverlongRootNameFailsWithNameTooLong) {
    std::string root = "/" + std::string(300, 'a') + "/";
    VolumeAccess* v = Api()->CreateVolume();
    EXPECT_EQ(Open(v, root), 0);
    EXPECT_EQ(LastStatus(), 14u);
    EXPECT_EQ(LastSystemError(), 206u);
    EXPECT_FALSE(v->IsOpen());
    Api()->DeleteVolume(v);
}

TEST(VolumeOpen, FatBootSectorChecks) {
    struct Case {
        const char* what;
        std::vector<uint8_t> image;
        bool opens;
    } cases[] = {
        {"jump E9", FatBoot(64, 0, 1, 512, 9, 0xE9), true},
        {"jump 00", FatBoot(64, 0, 1, 512, 9, 0x00), false},
        {"both totals", FatBoot(64, 64), false},
        {"no total", FatBoot(0, 0), false},
        {"32-bit total only", FatBoot(0, 64), true},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempImage img(c.image);
        VolumeAccess* v = Api()->CreateVolume();
        EXPECT_EQ(Open(v, img.path.string()) != 0, c.opens);
        if (!c.opens) {
            EXPECT_EQ(LastStatus(), 24u);
        }
        Api()->CloseVolume(v);
        Api()->DeleteVolume(v);
    }
    // "NTFS    " decides alone; "NTFS" followed by anything else goes through the FAT checks.
    auto ntfs = FatBoot(0, 0, 1, 512, 9, 0x00);
    std::memcpy(&ntfs[3], "NTFS    ", 8);
    TempImage ntfsImg(ntfs);
    VolumeAccess* v = Api()->CreateVolume();
    ASSERT_TRUE(Open(v, ntfsImg.path.string()));
    EXPECT_EQ(v->kind, FS_NTFS);
    Api()->CloseVolume(v);
    std::memcpy(&ntfs[3], "NTFSX   ", 8);
    TempImage notNtfs(ntfs);
    EXPECT_EQ(Open(v, notNtfs.path.string()), 0);
    EXPECT_EQ(LastStatus(), 24u);
    Api()->DeleteVolume(v);
}

TEST(VolumeOpen, FatTypeFollowsClusterCount) {
    // One sector per cluster, 1 reserved, 2 FATs of 1 sector, no root entries on FAT32:
    // data sectors = total - 3 - root sectors.
    struct Case {
        uint32_t clusters;
        uint32_t type;
    } cases[] = {{4084, FAT_12}, {4085, FAT_16}, {65524, FAT_16}, {65525, FAT_32}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.clusters);
        auto boot = FatBoot(0, c.clusters + 1 + 2 + 32, 1, 512, 1);
        TempImage img(boot);
        VolumeAccess* v = Api()->CreateVolume();
        ASSERT_TRUE(Open(v, img.path.string()));
        EXPECT_EQ(v->clusterCount, c.clusters);
        EXPECT_EQ(v->fatType, c.type);
        Api()->CloseVolume(v);
        Api()->DeleteVolume(v);
    }
}

TEST(VolumeRead, ClusterTwoOfFatIsTheFirstDataSector) {
    auto image = FatBoot(64, 0, 2, 16, 1);  // root: 1 sector; data starts at 1 + 2 + 1 = 4
    for (size_t i = 0; i < 512; ++i) image[4 * 512 + i] = uint8_t(i * 7);
    TempImage img(image);
    VolumeAccess* v = Api()->CreateVolume();
    ASSERT_TRUE(Open(v, img.path.string()));
    EXPECT_EQ(v->firstDataSector, 4u);
    EXPECT_EQ(v->rootDirFirstSector, 3u);
    std::vector<uint8_t> buf(1024);
    ASSERT_TRUE(Api()->ReadClusters(v, buf.data(), 2, 1));
    EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + 512, image.begin() + 4 * 512));
    // A read past the end fails without touching anything else.
    EXPECT_EQ(Api()->ReadClusters(v, buf.data(), 1000, 1), 0);
    Api()->CloseVolume(v);
    Api()->DeleteVolume(v);
}

TEST(VolumeRead, WindowedPathReadsAVolumeInsideALargerFile) {
    auto inner = FatBoot(64, 0);
    std::vector<uint8_t> disk(4096, 0);
    disk.insert(disk.end(), inner.begin(), inner.end());
    TempImage img(disk);
    VolumeAccess* v = Api()->CreateVolume();
    ASSERT_TRUE(Open(v, img.path.string() + "@4096"));
    EXPECT_EQ(v->kind, FS_FAT);
    Api()->CloseVolume(v);
    Api()->DeleteVolume(v);
}
