// The recovered file writer and the whole-file reader on hand-built entries whose streams
// point at clusters of a real FAT16 image (and at resident bytes).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "app/core/recovered_file_writer.h"
#include "engine/interface.h"
#include "platform/wide_string.h"
#include "snapshot_tree.h"
#include "support/fixtures.h"

namespace {

namespace fs = std::filesystem;
const char kModule = 0;

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

ENTRY_STREAM* ResidentStream(const char16_t* name, const std::string& bytes) {
    ENTRY_STREAM* s = NewEntryStream(name);
    s->residentData = static_cast<uint8_t*>(std::malloc(bytes.size() ? bytes.size() : 1));
    std::memcpy(s->residentData, bytes.data(), bytes.size());
    s->size = int64_t(bytes.size());
    return s;
}

class WriterTest : public ::testing::Test {
protected:
    static constexpr uint32_t kClusters = 300;  // more than one 256 KiB chunk of 2 KiB clusters

    void SetUp() override {
        InitializeEngine(&kModule);
        api = GetEngineApi();
        ASSERT_TRUE(api);
        volume = api->CreateVolume();
        std::u16string path = platform::WideFromUtf8(fixtures::Path("fat16.img").string());
        ASSERT_TRUE(api->OpenVolume(volume, path.c_str()));
        ASSERT_EQ(api->GetClusterSize(volume), 2048u);
        onDisk.resize(size_t(kClusters) * 2048);
        ASSERT_TRUE(api->ReadClusters(volume, onDisk.data(), 2, kClusters));
        dir = fs::temp_directory_path() / ("undelete-writer-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        if (api && volume) {
            api->CloseVolume(volume);
            api->DeleteVolume(volume);
        }
        fs::remove_all(dir);
    }

    // A file whose unnamed stream is clusters 2.. of the image (size = all but 5 bytes of
    // them) and whose named stream "side" is resident.
    SNAPSHOT_ENTRY* Entry(testtree::Tree& t) {
        SNAPSHOT_ENTRY* e = t.File(u"x.bin", 1, int64_t(kClusters) * 2048 - 5);
        const uint8_t runs[] = {0x12, uint8_t(kClusters & 0xFF), uint8_t(kClusters >> 8), 0x02, 0x00};
        e->streams->extents = NewStreamExtent(0, kClusters - 1, 0, runs, sizeof runs, 0);
        e->streams->next = ResidentStream(u"side", "side data");
        return e;
    }
    std::string Expected() const { return std::string(onDisk.begin(), onDisk.end() - 5); }

    const UndeleteApi* api = nullptr;
    VolumeAccess* volume = nullptr;
    std::vector<char> onDisk;
    fs::path dir;
};

TEST_F(WriterTest, WritesEveryStreamByteForByte) {
    testtree::Tree t;
    auto r = app::WriteRecoveredFile(api, volume, Entry(t), (dir / "x.bin").string());
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(Slurp(dir / "x.bin"), Expected());
    EXPECT_EQ(Slurp(dir / "x.bin:side"), "side data");
    EXPECT_EQ(r.bytes, Expected().size() + 9);
    EXPECT_EQ(r.files.size(), 2u);
}

TEST_F(WriterTest, KeepExistingTakesTheNextNumberedName) {
    testtree::Tree t;
    std::ofstream(dir / "x.bin") << "mine";
    app::WriteOptions options;
    options.keepExisting = true;
    auto r = app::WriteRecoveredFile(api, volume, Entry(t), (dir / "x.bin").string(), options);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.path, (dir / "x (1).bin").string());
    EXPECT_EQ(Slurp(dir / "x.bin"), "mine");
    EXPECT_EQ(Slurp(dir / "x (1).bin"), Expected());
    EXPECT_EQ(Slurp(dir / "x (1).bin:side"), "side data");
    // A taken stream file moves the whole file to the next number as well.
    std::ofstream(dir / "x (2).bin:side") << "taken";
    r = app::WriteRecoveredFile(api, volume, Entry(t), (dir / "x.bin").string(), options);
    EXPECT_EQ(r.path, (dir / "x (3).bin").string());
}

TEST_F(WriterTest, StopLeavesNoPartlyWrittenFile) {
    testtree::Tree t;
    int polls = 0;
    app::WriteOptions options;
    options.keepExisting = true;
    options.removePartial = true;
    options.stopRequested = [&polls] { return ++polls == 2; };
    auto r = app::WriteRecoveredFile(api, volume, Entry(t), (dir / "x.bin").string(), options);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.stopped);
    EXPECT_TRUE(r.partialRemoved);
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(WriterTest, FailuresNameThePathAndTheReason) {
    testtree::Tree t;
    auto r = app::WriteRecoveredFile(api, volume, Entry(t), (dir / "missing" / "x.bin").string());
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "cannot create " + (dir / "missing" / "x.bin").string() + ": No such file or directory");

    SNAPSHOT_ENTRY* damaged = t.File(u"bad.bin", 1, -7);
    app::WriteOptions options;
    options.removePartial = true;
    r = app::WriteRecoveredFile(api, volume, damaged, (dir / "bad.bin").string(), options);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("damaged"), std::string::npos) << r.error;
    EXPECT_FALSE(fs::exists(dir / "bad.bin"));
}

TEST_F(WriterTest, EncryptedFileIsWrittenInItsRawFormAsBak) {
    testtree::Tree t;
    SNAPSHOT_ENTRY* e = t.File(u"secret.doc", 1, 0);
    e->attributes |= FILE_ATTR_ENCRYPTED;
    FreeEntryStream(e->streams);
    e->streams = ResidentStream(u"$EFS", std::string(40, 'E'));
    e->streams->next = ResidentStream(nullptr, "ciphertext");
    auto r = app::WriteRecoveredFile(api, volume, e, (dir / "secret.doc").string());
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.path, (dir / "secret.doc.bak").string());
    EXPECT_FALSE(fs::exists(dir / "secret.doc"));
    std::string raw = Slurp(dir / "secret.doc.bak");
    ASSERT_GE(raw.size(), 20u);
    EXPECT_EQ(raw.substr(0, 12), std::string("\x00\x01\x00\x00R\0O\0B\0S\0", 12));  // the raw form's header
    EXPECT_NE(raw.find("ciphertext"), std::string::npos);
}

TEST_F(WriterTest, ReadWholeFilePlacesStreamsInOrderAndNeverPastTheBuffer) {
    testtree::Tree t;
    SNAPSHOT_ENTRY* e = Entry(t);
    std::string want = Expected() + "side data";
    std::vector<char> buffer(want.size());
    size_t placed = 0;
    ASSERT_TRUE(app::ReadWholeFile(api, volume, e, buffer.data(), buffer.size(), &placed));
    EXPECT_EQ(placed, want.size());
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), want);

    std::vector<char> small(1000);
    ASSERT_TRUE(app::ReadWholeFile(api, volume, e, small.data(), small.size(), &placed));
    EXPECT_EQ(placed, small.size());
    EXPECT_EQ(std::string(small.begin(), small.end()), want.substr(0, 1000));
}

}  // namespace
