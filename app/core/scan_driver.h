// The scan driver: opens a volume through the engine table, takes its snapshot with the
// application's options and progress callback, and holds snapshot and volume while the
// results are used. One snapshot is taken at a time, on the calling thread.
#pragma once
#include <cstdint>
#include <string>
#include "engine/interface.h"

namespace app {

// The snapshot options the application passes: deep scan, drop empty files, prune folders.
inline constexpr uint32_t kScanOptions = 0x2 | 0x4 | 0x8;

// What a front end does with the engine's progress calls. Runs on the scanning thread.
class ScanObserver {
public:
    virtual ~ScanObserver() = default;
    // Kind 0: true stops the snapshot at the engine's next poll.
    virtual bool StopRequested() { return false; }
    // Kind 1: a status text of the engine.
    virtual void StatusText(const WCHAR* /*text*/) {}
    // Kind 2: per mille of the current pass; may block while the user holds the scan.
    virtual void Progress(uint32_t /*perMille*/) {}
    // Kind 3: a yes/no question (1 the FAT question, 2 the NTFS question); no by default.
    virtual bool Ask(uint32_t /*which*/, const WCHAR* /*question*/) { return false; }
};

class ScanDriver {
public:
    enum class Outcome { Done, NoEngine, OpenFailed, SnapshotFailed, Cancelled };

    explicit ScanDriver(const UndeleteApi* api) : api_(api) {}
    ~ScanDriver();
    ScanDriver(const ScanDriver&) = delete;
    ScanDriver& operator=(const ScanDriver&) = delete;

    // Opens `volumePath` and takes its snapshot with kScanOptions. On anything but Done the
    // snapshot is released and the volume closed; the engine's last status says why.
    Outcome RunSnapshot(const std::u16string& volumePath, ScanObserver* observer);

    // Releases the snapshot and closes the volume (the volume object is kept for reuse).
    void Release();

    const UndeleteApi* Api() const { return api_; }
    VolumeAccess* Volume() const { return volume_; }
    SNAPSHOT_ENTRY* Root() const { return root_; }
    const std::u16string& VolumePath() const { return volumePath_; }

private:
    const UndeleteApi* api_;
    VolumeAccess* volume_ = nullptr;  // created once, reused by every scan
    bool volumeOpen_ = false;
    CSnapshot* snapshot_ = nullptr;
    SNAPSHOT_ENTRY* root_ = nullptr;
    std::u16string volumePath_;
};

}  // namespace app
