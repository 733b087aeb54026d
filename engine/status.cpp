#include "engine/status.h"

#include <mutex>
#include <new>
#include <string>

#include "platform/last_error.h"
#include "platform/string_table.h"
#include "platform/wide_string.h"

namespace {

HMODULE g_hostModule = nullptr;

// Message ring buffer and its next free position, guarded by one lock.
std::mutex g_ringLock;
WCHAR* g_ring = nullptr;
int g_ringPos = 0;

const WCHAR kLoadError[] = u"ERROR LOADING STRING";
const WCHAR kNoMemory[] = u"ERROR LOADING STRING - INSUFFICIENT MEMORY";

// The last-status record.
struct LastStatus {
    uint32_t code = 0;
    const WCHAR* text = nullptr;
    uint32_t systemError = 0;
    const WCHAR* systemText = nullptr;
    WCHAR textBuffer[kStatusTextChars] = {};
    WCHAR systemBuffer[kSystemErrorTextChars] = {};
} g_status;

void FormatStatusText(uint32_t code) {
    const WCHAR* fmt = LoadEngineString(code);
    platform::FormatWide(g_status.textBuffer, kStatusTextChars, fmt, nullptr, 0);
    g_status.text = g_status.textBuffer;
    g_status.code = code;
}

}  // namespace

void SetHostModule(HMODULE module) { g_hostModule = module; }
HMODULE GetHostModule() { return g_hostModule; }

bool InitMessageRing() {
    std::lock_guard<std::mutex> lock(g_ringLock);
    if (!g_ring) g_ring = new (std::nothrow) WCHAR[kRingBufferChars];
    return g_ring != nullptr;
}

const WCHAR* LoadEngineString(uint32_t n) {
    std::lock_guard<std::mutex> lock(g_ringLock);
    if (!g_ring) return kNoMemory;
    if (kRingBufferChars - g_ringPos < 200) g_ringPos = 0;
    int room = kRingBufferChars - g_ringPos;
    int len = platform::LoadString(g_hostModule, n, g_ring + g_ringPos, room);
    for (;;) {
        if (len == 0) return kLoadError;
        // A text that filled the space left may have been cut: load it again at the start.
        if (len + 1 == room && g_ringPos != 0) {
            g_ringPos = 0;
            room = kRingBufferChars;
            len = platform::LoadString(g_hostModule, n, g_ring, room);
            continue;
        }
        break;
    }
    const WCHAR* text = g_ring + g_ringPos;
    g_ringPos += len + 1;
    return text;
}

int SetStatus(uint32_t code) {
    g_status.systemError = 0;
    g_status.systemText = nullptr;
    FormatStatusText(code);
    return 0;
}

int SetStatusWithSystemError(uint32_t code) {
    uint32_t err = platform::GetLastError();
    g_status.systemError = err;
    std::u16string text = platform::WideFromUtf8(platform::SystemErrorText(err));
    platform::WideCopy(g_status.systemBuffer, kSystemErrorTextChars, text.c_str());
    g_status.systemText = g_status.systemBuffer;
    FormatStatusText(code);
    return 0;
}

void GetLastStatus(uint32_t* code, const WCHAR** text) {
    if (code) *code = g_status.code;
    if (text) *text = g_status.text;
}

void GetLastSystemError(uint32_t* code, const WCHAR** text) {
    if (code) *code = g_status.systemText ? g_status.systemError : 0;
    if (text) *text = g_status.systemText;
}

uint32_t CSnapshotProgressDlgTmpl::Ask(uint32_t kind, uint32_t message, uint32_t value) {
    if (!callback_) return 0;
    return callback_(kind, LoadEngineString(message), value, user_);
}

void CSnapshotProgressDlgTmpl::ReportFormatted(uint32_t message, uint32_t argument) {
    if (!callback_) return;
    WCHAR text[200];
    long long arg = argument;
    platform::FormatWide(text, 200, LoadEngineString(message), &arg, 1);
    callback_(PROGRESS_TEXT, text, 0, user_);
}

void CSnapshotProgressDlgTmpl::Report(uint32_t message) {
    if (!callback_) return;
    callback_(PROGRESS_TEXT, LoadEngineString(message), 0, user_);
}

void CSnapshotProgressDlgTmpl::SetProgress(uint32_t perMille) {
    if (!callback_) return;
    callback_(PROGRESS_VALUE, nullptr, perMille, user_);
}

uint32_t CSnapshotProgressDlgTmpl::IsCancelled() {
    if (!callback_) return 0;
    return callback_(PROGRESS_POLL, nullptr, 0, user_);
}
