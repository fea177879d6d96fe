// Ctrl-C during a programming run: the first acts as the Abort button, the second is
// ignored while the run ends, the third ends the process.
#pragma once

namespace rw::cli {

class InterruptGuard {
public:
    // Installs the handler; the previous one comes back on destruction.
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    // Ctrl-C presses since the guard was installed.
    static int count();
};

// Exit status of the process ended by the third Ctrl-C.
inline constexpr int kInterruptExit = 1;

} // namespace rw::cli
