// What romwright-cli prints on stderr: message boxes as lines, its own errors, progress.
#pragma once

#include "ui/platform.h"

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace rw::cli {

// Text made harmless for a terminal: control characters (C0, DEL, C1) and bytes that are no
// UTF-8 appear as \xNN, so a file name or a value cannot move the cursor or end a line.
std::string printable(std::string_view text);
// A message box as one line: "TITLE: TEXT", each CR, CR LF or LF inside TEXT as one blank.
std::string messageLine(const std::string& title, const std::string& text);

// A message box as the command line showed it.
struct ShownMessage {
    std::string title;
    std::string text;
    std::string detail;
};

// The lines a message box is printed as: messageLine, then each line of the detail.
std::vector<std::string> messageLines(const ShownMessage& message);

// Where a run's progress line goes: the console's one line, or one line of several.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    // `phase` is the phase's name ("Reading"), `line` the whole line as a terminal shows it.
    virtual void progress(const std::string& phase, const std::string& line) = 0;
    virtual void endProgress() = 0;
};

// A table for people: a header row, then the rows, each column as wide as its widest cell,
// two blanks between columns; the columns in `rightAligned` (their indexes) are aligned to
// the right. Cells are printed with printable().
std::string formatTable(const std::vector<std::vector<std::string>>& rows,
                        const std::vector<std::size_t>& rightAligned = {});

class Console : public ProgressSink {
public:
    Console(std::ostream& out, std::ostream& err, bool errIsTerminal)
        : out_(out), err_(err), terminal_(errIsTerminal) {}

    std::ostream& out() { return out_; }
    std::ostream& err() { return err_; }
    // --quiet: no progress.
    void setQuiet(bool quiet) { quiet_ = quiet; }
    // A run for a parent romwright-cli: message boxes and the command line's own lines go out
    // as JSON lines ({"event":"message","title","text","detail"}, {"event":"note","text"}),
    // and the progress goes through the run's events instead.
    void setEventLines(bool on) { eventLines_ = on; }
    // A message box the window would show, with its detail on the following lines.
    void message(const std::string& title, const std::string& text, const std::string& detail);
    // An error of the command line itself: "romwright-cli: TEXT".
    void error(const std::string& text);
    // A plain line on stderr.
    void note(const std::string& text);

    // Progress of a modem run: on a terminal `line` replaces the one progress line;
    // otherwise each new `phase` is printed once on a line of its own.
    void progress(const std::string& phase, const std::string& line) override;
    void endProgress() override;

    // Every message box shown so far, in order.
    const std::vector<ShownMessage>& messages() const { return messages_; }

private:
    void clearBar();
    std::ostream& out_;
    std::ostream& err_;
    bool terminal_;
    bool quiet_ = false;
    bool eventLines_ = false;
    std::size_t barWidth_ = 0; // the progress line on the terminal; 0: none shown
    std::string phase_;
    std::string line_;
    std::vector<ShownMessage> messages_;
};

} // namespace rw::cli
