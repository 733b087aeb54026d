// How the command prints an offered file: the text row of scan, its JSON object, and the
// pieces both use (times, in-volume path, size of the unnamed stream).
#pragma once
#include <cstdint>
#include <string>
#include "app/core/results_walk.h"

namespace cli {

// The in-volume path shown for a node: its folder (made-up folders removed) and name.
std::string ShownPath(const app::FileNodeInfo& node);
// Size of the unnamed stream, 0 when there is none.
int64_t MainStreamSize(const SNAPSHOT_ENTRY* entry);
// "2021-03-04 05:06" in local time; "-" for a zero time.
std::string LocalTimeText(const FILETIME& ft);
// "2021-03-04T05:06:07Z"; empty for a zero time.
std::string IsoUtcText(const FILETIME& ft);

std::string ScanHeader();
std::string ScanRow(const app::FileNodeInfo& node);
std::string ScanJson(const app::FileNodeInfo& node);

}  // namespace cli
