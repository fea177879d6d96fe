// romwright-cli: the window models and routines of Romwright driven from a command line.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace rw::cli {

// Runs one command line (`args` without the program name) and returns the exit status:
// 0 success, 1 the modem work failed, 2 bad usage or bad input.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        bool errIsTerminal);

// The device a PORT argument names: COM1..COM6 (any case) through the COMn mapping,
// anything else as a device path. Empty for "COM0", "COM7" and the like.
std::string deviceForPort(const std::string& port);

} // namespace rw::cli
