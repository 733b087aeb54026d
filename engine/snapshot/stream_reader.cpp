#include "engine/snapshot/stream_reader.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/snapshot/lznt1.h"
#include "engine/status.h"
#include "engine/volume.h"
#include "platform/last_error.h"

namespace {

// Largest compression unit the reader accepts (NTFS itself uses 16 clusters).
constexpr uint64_t kMaxUnitBytes = 64u * 1024 * 1024;

// Cluster arithmetic on damaged run lists may leave the 64-bit range; wrap instead of
// overflowing, the read of such a cluster then fails.
int64_t WrapAdd(int64_t a, int64_t b) { return int64_t(uint64_t(a) + uint64_t(b)); }

int32_t Fail(DWORD code) {
    platform::SetLastError(code);
    return 0;
}

// Decodes the next run and makes it current.
int32_t TakeRun(StreamReader& r) {
    int64_t length = 0, delta = 0;
    if (!r.NextRun(&length, &delta)) return 0;
    r.runClustersLeft = length;
    r.clusterAccumulator = WrapAdd(r.clusterAccumulator, delta);
    r.runIsSparse = delta == 0 ? 1 : 0;
    if (delta != 0) r.position = r.clusterAccumulator;
    return 1;
}

// Plain reading: each run piece straight into the caller's buffer, zeros for sparse runs.
int32_t ReadPlain(StreamReader& r, uint8_t* out, uint32_t wanted) {
    const size_t clusterBytes = r.volume->GetClusterSize();
    while (wanted) {
        if (r.runClustersLeft == 0) {
            if (!TakeRun(r)) return 0;
            r.position = r.clusterAccumulator;
            continue;  // a run of length 0 takes the next one
        }
        const uint32_t k = r.runClustersLeft < int64_t(wanted) ? uint32_t(r.runClustersLeft) : wanted;
        if (r.runIsSparse)
            std::memset(out, 0, k * clusterBytes);
        else if (!r.volume->ReadClusters(out, uint64_t(r.position), k))
            return 0;
        r.runClustersLeft -= k;
        r.position = WrapAdd(r.position, k);
        out += k * clusterBytes;
        wanted -= k;
    }
    return 1;
}

// Reads the next compression unit into the unit buffer and decodes it when it is
// compressed; the unit's clusters are then ready to hand out.
int32_t FillUnit(StreamReader& r) {
    const size_t clusterBytes = r.volume->GetClusterSize();
    bool whole = true;
    uint32_t rawBytes = 0;
    int32_t filled = 0;
    while (filled < r.unitClusters) {
        if (r.runClustersLeft == 0) {
            if (!TakeRun(r)) return 0;
            continue;
        }
        const int64_t room = r.unitClusters - filled;
        const int32_t g = int32_t(r.runClustersLeft < room ? r.runClustersLeft : room);
        uint8_t* at = r.unitBuffer + size_t(filled) * clusterBytes;
        if (r.runIsSparse) {
            std::memset(at, 0, size_t(g) * clusterBytes);
        } else {
            if (!r.volume->ReadClusters(at, uint64_t(r.position), uint32_t(g))) return 0;
            r.position = WrapAdd(r.position, g);
            rawBytes += uint32_t(size_t(g) * clusterBytes);
        }
        filled += g;
        r.runClustersLeft -= g;
        if (r.runIsSparse && (filled < r.unitClusters || g == r.unitClusters)) whole = false;
    }
    // Real clusters first and a sparse run completing the unit: the unit is compressed.
    // A unit whose chunks do not decode is handed out as read.
    r.outputPointer = r.unitBuffer;
    if (r.runIsSparse && whole && Lznt1DecompressUnit(r.unitBuffer, rawBytes, r.decodedBuffer, uint32_t(r.unitBytes)))
        r.outputPointer = r.decodedBuffer;
    r.unitClustersReady = r.unitClusters;
    return 1;
}

}  // namespace

int32_t StreamReader::Open(VolumeAccess* vol, ENTRY_STREAM* s) {
    Release();
    volume = vol;
    stream = s;
    currentExtent = s ? s->extents : nullptr;
    clusterAccumulator = runClustersLeft = position = 0;
    cursor = nullptr;
    unitClusters = unitBytes = 0;
    runIsSparse = 0;
    if (!currentExtent) return 1;
    cursor = currentExtent->runList;
    if (!volume || !(currentExtent->flags & EXTENT_COMPRESSED)) return 1;

    const uint32_t log2Unit = currentExtent->compressionUnit;
    const uint64_t bytes = log2Unit < 32 ? (uint64_t(1) << log2Unit) * volume->GetClusterSize() : 0;
    if (bytes == 0 || bytes > kMaxUnitBytes) return SetStatus(STATUS_NO_MEMORY);
    unitClusters = int32_t(uint32_t(1) << log2Unit);
    unitBytes = int32_t(bytes);
    unitBuffer = static_cast<uint8_t*>(std::malloc(bytes));
    decodedBuffer = static_cast<uint8_t*>(std::malloc(bytes));
    if (!unitBuffer || !decodedBuffer) {
        Release();
        return SetStatus(STATUS_NO_MEMORY);
    }
    return 1;
}

