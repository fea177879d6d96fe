// The command line of romwright-cli: commands, options and their help texts.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace rw::cli {

enum class Command { None, Show, Edit, Program, Restore, Read, Verify, Diff, Log };

struct FieldEdit {
    std::string name;
    std::string value;
};

struct ReservedEdit {
    std::string address; // as given, 1 or 2 hex digits
    std::string value;
};

struct Arguments {
    Command command = Command::None;
    bool help = false;
    bool version = false;
    std::vector<std::string> files; // FILE, or A and B for diff
    std::optional<int> product;     // --product 1..4
    std::string output;             // -o OUT
    bool force = false;
    bool json = false;
    bool quiet = false;
    bool defaults = false;
    bool dryRun = false;
    std::vector<std::string> ports; // --port, in the order given; several: one run on each
    int jobs = 0;                   // --jobs: runs at once (0: all)
    int last = 0;                   // log --last: the newest N (0: all)
    // A run started by another romwright-cli for one of several ports: its progress and
    // messages go to stderr as JSON lines for that parent to show.
    bool eventLines = false;
    std::string backupFile;
    std::vector<ReservedEdit> reserved;
    std::vector<FieldEdit> edits; // NAME=VALUE, in the order given
};

struct ParseOutcome {
    Arguments args;
    std::string error; // one line; empty when the command line is usable
};

// `argv` without the program name. The command comes first (only --help and --version may
// stand before it); its options, files and NAME=VALUE edits follow in any order.
ParseOutcome parseArguments(const std::vector<std::string>& argv);

// The general usage, or a command's own help with every option.
std::string usageText();
std::string helpText(Command c);

// The command's name on the command line ("program"); empty for None.
std::string commandName(Command c);

// A byte given as one or two hexadecimal digits; nothing for anything else.
std::optional<int> parseHexByte(const std::string& text);

} // namespace rw::cli
