#include "modem/run_observer.h"

namespace rw::modem {

const char* phaseName(RunPhase phase) {
    switch (phase) {
    case RunPhase::Connect:
        return "Connect";
    case RunPhase::Identify:
        return "Identify";
    case RunPhase::Invalidate:
        return "Mark invalid";
    case RunPhase::Read:
        return "Read";
    case RunPhase::Backup:
        return "Backup";
    case RunPhase::Write:
        return "Write";
    case RunPhase::Verify:
        return "Verify";
    case RunPhase::Validate:
        return "Mark valid";
    }
    return "";
}

void ControlsDisplay::phaseStarted(RunPhase phase, bool /*working*/) {
    switch (phase) {
    case RunPhase::Connect:
        dump_.setEnabled(false);
        abort_.setVisible(true);
        if (showConnecting_) showConnecting_();
        break;
    case RunPhase::Read:
        bar_.setValue(4);
        status_.setCaption("Reading");
        break;
    case RunPhase::Write:
        status_.setCaption("Writing");
        break;
    case RunPhase::Verify:
        status_.setCaption("Checking");
        break;
    default:
        break;
    }
}

void ControlsDisplay::blockDone(RunPhase /*phase*/, int /*block*/) {
    bar_.step();
}

void ControlsDisplay::progressEnded() {
    abort_.setVisible(false);
    if (hideProgress_) hideProgress_();
    status_.setCaption("");
}

void ControlsDisplay::finished(const RunReport& /*report*/) {
    // Also after a run that ended before its work (no port, a modem refused).
    abort_.setVisible(false);
    dump_.setEnabled(true);
    if (hideProgress_) hideProgress_();
}

} // namespace rw::modem
