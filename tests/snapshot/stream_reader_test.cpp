// StreamReader over hand-made run lists on a small image whose clusters hold known bytes:
// plain, sparse and negative runs, extents joined or broken, malformed run lists,
// resident streams, uncompressed and sparse compression units, and GetFirstCluster.
#include <gtest/gtest.h>

#include "engine/snapshot/stream_reader.h"
#include "platform/last_error.h"
#include "snapshot/stream_test_support.h"

using namespace streamtest;

namespace {

constexpr int64_t Z = -1;  // a cluster that reads as zeros
constexpr uint32_t kCb = PatternImage::kClusterBytes;

// The bytes a stream of these clusters reads as.
Bytes Expected(const std::vector<int64_t>& clusters) {
    Bytes out;
    for (int64_t c : clusters) out.insert(out.end(), kCb, c == Z ? 0 : PatternByte(c));
    return out;
}

// Reads `total` clusters in calls of `step` clusters.
Bytes ReadAll(VolumeAccess* v, ENTRY_STREAM* s, uint32_t total, uint32_t step) {
    StreamReader r;
    EXPECT_EQ(r.Open(v, s), 1);
    Bytes out(size_t(total) * kCb, 0xEE);
    for (uint32_t done = 0; done < total; done += step) {
        const uint32_t n = std::min(step, total - done);
        if (!r.Read(out.data() + size_t(done) * kCb, n)) return {};
    }
    return out;
}

struct RunCase {
    const char* what;
    std::vector<ExtentSpec> extents;
    std::vector<int64_t> clusters;
};

TEST(StreamReader, RunListsReadAsTheirClusters) {
    PatternImage image(256);
    const std::vector<RunCase> cases = {
        {"sparse run keeps the accumulator, FB is -5",
         {{0, 8, {0x11, 0x04, 0x0A, 0x01, 0x02, 0x11, 0x03, 0xFB, 0x00}}},
         {10, 11, 12, 13, Z, Z, 5, 6, 7}},
        {"5 clusters at 32, then 3 sparse",
         {{0, 7, {0x11, 0x05, 0x20, 0x01, 0x03, 0x00}}},
         {32, 33, 34, 35, 36, Z, Z, Z}},
        {"one-byte delta F0 is -16", {{0, 3, {0x11, 0x02, 0x20, 0x11, 0x02, 0xF0, 0x00}}}, {32, 33, 16, 17}},
        {"sparse run in the middle reads zeros, not the previous run",
         {{0, 5, {0x11, 0x02, 0x14, 0x01, 0x02, 0x11, 0x02, 0x02, 0x00}}},
         {20, 21, Z, Z, 22, 23}},
        {"all-zero delta bytes are sparse too",
         {{0, 3, {0x11, 0x01, 0x05, 0x21, 0x02, 0x00, 0x00, 0x11, 0x01, 0x01, 0x00}}},
         {5, Z, Z, 6}},
        {"two-byte length and delta", {{0, 2, {0x22, 0x03, 0x00, 0xC8, 0x00, 0x00}}}, {200, 201, 202}},
        {"two extents joined at lastVcn + 1; the second starts from cluster 0",
         {{0, 99, {0x11, 0x64, 0x0A, 0x00}}, {100, 101, {0x11, 0x02, 0x05, 0x00}}},
         [] {
             std::vector<int64_t> c;
             for (int64_t k = 10; k < 110; ++k) c.push_back(k);
             c.push_back(5);
             c.push_back(6);
             return c;
         }()},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.what);
        OwnedStream s(tc.extents);
        const auto total = uint32_t(tc.clusters.size());
        EXPECT_EQ(ReadAll(&image.volume, s.get(), total, total), Expected(tc.clusters));
        EXPECT_EQ(ReadAll(&image.volume, s.get(), total, 1), Expected(tc.clusters));
        EXPECT_EQ(ReadAll(&image.volume, s.get(), total, 3), Expected(tc.clusters));
    }
}

struct FailCase {
    const char* what;
    std::vector<ExtentSpec> extents;
    uint32_t clusters;
    DWORD error;
};

