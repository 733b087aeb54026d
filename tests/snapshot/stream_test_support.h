// Streams and volumes made by hand for the stream reader tests: a stream built from run
// lists, a run-list encoder, and a small image file whose clusters hold known bytes.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <unistd.h>
#include <vector>

#include "engine/snapshot/records.h"
#include "engine/volume.h"
#include "platform/wide_string.h"

namespace streamtest {

using Bytes = std::vector<uint8_t>;

struct ExtentSpec {
    int64_t firstVcn;
    int64_t lastVcn;
    Bytes runList;
    uint32_t flags = 0;
    uint32_t compressionUnit = 0;
};

// An ENTRY_STREAM owning its extents, freed with the engine's own release routine.
class OwnedStream {
public:
    explicit OwnedStream(const std::vector<ExtentSpec>& extents, int64_t size = 0) {
        stream_ = NewEntryStream(nullptr);
        stream_->size = size;
        STREAM_EXTENT** tail = &stream_->extents;
        for (const auto& e : extents) {
            *tail = NewStreamExtent(e.firstVcn, e.lastVcn, e.flags, e.runList.data(), uint32_t(e.runList.size()),
                                    e.compressionUnit);
            tail = &(*tail)->next;
        }
    }
    static OwnedStream Resident(const Bytes& data) {
        OwnedStream s({}, int64_t(data.size()));
        s.stream_->residentData = static_cast<uint8_t*>(std::malloc(data.size()));
        std::copy(data.begin(), data.end(), s.stream_->residentData);
        return s;
    }
    OwnedStream(OwnedStream&& o) noexcept : stream_(o.stream_) { o.stream_ = nullptr; }
    OwnedStream(const OwnedStream&) = delete;
    ~OwnedStream() { FreeEntryStream(stream_); }
    ENTRY_STREAM* get() const { return stream_; }

private:
    ENTRY_STREAM* stream_;
};

// Mapping-pairs form of a stream given as the cluster of each of its clusters (0: sparse).
inline Bytes EncodeRunList(const std::vector<int64_t>& clusters) {
    auto minimalBytes = [](int64_t v, bool isSigned) {
        uint32_t n = 1;
        while (n < 8) {
            int64_t lo = isSigned ? -(int64_t(1) << (8 * n - 1)) : 0;
            int64_t hi = isSigned ? (int64_t(1) << (8 * n - 1)) - 1 : (int64_t(1) << (8 * n)) - 1;
            if (v >= lo && v <= hi) break;
            ++n;
        }
        return n;
    };
    Bytes out;
    int64_t previous = 0;
    for (size_t i = 0; i < clusters.size();) {
        size_t j = i + 1;
        const bool sparse = clusters[i] == 0;
        while (j < clusters.size() && (sparse ? clusters[j] == 0 : clusters[j] == clusters[j - 1] + 1)) ++j;
        const int64_t length = int64_t(j - i);
        const uint32_t l = minimalBytes(length, false);
        const int64_t delta = sparse ? 0 : clusters[i] - previous;
        const uint32_t f = sparse ? 0 : minimalBytes(delta, true);
        out.push_back(uint8_t(l | (f << 4)));
        for (uint32_t b = 0; b < l; ++b) out.push_back(uint8_t(uint64_t(length) >> (8 * b)));
        for (uint32_t b = 0; b < f; ++b) out.push_back(uint8_t(uint64_t(delta) >> (8 * b)));
        if (!sparse) previous = clusters[i];
        i = j;
    }
    out.push_back(0);
    return out;
}

// A raw NTFS-looking image of 512-byte clusters (one sector each) where every byte of
// cluster k is PatternByte(k); sector 0 holds the boot sector.
inline uint8_t PatternByte(int64_t cluster) { return uint8_t(cluster * 7 + 1); }

class PatternImage {
public:
    static constexpr uint32_t kClusterBytes = 512;
    explicit PatternImage(uint32_t clusters, const std::vector<std::pair<int64_t, Bytes>>& overrides = {}) {
        char name[] = "/tmp/undelete-stream-XXXXXX";
        int fd = mkstemp(name);
        ::close(fd);
        path_ = name;
        Bytes image(size_t(clusters) * kClusterBytes);
        for (uint32_t k = 1; k < clusters; ++k)
            std::fill_n(image.begin() + size_t(k) * kClusterBytes, kClusterBytes, PatternByte(k));
        for (const auto& [cluster, bytes] : overrides)
            std::copy(bytes.begin(), bytes.end(), image.begin() + size_t(cluster) * kClusterBytes);
        std::fill_n(image.begin(), kClusterBytes, 0);
        std::copy_n("NTFS    ", 8, image.begin() + 3);
        image[11] = kClusterBytes & 0xFF;
        image[12] = kClusterBytes >> 8;
        image[13] = 1;
        std::ofstream(path_, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), image.size());
        volume.OpenVolume(platform::WideFromUtf8(path_).c_str());
    }
    ~PatternImage() {
        volume.CloseVolume();
        std::filesystem::remove(path_);
    }
    VolumeAccess volume;

private:
    std::string path_;
};

}  // namespace streamtest
