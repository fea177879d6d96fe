// What the main window shows of a run on the modem while it works: its steps with the current
// one, the share done, the bytes to write and written, the time taken and the time left; and
// the summary under the run's last message. Toolkit-free; the Qt layer draws it.
#pragma once

#include "modem/programming_run.h"
#include "modem/run_observer.h"
#include "ui/controls.h"
#include "ui/platform.h"

#include <bitset>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace rw::app {

enum class StepState { Waiting, Current, Done, Skipped, Stopped };

struct RunStep {
    modem::RunPhase phase;
    std::string text;  // "Identify: MII MAC, B+", "Write 12 bytes"
    std::string count; // "17 of 32" while its blocks or bytes go through
    StepState state = StepState::Waiting;
};

class RunProgress : public modem::RunObserver {
public:
    using Seconds = std::chrono::seconds;
    explicit RunProgress(ui::Clock& clock) : clock_(clock) {}

    // A run starts; `writes` is false for a read of the modem (no marks, nothing written).
    void prepare(bool writes);

    void phaseStarted(modem::RunPhase phase, bool working) override;
    void modemIdentified(const std::string& interfaceName, const std::string& generation) override;
    void blockDone(modem::RunPhase phase, int block) override;
    void bytesPlanned(int count) override;
    void byteWritten(int offset) override;
    void outcomeDecided(const modem::RunReport& report) override;
    void finished(const modem::RunReport& report) override;

    // The run writes to the modem (programming, restoring); false for a read.
    bool writes() const { return s_.writes; }
    // From the start of a run until its port is released (its last message included).
    bool active() const { return s_.active; }
    // Connecting: nothing can be measured yet.
    bool busy() const { return s_.active && !s_.readStarted && !s_.decided; }
    const std::vector<RunStep>& steps() const { return s_.steps; }
    // The share of the run's work done: 4 once reading starts, then the blocks of its phases
    // (for a run that writes, the main window's bar).
    int percent() const;
    std::optional<int> bytesToWrite() const { return s_.planned; }
    int bytesWritten() const { return s_.written; }
    Seconds elapsed() const;
    // Time left, from the pace of the blocks and bytes so far; nothing before the first block.
    // `atLeast` is set while bytes remain to be written: the blocks they fall in, which the
    // check reads back, are known only once they are written.
    std::optional<Seconds> remaining(bool* atLeast = nullptr) const;

    // The run's outcome is decided and its last message is to come.
    bool outcomeKnown() const { return s_.decided; }
    const modem::RunReport& report() const { return s_.report; }
    // The run cleared the E2's validity mark and did not complete: the modem does not start
    // from its E2 until a run completes.
    bool leftInvalid() const { return s_.invalidated && s_.decided && !s_.report.completed; }
    // The lines under the last message: bytes written and verified, time taken, the E2's state
    // after a run that did not complete, the backup file.
    std::string summary(bool aborted) const;

    // Any of the above changed (not the passing of time).
    ui::Signal changed;

private:
    using Clock = std::chrono::steady_clock;
    RunStep* stepOf(modem::RunPhase phase);
    RunStep* current();
    void endSteps(bool completed);
    void decide(const modem::RunReport& report); // the outcome, once
    double readSeconds() const;                  // per block read, measured
    double writeSeconds() const;
    int verifyBlocksLeft() const;
    std::string outcomeLine(bool aborted) const;

    ui::Clock& clock_;
    // What one run has shown so far; a new run starts from a fresh one.
    struct State {
        bool writes = true;
        bool active = false;
        bool readStarted = false;
        bool decided = false;
        bool invalidated = false;
        std::vector<RunStep> steps;
        modem::RunPhase phase = modem::RunPhase::Connect;
        Clock::time_point start{}, end{}, readStart{}, writeStart{}, lastEvent{};
        int blocksDone = 0; // of every phase
        int blocksRead = 0;
        double readTime = 0; // seconds from the start of reading to its last block
        double writeTime = 0;
        int verifiedUpTo = -1;
        std::optional<int> planned;
        int written = 0;
        std::bitset<32> writtenBlocks;
        modem::RunReport report;
    } s_;
};

// "1 byte", "12 bytes".
std::string bytesText(int n);
// "41 s", "1 min 5 s", "1 h 2 min".
std::string durationText(std::chrono::seconds s);

} // namespace rw::app
