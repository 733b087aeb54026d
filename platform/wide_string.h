// UTF-16 strings as the engine keeps them: length, conversion to and from UTF-8,
// case-blind comparison and printf-style formatting.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include "platform/win_types.h"

namespace platform {

size_t WideLength(const WCHAR* s);
// Copies at most capacity-1 characters and always terminates (capacity > 0).
void WideCopy(WCHAR* dst, size_t capacity, const WCHAR* src);

std::u16string WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(const WCHAR* s);
std::string Utf8FromWide(std::u16string_view s);

// Compares without regard to case (Windows-style upper-casing of each character).
int WideCompareNoCase(const WCHAR* a, const WCHAR* b);

// printf-style formatting of a wide format with 32-bit integer arguments:
// %d %i %u %x %X %c and %% with optional flags, width and precision; other
// directives are copied as they stand. The result is cut to capacity-1 characters.
int FormatWide(WCHAR* dst, size_t capacity, const WCHAR* format, const long long* args, size_t argCount);

}  // namespace platform
