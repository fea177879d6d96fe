// Paces output like a real serial line: 9600 baud 8N1 carries 960 characters per second.
#pragma once

#include <chrono>
#include <cstddef>

namespace rw::sim {

class Pacer {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr double kLineRate = 960.0;

    // charsPerSecond <= 0: no pacing.
    explicit Pacer(double charsPerSecond = kLineRate);

    bool paced() const { return paced_; }

    // Characters that may be sent now, at most `pending`.
    std::size_t allowance(Clock::time_point now, std::size_t pending);
    // Records that n characters went out at `now`.
    void sent(Clock::time_point now, std::size_t n);
    // Time until the next character may go; zero if one may go now.
    Clock::duration untilNext(Clock::time_point now);
    // Output was dropped: the next character may go at once.
    void reset() { started_ = false; }

private:
    void settle(Clock::time_point now);

    bool paced_;
    Clock::duration interval_{};
    Clock::time_point next_{};
    bool started_ = false;
};

} // namespace rw::sim
