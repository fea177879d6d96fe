#include "sim/sim_pacer.h"

namespace rw::sim {

namespace {
// A late wake-up may catch up this far; an idle line must not save up credit for a burst.
constexpr auto kMaxLag = std::chrono::milliseconds(20);
} // namespace

Pacer::Pacer(double charsPerSecond) : paced_(charsPerSecond > 0) {
    if (paced_)
        interval_ = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(1.0 / charsPerSecond));
}

void Pacer::settle(Clock::time_point now) {
    if (!started_) {
        next_ = now;
        started_ = true;
    } else if (now - next_ > kMaxLag) {
        next_ = now - kMaxLag;
    }
}

std::size_t Pacer::allowance(Clock::time_point now, std::size_t pending) {
    if (!paced_ || pending == 0) return pending;
    settle(now);
    if (now < next_) return 0;
    const auto due = static_cast<std::size_t>((now - next_) / interval_) + 1;
    return due < pending ? due : pending;
}

void Pacer::sent(Clock::time_point now, std::size_t n) {
    if (!paced_ || n == 0) return;
    settle(now);
    next_ += interval_ * static_cast<Clock::rep>(n);
}

Pacer::Clock::duration Pacer::untilNext(Clock::time_point now) {
    if (!paced_) return Clock::duration::zero();
    settle(now);
    return now < next_ ? next_ - now : Clock::duration::zero();
}

} // namespace rw::sim
