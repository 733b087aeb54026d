// Fuzzes LZNT1: one chunk decoded into a destination of a chosen capacity, and the chunk
// walk over a whole compression unit. Destinations are exact-size heap blocks, so any
// write or read outside them is caught by AddressSanitizer.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/snapshot/lznt1.h"
#include "engine/snapshot/stream_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint32_t capacity = (uint32_t(data[0]) | (uint32_t(data[1]) << 8)) % 5000;
    data += 2;
    size -= 2;
    const std::vector<uint8_t> source(data, data + size);  // exact-size copy: no slack to read
    std::vector<uint8_t> chunk(capacity);
    const int32_t n = StreamReader::DecompressChunk(source.data(), uint32_t(source.size()), chunk.data(), capacity);
    if (n > int32_t(capacity) || n < -1) __builtin_trap();

    // One unit of 2 to 16 chunks' worth of decoded bytes.
    const uint32_t unitBytes = 2048u << (capacity % 5);
    std::vector<uint8_t> decoded(unitBytes);
    Lznt1DecompressUnit(source.data(), uint32_t(source.size()), decoded.data(), unitBytes);
    return 0;
}
