#include "cli/terminal.h"

#include <csignal>
#include <cstdio>
#include <unistd.h>

#include "platform/wide_string.h"

namespace cli {
namespace {
volatile std::sig_atomic_t gInterrupted = 0;

void OnInterrupt(int) { gInterrupted = 1; }
}  // namespace

void InstallInterruptHandler() {
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    // No SA_RESTART: a question waiting for input is interrupted too. SA_RESETHAND: the
    // second Ctrl-C takes the default action.
    sa.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

bool Interrupted() { return gInterrupted != 0; }

ProgressLine::ProgressLine(bool wanted) {
    terminal_ = ::isatty(STDERR_FILENO) == 1;
    enabled_ = wanted || terminal_;
}

void ProgressLine::Phase(const std::string& text) {
    if (!enabled_) return;
    phase_ = text;
    perMille_ = -1;
    Draw();
}

void ProgressLine::PerMille(uint32_t value) {
    if (!enabled_) return;
    int v = int(value > 1000 ? 1000 : value);
    if (v == perMille_) return;
    perMille_ = v;
    Draw();
}

void ProgressLine::Count(uint64_t done, uint64_t total, const std::string& what) {
    if (!enabled_ || total == 0) return;
    phase_ = what + " " + std::to_string(done) + "/" + std::to_string(total);
    perMille_ = int(done * 1000 / total);
    Draw();
}

void ProgressLine::Draw() {
    int percent = perMille_ < 0 ? -1 : perMille_ / 10;
    if (terminal_) {
        std::string bar;
        if (percent >= 0) {
            int filled = perMille_ * 30 / 1000;
            bar = "[" + std::string(size_t(filled), '#') + std::string(size_t(30 - filled), '.') + "] " +
                  std::to_string(percent) + "% ";
        }
        std::string line = bar + phase_;
        if (line.size() > 78) line.resize(78);
        std::fprintf(stderr, "\r\033[K%s", line.c_str());
        std::fflush(stderr);
        drawn_ = true;
        return;
    }
    int tenth = percent < 0 ? -1 : percent / 10;
    if (phase_ == lastPhase_ && tenth == lastTenth_) return;
    if (phase_ == lastPhase_ && tenth < 0) return;
    lastPhase_ = phase_;
    lastTenth_ = tenth;
    if (percent >= 0)
        std::fprintf(stderr, "progress: %3d%% %s\n", tenth * 10, phase_.c_str());
    else
        std::fprintf(stderr, "progress: %s\n", phase_.c_str());
}

void ProgressLine::Clear() {
    if (terminal_ && drawn_) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        drawn_ = false;
    }
}

bool TerminalObserver::StopRequested() { return Interrupted(); }

void TerminalObserver::StatusText(const WCHAR* text) { progress_.Phase(platform::Utf8FromWide(text)); }

void TerminalObserver::Progress(uint32_t perMille) { progress_.PerMille(perMille); }

bool TerminalObserver::Ask(uint32_t, const WCHAR* question) {
    std::string text = platform::Utf8FromWide(question);
    progress_.Clear();
    if (answer_ != Answer::Ask) return answer_ == Answer::Yes;
    if (::isatty(STDIN_FILENO) != 1 || ::isatty(STDERR_FILENO) != 1) {
        std::fprintf(stderr, "undelete: %s -- answered no (no terminal; --yes answers yes)\n", text.c_str());
        return false;
    }
    std::fprintf(stderr, "undelete: %s [y/N] ", text.c_str());
    std::fflush(stderr);
    char line[64];
    if (!std::fgets(line, sizeof line, stdin)) {
        std::fputc('\n', stderr);
        return false;
    }
    return line[0] == 'y' || line[0] == 'Y';
}

}  // namespace cli
