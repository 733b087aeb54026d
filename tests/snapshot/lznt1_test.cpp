// LZNT1 chunks and the chunk walk over one compression unit, on hand-made data: literals,
// back-references (overlapping too), every malformed form, stored chunks and framing.
#include <gtest/gtest.h>

#include <string>

#include "engine/snapshot/lznt1.h"
#include "engine/snapshot/stream_reader.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes B(std::initializer_list<int> v) { return Bytes(v.begin(), v.end()); }

struct ChunkCase {
    const char* what;
    Bytes source;
    uint32_t capacity;
    int32_t produced;  // -1: the chunk fails
    std::string text;  // what it decodes to
};

TEST(Lznt1, DecompressChunk) {
    const std::vector<ChunkCase> cases = {
        {"literals", B({0x00, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0x00, 'i'}), 4096, 9, "abcdefghi"},
        {"back-reference, displacement 3 length 6", B({0x08, 'a', 'b', 'c', 0x03, 0x20}), 4096, 9, "abcabcabc"},
        {"overlapping back-reference copies byte by byte", B({0x02, 'a', 0x02, 0x00}), 4096, 6, "aaaaaa"},
        {"back-reference at position 0", B({0x01, 0x00, 0x00}), 4096, -1, ""},
        {"displacement beyond the bytes produced", B({0x02, 'a', 0x00, 0x10}), 4096, -1, ""},
        {"back-reference word cut off", B({0x02, 'a', 0x05}), 4096, -1, ""},
        {"literal past the capacity", B({0x00, 'a', 'b', 'c'}), 2, -1, ""},
        {"back-reference past the capacity", B({0x02, 'a', 0x02, 0x00}), 4, -1, ""},
        {"a lone flag byte produces nothing", B({0x00}), 4096, 0, ""},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.what);
        Bytes out(tc.capacity + 16, 0xEE);
        const int32_t n = StreamReader::DecompressChunk(tc.source.data(), uint32_t(tc.source.size()), out.data(),
                                                        tc.capacity);
        EXPECT_EQ(n, tc.produced);
        if (n >= 0) {
            EXPECT_EQ(std::string(out.begin(), out.begin() + n), tc.text);
        }
        EXPECT_EQ(out[tc.capacity], 0xEE);  // never written past the capacity
    }
}

TEST(Lznt1, DisplacementFieldWidensWithThePosition) {
    // 20 literals, then a back-reference with displacement 17 and length 4: at position 20
    // the split is 5 bits of displacement (shift 11), so the word is (16 << 11) | 1.
    std::string expected;
    for (char c = 'A'; c < 'A' + 20; ++c) expected += c;
    Bytes src;
    for (size_t i = 0; i < expected.size(); ++i) {
        if (i % 8 == 0) src.push_back(i == 16 ? 0x10 : 0x00);  // token 5 of the third group: the reference
        src.push_back(uint8_t(expected[i]));
    }
    const uint16_t w = (16 << 11) | 1;
    src.push_back(uint8_t(w));
    src.push_back(uint8_t(w >> 8));
    expected += expected.substr(3, 4);
    Bytes out(4096);
    const int32_t n = StreamReader::DecompressChunk(src.data(), uint32_t(src.size()), out.data(), 4096);
    ASSERT_EQ(n, 24);
    EXPECT_EQ(std::string(out.begin(), out.begin() + n), expected);
}

Bytes Header(uint32_t dataBytes, bool compressed = true) {
    const uint32_t h = (dataBytes - 1) | (compressed ? 0xB000 : 0x3000);
    return B({int(h & 0xFF), int(h >> 8)});
}

TEST(Lznt1, UnitWalkFramesChunksAt4096Bytes) {
    Bytes stored(4096);
    for (size_t i = 0; i < stored.size(); ++i) stored[i] = uint8_t(i * 31);
    Bytes raw = B({0xFF, 0xBF});  // size field 4095: a stored chunk
    raw.insert(raw.end(), stored.begin(), stored.end());
    const Bytes shortChunk = B({0x08, 'a', 'b', 'c', 0x03, 0x20});  // "abcabcabc"
    const Bytes h = Header(uint32_t(shortChunk.size()));
    raw.insert(raw.end(), h.begin(), h.end());
    raw.insert(raw.end(), shortChunk.begin(), shortChunk.end());
    raw.insert(raw.end(), h.begin(), h.end());
    raw.insert(raw.end(), shortChunk.begin(), shortChunk.end());
    raw.push_back(0);
    raw.push_back(0);  // end of the unit's data
    raw.resize(raw.size() + 100, 0x77);

    Bytes decoded(16384, 0xEE);
    ASSERT_TRUE(Lznt1DecompressUnit(raw.data(), uint32_t(raw.size()), decoded.data(), 16384));
    Bytes expected(16384, 0);
    std::copy(stored.begin(), stored.end(), expected.begin());
    for (size_t at : {4096u, 8192u}) std::copy_n("abcabcabc", 9, expected.begin() + at);
    EXPECT_EQ(decoded, expected);
}

TEST(Lznt1, UnitWalkRefusesChunksThatDoNotFit) {
    const Bytes chunk = B({0x00, 'x', 'y'});
    struct Case {
        const char* what;
        Bytes raw;
        uint32_t unitBytes;
    };
    Bytes overrun = Header(40);
    overrun.insert(overrun.end(), chunk.begin(), chunk.end());
    Bytes storedTooBig = B({0xFF, 0xBF});
    storedTooBig.resize(2 + 4096, 1);
    Bytes storedCut = B({0xFF, 0xBF});
    storedCut.resize(2 + 100, 1);
    Bytes bad = Header(3);
    bad.insert(bad.end(), {0x01, 0x00, 0x00});
    const std::vector<Case> cases = {
        {"chunk overruns the unit's data", overrun, 8192},
        {"stored chunk larger than the decoded buffer", storedTooBig, 2048},
        {"stored chunk cut off by the unit's data", storedCut, 8192},
        {"chunk that does not decode", bad, 8192},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.what);
        Bytes decoded(tc.unitBytes + 16, 0xEE);
        EXPECT_FALSE(Lznt1DecompressUnit(tc.raw.data(), uint32_t(tc.raw.size()), decoded.data(), tc.unitBytes));
        EXPECT_EQ(decoded[tc.unitBytes], 0xEE);
    }
}

}  // namespace
