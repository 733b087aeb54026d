// LZNT1, the compression NTFS applies to compressed streams: one chunk of at most 4096
// decoded bytes at a time, and the walk over the chunks of one compression unit.
#pragma once
#include <cstdint>

inline constexpr uint32_t kLznt1ChunkBytes = 4096;

// Decodes one chunk's data (the bytes after its 2-byte header) into destination.
// Returns the bytes produced, or -1 when the data is malformed or would overrun the
// destination. Never reads past source + length nor writes past destination + capacity.
int32_t Lznt1DecompressChunk(const uint8_t* source, uint32_t length, uint8_t* destination, uint32_t capacity);

// Decodes the chunks of one compression unit (rawLength bytes as read from the volume) into
// decoded (unitBytes long). Every chunk stands for 4096 decoded bytes; a chunk that produces
// fewer, and the part of the unit after the last chunk, read as zeros. False when a chunk is
// malformed or overruns its source or the decoded buffer.
bool Lznt1DecompressUnit(const uint8_t* raw, uint32_t rawLength, uint8_t* decoded, uint32_t unitBytes);
