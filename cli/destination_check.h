// Recovered files must never be written onto the volume being scanned: that would
// overwrite the very clusters the deleted files still occupy.
//
// What counts as "the scanned volume":
// - a block device (or a mount point, which names the block device mounted there): the
//   destination is refused when it lies on that device, on a partition of it, or on the
//   disk it is a partition of;
// - a mount point: also anything inside that mount;
// - an image file: writing beside the image on the same file system does not touch the
//   image's own blocks, so that is allowed; refused is a destination inside a mount of
//   the image itself (a loop device backed by it, or a FUSE mount whose source it is).
#pragma once
#include <string>

namespace cli {

// Empty when `destination` may receive files for `volumePath` (the VOLUME argument as
// given, without @offset); otherwise why not.
std::string DestinationConflict(const std::string& volumePath, const std::string& destination);

}  // namespace cli
