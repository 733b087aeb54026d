// The form factor of a floppy drive, asked from the floppy driver without touching
// the medium.
#pragma once
#include <string>

namespace platform {

enum class FloppyFormFactor { None, Inch35, Inch525 };

// None when `path` is not a floppy drive or cannot be asked.
FloppyFormFactor FloppyFormFactorOf(const std::string& path);

}  // namespace platform
