#include "app/core/scan_driver.h"

namespace app {
namespace {

// The engine's callback carries only a 32-bit user value, so the observer of the snapshot
// being taken is kept here for the length of the call (one snapshot at a time per thread).
struct ActiveScan {
    ScanObserver* observer = nullptr;
    bool stopped = false;
};
thread_local ActiveScan* gActive = nullptr;

uint32_t ScanProgress(uint32_t kind, const WCHAR* text, uint32_t value, uint32_t /*user*/) {
    ActiveScan* scan = gActive;
    ScanObserver* observer = scan ? scan->observer : nullptr;
    switch (kind) {
        case PROGRESS_POLL:
            if (observer && observer->StopRequested()) {
                scan->stopped = true;
                return 1;
            }
            return 0;
        case PROGRESS_TEXT:
            if (observer && text) observer->StatusText(text);
            return 1;
        case PROGRESS_VALUE:
            if (observer) observer->Progress(value);
            return 1;
        case PROGRESS_QUESTION:
            return observer && observer->Ask(value, text ? text : u"") ? 1 : 0;
        default:
            return 0;
    }
}

}  // namespace

ScanDriver::~ScanDriver() {
    Release();
    if (api_ && volume_) api_->DeleteVolume(volume_);
}

void ScanDriver::Release() {
    if (!api_) return;
    if (snapshot_) api_->DeleteSnapshot(snapshot_);
    snapshot_ = nullptr;
    root_ = nullptr;
    if (volume_ && volumeOpen_) api_->CloseVolume(volume_);
    volumeOpen_ = false;
    volumePath_.clear();
}

ScanDriver::Outcome ScanDriver::RunSnapshot(const std::u16string& volumePath, ScanObserver* observer) {
    if (!api_) return Outcome::NoEngine;
    Release();
    if (!volume_) volume_ = api_->CreateVolume();
    if (!volume_) return Outcome::OpenFailed;
    if (!api_->OpenVolume(volume_, volumePath.c_str())) return Outcome::OpenFailed;
    volumeOpen_ = true;
    volumePath_ = volumePath;

    snapshot_ = api_->CreateSnapshot(volume_);
    ActiveScan scan{observer, false};
    int32_t ok = 0;
    if (snapshot_) {
        ActiveScan* previous = gActive;
        gActive = &scan;
        ExtentList* extents = nullptr;
        ok = api_->TakeSnapshot(snapshot_, kScanOptions, &root_, ScanProgress, 0, &extents);
        gActive = previous;
    }
    if (!ok || !root_) {
        Release();
        return scan.stopped ? Outcome::Cancelled : Outcome::SnapshotFailed;
    }
    return Outcome::Done;
}

}  // namespace app
