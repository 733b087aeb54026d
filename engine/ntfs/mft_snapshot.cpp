#include "engine/ntfs/mft_snapshot.h"

#include <cstdlib>
#include <new>

#include "engine/snapshot/stream_reader.h"
#include "engine/volume.h"
#include "platform/last_error.h"
#include "platform/muldiv.h"
#include "platform/wide_string.h"

namespace {

// Clusters read per batch while the current run of the table allows it.
constexpr uint32_t kBatchClusters = 16;
// Records between two progress reports (and cancellation polls).
constexpr int32_t kProgressStep = 512;
// A request for this many table slots or more is refused.
constexpr int64_t kMaxRecords = int64_t(1) << 30;
// Largest record size accepted from a boot sector (NTFS uses 1 KiB or 4 KiB).
constexpr int64_t kMaxRecordSize = 64 * 1024;

}  // namespace

CMFTSnapshot::CMFTSnapshot(VolumeAccess* v) : CSnapshot(v) {}

CMFTSnapshot::~CMFTSnapshot() {
    Clear();
    std::free(lostIndex_);
}

void CMFTSnapshot::Clear() {
    if (records) {
        for (int32_t i = 0; i < recordCount; ++i) FreeSnapshotEntry(records[i]);
        std::free(records);
    }
    records = nullptr;
    recordCount = 0;
    if (ownsRoot && root) FreeSnapshotEntry(root);
    ownsRoot = 0;
    root = nullptr;
    for (int32_t i = 0; i < unnamedDeleted.count; ++i) FreeSnapshotEntry(unnamedDeleted[i]);
    unnamedDeleted.RemoveAll();
    unnamedDeleted.error = ARRAY_OK;
    for (int32_t i = 0; i < deletedAttributeLists.count; ++i) FreeEntryStream(deletedAttributeLists[i]);
    deletedAttributeLists.RemoveAll();
    deletedAttributeLists.error = ARRAY_OK;
    ClearVirtualDirs();
}

bool CMFTSnapshot::IsSystemRecord(int32_t slot) const {
    if (slot < 0 || slot >= kSystemRecords || slot >= recordCount || !records[slot]) return false;
    const ENTRY_NAME* n = records[slot]->names;
    return n && n->name && n->name[0] == u'$';
}

int32_t CMFTSnapshot::SetGeometry() {
    const int64_t bytesPerSector = volume->BytesPerSector();
    const int64_t sectorsPerCluster = volume->SectorsPerCluster();
    const int64_t bytesPerCluster = volume->GetClusterSize();
    auto c = int8_t(volume->bootSector[64]);
    int64_t size;
    int64_t sectors;
    if (c < 0) {
        if (-c > 20) return 0;
        size = int64_t(1) << -c;
        sectors = bytesPerSector ? size / bytesPerSector : 0;
    } else {
        sectors = int64_t(c) * sectorsPerCluster;
        size = sectors * bytesPerSector;
    }
    // A record must hold whole sectors, each ending in a fix-up word.
    if (bytesPerSector < 256 || bytesPerCluster == 0 || sectors < 1 || size < 256 || size > kMaxRecordSize ||
        sectors * bytesPerSector != size)
        return 0;
    recordSize = int32_t(size);
    sectorsPerRecord = int32_t(sectors);
    return 1;
}

