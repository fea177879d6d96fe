// Runs the modem simulator for a test (POSIX only).
//
//   rw::test::SimProcess sim({"--no-throttle", "--generation", "B+"});
//   ASSERT_TRUE(sim.ok()) << sim.error();
//   port.setPortName(sim.device());   // the pseudo-terminal the simulator serves
//
// The constructor starts ROMWRIGHT_BIN_DIR "/tools/romwright-sim" with the given options
// (nothing is added: pass "--no-throttle" for fast tests) and waits, at most `startLimit`,
// for the first line of its standard output, the device path. The simulator's standard
// error goes to /dev/null unless `keepStderr` is set. The destructor (or stop()) ends it
// with SIGTERM (or stop(sig) with another signal) and reaps it, killing it after two seconds if it
// has not gone by then.
#pragma once

#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace rw::test {

class SimProcess {
public:
    static std::string binary() { return std::string(ROMWRIGHT_BIN_DIR) + "/tools/romwright-sim"; }

    explicit SimProcess(const std::vector<std::string>& args,
                        std::chrono::milliseconds startLimit = std::chrono::seconds(10),
                        bool keepStderr = false) {
        start(args, startLimit, keepStderr);
    }
    ~SimProcess() { stop(); }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Started and the device path read.
    bool ok() const { return pid_ > 0 && !device_.empty(); }
    // The pseudo-terminal's path ("/dev/pts/7"), or the --link path when one was given.
    const std::string& device() const { return device_; }
    // Why it did not start.
    const std::string& error() const { return error_; }
    pid_t pid() const { return pid_; }
    // After stop(): its exit status, 128 + the signal that ended it, or -1.
    int exitStatus() const { return status_; }

    // `sig`, then reap; safe to call twice.
    void stop(int sig = SIGTERM) {
        if (pid_ > 0) {
            ::kill(pid_, sig);
            if (!reap(std::chrono::seconds(2))) {
                ::kill(pid_, SIGKILL);
                reap(std::chrono::seconds(5));
            }
            pid_ = -1;
        }
        if (out_ >= 0) {
            ::close(out_);
            out_ = -1;
        }
    }

private:
    void start(const std::vector<std::string>& args, std::chrono::milliseconds limit,
               bool keepStderr) {
        int fds[2];
        if (::pipe(fds) != 0) {
            error_ = "pipe failed";
            return;
        }
        ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[1]);
        if (!keepStderr)
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        std::string bin = binary();
        std::vector<std::string> all{bin};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        const int rc = posix_spawn(&pid, bin.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        out_ = fds[0];
        if (rc != 0) {
            error_ = "cannot start " + bin;
            return;
        }
        pid_ = pid;
        // The first line is the device; read it without ever blocking past the limit.
        const auto deadline = std::chrono::steady_clock::now() + limit;
        std::string line;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                error_ = "no device line from the simulator in time";
                stop();
                return;
            }
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            char c = 0;
            const ssize_t n = ::read(out_, &c, 1);
            if (n <= 0) {
                error_ = "the simulator ended before naming its device";
                stop();
                return;
            }
            if (c == '\n') break;
            line += c;
        }
        device_ = line;
    }

    bool reap(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            int status = 0;
            const pid_t r = ::waitpid(pid_, &status, WNOHANG);
            if (r == pid_)
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            if (r == pid_ || r < 0) return true;
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int status_ = -1;
    std::string device_;
    std::string error_;
};

} // namespace rw::test
