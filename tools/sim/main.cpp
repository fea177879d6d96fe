// romwright-sim: a Kestrel modem's serial monitor on a pseudo-terminal, for testing without
// hardware.
#include "sim/sim_files.h"
#include "sim/sim_modem.h"
#include "sim/sim_options.h"
#include "sim/sim_pty.h"

#include <cstdio>
#include <memory>
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

    // A bench of modems, each with its own E2PROM and files, served by one loop.
    std::vector<std::unique_ptr<SimModem>> modems;
    std::vector<std::unique_ptr<PtyServer>> servers;
    std::vector<PtyServer*> serving;
    for (int k = 1; k <= opts.count; ++k) {
        modems.push_back(std::make_unique<SimModem>(modemConfig(opts, k)));
        servers.push_back(std::make_unique<PtyServer>(
            *modems.back(),
            ServerSettings{opts.throttle, pathFor(opts.writeBackPath, k, opts.count),
                           pathFor(opts.tracePath, k, opts.count),
                           pathFor(opts.linkPath, k, opts.count)}));
        if (!servers.back()->open(error)) {
            std::fprintf(stderr, "romwright-sim: %s\n", error.c_str());
            return 1;
        }
        serving.push_back(servers.back().get());
    }
    // Clients read the devices from the first lines, so they go out alone and at once.
    for (const PtyServer* server : serving)
        std::printf("%s\n", server->devicePath().c_str());
    std::fflush(stdout);
    std::fprintf(
        stderr,
        "romwright-sim: %d modem(s), generation %s, revision %d, interface %s (%02Xh), E2PROM "
        "at %04Xh\n",
        opts.count, opts.modem.generation == Generation::B ? "B" : "B+", opts.modem.revision,
        interfaceName(opts.modem.interfaceByte).c_str(), opts.modem.interfaceByte,
        modems.front()->e2Base());
    return runServers(serving);
}
