// The final JSON object of program, restore, read and verify (--json).
#pragma once

#include "cli/cli_output.h"
#include "modem/programming_run.h"

#include <optional>
#include <string>
#include <vector>

namespace rw::cli {

// What a modem command did, gathered as it goes.
struct RunSummary {
    std::string command; // "program", "restore", "read", "verify"
    int product = 0;     // 1..4; 0 before it is known
    std::string port;    // as given, or startup.ini's
    std::string device;  // what was opened
    std::string output;  // read: the file written
    bool dryRun = false;
    std::optional<modem::RunReport> report; // once the run was made
};

// One JSON object, indented, with a line end. `failure`: why the command failed (empty when
// it did not).
std::string summaryJson(const RunSummary& summary, int exitStatus, const std::string& failure,
                        double seconds, const std::vector<ShownMessage>& messages);

} // namespace rw::cli
