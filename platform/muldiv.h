// MulDiv: a * b / c with a 64-bit product and the division rounded half away from zero;
// -1 when c is 0 or the result does not fit in 32 bits, as the system's routine does.
#pragma once
#include <cstdint>

namespace platform {

inline int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
    if (c == 0) return -1;
    int64_t p = int64_t(a) * int64_t(b);
    bool negative = (p < 0) != (c < 0);
    uint64_t up = p < 0 ? uint64_t(-p) : uint64_t(p);
    uint64_t uc = c < 0 ? uint64_t(-int64_t(c)) : uint64_t(c);
    uint64_t q = (up + uc / 2) / uc;
    if (q > uint64_t(INT32_MAX) + (negative ? 1u : 0u)) return -1;
    return negative ? int32_t(-int64_t(q)) : int32_t(q);
}

}  // namespace platform
