// StreamReader: delivers the contents of one stream cluster by cluster, walking its
// run list: resident data, plain runs, sparse runs (zeros) and LZNT1-compressed units.
#pragma once
#include <cstdint>
#include "engine/snapshot/records.h"

class VolumeAccess;

class StreamReader {
public:
    VolumeAccess* volume = nullptr;    // null for a reader that only walks the run list
    ENTRY_STREAM* stream = nullptr;
    STREAM_EXTENT* currentExtent = nullptr;
    int64_t clusterAccumulator = 0;    // first cluster of the current run
    int64_t runClustersLeft = 0;
    int64_t position = 0;              // next cluster to read from the volume
    const uint8_t* cursor = nullptr;   // next run-list byte of the current extent
    uint8_t* unitBuffer = nullptr;     // compressed streams: one unit as read (owned)
    uint8_t* decodedBuffer = nullptr;  // compressed streams: the unit decompressed (owned)
    const uint8_t* outputPointer = nullptr;
    int32_t unitClustersReady = 0;
    int32_t unitClusters = 0;
    int32_t unitBytes = 0;
    uint32_t runIsSparse = 0;

    StreamReader() = default;
    ~StreamReader() { Release(); }
    StreamReader(const StreamReader&) = delete;
    StreamReader& operator=(const StreamReader&) = delete;

    int32_t Open(VolumeAccess* vol, ENTRY_STREAM* s);
    int32_t Read(void* buffer, uint32_t count);
    int32_t NextRun(int64_t* length, int64_t* delta);
    int32_t HasRunClusters(int64_t n) const { return runClustersLeft >= n ? 1 : 0; }
    void Release();

    // LZNT1 within one chunk; bytes produced or -1.
    static int32_t DecompressChunk(const uint8_t* source, uint32_t length, uint8_t* destination, uint32_t capacity);
};

// Entry points.
StreamReader* OpenStream(VolumeAccess* volume, ENTRY_STREAM* stream);
int32_t ReadStream(StreamReader* reader, void* buffer, uint32_t count);
void CloseStream(StreamReader* reader);
int64_t GetFirstCluster(ENTRY_STREAM* stream);
