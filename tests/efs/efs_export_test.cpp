// The raw export of an encrypted file, read from a small NTFS-like image whose clusters
// hold known bytes, with streams described by hand-made run lists.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "engine/efs_export.h"
#include "engine/volume.h"
#include "platform/wide_string.h"

namespace {

constexpr uint32_t kCluster = 4096;
constexpr uint32_t kClusters = 64;

uint8_t ImageByte(uint64_t offset) { return uint8_t(offset * 7 + offset / kCluster); }

// One stream: a name (null for the unnamed one), its size and its runs (cluster, count).
struct StreamSpec {
    const char16_t* name;
    int64_t size;
    std::vector<std::pair<uint32_t, uint32_t>> runs;  // absolute first cluster, clusters
};

// Owns the hand-made stream list.
struct StreamList {
    ENTRY_STREAM* head = nullptr;
    StreamList(const std::vector<StreamSpec>& specs) {
        ENTRY_STREAM** tail = &head;
        for (const StreamSpec& spec : specs) {
            ENTRY_STREAM* s = NewEntryStream(spec.name);
            s->size = spec.size;
            std::vector<uint8_t> runList;
            int64_t previous = 0, vcns = 0;
            for (auto [first, count] : spec.runs) {
                int64_t delta = int64_t(first) - previous;
                previous = first;
                runList.push_back(0x21);  // one byte of length, two of delta
                runList.push_back(uint8_t(count));
                runList.push_back(uint8_t(delta));
                runList.push_back(uint8_t(delta >> 8));
                vcns += count;
            }
            runList.push_back(0);
            if (!spec.runs.empty())
                s->extents = NewStreamExtent(0, vcns - 1, 0, runList.data(), uint32_t(runList.size()), 0);
            *tail = s;
            tail = &s->next;
        }
    }
    ~StreamList() {
        while (head) {
            ENTRY_STREAM* next = head->next;
            FreeEntryStream(head);
            head = next;
        }
    }
};

// The bytes a stream's clusters hold on the image, `count` bytes from its start.
std::vector<uint8_t> DiskBytes(const StreamSpec& spec, size_t count) {
    std::vector<uint8_t> out;
    for (auto [first, clusters] : spec.runs)
        for (uint64_t o = uint64_t(first) * kCluster; o < uint64_t(first + clusters) * kCluster && out.size() < count; ++o)
            out.push_back(ImageByte(o));
    return out;
}

class EfsExport : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/undelete-efs-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        std::vector<uint8_t> image(size_t(kClusters) * kCluster);
        for (size_t i = 0; i < image.size(); ++i) image[i] = ImageByte(i);
        // Enough of an NTFS boot sector to be opened: the name, 512-byte sectors, 8 per cluster.
        std::memcpy(&image[3], "NTFS    ", 8);
        image[11] = 0x00;
        image[12] = 0x02;
        image[13] = 8;
        std::ofstream(dir_ + "/ntfs.img", std::ios::binary).write(reinterpret_cast<char*>(image.data()), long(image.size()));
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    void SetUp() override {
        std::u16string path = platform::WideFromUtf8(dir_ + "/ntfs.img");
        ASSERT_NE(volume_.OpenVolume(path.c_str()), 0);
        ASSERT_EQ(volume_.GetClusterSize(), kCluster);
    }

    // Runs an export to its end, `room` bytes per call; the size of every piece.
    std::vector<uint32_t> Export(ENTRY_STREAM* streams, uint32_t room, std::vector<uint8_t>& out, uint32_t* result) {
        std::vector<uint8_t> buffer(262144);
        EfsExportContext* c = CreateEfsExport(&volume_, streams, buffer.data(), uint32_t(buffer.size()), nullptr, 0);
        std::vector<uint32_t> pieces;
        std::vector<uint8_t> data(room);
        *result = 0;
        for (int guard = 0; guard < 1000; ++guard) {
            uint32_t length = room;
            *result = EfsExportCallback(data.data(), c, &length);
            if (*result != 0 || length == 0) break;
            pieces.push_back(length);
            out.insert(out.end(), data.begin(), data.begin() + length);
        }
        DeleteEfsExport(c);
        return pieces;
    }

    static std::string dir_;
    VolumeAccess volume_;
};
std::string EfsExport::dir_;

// A 300-byte "$EFS" stream and one unnamed stream of 70000 bytes in two runs.
const StreamSpec kEfs = {u"$EFS", 300, {{3, 1}}};
const StreamSpec kData = {nullptr, 70000, {{10, 10}, {30, 8}}};
const std::u16string kLongName(261, u'x');

