// romwright-sim: a Kestrel modem's serial monitor on a pseudo-terminal, for testing without
// hardware.
#include "sim/sim_files.h"
#include "sim/sim_modem.h"
#include "sim/sim_options.h"
#include "sim/sim_pty.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace rw::sim;

int main(int argc, char** argv) {
    const ParseResult parsed = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.options) {
        std::fprintf(stderr, "romwright-sim: %s\nTry --help.\n", parsed.error.c_str());
        return 2;
    }
    SimOptions opts = *parsed.options;
    if (opts.help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }

    std::string error;
    if (!opts.imagePath.empty()) {
        opts.modem.image = loadImage(opts.imagePath, error);
        if (!opts.modem.image) {
            std::fprintf(stderr, "romwright-sim: %s\n", error.c_str());
            return 1;
        }
    }

    SimModem modem(opts.modem);
    PtyServer server(modem, {opts.throttle, opts.writeBackPath, opts.tracePath, opts.linkPath});
    if (!server.open(error)) {
        std::fprintf(stderr, "romwright-sim: %s\n", error.c_str());
        return 1;
    }
    // Clients read the device from the first line, so it goes out alone and at once.
    std::printf("%s\n", server.devicePath().c_str());
    std::fflush(stdout);
    std::fprintf(
        stderr,
        "romwright-sim: generation %s, revision %d, interface %s (%02Xh), E2PROM at %04Xh\n",
        opts.modem.generation == Generation::B ? "B" : "B+", opts.modem.revision,
        interfaceName(opts.modem.interfaceByte).c_str(), opts.modem.interfaceByte, modem.e2Base());
    return server.run();
}
