// The command line's view of a modem run: a progress line fed by the run's events.
#pragma once

#include "cli/cli_output.h"
#include "modem/run_observer.h"

#include <functional>
#include <string>
#include <vector>

namespace rw::cli {

// Shows each phase the run works through (Connecting, Reading, Writing, Checking) with a bar,
// the percentage, the bytes done of those to do and the time the phase has left, reckoned
// from its time so far. Reading counts the 8192 bytes of the E2PROM, writing the bytes the
// read phase planned, checking the bytes of the blocks it reads back. A phase the run only
// passes over after a failure is not shown.
class ProgressLine : public modem::RunObserver {
public:
    // `seconds`: a steady clock in seconds (the tests give their own); `barWidth`: the bar's
    // characters.
    explicit ProgressLine(ProgressSink& sink, std::function<double()> seconds = {},
                          int barWidth = 30);

    void phaseStarted(modem::RunPhase phase, bool working) override;
    void blockDone(modem::RunPhase phase, int block) override;
    void bytesPlanned(int count) override { planned_ = count; }
    void checkPlanned(const std::vector<int>& blocks) override;
    void byteWritten(int offset) override;
    void progressEnded() override;
    void finished(const modem::RunReport& report) override;

    // The line as a terminal shows it now.
    std::string line() const;

private:
    void start(const char* name, int total);
    void advance(int bytes);

    ProgressSink& sink_;
    std::function<double()> seconds_;
    int barWidth_;
    std::string phase_; // empty: nothing shown
    modem::RunPhase current_ = modem::RunPhase::Connect;
    int done_ = 0;
    int total_ = 0;
    double started_ = 0;
    int planned_ = 0;
    std::vector<bool> checked_; // the blocks the check phase reads back
};

} // namespace rw::cli
