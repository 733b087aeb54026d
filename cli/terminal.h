// The command's terminal: Ctrl-C as a stop request, the progress bar on standard error,
// and the engine's yes/no questions.
#pragma once
#include <cstdint>
#include <string>
#include "app/core/scan_driver.h"

namespace cli {

// Ctrl-C (and SIGTERM) set a stop flag that the engine's poll, the results walk and the
// writer read; a second Ctrl-C ends the program at once.
void InstallInterruptHandler();
bool Interrupted();

// A one-line progress display on standard error: redrawn in place on a terminal, or
// (when asked for with --progress and standard error is not a terminal) printed as a
// line whenever the phase changes or another tenth is done.
class ProgressLine {
public:
    explicit ProgressLine(bool wanted);
    bool Enabled() const { return enabled_; }
    void Phase(const std::string& text);
    void PerMille(uint32_t value);
    void Count(uint64_t done, uint64_t total, const std::string& what);
    // Removes the bar so that other output starts on a clean line.
    void Clear();

private:
    void Draw();
    bool enabled_ = false;
    bool terminal_ = false;
    bool drawn_ = false;
    std::string phase_;
    int perMille_ = -1;
    int lastTenth_ = -1;
    std::string lastPhase_;
};

enum class Answer { Ask, Yes, No };

// The scan observer of the command: stop on Ctrl-C, phase texts and per-mille progress
// on the progress line, questions asked on the terminal (or answered by --yes / --no;
// without a terminal the answer is no, and a note says so).
class TerminalObserver : public app::ScanObserver {
public:
    TerminalObserver(ProgressLine& progress, Answer answer) : progress_(progress), answer_(answer) {}
    bool StopRequested() override;
    void StatusText(const WCHAR* text) override;
    void Progress(uint32_t perMille) override;
    bool Ask(uint32_t which, const WCHAR* question) override;

private:
    ProgressLine& progress_;
    Answer answer_;
};

}  // namespace cli
