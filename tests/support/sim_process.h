// romwright-sim as a process (POSIX): started with the given options ("--no-throttle" for speed),
// its device line awaited at most 10 s, stderr dropped; stop(sig) or the destructor ends it with
// SIGTERM and reaps it, killed if still there two seconds later.
#pragma once

#include <chrono>
#include <csignal>
#include <string>
#include <thread>
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
    explicit SimProcess(std::vector<std::string> args) {
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
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        args.insert(args.begin(), std::string(ROMWRIGHT_BIN_DIR) + "/tools/romwright-sim");
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        out_ = fds[0];
        if (rc != 0) {
            pid_ = -1;
            error_ = "cannot start " + args[0];
            return;
        }
        // Never blocks past the limit, whatever the simulator does.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (char c = 0; c != '\n';) {
            pollfd p{out_, POLLIN, 0};
            const bool ready = ::poll(&p, 1, 100) > 0;
            if (std::chrono::steady_clock::now() > deadline ||
                (ready && ::read(out_, &c, 1) <= 0)) {
                error_ = "the simulator named no device in time";
                stop();
                return;
            }
            if (ready && c != '\n') device_ += c;
        }
    }
    ~SimProcess() { stop(); }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool ok() const { return pid_ > 0 && !device_.empty(); }
    // The pseudo-terminal's path, or the --link path when one was given.
    const std::string& device() const { return device_; }
    const std::string& error() const { return error_; }
    // After stop(): its exit status, 128 + the signal that ended it, or -1.
    int exitStatus() const { return status_; }

    void stop(int sig = SIGTERM) {
        if (pid_ > 0) {
            ::kill(pid_, sig);
            if (!reap(std::chrono::seconds(2))) {
                ::kill(pid_, SIGKILL);
                reap(std::chrono::seconds(5));
            }
            pid_ = -1;
        }
        if (out_ >= 0) ::close(out_);
        out_ = -1;
    }

private:
    bool reap(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (int status = 0;; std::this_thread::sleep_for(std::chrono::milliseconds(5))) {
            const pid_t r = ::waitpid(pid_, &status, WNOHANG);
            if (r == pid_)
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            if (r == pid_ || r < 0) return true;
            if (std::chrono::steady_clock::now() >= deadline) return false;
        }
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int status_ = -1;
    std::string device_, error_;
};

} // namespace rw::test
