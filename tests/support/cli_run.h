// romwright-cli run in a scratch folder (its directory, home and data folder), output captured,
// the wait bounded, with a hook on stderr to send Ctrl-C and the like on cue (POSIX).
#pragma once

#include "image/config_module.h"
#include "support/temp_dir.h"

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace rw::test {

std::vector<std::string> splitLines(const std::string& text);
std::string readText(const std::string& path);
// "edit a.bin -o b.bin" as its words.
std::vector<std::string> words(const std::string& line);

struct CliResult {
    int exitCode = -1; // -1: killed at the time limit, or ended by a signal
    std::string out, err;
    std::vector<std::string> outLines() const { return splitLines(out); }
    std::vector<std::string> errLines() const { return splitLines(err); }
    bool errHasLine(const std::string& line) const;
};

struct CliRun {
    std::vector<std::string> args;
    std::map<std::string, std::string> env = {}; // added to the inherited one
    // Called whenever stderr grew; send signals through `pid`.
    std::function<void(pid_t pid, const std::string& errSoFar)> onStderr = {};
    bool errOnTerminal = false;    // stderr on a pseudo-terminal, as at a terminal
    bool closeStderrEarly = false; // stop reading stderr after its first output
    std::chrono::milliseconds limit = std::chrono::seconds(240);
};

CliResult runCli(const TempDir& dir, CliRun run);

std::vector<std::uint8_t> toVector(const image::Image& img);
// `img` written as the patch file `name` in `dir`; returns its path.
std::string writeImage(const TempDir& dir, const image::Image& img, const std::string& name);
std::string writeSample(const TempDir& dir, int mode, const std::string& name);
// A byte as `diff` and `verify` list it: "0123 3C -> 00".
std::string offsetLine(int k, int from, int to);
// NAME=TEXT lines of `show` as a map.
std::map<std::string, std::string> parseShow(const std::string& out);

} // namespace rw::test
