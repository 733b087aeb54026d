// Placeholder until the reader lands: every read fails.
#include "engine/snapshot/stream_reader.h"

#include "engine/status.h"

int32_t StreamReader::Open(VolumeAccess* vol, ENTRY_STREAM* s) {
    Release();
    volume = vol;
    stream = s;
    return 1;
}
int32_t StreamReader::Read(void*, uint32_t) { return 0; }
int32_t StreamReader::NextRun(int64_t*, int64_t*) { return 0; }
void StreamReader::Release() {}
int32_t StreamReader::DecompressChunk(const uint8_t*, uint32_t, uint8_t*, uint32_t) { return -1; }

StreamReader* OpenStream(VolumeAccess*, ENTRY_STREAM*) { return nullptr; }
int32_t ReadStream(StreamReader* reader, void* buffer, uint32_t count) {
    return reader ? reader->Read(buffer, count) : 0;
}
void CloseStream(StreamReader* reader) { delete reader; }
int64_t GetFirstCluster(ENTRY_STREAM*) { return -1; }
