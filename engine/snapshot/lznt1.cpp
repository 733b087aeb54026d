#include "engine/snapshot/lznt1.h"

#include <cstring>

int32_t Lznt1DecompressChunk(const uint8_t* source, uint32_t length, uint8_t* destination, uint32_t capacity) {
    // A chunk never stands for more than 4096 bytes; the split of a back-reference word
    // below is only defined up to there.
    if (capacity > kLznt1ChunkBytes) capacity = kLznt1ChunkBytes;
    const uint8_t* src = source;
    const uint8_t* const end = source + length;
    uint32_t p = 0;
    uint32_t shift = 12, lengthMask = 0xFFF, displacementMask = 0xFFFFFFF0u;
    uint32_t flags = 0;
    int tokensLeft = 0;
    while (src < end) {
        // The displacement field grows with the output position.
        while (p > 0 && ((p - 1) & displacementMask) != 0) {
            displacementMask <<= 1;
            lengthMask >>= 1;
            --shift;
        }
        if (tokensLeft == 0) {
            flags = *src++;
            tokensLeft = 8;
            if (src >= end) break;
        }
        const bool reference = (flags & 1) != 0;
        flags >>= 1;
        --tokensLeft;
        if (!reference) {
            if (p >= capacity) return -1;
            destination[p++] = *src++;
            continue;
        }
        if (end - src < 2) return -1;  // a back-reference word cut off by the chunk's end
        const uint32_t w = uint32_t(src[0]) | (uint32_t(src[1]) << 8);
        src += 2;
        const uint32_t count = (w & lengthMask) + 3;
        const uint32_t displacement = (w >> shift) + 1;
        for (uint32_t i = 0; i < count; ++i) {
            if (p >= capacity || p < displacement) return -1;
            destination[p] = destination[p - displacement];
            ++p;
        }
    }
    return int32_t(p);
}

bool Lznt1DecompressUnit(const uint8_t* raw, uint32_t rawLength, uint8_t* decoded, uint32_t unitBytes) {
    std::memset(decoded, 0, unitBytes);
    uint32_t in = 0, out = 0;
    while (in < rawLength && out < unitBytes) {
        if (rawLength - in < 2) break;  // no room for another header: the unit's data ends
        const uint32_t h = (uint32_t(raw[in]) | (uint32_t(raw[in + 1]) << 8)) & 0xFFF;
        if (h == 0) break;
        in += 2;
        const uint32_t chunkLength = h + 1;
        if (chunkLength > rawLength - in) return false;  // the chunk overruns the unit's data
        const uint32_t room = unitBytes - out;
        if (chunkLength >= kLznt1ChunkBytes) {
            // Stored chunk: 4096 bytes as they are.
            if (room < kLznt1ChunkBytes) return false;
            std::memcpy(decoded + out, raw + in, kLznt1ChunkBytes);
        } else if (Lznt1DecompressChunk(raw + in, chunkLength, decoded + out, room) < 0) {
            return false;
        }
        in += chunkLength;
        out += room < kLznt1ChunkBytes ? room : kLznt1ChunkBytes;
    }
    return true;
}
