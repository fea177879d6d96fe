// The final JSON object of program, restore, read and verify (--json).
#pragma once

#include "cli/cli_output.h"
#include "modem/programming_run.h"

#include <QJsonObject>

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

// Several ports: the table of the runs (each given as the final object of its run: port,
// device, interface and generation found, result, bytes written and verified, seconds,
// backup), a line for each run that did not complete saying why, then the bytes a dry run
// would write or a verify found different, each line led by its port.
std::string severalRunsText(const std::vector<QJsonObject>& runs);
// The same as one JSON object: command, result, exitStatus, failure (why none ran), seconds
// and the runs' objects.
std::string severalRunsJson(const std::string& command, int exitStatus, double seconds,
                            const std::vector<QJsonObject>& runs, const std::string& failure = {});

// The run log as a table: time, command, port, result, bytes written, seconds, patch file
// and the first digits of the modem image's SHA-256 after the run.
std::string runLogTable(const std::vector<QJsonObject>& entries);

} // namespace rw::cli
