// What romwright-cli prints on stderr: message boxes as lines, its own errors, progress.
#pragma once

#include "ui/platform.h"

#include <ostream>
#include <string>
#include <string_view>

namespace rw::cli {

// Text made harmless for a terminal: control characters (C0, DEL, C1) and bytes that are no
// UTF-8 appear as \xNN, so a file name or a value cannot move the cursor or end a line.
std::string printable(std::string_view text);
// A message box as one line: "TITLE: TEXT", each CR, CR LF or LF inside TEXT as one blank.
std::string messageLine(const std::string& title, const std::string& text);

class Console {
public:
    Console(std::ostream& out, std::ostream& err, bool errIsTerminal)
        : out_(out), err_(err), terminal_(errIsTerminal) {}

    std::ostream& out() { return out_; }
    // A message box the window would show, with its detail on the following lines.
    void message(const std::string& title, const std::string& text, const std::string& detail);
    // An error of the command line itself: "romwright-cli: TEXT".
    void error(const std::string& text);
    // A plain line on stderr.
    void note(const std::string& text);

    // Progress of a programming run: a redrawn bar on a terminal, else a line per phase.
    void progress(const std::string& phase, int percent);
    void endProgress();

private:
    void clearBar();
    std::ostream& out_;
    std::ostream& err_;
    bool terminal_;
    bool barShown_ = false;
    std::string phase_;
    int percent_ = -1;
};

} // namespace rw::cli
