// Command line of romwright-sim.
#pragma once

#include "sim/sim_modem.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rw::sim {

struct SimOptions {
    ModemConfig modem; // image is loaded later, from imagePath
    bool throttle = true;
    bool help = false;
    std::string imagePath;
    std::string writeBackPath;
    std::string tracePath;
    std::string linkPath;
    int count = 1;   // --count: simulated modems, each on its own pseudo-terminal
    int faultOn = 0; // --fault-on: the one modem (1..count) the faults apply to; 0: all
};

// Modem k (1..count) of a bench: the faults only where they apply.
ModemConfig modemConfig(const SimOptions& options, int k);
// A file or link name of modem k: with several modems "-k" before the extension
// (trace.txt -> trace-2.txt); the name itself for one modem.
std::string pathFor(const std::string& path, int k, int count);

struct ParseResult {
    std::optional<SimOptions> options; // absent on error
    std::string error;
};

// args without the program name.
ParseResult parseOptions(const std::vector<std::string>& args);
std::string usageText();

// Interface type byte (type in bits 5..3, variant in bit 2) for a name such as "RMII MAC".
std::optional<std::uint8_t> interfaceByteForName(std::string_view name);
std::string interfaceName(std::uint8_t interfaceByte);

// Revisions 41 and 44 are generation B, 49 and 50 B+.
std::optional<Generation> generationForRevision(int revision);

} // namespace rw::sim