int32_t CMFTSnapshot::Take(CSnapshotProgressDlg* progressDlg, uint32_t takeOptions, ExtentList** extents) {
    progress = progressDlg;
    options = takeOptions;
    if (extents) *extents = nullptr;
    if (!volume || !volume->IsOpen()) return SetStatus(STATUS_NOT_OPEN);
    if (volume->kind != FS_NTFS) return SetStatus(STATUS_NOT_NTFS);
    Clear();

    if (!SetGeometry()) return SetStatus(STATUS_MFT_RECORD0);
    const uint32_t bytesPerCluster = volume->GetClusterSize();
    progress->Report(MSG_NTFS_START);

    // Record 0 describes the table itself.
    const uint32_t clustersPerRecord = uint32_t((uint32_t(recordSize) + bytesPerCluster - 1) / bytesPerCluster);
    auto* first = static_cast<uint8_t*>(std::malloc(size_t(clustersPerRecord) * bytesPerCluster));
    if (!first) return SetStatus(STATUS_NO_MEMORY);
    if (!volume->ReadClusters(first, volume->Le64(48), clustersPerRecord)) {
        std::free(first);
        return SetStatusWithSystemError(STATUS_MFT_READ);
    }
    SNAPSHOT_ENTRY* slot0 = nullptr;
    records = &slot0;
    recordCount = 1;
    slot0 = NewSnapshotEntry();
    int32_t parsed = slot0 ? ParseRecord(first, 0) : SetStatus(STATUS_NO_MEMORY);
    std::free(first);
    records = nullptr;
    recordCount = 0;
    if (!parsed) {
        FreeSnapshotEntry(slot0);
        return 0;
    }
    const ENTRY_STREAM* mft = slot0->streams;
    const ENTRY_NAME* name = slot0->names;
    if (!mft || mft->next || slot0->isDirectory || !name || name->next ||
        platform::WideCompareNoCase(name->name, u"$MFT") != 0) {
        FreeSnapshotEntry(slot0);
        return SetStatus(STATUS_MFT_RECORD0);
    }
    // A table too small to hold its own record is damaged.
    const int64_t count = mft->size / recordSize;
    if (count < 1) {
        FreeSnapshotEntry(slot0);
        return SetStatus(STATUS_MFT_RECORD0);
    }
    if (count >= kMaxRecords) {
        FreeSnapshotEntry(slot0);
        return SetStatus(STATUS_NO_MEMORY);
    }
    records = static_cast<SNAPSHOT_ENTRY**>(std::calloc(size_t(count), sizeof(SNAPSHOT_ENTRY*)));
    if (!records) {
        FreeSnapshotEntry(slot0);
        return SetStatus(STATUS_NO_MEMORY);
    }
    recordCount = int32_t(count);
    records[0] = slot0;

    StreamReader reader;
    int32_t done = 0;
    bool cancelled = false;
    int32_t ok = ReadTable(reader, &done, &cancelled);
    if (!ok) {
        bool goOn = !cancelled && done > kSystemRecords && done < recordCount &&
                    progress->Ask(PROGRESS_QUESTION, MSG_MFT_PARTIAL_QUESTION, 2) != 0;
        if (!goOn) {
            Clear();
            reader.Release();
            return 0;
        }
    }
    progress->Report(MSG_NTFS_TREE);
    if (!BuildTree()) {
        Clear();
        reader.Release();
        return 0;
    }
    RateDeletedFiles(options, extents);
    reader.Release();
    return 1;
}

int32_t CMFTSnapshot::ReadTable(StreamReader& reader, int32_t* done, bool* cancelled) {
    const uint32_t bytesPerCluster = volume->GetClusterSize();
    const uint32_t clustersPerRecord = uint32_t((uint32_t(recordSize) + bytesPerCluster - 1) / bytesPerCluster);
    // The buffer holds a full batch, and at least one whole record when records span clusters.
    const uint32_t bufferClusters = clustersPerRecord > kBatchClusters ? clustersPerRecord : kBatchClusters;
    auto* batch = static_cast<uint8_t*>(std::malloc(size_t(bufferClusters) * bytesPerCluster));
    ENTRY_STREAM* mft = records[0]->streams;
    if (!batch || !reader.Open(volume, mft)) {
        std::free(batch);
        return SetStatus(STATUS_NO_MEMORY);
    }
    int64_t clustersLeft = (mft->size + bytesPerCluster - 1) / bytesPerCluster;
    int32_t n = 0;
    int32_t lastReported = 0;
    int32_t ok = 1;
    while (clustersLeft > 0 && n < recordCount) {
        uint32_t want = clustersLeft < kBatchClusters ? uint32_t(clustersLeft) : kBatchClusters;
        // Whole records only, when a record spans several clusters.
        want -= want % clustersPerRecord;
        uint32_t k = (want && reader.HasRunClusters(want)) ? want : clustersPerRecord;
        if (!reader.Read(batch, k)) {
            SetStatusWithSystemError(STATUS_MFT_READ);
            ok = 0;
            break;
        }
        const uint64_t end = uint64_t(k) * bytesPerCluster;
        for (uint64_t offset = 0; n < recordCount && offset + uint64_t(recordSize) <= end; offset += recordSize) {
            if (n != 0 && !ParseRecord(batch + offset, n)) {
                ok = 0;
                break;
            }
            ++n;
        }
        if (n - lastReported >= kProgressStep || n == recordCount) {
            progress->SetProgress(uint32_t(platform::MulDiv(n, 1000, recordCount)));
            if (progress->IsCancelled()) {
                ok = 0;
                *cancelled = true;
            }
            lastReported = n;
        }
        if (!ok) break;
        clustersLeft -= k;
    }
    std::free(batch);
    *done = n;
    return ok;
}

CSnapshot* NewMftSnapshot(VolumeAccess* volume) { return new (std::nothrow) CMFTSnapshot(volume); }
