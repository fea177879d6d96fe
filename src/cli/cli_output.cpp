#include "cli/cli_output.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace rw::cli {

std::string messageLine(const std::string& title, const std::string& text) {
    std::string flat;
    flat.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            flat += ' ';
        } else if (c == '\n') {
            flat += ' ';
        } else {
            flat += c;
        }
    }
    return title + ": " + flat;
}

void Console::clearBar() {
    if (!barShown_) return;
    err_ << '\r' << std::string(60, ' ') << '\r';
    barShown_ = false;
}

void Console::message(const std::string& title, const std::string& text,
                      const std::string& detail) {
    clearBar();
    err_ << messageLine(title, text) << '\n';
    if (!detail.empty()) {
        std::string d = detail;
        // Line ends of any platform become this stream's.
        std::string norm;
        for (std::size_t i = 0; i < d.size(); ++i) {
            if (d[i] == '\r') {
                if (i + 1 < d.size() && d[i + 1] == '\n') ++i;
                norm += '\n';
            } else {
                norm += d[i];
            }
        }
        while (!norm.empty() && norm.back() == '\n')
            norm.pop_back();
        err_ << norm << '\n';
    }
    err_.flush();
}

void Console::error(const std::string& text) {
    clearBar();
    err_ << "romwright-cli: " << text << '\n';
    err_.flush();
}

void Console::note(const std::string& text) {
    clearBar();
    err_ << text << '\n';
    err_.flush();
}

void Console::progress(const std::string& phase, int percent) {
    percent = std::clamp(percent, 0, 100);
    if (!terminal_) {
        if (!phase.empty() && phase != phase_) {
            err_ << phase << '\n';
            err_.flush();
        }
        phase_ = phase;
        percent_ = percent;
        return;
    }
    if (phase == phase_ && percent == percent_ && barShown_) return;
    phase_ = phase;
    percent_ = percent;
    constexpr int kWidth = 30;
    const int filled = percent * kWidth / 100;
    std::ostringstream line;
    line << '\r' << phase << std::string(phase.size() < 11 ? 11 - phase.size() : 1, ' ') << '['
         << std::string(static_cast<std::size_t>(filled), '#')
         << std::string(static_cast<std::size_t>(kWidth - filled), '.') << "] ";
    char pct[8];
    std::snprintf(pct, sizeof pct, "%3d%%", percent);
    line << pct;
    err_ << line.str();
    err_.flush();
    barShown_ = true;
}

void Console::endProgress() {
    if (terminal_ && barShown_) {
        err_ << '\n';
        err_.flush();
        barShown_ = false;
    }
    phase_.clear();
    percent_ = -1;
}

} // namespace rw::cli
