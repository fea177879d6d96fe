// Ctrl-C during a programming run, and the signals that mean the same (SIGTERM from
// `timeout` or a process supervisor, SIGHUP from a closed terminal): the first acts as the
// Abort button, so the run leaves "M>" and releases the port; the second is ignored while
// the run ends; the third ends the process.
#pragma once

namespace rw::cli {

class InterruptGuard {
public:
    // Installs the handlers; the previous ones come back on destruction.
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    // Interrupting signals received since the guard was installed.
    static int count();
};

// Exit status of the process ended by the third interrupting signal.
inline constexpr int kInterruptExit = 1;

// Output to a reader that went away (`program ... | head -2`) fails instead of ending the
// process, so a run is never cut short by it.
void ignoreBrokenPipes();

} // namespace rw::cli
