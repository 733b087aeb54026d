// Statuses, message texts and their ring buffer, and the progress adapter.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/interface.h"
#include "engine/status.h"
#include "platform/last_error.h"
#include "platform/string_table.h"
#include "platform/wide_string.h"

namespace {
const char kTestModule = 0;
HMODULE Module() { return &kTestModule; }

void Init() { InitializeEngine(Module()); }

std::string Text(const WCHAR* s) { return platform::Utf8FromWide(s); }
}  // namespace

TEST(EngineInterface, TableNeedsInitialisationAndHas23Slots) {
    // This test binary runs each test in its own process only under ctest; the check
    // of "null before InitializeEngine" is made in a child process.
    EXPECT_EXIT(
        {
            bool before = GetEngineApi() == nullptr;
            InitializeEngine(nullptr);
            std::exit(before && GetEngineApi() != nullptr ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    Init();
    const UndeleteApi* api = GetEngineApi();
    ASSERT_NE(api, nullptr);
    static_assert(sizeof(UndeleteApi) == 23 * sizeof(void*));
    EXPECT_EQ(reinterpret_cast<const void* const*>(api)[22], reinterpret_cast<const void*>(api->ReadClusters));
}

TEST(EngineStatus, MissingTextFallsBackAndSystemErrorIsKeptOnlyWithItsStatus) {
    Init();
    const UndeleteApi* api = GetEngineApi();
    SetStatus(5);
    uint32_t code = 0;
    const WCHAR* text = nullptr;
    api->GetLastStatus(&code, &text);
    EXPECT_EQ(code, 5u);
    EXPECT_EQ(Text(text), "ERROR LOADING STRING");

    uint32_t sys = 99;
    const WCHAR* sysText = u"x";
    api->GetLastSystemError(&sys, &sysText);
    EXPECT_EQ(sys, 0u);
    EXPECT_EQ(sysText, nullptr);

    platform::SetLastError(2);
    SetStatusWithSystemError(14);
    api->GetLastSystemError(&sys, &sysText);
    EXPECT_EQ(sys, 2u);
    EXPECT_EQ(Text(sysText), "No such file or directory");
    SetStatus(2);
    api->GetLastSystemError(&sys, &sysText);
    EXPECT_EQ(sys, 0u);
    EXPECT_EQ(sysText, nullptr);
    api->GetLastStatus(nullptr, nullptr);  // either out pointer may be null
}

TEST(EngineStatus, RegisteredTextIsUsedAsFormat) {
    Init();
    platform::RegisterString(Module(), 600, u"disk %d%% read");
    SetStatus(600);
    const WCHAR* text = nullptr;
    GetLastStatus(nullptr, &text);
    EXPECT_EQ(Text(text), "disk 0% read");
    platform::UnregisterStrings(Module());
}

TEST(MessageRing, WrapsWhenFewerThan200CharactersRemainAndReloadsACutText) {
    Init();
    // Fill the ring with texts of 99 characters (+1 zero = 100 per load).
    platform::RegisterString(Module(), 700, std::u16string(99, u'a'));
    const WCHAR* first = LoadEngineString(700);
    // Move the position to the start of the buffer by loading until it wraps.
    const WCHAR* start = first;
    for (int i = 0; i < 200; ++i) {
        const WCHAR* p = LoadEngineString(700);
        if (p < start) start = p;
    }
    // Position now somewhere; load until the next load lands at the start (a wrap).
    const WCHAR* p = LoadEngineString(700);
    while (p != start) p = LoadEngineString(700);
    // Loads of 100 characters from the start: the one at 10000 leaves 140 characters,
    // so the next load wraps to the start of the buffer.
    for (int i = 0; i < 99; ++i) LoadEngineString(700);
    const WCHAR* near = LoadEngineString(700);  // occupies 10000..10099, 140 left
    EXPECT_EQ(near - start, 10000);
    EXPECT_EQ(LoadEngineString(700), start);

    // A text that exactly fills the space left at the current position is loaded
    // again at the start. Position 100 now; 10140 characters left: a 10139-character text.
    platform::RegisterString(Module(), 701, std::u16string(10139, u'b'));
    const WCHAR* big = LoadEngineString(701);
    EXPECT_EQ(big, start);
    EXPECT_EQ(platform::WideLength(big), 10139u);
    platform::UnregisterStrings(Module());
}

TEST(ProgressAdapter, CallsTheCallbackWithTextsAndCutsFormattedTexts) {
    Init();
    struct Call {
        uint32_t kind;
        std::string text;
        uint32_t value;
        uint32_t user;
    };
    static std::vector<Call> calls;
    calls.clear();
    auto cb = [](uint32_t kind, const WCHAR* text, uint32_t value, uint32_t user) -> uint32_t {
        calls.push_back({kind, text ? Text(text) : "<null>", value, user});
        return kind == 0 ? 7 : 1;
    };
    platform::RegisterString(Module(), 75, u"%d " + std::u16string(300, u'x'));
    CSnapshotProgressDlgTmpl adapter(cb, 42);
    adapter.ReportFormatted(75, 1);
    adapter.Report(17);
    adapter.SetProgress(500);
    EXPECT_EQ(adapter.IsCancelled(), 7u);
    EXPECT_EQ(adapter.Ask(3, 33, 1), 1u);
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0].kind, 1u);
    EXPECT_EQ(calls[0].text.size(), 199u);
    EXPECT_EQ(calls[0].text.substr(0, 3), "1 x");
    EXPECT_EQ(calls[1].text, "ERROR LOADING STRING");
    EXPECT_EQ(calls[2].kind, 2u);
    EXPECT_EQ(calls[2].value, 500u);
    EXPECT_EQ(calls[2].text, "<null>");
    EXPECT_EQ(calls[3].kind, 0u);
    EXPECT_EQ(calls[4].kind, 3u);
    EXPECT_EQ(calls[4].value, 1u);
    for (const Call& c : calls) EXPECT_EQ(c.user, 42u);

    CSnapshotProgressDlgTmpl silent(nullptr, 0);
    EXPECT_EQ(silent.IsCancelled(), 0u);
    EXPECT_EQ(silent.Ask(3, 77, 2), 0u);
    platform::UnregisterStrings(Module());
}
