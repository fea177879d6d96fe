#include "cli/cli_interrupt.h"

#include <csignal>
#include <cstdlib>

namespace rw::cli {

namespace {

volatile std::sig_atomic_t g_presses = 0;

extern "C" void onInterrupt(int) {
    g_presses = g_presses + 1;
    if (g_presses >= 3) std::_Exit(kInterruptExit);
    // Where a handler is reset on delivery, it must stay for the next press.
    std::signal(SIGINT, onInterrupt);
}

using Handler = void (*)(int);
Handler g_previous = SIG_DFL;

} // namespace

InterruptGuard::InterruptGuard() {
    g_presses = 0;
    g_previous = std::signal(SIGINT, onInterrupt);
    if (g_previous == SIG_ERR) g_previous = SIG_DFL;
}

InterruptGuard::~InterruptGuard() {
    std::signal(SIGINT, g_previous);
}

int InterruptGuard::count() {
    return static_cast<int>(g_presses);
}

} // namespace rw::cli
