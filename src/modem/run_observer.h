// What a programming run tells the world as it goes: its phases, blocks and bytes. The main
// window's progress display is one observer, the command line's progress line another.
#pragma once

#include "ui/controls.h"

#include <functional>
#include <string>
#include <vector>

namespace rw::modem {

struct RunReport;

enum class RunPhase {
    Connect,    // the port is opened and a monitor answers
    Identify,   // interface type, generation, watchdog
    Invalidate, // offset 0 cleared
    Read,       // 32 blocks read, the bytes to write decided
    Backup,     // the E2PROM as read saved to a file
    Write,      // the differing bytes written
    Verify,     // the blocks written to read back
    Validate,   // offset 0 set to 55h
};

// A readable name of a phase ("Connect", "Read", ...), for progress lines and logs.
const char* phaseName(RunPhase phase);

class RunObserver {
public:
    virtual ~RunObserver() = default;
    // `working` is false when the phase is entered only to be passed over (the run has
    // already failed or was aborted).
    virtual void phaseStarted(RunPhase /*phase*/, bool /*working*/) {}
    virtual void modemIdentified(const std::string& /*interfaceName*/,
                                 const std::string& /*generation*/) {}
    // One of the 32 blocks of the Read, Write or Verify phase is through (in the Write phase:
    // the loop has reached the block's first offset; in Verify: read back or not needed).
    virtual void blockDone(RunPhase /*phase*/, int /*block*/) {}
    // The read phase has decided how many bytes to write.
    virtual void bytesPlanned(int /*count*/) {}
    // ... and which blocks the check phase reads back.
    virtual void checkPlanned(const std::vector<int>& /*blocks*/) {}
    virtual void byteWritten(int /*offset*/) {}
    // The run's work is over; its last message follows.
    virtual void progressEnded() {}
    // The port is released and the run is over.
    virtual void finished(const RunReport& /*report*/) {}
};

// The main window's controls as an observer: "&Program" disabled during the run, the phase
// in the status line, the bar from 4 at the start of reading up by one for every block of
// each of the three phases (exactly 100 on a complete run), and Abort shown while reading,
// writing and checking.
class ControlsDisplay : public RunObserver {
public:
    ControlsDisplay(ui::Button& dump, ui::Button& abort, ui::Label& status, ui::ProgressBar& bar,
                    std::function<void()> showConnecting, std::function<void()> hideProgress)
        : dump_(dump), abort_(abort), status_(status), bar_(bar),
          showConnecting_(std::move(showConnecting)), hideProgress_(std::move(hideProgress)) {}

    void phaseStarted(RunPhase phase, bool working) override;
    void blockDone(RunPhase phase, int block) override;
    void progressEnded() override;
    void finished(const RunReport& report) override;

private:
    ui::Button& dump_;
    ui::Button& abort_;
    ui::Label& status_;
    ui::ProgressBar& bar_;
    std::function<void()> showConnecting_;
    std::function<void()> hideProgress_;
};

// Passes every event on to several observers, in order.
class ObserverList : public RunObserver {
public:
    void add(RunObserver& o) { observers_.push_back(&o); }
    void phaseStarted(RunPhase phase, bool working) override {
        for (auto* o : observers_)
            o->phaseStarted(phase, working);
    }
    void modemIdentified(const std::string& i, const std::string& g) override {
        for (auto* o : observers_)
            o->modemIdentified(i, g);
    }
    void blockDone(RunPhase phase, int block) override {
        for (auto* o : observers_)
            o->blockDone(phase, block);
    }
    void bytesPlanned(int count) override {
        for (auto* o : observers_)
            o->bytesPlanned(count);
    }
    void checkPlanned(const std::vector<int>& blocks) override {
        for (auto* o : observers_)
            o->checkPlanned(blocks);
    }
    void byteWritten(int offset) override {
        for (auto* o : observers_)
            o->byteWritten(offset);
    }
    void progressEnded() override {
        for (auto* o : observers_)
            o->progressEnded();
    }
    void finished(const RunReport& report) override {
        for (auto* o : observers_)
            o->finished(report);
    }

private:
    std::vector<RunObserver*> observers_;
};

} // namespace rw::modem
