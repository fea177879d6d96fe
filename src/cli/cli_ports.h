// Several --port for program, restore and verify: a run on each port at the same time, each
// in a romwright-cli of its own (the run's event loop serves one port), shown in one view
// and summed up in one table.
#pragma once

#include "cli/cli_args.h"

#include <ostream>
#include <string>
#include <vector>

namespace rw::cli {

// The arguments of the run on `port`: the same command, file, product and edits, that port
// only, its result as JSON on stdout and its progress as JSON lines on stderr.
std::vector<std::string> childArguments(const Arguments& args, const std::string& port);

// Runs args' command on every port of args.ports, at most args.jobs at once (0: all), each
// isolated from the others; their progress and messages go to `err` (on a terminal one line
// per port updated in place, otherwise a line per port and phase), the table or the JSON
// object to `out`. Ctrl-C, SIGTERM and SIGHUP abort every run, which then ends its own way.
// The checks that need no port must have passed. 0 when every run completed, 1 otherwise.
int runOnPorts(const Arguments& args, std::ostream& out, std::ostream& err, bool errIsTerminal);

} // namespace rw::cli
