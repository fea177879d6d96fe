#include "cli/cli_interrupt.h"

#include <csignal>
#include <cstdlib>
#include <iterator>

namespace rw::cli {

namespace {

volatile std::sig_atomic_t g_presses = 0;

using Handler = void (*)(int);

// SIGTERM and SIGHUP mean the same as Ctrl-C to a run (a supervisor, `timeout`, a closed
// terminal); Windows has no SIGHUP.
constexpr int kSignals[] = {SIGINT, SIGTERM,
#ifdef SIGHUP
                            SIGHUP
#endif
};
Handler g_previous[std::size(kSignals)] = {};

extern "C" void onInterrupt(int sig) {
    g_presses = g_presses + 1;
    if (g_presses >= 3) std::_Exit(kInterruptExit);
    // Where a handler is reset on delivery, it must stay for the next signal.
    std::signal(sig, onInterrupt);
}

} // namespace

InterruptGuard::InterruptGuard() {
    g_presses = 0;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        const Handler before = std::signal(kSignals[i], onInterrupt);
        g_previous[i] = before == SIG_ERR ? SIG_DFL : before;
        // A signal the caller chose to ignore (nohup, a background job) stays ignored.
        if (before == SIG_IGN) std::signal(kSignals[i], SIG_IGN);
    }
}

InterruptGuard::~InterruptGuard() {
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        std::signal(kSignals[i], g_previous[i]);
}

int InterruptGuard::count() {
    return static_cast<int>(g_presses);
}

void ignoreBrokenPipes() {
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

} // namespace rw::cli
