#include "engine/efs_export.h"

#include <cstring>
#include <new>
#include <string>

#include "engine/volume.h"
#include "platform/last_error.h"
#include "platform/wide_string.h"

namespace {

constexpr char16_t kEfsStreamName[] = u"$EFS";
constexpr char16_t kEfsHeaderName = 0x1910;
constexpr uint32_t kEfsMagic = 0x100;
constexpr uint32_t kBlockDataOffset = 0x1F0;
constexpr uint32_t kBlockFlags = 0x1010C;
constexpr uint32_t kErrorInvalidData = 13;  // a stream name too long for the format
// Stream sizes travel in 32 bits (signed); larger streams cannot be exported.
constexpr int64_t kLargestStream = 0x7FFFFFFF;

void Put32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

// Four ASCII letters as UTF-16LE.
void PutTag(uint8_t* p, const char* tag) {
    for (int i = 0; i < 4; ++i) {
        p[2 * i] = uint8_t(tag[i]);
        p[2 * i + 1] = 0;
    }
}

bool IsEfsStream(const ENTRY_STREAM* s) {
    if (!s->name) return false;
    const WCHAR* a = s->name;
    const char16_t* b = kEfsStreamName;
    while (*a && *a == *b) ++a, ++b;
    return *a == 0 && *b == 0;
}

ENTRY_STREAM* FindEfsStream(ENTRY_STREAM* list) {
    for (ENTRY_STREAM* s = list; s; s = s->next)
        if (IsEfsStream(s)) return s;
    return nullptr;
}

// Data stream number `index`, counting only streams not named "$EFS".
ENTRY_STREAM* FindDataStream(ENTRY_STREAM* list, uint32_t index) {
    for (ENTRY_STREAM* s = list; s; s = s->next) {
        if (IsEfsStream(s)) continue;
        if (index == 0) return s;
        --index;
    }
    return nullptr;
}

uint32_t StreamHeaderBytes(const std::u16string& name) { return kEfsStreamHeaderBytes + uint32_t(name.size()) * 2; }

void WriteStreamHeader(uint8_t* data, const std::u16string& name) {
    uint32_t nameBytes = uint32_t(name.size()) * 2;
    std::memset(data, 0, kEfsStreamHeaderBytes);
    Put32(data, kEfsStreamHeaderBytes + nameBytes);
    PutTag(data + 4, "NTFS");
    Put32(data + 24, nameBytes);
    for (size_t i = 0; i < name.size(); ++i) {
        data[kEfsStreamHeaderBytes + 2 * i] = uint8_t(name[i]);
        data[kEfsStreamHeaderBytes + 2 * i + 1] = uint8_t(name[i] >> 8);
    }
}

// Fills the buffer with the next piece of the current block. Returns 0, or the system
// error code of a failed read (a failed read is reported, never exported as stale data).
uint32_t FillBuffer(EfsExportContext* c) {
    ENTRY_STREAM* s = c->currentStream;
    uint32_t want = uint32_t(c->blockBytesLeft);
    if (s->residentData) {
        // Resident bytes are copied from where the stream stands; padding is zeros.
        uint32_t fill = want < c->bufferSize ? want : c->bufferSize;
        uint64_t size = uint64_t(s->size);
        uint64_t have = c->streamOffset < size ? size - c->streamOffset : 0;
        uint32_t copy = have < fill ? uint32_t(have) : fill;
        std::memcpy(c->buffer, s->residentData + c->streamOffset, copy);
        std::memset(c->buffer + copy, 0, fill - copy);
        c->streamOffset += fill;
        c->bufferFill = fill;
    } else {
        uint32_t clusterSize = c->volume->GetClusterSize();
        uint32_t n = (want - 1) / clusterSize + 1;
        uint32_t most = c->bufferSize / clusterSize;
        if (n > most) n = most;
        platform::SetLastError(0);
        if (!c->reader.Read(c->buffer, n)) {
            uint32_t code = platform::GetLastError();
            return code ? code : ERROR_READ_FAULT_CODE;
        }
        uint64_t got = uint64_t(n) * clusterSize;
        c->bufferFill = got < want ? uint32_t(got) : want;
    }
    c->bufferPosition = 0;
    c->blockBytesLeft -= int32_t(c->bufferFill);
    return 0;
}

uint32_t StreamHeaderStep(uint8_t* data, EfsExportContext* c, uint32_t* length) {
    ENTRY_STREAM* s;
    std::u16string name;
    if (c->phase == 1) {
        s = FindEfsStream(c->streamList);
        if (!s) return ERROR_FILE_NOT_FOUND_CODE;
        name.assign(1, kEfsHeaderName);
    } else {
        s = FindDataStream(c->streamList, c->phase - 2);
        if (!s) {
            *length = 0;  // every stream is out: the export is complete
            return 0;
        }
        size_t nameChars = s->name ? platform::WideLength(s->name) : 0;
        if (nameChars > kEfsMaxStreamName) return kErrorInvalidData;
        name = u":";
        if (s->name) name.append(s->name, nameChars);
        name += u":$DATA";
    }
    if (s->size < 0 || s->size > kLargestStream) return ERROR_NOT_SUPPORTED_CODE;
    uint32_t headerBytes = StreamHeaderBytes(name);
    if (*length < headerBytes) return ERROR_INSUFFICIENT_BUFFER_CODE;
    if (s->size != 0 && !s->residentData) {
        // Clusters go through the caller's buffer, which must hold at least one.
        if (!c->volume || !c->volume->IsOpen() || c->volume->GetClusterSize() == 0) return ERROR_INVALID_HANDLE_CODE;
        if (!c->buffer || c->bufferSize < c->volume->GetClusterSize()) return ERROR_INVALID_PARAMETER_CODE;
        if (!c->reader.Open(c->volume, s)) return ERROR_NOT_ENOUGH_MEMORY_CODE;
    } else if (s->size != 0 && (!c->buffer || c->bufferSize == 0)) {
        return ERROR_INVALID_PARAMETER_CODE;
    }
    WriteStreamHeader(data, name);
    *length = headerBytes;
    c->currentStream = s;
    if (s->size != 0) {
        c->streamBytesLeft = int32_t(s->size);
        c->bufferPosition = 0;
        c->bufferFill = 0;
        c->blockIndex = 0;
        c->streamOffset = 0;
        c->step = 1;
    } else {
        c->phase += 1;
        c->step = 0;
    }
    return 0;
}

uint32_t BlockHeaderStep(uint8_t* data, EfsExportContext* c, uint32_t* length) {
    if (c->phase == 1) {
        if (*length < kEfsMetadataBlockHeaderBytes) return ERROR_INSUFFICIENT_BUFFER_CODE;
        // The whole "$EFS" stream is one block.
        c->blockBytesLeft = c->streamBytesLeft;
        std::memset(data, 0, kEfsMetadataBlockHeaderBytes);
        Put32(data, uint32_t(c->streamBytesLeft) + kEfsMetadataBlockHeaderBytes);
        PutTag(data + 4, "GURE");
        *length = kEfsMetadataBlockHeaderBytes;
    } else {
        if (*length < kEfsDataBlockHeaderBytes) return ERROR_INSUFFICIENT_BUFFER_CODE;
        uint32_t dataSize, rounded;
        if (c->streamBytesLeft > int32_t(kEfsBlockBytes)) {
            dataSize = rounded = kEfsBlockBytes;
        } else {
            dataSize = uint32_t(c->streamBytesLeft);
            rounded = (dataSize + 511) & ~511u;
        }
        c->blockBytesLeft = int32_t(rounded);
        std::memset(data, 0, kEfsDataBlockHeaderBytes);
        Put32(data, rounded + kEfsDataBlockHeaderBytes);
        PutTag(data + 4, "GURE");
        Put32(data + 16, c->blockIndex * kEfsBlockBytes);
        Put32(data + 24, kBlockDataOffset);
        Put32(data + 28, dataSize);
        Put32(data + 32, dataSize);
        Put32(data + 40, kBlockFlags);
        Put32(data + 44, rounded);
        *length = kEfsDataBlockHeaderBytes;
    }
    c->step = 2;
    return 0;
}

uint32_t BlockDataStep(uint8_t* data, EfsExportContext* c, uint32_t* length) {
    uint32_t room = *length;
    uint32_t produced = 0;
    while (produced < room) {
        if (c->bufferPosition >= c->bufferFill) {
            if (c->blockBytesLeft <= 0) break;
            uint32_t code = FillBuffer(c);
            if (code != 0) {
                c->reader.Release();
                *length = 0;
                return code;
            }
        }
        uint32_t k = room - produced;
        uint32_t available = c->bufferFill - c->bufferPosition;
        if (available < k) k = available;
        std::memcpy(data + produced, c->buffer + c->bufferPosition, k);
        c->bufferPosition += k;
        produced += k;
    }
    if (c->cancel && c->cancel(produced, c->callbackValue) != 0) {
        c->reader.Release();
        *length = 0;
        return ERROR_CANCELLED_CODE;
    }
    *length = produced;
    if (c->bufferPosition < c->bufferFill || c->blockBytesLeft > 0) return 0;
    // The block is complete.
    if (c->phase == 1) {
        c->reader.Release();
        c->phase = 2;
        c->step = 0;
    } else if (c->streamBytesLeft > int32_t(kEfsBlockBytes)) {
        c->streamBytesLeft -= int32_t(kEfsBlockBytes);
        c->blockIndex += 1;
        c->step = 1;
    } else {
        c->reader.Release();
        c->phase += 1;
        c->step = 0;
    }
    return 0;
}

}  // namespace

