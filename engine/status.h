// Engine statuses, message texts and the progress adapter through which a snapshot
// talks to the application while it is being taken.
#pragma once
#include <cstdint>
#include "platform/win_types.h"

// Status codes recorded in the last-status record (their texts are engine messages).
enum EngineStatus : uint32_t {
    STATUS_NO_MEMORY = 2,
    STATUS_MFT_READ = 6,
    STATUS_MFT_RECORD0 = 9,
    STATUS_NO_ROOT = 10,
    STATUS_NOT_NTFS = 12,
    STATUS_NOT_OPEN = 13,
    STATUS_OPEN_FAILED = 14,
    STATUS_BOOT_READ = 15,
    STATUS_UNKNOWN_FS = 24,
    STATUS_FAT_READ = 25,
    STATUS_CLUSTER_READ = 26,
    STATUS_NOT_FAT = 27,
    STATUS_NO_BITMAP = 91,
    STATUS_BITMAP_NO_DATA = 92,
    STATUS_BITMAP_READ = 94,
};

// Progress and name messages.
enum EngineMessage : uint32_t {
    MSG_LOST_FOLDER = 11,
    MSG_DELETED_FOLDER = 17,
    MSG_NTFS_START = 21,
    MSG_FAT_STEP_1 = 28,
    MSG_FAT_STEP_2 = 29,
    MSG_FAT_STEP_3 = 30,
    MSG_FAT_STEP_4 = 31,
    MSG_FAT_REUSE_QUESTION = 33,
    MSG_FAT_STEP_5 = 35,
    MSG_FLOPPY_35 = 36,
    MSG_FLOPPY_525 = 37,
    MSG_CDROM = 39,
    MSG_LOCAL_DISK = 40,
    MSG_REMOVABLE_DISK = 41,
    MSG_NTFS_TREE = 64,
    MSG_DIR_CLUSTERS_ONE = 75,
    MSG_DIR_CLUSTERS_MANY = 76,
    MSG_MFT_PARTIAL_QUESTION = 77,
};

// Kinds of progress callback calls.
enum ProgressKind : uint32_t {
    PROGRESS_POLL = 0,
    PROGRESS_TEXT = 1,
    PROGRESS_VALUE = 2,
    PROGRESS_QUESTION = 3,
};

// The application's callback: (kind, text, value, user value) -> 32-bit.
using ProgressCallback = uint32_t (*)(uint32_t kind, const WCHAR* text, uint32_t value, uint32_t user);

inline constexpr int kRingBufferChars = 10240;
inline constexpr int kStatusTextChars = 512;
inline constexpr int kSystemErrorTextChars = 1024;

// The host module whose string table holds the engine's texts.
void SetHostModule(HMODULE module);
HMODULE GetHostModule();

// Allocates the message ring buffer once; false when that failed.
bool InitMessageRing();

// Text of message n; valid until about 10040 more characters have been loaded.
const WCHAR* LoadEngineString(uint32_t n);

// Record a status (returns 0 so a failing routine can return it directly).
int SetStatus(uint32_t code);
int SetStatusWithSystemError(uint32_t code);

void GetLastStatus(uint32_t* code, const WCHAR** text);
void GetLastSystemError(uint32_t* code, const WCHAR** text);

// Abstract progress sink handed to a snapshot's Take.
class CSnapshotProgressDlg {
public:
    virtual ~CSnapshotProgressDlg() = default;
    virtual uint32_t Ask(uint32_t kind, uint32_t message, uint32_t value) = 0;
    virtual void ReportFormatted(uint32_t message, uint32_t argument) = 0;
    virtual void Report(uint32_t message) = 0;
    virtual void SetProgress(uint32_t perMille) = 0;
    virtual uint32_t IsCancelled() = 0;
};

// Adapter that turns message numbers into texts and calls the application's callback.
class CSnapshotProgressDlgTmpl : public CSnapshotProgressDlg {
public:
    CSnapshotProgressDlgTmpl(ProgressCallback callback, uint32_t user) : callback_(callback), user_(user) {}
    uint32_t Ask(uint32_t kind, uint32_t message, uint32_t value) override;
    void ReportFormatted(uint32_t message, uint32_t argument) override;
    void Report(uint32_t message) override;
    void SetProgress(uint32_t perMille) override;
    uint32_t IsCancelled() override;

private:
    ProgressCallback callback_;
    uint32_t user_;
};