TEST(StreamReader, BrokenRunListsFailWithTheirError) {
    PatternImage image(256);
    const std::vector<FailCase> cases = {
        {"next extent starts past lastVcn + 1",
         {{0, 99, {0x11, 0x64, 0x0A, 0x00}}, {101, 102, {0x11, 0x02, 0x05, 0x00}}}, 102, 5029},
        {"runs end with no next extent", {{0, 1, {0x11, 0x02, 0x0A, 0x00}}}, 3, 5029},
        {"run list without its end byte", {{0, 1, {0x11, 0x02, 0x0A}}}, 3, 111},
        {"header announces more bytes than remain", {{0, 1, {0x31, 0x02, 0x0A}}}, 1, 111},
        {"length field wider than 64 bits", {{0, 1, {0x19, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0x00}}}, 1, 111},
        {"negative run length",
         {{0, 1, {0x18, 0, 0, 0, 0, 0, 0, 0, 0x80, 0x00}}}, 1, 111},
        {"next extent with an empty run list", {{0, 1, {0x11, 0x02, 0x0A, 0x00}}, {2, 3, {}}}, 3, 111},
        {"cluster beyond the image", {{0, 1, {0x21, 0x02, 0x00, 0x01, 0x00}}}, 2, 0},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.what);
        OwnedStream s(tc.extents);
        StreamReader r;
        ASSERT_EQ(r.Open(&image.volume, s.get()), 1);
        Bytes out(size_t(tc.clusters) * kCb);
        platform::SetLastError(0);
        EXPECT_EQ(r.Read(out.data(), tc.clusters), 0);
        if (tc.error) {
            EXPECT_EQ(platform::GetLastError(), tc.error);
        }
    }
}

TEST(StreamReader, StreamWithoutDataFailsAndLeavesTheErrorAlone) {
    PatternImage image(16);
    OwnedStream s({});
    StreamReader r;
    ASSERT_EQ(r.Open(&image.volume, s.get()), 1);
    platform::SetLastError(1234);
    Bytes out(kCb);
    EXPECT_EQ(r.Read(out.data(), 1), 0);
    EXPECT_EQ(platform::GetLastError(), 1234u);
}

TEST(StreamReader, ResidentStreamCopiesTheSameBytesEveryTime) {
    Bytes data(300);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 13);
    OwnedStream s = OwnedStream::Resident(data);
    StreamReader r;
    ASSERT_EQ(r.Open(nullptr, s.get()), 1);
    for (uint32_t count : {1u, 50u, 1u}) {
        Bytes out(400, 0xEE);
        ASSERT_EQ(r.Read(out.data(), count), 1);
        EXPECT_EQ(Bytes(out.begin(), out.begin() + 300), data);
        EXPECT_EQ(out[300], 0xEE);  // nothing beyond the value is written
    }
}

TEST(StreamReader, NextRunDecodesLengthsAndSignedDeltas) {
    OwnedStream s({{0, 8, {0x11, 0x04, 0x0A, 0x01, 0x02, 0x11, 0x03, 0xFB, 0x00}}});
    StreamReader r;
    ASSERT_EQ(r.Open(nullptr, s.get()), 1);
    EXPECT_EQ(r.unitBuffer, nullptr);
    int64_t length = 0, delta = 0;
    const std::vector<std::pair<int64_t, int64_t>> runs = {{4, 10}, {2, 0}, {3, -5}};
    for (const auto& [l, d] : runs) {
        ASSERT_EQ(r.NextRun(&length, &delta), 1);
        EXPECT_EQ(length, l);
        EXPECT_EQ(delta, d);
    }
    platform::SetLastError(0);
    EXPECT_EQ(r.NextRun(&length, &delta), 0);
    EXPECT_EQ(platform::GetLastError(), 5029u);
    r.runClustersLeft = 3;
    EXPECT_EQ(r.HasRunClusters(3), 1);
    EXPECT_EQ(r.HasRunClusters(4), 0);
}

