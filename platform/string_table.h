// String tables keyed by module handle: the stand-in for a module's string resources.
// A program registers the texts it supplies; a lookup of a missing text loads nothing.
#pragma once
#include <cstddef>
#include <string_view>
#include "platform/win_types.h"

namespace platform {

// Registers (or replaces) text `id` of `module`.
void RegisterString(HMODULE module, unsigned id, std::u16string_view text);
void UnregisterStrings(HMODULE module);

// Copies text `id` of `module` into buffer (at most capacity-1 characters, then a zero)
// and returns the characters copied; 0 when the module has no such text.
int LoadString(HMODULE module, unsigned id, WCHAR* buffer, int capacity);

}  // namespace platform
