// Raw export of an encrypted file: the system's backup stream of an encrypted file
// (file header "ROBS", stream headers "NTFS", blocks "GURE"), built from the clusters
// on disk without decrypting anything and handed out piece by piece.
#pragma once
#include <cstdint>
#include "engine/snapshot/records.h"
#include "engine/snapshot/stream_reader.h"

class VolumeAccess;

// Cancel callback: (bytes produced by this call, callback value) -> nonzero cancels.
using EfsCancelCallback = uint32_t (*)(uint32_t produced, uint32_t value);

inline constexpr uint32_t kEfsBlockBytes = 65536;
inline constexpr uint32_t kEfsFileHeaderBytes = 20;
inline constexpr uint32_t kEfsStreamHeaderBytes = 28;
inline constexpr uint32_t kEfsMetadataBlockHeaderBytes = 16;
inline constexpr uint32_t kEfsDataBlockHeaderBytes = 512;
inline constexpr uint32_t kEfsMaxStreamName = 260;
// The largest piece one call writes outside block data: a stream header with the longest name.
inline constexpr uint32_t kEfsMinimumLength = kEfsStreamHeaderBytes + (1 + kEfsMaxStreamName + 6) * 2;

struct EfsExportContext {
    VolumeAccess* volume;
    uint32_t phase;          // 0 file header; 1 "$EFS"; k >= 2 data stream k-2 (not counting "$EFS")
    uint32_t step;           // 0 stream header; 1 block header; 2 block data
    ENTRY_STREAM* streamList;
    ENTRY_STREAM* currentStream;
    StreamReader reader;     // positioned in the current stream
    uint32_t bufferSize;
    uint32_t bufferPosition;
    uint32_t bufferFill;
    int32_t streamBytesLeft;  // of the current stream, not yet assigned to a block
    int32_t blockBytesLeft;   // of the current block, not yet read into the buffer
    uint32_t blockIndex;
    uint8_t* buffer;          // the caller's; holds cluster data
    EfsCancelCallback cancel;
    uint32_t callbackValue;
    uint32_t streamOffset;    // bytes of the current stream already read (resident streams)
};

EfsExportContext* CreateEfsExport(VolumeAccess* volume, ENTRY_STREAM* streams, void* buffer, uint32_t bufferSize,
                                  EfsCancelCallback cancel, uint32_t value);
// On entry *length is the room in `data`; on return the bytes produced. Returns a
// system error code: 0 (progress, or the end when 0 bytes are produced), 2 no "$EFS"
// stream, 13 a stream name longer than 260 characters, 1223 cancelled.
uint32_t EfsExportCallback(uint8_t* data, EfsExportContext* context, uint32_t* length);
void DeleteEfsExport(EfsExportContext* context);