TEST(StreamReader, CompressionUnitsThatAreNotCompressedAreHandedOutAsStored) {
    PatternImage image(128);
    const uint32_t kCompressed = EXTENT_COMPRESSED;
    // Cluster 1's bytes (0x08 each) announce a chunk longer than the unit's data.
    const std::vector<RunCase> cases = {
        {"16 real clusters: unchanged", {{0, 15, {0x11, 0x10, 0x20, 0x00}, kCompressed, 4}},
         {32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47}},
        {"wholly sparse unit: zeros", {{0, 15, {0x01, 0x10, 0x00}, kCompressed, 4}},
         std::vector<int64_t>(16, Z)},
        {"16 real clusters, then a wholly sparse unit",
         {{0, 31, {0x11, 0x10, 0x20, 0x01, 0x10, 0x00}, kCompressed, 4}},
         {32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z,
          Z, Z, Z, Z}},
        {"a compressed unit whose chunk does not decode is handed out raw",
         {{0, 15, {0x11, 0x01, 0x01, 0x01, 0x0F, 0x00}, kCompressed, 4}},
         {1, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z}},
        {"sparse clusters inside a unit make it a stored unit",
         {{0, 15, {0x11, 0x02, 0x20, 0x01, 0x02, 0x11, 0x0C, 0x0A, 0x00}, kCompressed, 4}},
         {32, 33, Z, Z, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53}},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.what);
        OwnedStream s(tc.extents);
        const auto total = uint32_t(tc.clusters.size());
        EXPECT_EQ(ReadAll(&image.volume, s.get(), total, total), Expected(tc.clusters));
        EXPECT_EQ(ReadAll(&image.volume, s.get(), total, 5), Expected(tc.clusters));
    }
}

TEST(StreamReader, OpenRefusesACompressionUnitItCannotHold) {
    PatternImage image(16);
    OwnedStream s({{0, 15, {0x11, 0x10, 0x20, 0x00}, EXTENT_COMPRESSED, 40}});
    StreamReader r;
    EXPECT_EQ(r.Open(&image.volume, s.get()), 0);
    EXPECT_EQ(r.unitBuffer, nullptr);
    EXPECT_EQ(r.decodedBuffer, nullptr);
    EXPECT_EQ(OpenStream(&image.volume, s.get()), nullptr);
}

TEST(StreamReader, EntryPointsOpenReadAndClose) {
    PatternImage image(64);
    OwnedStream s({{0, 15, {0x11, 0x10, 0x20, 0x00}, EXTENT_COMPRESSED, 4}});
    StreamReader* r = OpenStream(&image.volume, s.get());
    ASSERT_NE(r, nullptr);
    EXPECT_NE(r->unitBuffer, nullptr);
    Bytes out(size_t(16) * kCb);
    EXPECT_EQ(ReadStream(r, out.data(), 16), 1);
    EXPECT_EQ(out, Expected({32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47}));
    r->Release();
    EXPECT_EQ(r->unitBuffer, nullptr);
    CloseStream(r);
    CloseStream(nullptr);
    EXPECT_EQ(ReadStream(nullptr, out.data(), 1), 0);
}

TEST(StreamReader, GetFirstClusterIsTheFirstRealRun) {
    OwnedStream resident = OwnedStream::Resident({1, 2, 3});
    OwnedStream empty({});
    const std::vector<std::pair<std::vector<ExtentSpec>, int64_t>> cases = {
        {{{0, 7, {0x01, 0x03, 0x21, 0x02, 0x88, 0x13, 0x00}}}, 5000},
        {{{0, 8, {0x11, 0x04, 0x0A, 0x01, 0x02, 0x11, 0x03, 0xFB, 0x00}}}, 10},
        {{{0, 4, {0x01, 0x05, 0x00}}}, -1},
        {{{0, 4, {0x31, 0x05}}}, -1},
        {{{0, 3, {0x01, 0x04, 0x00}}, {4, 5, {0x11, 0x02, 0x07, 0x00}}}, 7},
    };
    EXPECT_EQ(GetFirstCluster(nullptr), -1);
    EXPECT_EQ(GetFirstCluster(resident.get()), -1);
    EXPECT_EQ(GetFirstCluster(empty.get()), -1);
    for (const auto& [extents, first] : cases) {
        OwnedStream s(extents);
        EXPECT_EQ(GetFirstCluster(s.get()), first);
    }
}

}  // namespace