EfsExportContext* CreateEfsExport(VolumeAccess* volume, ENTRY_STREAM* streams, void* buffer, uint32_t bufferSize,
                                  EfsCancelCallback cancel, uint32_t value) {
    auto* c = new (std::nothrow) EfsExportContext{};
    if (!c) return nullptr;
    c->volume = volume;
    c->phase = 0;
    c->step = 0;
    c->streamList = streams;
    c->bufferSize = bufferSize;
    c->buffer = static_cast<uint8_t*>(buffer);
    c->cancel = cancel;
    c->callbackValue = value;
    return c;
}

uint32_t EfsExportCallback(uint8_t* data, EfsExportContext* context, uint32_t* length) {
    if (!data || !context || !length) return ERROR_INVALID_PARAMETER_CODE;
    if (context->phase == 0) {
        if (*length < kEfsFileHeaderBytes) return ERROR_INSUFFICIENT_BUFFER_CODE;
        std::memset(data, 0, kEfsFileHeaderBytes);
        Put32(data, kEfsMagic);
        PutTag(data + 4, "ROBS");
        *length = kEfsFileHeaderBytes;
        context->phase = 1;
        context->step = 0;
        return 0;
    }
    switch (context->step) {
        case 0: return StreamHeaderStep(data, context, length);
        case 1: return BlockHeaderStep(data, context, length);
        case 2: return BlockDataStep(data, context, length);
        default: return 0;
    }
}

void DeleteEfsExport(EfsExportContext* context) {
    if (!context) return;
    context->reader.Release();
    delete context;
}
