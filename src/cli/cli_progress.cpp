#include "cli/cli_progress.h"

#include "image/config_module.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace rw::cli {

namespace {

double steadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// "1:05", or "--:--" before there is anything to reckon from.
std::string minutes(double seconds) {
    if (seconds < 0) return "--:--";
    const auto s = static_cast<long>(seconds + 0.5);
    char buf[24];
    std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
    return buf;
}

} // namespace

ProgressLine::ProgressLine(ProgressSink& sink, std::function<double()> seconds, int barWidth)
    : sink_(sink), seconds_(seconds ? std::move(seconds) : steadySeconds), barWidth_(barWidth),
      checked_(image::kBlockCount, false) {}

void ProgressLine::start(const char* name, int total) {
    phase_ = name;
    done_ = 0;
    total_ = total;
    started_ = seconds_();
    sink_.progress(phase_, line());
}

void ProgressLine::advance(int bytes) {
    if (phase_.empty()) return;
    done_ += bytes;
    sink_.progress(phase_, line());
}

void ProgressLine::phaseStarted(modem::RunPhase phase, bool working) {
    using modem::RunPhase;
    current_ = phase;
    const int checkBlocks = static_cast<int>(std::count(checked_.begin(), checked_.end(), true));
    if (!working) {
        // After a failure the run passes its later phases over: they are not shown.
        phase_.clear();
    } else if (phase == RunPhase::Connect) {
        start("Connecting", 0);
    } else if (phase == RunPhase::Read) {
        start("Reading", image::kImageSize);
    } else if (phase == RunPhase::Write) {
        start("Writing", planned_);
    } else if (phase == RunPhase::Verify) {
        start("Checking", checkBlocks * image::kBlockSize);
    }
}

void ProgressLine::blockDone(modem::RunPhase phase, int block) {
    if (phase != current_) return;
    if (phase == modem::RunPhase::Read ||
        (phase == modem::RunPhase::Verify && block >= 0 &&
         block < static_cast<int>(checked_.size()) && checked_[static_cast<std::size_t>(block)]))
        advance(image::kBlockSize);
}

void ProgressLine::checkPlanned(const std::vector<int>& blocks) {
    for (int b : blocks)
        if (b >= 0 && b < static_cast<int>(checked_.size()))
            checked_[static_cast<std::size_t>(b)] = true;
}

void ProgressLine::byteWritten(int /*offset*/) {
    if (current_ == modem::RunPhase::Write) advance(1);
}

void ProgressLine::progressEnded() {
    sink_.endProgress();
    phase_.clear();
}

void ProgressLine::finished(const modem::RunReport& /*report*/) {
    progressEnded();
}

std::string ProgressLine::line() const {
    if (phase_ == "Connecting") return phase_;
    const int percent = total_ > 0 ? std::clamp(done_ * 100 / total_, 0, 100) : 100;
    const int filled = percent * barWidth_ / 100;
    double left = -1;
    if (done_ >= total_)
        left = 0;
    else if (done_ > 0)
        left = (seconds_() - started_) / done_ * (total_ - done_);
    char buf[128];
    std::snprintf(buf, sizeof buf, "%-9s [%s%s] %3d%%  %d/%d bytes  %s left", phase_.c_str(),
                  std::string(static_cast<std::size_t>(filled), '#').c_str(),
                  std::string(static_cast<std::size_t>(barWidth_ - filled), '.').c_str(), percent,
                  done_, total_, minutes(left).c_str());
    return buf;
}

} // namespace rw::cli
