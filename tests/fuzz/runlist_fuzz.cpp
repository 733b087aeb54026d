// Fuzzes run-list decoding and stream reading: the input becomes one or two extents (plain
// or compressed) over a small image of pseudo-random clusters, read cluster by cluster,
// plus GetFirstCluster. A damaged run list must end in a failed read, never a fault.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/snapshot/records.h"
#include "engine/snapshot/stream_reader.h"
#include "engine/volume.h"
#include "platform/wide_string.h"

namespace {

constexpr uint32_t kClusterBytes = 512;
constexpr uint32_t kClusters = 96;
std::string imagePath;
VolumeAccess* volume = nullptr;

void RemoveImage() {
    delete volume;
    if (!imagePath.empty()) unlink(imagePath.c_str());
}

// Image of 512-byte clusters with an NTFS boot sector and pseudo-random bytes after it,
// some of them valid LZNT1 framing by chance.
void MakeImage() {
    char name[] = "/tmp/undelete-runlist-fuzz-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) std::abort();
    std::vector<uint8_t> image(size_t(kClusters) * kClusterBytes);
    uint32_t x = 12345;
    for (auto& b : image) b = uint8_t((x = x * 1103515245 + 12345) >> 16);
    for (size_t i = 0; i < kClusterBytes; ++i) image[i] = 0;
    std::copy_n("NTFS    ", 8, image.begin() + 3);
    image[11] = kClusterBytes & 0xFF;
    image[12] = kClusterBytes >> 8;
    image[13] = 1;
    if (write(fd, image.data(), image.size()) != ssize_t(image.size())) std::abort();
    close(fd);
    imagePath = name;
    volume = new VolumeAccess();
    if (!volume->OpenVolume(platform::WideFromUtf8(imagePath).c_str())) std::abort();
    std::atexit(RemoveImage);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!volume) MakeImage();
    if (size < 4) return 0;
    // Header: flags of both extents, compression unit, where the second run list starts,
    // and the VCN gap between the extents (0 joins them).
    const uint8_t mode = data[0];
    const uint32_t compressionUnit = data[1] % 6;
    const size_t split = size > 4 ? 4 + data[2] % (size - 4 + 1) : 4;
    const int64_t gap = data[3] % 3;
    const uint32_t flags1 = (mode & 1) ? EXTENT_COMPRESSED : 0, flags2 = (mode & 2) ? EXTENT_COMPRESSED : 0;

    ENTRY_STREAM* stream = NewEntryStream(nullptr);
    if (!stream) return 0;
    const int64_t lastVcn = mode >> 2;
    stream->extents = NewStreamExtent(0, lastVcn, flags1, data + 4, uint32_t(split - 4), compressionUnit);
    if (stream->extents && (mode & 0x80))
        stream->extents->next =
            NewStreamExtent(lastVcn + 1 + gap, lastVcn + 64, flags2, data + split, uint32_t(size - split), compressionUnit);

    GetFirstCluster(stream);
    if (StreamReader* reader = OpenStream(volume, stream)) {
        std::vector<uint8_t> buffer(size_t(3) * kClusterBytes);
        for (int i = 0; i < 48; ++i) {
            const uint32_t count = 1 + uint32_t(i % 3);
            if (!ReadStream(reader, buffer.data(), count)) break;
        }
        CloseStream(reader);
    }
    FreeEntryStream(stream);
    return 0;
}