void StreamReader::Release() {
    std::free(unitBuffer);
    std::free(decodedBuffer);
    unitBuffer = decodedBuffer = nullptr;
    outputPointer = nullptr;
    unitClustersReady = 0;
}

int32_t StreamReader::NextRun(int64_t* length, int64_t* delta) {
    if (!currentExtent) return Fail(ERROR_BUFFER_OVERFLOW_CODE);
    const uint8_t* end = currentExtent->runList + currentExtent->runListLength;
    if (!cursor || cursor >= end) return Fail(ERROR_BUFFER_OVERFLOW_CODE);
    while (*cursor == 0) {
        // This extent's runs end; only an extent that continues right after it goes on.
        STREAM_EXTENT* next = currentExtent->next;
        if (!next || next->firstVcn != WrapAdd(currentExtent->lastVcn, 1)) return Fail(ERROR_CLUSTERLOG_CORRUPT_CODE);
        currentExtent = next;
        cursor = next->runList;
        clusterAccumulator = 0;
        end = next->runList + next->runListLength;
        if (!cursor || cursor >= end) return Fail(ERROR_BUFFER_OVERFLOW_CODE);
    }
    const uint32_t header = *cursor++;
    const uint32_t lengthBytes = header & 0xF, deltaBytes = header >> 4;
    // Fields wider than 64 bits do not occur; such a header is as malformed as a short one.
    if (lengthBytes > 8 || deltaBytes > 8 || uint64_t(end - cursor) < lengthBytes + deltaBytes)
        return Fail(ERROR_BUFFER_OVERFLOW_CODE);
    uint64_t len = 0;
    for (uint32_t i = 0; i < lengthBytes; ++i) len |= uint64_t(cursor[i]) << (8 * i);
    cursor += lengthBytes;
    // A run length is never negative.
    if (len > uint64_t(INT64_MAX)) return Fail(ERROR_BUFFER_OVERFLOW_CODE);
    uint64_t d = 0;
    for (uint32_t i = 0; i < deltaBytes; ++i) d |= uint64_t(cursor[i]) << (8 * i);
    if (deltaBytes && deltaBytes < 8 && (cursor[deltaBytes - 1] & 0x80)) d |= ~uint64_t(0) << (8 * deltaBytes);
    cursor += deltaBytes;
    *length = int64_t(len);
    *delta = int64_t(d);
    return 1;
}

int32_t StreamReader::Read(void* buffer, uint32_t count) {
    if (stream && stream->residentData) {
        std::memcpy(buffer, stream->residentData, uint32_t(stream->size));
        return 1;
    }
    if (!currentExtent) return 0;
    if (!volume) return Fail(ERROR_INVALID_HANDLE_CODE);
    const uint32_t clusterBytes = volume->GetClusterSize();
    auto* out = static_cast<uint8_t*>(buffer);
    uint32_t wanted = count;
    while (wanted) {
        if (unitClustersReady > 0) {
            // Clusters left over from the unit decoded last.
            const uint32_t k = uint32_t(unitClustersReady) < wanted ? uint32_t(unitClustersReady) : wanted;
            std::memcpy(out, outputPointer, size_t(k) * clusterBytes);
            outputPointer += size_t(k) * clusterBytes;
            out += size_t(k) * clusterBytes;
            unitClustersReady -= int32_t(k);
            wanted -= k;
            continue;
        }
        if (!(currentExtent->flags & EXTENT_COMPRESSED)) return ReadPlain(*this, out, wanted);
        // A compressed extent needs the unit buffers, which only a stream that starts
        // compressed has.
        if (!unitBuffer) return Fail(ERROR_INVALID_PARAMETER_CODE);
        if (!FillUnit(*this)) return 0;
    }
    return 1;
}

int32_t StreamReader::DecompressChunk(const uint8_t* source, uint32_t length, uint8_t* destination, uint32_t capacity) {
    return Lznt1DecompressChunk(source, length, destination, capacity);
}

StreamReader* OpenStream(VolumeAccess* volume, ENTRY_STREAM* stream) {
    auto* reader = new (std::nothrow) StreamReader();
    if (!reader) {
        SetStatus(STATUS_NO_MEMORY);
        return nullptr;
    }
    if (!reader->Open(volume, stream)) {
        delete reader;
        return nullptr;
    }
    return reader;
}

int32_t ReadStream(StreamReader* reader, void* buffer, uint32_t count) {
    return reader ? reader->Read(buffer, count) : 0;
}

void CloseStream(StreamReader* reader) {
    if (!reader) return;
    reader->Release();
    delete reader;
}

int64_t GetFirstCluster(ENTRY_STREAM* stream) {
    if (!stream || stream->residentData || !stream->extents) return -1;
    StreamReader reader;
    reader.Open(nullptr, stream);
    int64_t length = 0, delta = 0;
    while (reader.NextRun(&length, &delta))
        if (delta != 0) return delta;
    return -1;
}