TEST_F(EfsExport, ExampleEntryGivesTheListedPiecesAndBytes) {
    StreamList list({kEfs, kData});
    std::vector<uint8_t> out;
    uint32_t result = 99;
    std::vector<uint32_t> pieces = Export(list.head, 1 << 20, out, &result);
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(pieces, (std::vector<uint32_t>{20, 30, 16, 300, 42, 512, 65536, 512, 4608}));

    // Byte for byte.
    std::vector<uint8_t> want;
    auto put32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) want.push_back(uint8_t(v >> (8 * i))); };
    auto putText = [&](const std::u16string& s) { for (char16_t ch : s) { want.push_back(uint8_t(ch)); want.push_back(uint8_t(ch >> 8)); } };
    auto zeros = [&](size_t n) { want.insert(want.end(), n, 0); };
    auto streamHeader = [&](const std::u16string& name) {
        put32(28 + uint32_t(name.size()) * 2); putText(u"NTFS"); zeros(12); put32(uint32_t(name.size()) * 2); putText(name);
    };
    auto blockHeader = [&](uint32_t index, uint32_t dataSize, uint32_t rounded) {
        put32(rounded + 512); putText(u"GURE"); zeros(4); put32(index * 65536); zeros(4); put32(0x1F0);
        put32(dataSize); put32(dataSize); zeros(4); put32(0x1010C); put32(rounded); zeros(464);
    };
    put32(0x100); putText(u"ROBS"); zeros(8);
    streamHeader(std::u16string(1, char16_t(0x1910)));
    put32(316); putText(u"GURE"); zeros(4);
    std::vector<uint8_t> efs = DiskBytes(kEfs, 300);
    want.insert(want.end(), efs.begin(), efs.end());
    streamHeader(u"::$DATA");
    std::vector<uint8_t> data = DiskBytes(kData, 65536 + 4608);  // the padding is the disk's next bytes
    blockHeader(0, 65536, 65536);
    want.insert(want.end(), data.begin(), data.begin() + 65536);
    blockHeader(1, 4464, 4608);
    want.insert(want.end(), data.begin() + 65536, data.end());
    ASSERT_EQ(out.size(), want.size());
    EXPECT_TRUE(out == want);
}

TEST_F(EfsExport, SmallCallerBufferGivesTheBlockHeaderAloneThenPieces) {
    StreamList list({kEfs, kData});
    std::vector<uint8_t> small, large;
    uint32_t result = 99;
    std::vector<uint32_t> pieces = Export(list.head, 5000, small, &result);
    EXPECT_EQ(result, 0u);
    std::vector<uint32_t> want = {20, 30, 16, 300, 42, 512};
    want.insert(want.end(), 13, 5000);
    want.insert(want.end(), {536, 512, 4608});
    EXPECT_EQ(pieces, want);
    Export(list.head, 1 << 20, large, &result);
    EXPECT_TRUE(small == large);
}

TEST_F(EfsExport, StreamListsAndTheirResults) {
    struct Case {
        const char* what;
        std::vector<StreamSpec> streams;
        uint32_t result;
        std::vector<uint32_t> pieces;
    } cases[] = {
        {"no $EFS stream fails on the second call", {kData}, 2, {20}},
        {"an empty data stream gives its header only", {kEfs, {nullptr, 0, {}}}, 0, {20, 30, 16, 300, 42}},
        {"a named stream's header carries :name:$DATA", {kEfs, {u"ab", 100, {{40, 1}}}}, 0, {20, 30, 16, 300, 46, 512, 512}},
        {"a stream name over 260 characters fails", {kEfs, {kLongName.c_str(), 1, {{40, 1}}}}, 13,
         {20, 30, 16, 300}},
        // A run beyond the image: the failed read is reported, not exported as stale bytes.
        {"a failed cluster read is reported", {kEfs, {nullptr, 4096, {{500, 1}}}}, 38, {20, 30, 16, 300, 42, 512}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StreamList list(c.streams);
        std::vector<uint8_t> out;
        uint32_t result = 99;
        EXPECT_EQ(Export(list.head, 1 << 20, out, &result), c.pieces);
        EXPECT_EQ(result, c.result);
    }
}

uint32_t CancelAlways(uint32_t, uint32_t value) { return value; }

TEST_F(EfsExport, CancelGives1223AndNoBytes) {
    StreamList list({kEfs, kData});
    std::vector<uint8_t> buffer(262144), data(1 << 16);
    EfsExportContext* c = CreateEfsExport(&volume_, list.head, buffer.data(), uint32_t(buffer.size()), CancelAlways, 1);
    for (uint32_t piece : {20u, 30u, 16u}) {
        uint32_t length = uint32_t(data.size());
        ASSERT_EQ(EfsExportCallback(data.data(), c, &length), 0u);
        ASSERT_EQ(length, piece);
    }
    uint32_t length = uint32_t(data.size());
    EXPECT_EQ(EfsExportCallback(data.data(), c, &length), 1223u);
    EXPECT_EQ(length, 0u);
    DeleteEfsExport(c);
    DeleteEfsExport(nullptr);
}

TEST_F(EfsExport, ResidentStreamLargerThanTheBufferIsCopiedInOrder) {
    std::vector<uint8_t> bytes(10000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 13 + i / 256);
    StreamList list({{u"$EFS", 10000, {}}});
    list.head->residentData = static_cast<uint8_t*>(std::malloc(bytes.size()));
    std::memcpy(list.head->residentData, bytes.data(), bytes.size());
    // A 4096-byte caller buffer: the resident bytes go through it in three fills.
    std::vector<uint8_t> buffer(4096), data(1 << 16), out;
    EfsExportContext* c = CreateEfsExport(&volume_, list.head, buffer.data(), uint32_t(buffer.size()), nullptr, 0);
    uint32_t length = 0;
    for (int i = 0; i < 3; ++i) {
        length = uint32_t(data.size());
        ASSERT_EQ(EfsExportCallback(data.data(), c, &length), 0u);
    }
    length = uint32_t(data.size());
    ASSERT_EQ(EfsExportCallback(data.data(), c, &length), 0u);
    out.assign(data.begin(), data.begin() + length);
    EXPECT_TRUE(out == bytes);
    DeleteEfsExport(c);
}

}  // namespace
