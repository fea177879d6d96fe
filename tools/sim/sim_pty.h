// Serves a SimModem on a pseudo-terminal until SIGINT, SIGTERM or SIGHUP.
#pragma once

#include "sim/sim_files.h"
#include "sim/sim_modem.h"
#include "sim/sim_pacer.h"

#include <cstdint>
#include <string>
#include <vector>

struct pollfd;

namespace rw::sim {

struct ServerSettings {
    bool throttle = true;
    std::string writeBackPath;
    std::string tracePath;
    std::string linkPath;
};

class PtyServer {
public:
    PtyServer(SimModem& modem, ServerSettings settings);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Creates the terminal, the link and the trace file; the device can be opened afterwards.
    bool open(std::string& error);
    const std::string& devicePath() const { return devicePath_; }
    // Serves until SIGINT, SIGTERM or SIGHUP; returns the exit status.
    int run();

    // One turn of a loop that serves several: sends what is due and fills in the two
    // descriptors to wait on; returns how long the wait may last at most (ms).
    int prepare(pollfd* fds);
    // What poll() found on those two descriptors.
    void handle(const pollfd* fds);
    void removeLink();

private:
    void sendDue();
    void receive();
    void watchClients();
    void dropOutput();
    void queue(const std::string& bytes);
    int pollTimeoutMs();

    SimModem& modem_;
    ServerSettings settings_;
    Pacer pacer_;
    TraceLog trace_;
    std::string devicePath_;
    int master_ = -1;
    int slave_ = -1; // held so the master never sees a hang-up between clients
    int watch_ = -1; // inotify on the device, to notice clients going away
    int clients_ = 0;
    bool linked_ = false;
    bool masterHungUp_ = false;
    bool blocked_ = false; // the terminal's buffer is full: wait for room
    std::string output_;
    std::size_t outputPos_ = 0;
    std::uint64_t savedWrites_ = 0;
};

// Serves every server in one loop until SIGINT, SIGTERM or SIGHUP; returns the exit status.
int runServers(const std::vector<PtyServer*>& servers);

} // namespace rw::sim
