// libFuzzer target over MFT record parsing and the tree build: the input is cut into
// 1 KiB records that are parsed into a small record table (with fix-ups, extension records
// and any attribute layout), then the table is linked into a tree and released.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/ntfs/mft_snapshot.h"
#include "engine/volume.h"

namespace {

constexpr size_t kRecordSize = 1024;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    static bool ready = InitMessageRing();
    (void)ready;
    const uint32_t options = data[0];
    const int32_t slots = 24 + data[1] % 64;
    data += 2;
    size -= 2;

    VolumeAccess volume;  // not opened: nothing here reads the disk
    std::memcpy(volume.bootSector + 3, "NTFS    ", 8);
    volume.bootSector[11] = 0x00;
    volume.bootSector[12] = 0x02;
    volume.bootSector[13] = 8;
    volume.bootSector[64] = 0xF6;
    volume.kind = FS_NTFS;
    volume.bytesPerCluster = 4096;

    CMFTSnapshot snap(&volume);
    CSnapshotProgressDlgTmpl progress(nullptr, 0);  // no callback: every report is dropped
    snap.progress = &progress;
    snap.options = options;
    if (!snap.SetGeometry()) return 0;
    snap.records = static_cast<SNAPSHOT_ENTRY**>(std::calloc(size_t(slots), sizeof(SNAPSHOT_ENTRY*)));
    if (!snap.records) return 0;
    snap.recordCount = slots;

    // Each record is copied into a buffer of exactly one record, so a read past it is caught.
    std::vector<uint8_t> record(kRecordSize);
    for (size_t at = 0, n = 0; at < size && n < size_t(slots); at += kRecordSize, ++n) {
        size_t len = size - at < kRecordSize ? size - at : kRecordSize;
        std::memset(record.data(), 0, kRecordSize);
        std::memcpy(record.data(), data + at, len);
        if (!snap.ParseRecord(record.data(), int32_t(n))) break;
    }
    snap.BuildTree();
    snap.Clear();
    return 0;
}
